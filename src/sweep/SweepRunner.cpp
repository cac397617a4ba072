#include "sweep/SweepRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <thread>

#include "image3d/GenImage3D.h"
#include "image3d/Image3DFloat.h"
#include "imageio/ImageOutput.h"
#include "imageio/PngFile.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "sweep/StopSignals.h"
#include "sweep/VariantOutput.h"
#include "sweep/VariantReport.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

constexpr int MaxChildren = 256;

using Clock = std::chrono::steady_clock;

// The running variants, for the signal handler: 0 marks a free slot.
volatile std::sig_atomic_t ChildPids[MaxChildren] = {};
volatile std::sig_atomic_t Stop = 0;

void PassOn(int signal) {
    for (int i = 0; i < MaxChildren; ++i) {
        if (ChildPids[i] > 0) kill(pid_t(ChildPids[i]), signal);
    }
}

void OnInterrupt(int) {
    if (Stop != 0) {
        // The variants end at once on their second Ctrl-C, removing what they were writing.
        PassOn(SIGINT);
        _exit(int(SweepRunner::Interrupted));  // the exit status of a stopped process
    }
    Stop = 1;
}

void OnTermination(int signal) {
    PassOn(signal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void SweepRunner::InstallInterruptHandler() { StopSignals::Install(OnInterrupt, OnTermination); }

bool SweepRunner::StopRequested() { return Stop != 0; }
void SweepRunner::ClearStop() { Stop = 0; }

bool SweepRunner::ExpectedImages(const std::string &path, std::vector<Image> &images,
                                 uint32_t &points, const ImageOptions &outputs) {
    images.clear();
    points = 0;
    if (GST.GetMessageCount() == 0) LoadGST();
    std::unique_ptr<ReaDifSimulation> sim(new (std::nothrow)
                                              ReaDifSimulation(ReaDifSimulation::ComponentSlots));
    std::unique_ptr<ScriptParser> parser(new (std::nothrow) ScriptParser());
    if (sim == nullptr || parser == nullptr) return false;
    int32_t position = 0;
    if (parser->Parse(*sim, path.c_str(), position, 0, ScriptParser::Mode::Check) !=
            ScriptParser::Accepted ||
        sim->ErrorStatus == ReaDifSimulation::StatusAllocationFailed) {
        return false;
    }
    // The images the variant's run writes: with Last, only its final one.
    if (outputs.Last) sim->KeepFinalImageOnly();
    const ReaDifSimulation &s = *sim;
    // The field as the run sizes it; the run resizes after the parse, so it is not done here.
    const uint32_t fieldX =
        outputs.SizeX != 0 ? uint32_t(outputs.SizeX) : s.Components[0]->GetSizeX();
    const uint32_t fieldY =
        outputs.SizeY != 0 ? uint32_t(outputs.SizeY) : s.Components[0]->GetSizeY();
    points = fieldX * fieldY;
    // The picture the run saves: the field's size, or the tile picture's for a mosaic (whose
    // size the script gives), resampled; the maps are always of the field.
    const GenImage3D &tile = s.TrueColor != 0 ? static_cast<const GenImage3D &>(s.TmpTileImage2D24)
                                              : static_cast<const GenImage3D &>(s.TmpTileImage2D8);
    uint32_t x = 0, y = 0, mapX = 0, mapY = 0;
    outputs.OutputSize(fieldX, fieldY, mapX, mapY);
    outputs.ScaledSize(fieldX, fieldY, s.Mosaic != 0 ? uint32_t(tile.GetSizeX()) : fieldX,
                       s.Mosaic != 0 ? uint32_t(tile.GetSizeY()) : fieldY, x, y);
    const int depth = s.TrueColor != 0 ? 3 : 1;
    const char format = outputs.Format != 0 ? outputs.Format : s.ImageFormat;
    const uint64_t bytes = format == 'T'   ? GenImage3D::TGAFileBytes(x, y, depth)
                           : format == 'P' ? 0
                                           : GenImage3D::BMPFileBytes(x, y, depth);
    char name[ReaDifSimulation::FileNameSize];
    // A script may write an image every iteration: room for all at once, not grown step by step.
    size_t due = 0;
    for (int32_t time = 1; time <= s.EndTime; ++time) due += s.ImageDue(time) ? 1 : 0;
    images.reserve(due * (1 + (outputs.Height ? 1 : 0) + (outputs.Normal ? 1 : 0)));
    for (int32_t time = 1; time <= s.EndTime; ++time) {
        // A name too long for the run loop is never written: nothing to wait for.
        if (!s.ImageDue(time) ||
            ReaDifSimulation::ImagePath(s.FileBaseName.GetString(), s.ImageComponent, time, format,
                                        name, sizeof name) != ReaDifSimulation::Done) {
            continue;
        }
        images.push_back({name, bytes, x, y});
        if (!outputs.Height && !outputs.Normal) continue;
        const std::string image = name;
        if (outputs.Height) {
            images.push_back({ImageOutput::MapPath(image, "_height"), 0, mapX, mapY});
        }
        if (outputs.Normal) {
            images.push_back({ImageOutput::MapPath(image, "_normal"), 0, mapX, mapY});
        }
    }
    return true;
}

bool SweepRunner::IsWhole(const Image &image) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(image.Path, error);
    if (error) return false;
    if (image.Bytes != 0) return size == image.Bytes;
    uint32_t width = 0;
    uint32_t height = 0;
    int cause = 0;
    return PngFile::CheckWhole(image.Path.c_str(), width, height, cause) == PngFile::Done &&
           width == image.Width && height == image.Height;
}

bool SweepRunner::MoviesFinished(const std::string &folder, const std::string &name,
                                 const VariantMovies &movies) {
    if (movies.Empty()) return true;
    // A movie is renamed into place also when its run is stopped: only the report of a run
    // that ended well tells a finished one from one cut short.
    VariantReport report;
    if (report.Read(VariantReport::PathOf(folder, name)) != VariantReport::Done ||
        report.Status != 0) {
        return false;
    }
    for (const std::string &file : movies.Files(name)) {
        std::error_code error;
        const std::filesystem::path path = std::filesystem::path(folder) / file;
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) {
            return false;
        }
        // The report names the movie as the run was told it: the folder's path may differ.
        const bool named = std::any_of(
            report.Movies.begin(), report.Movies.end(),
            [&](const std::string &m) { return std::filesystem::path(m).filename() == file; });
        if (!named) return false;
    }
    return true;
}

bool SweepRunner::IsComplete(const std::string &path, const ImageOptions &outputs) {
    std::vector<Image> images;
    uint32_t points = 0;
    if (!ExpectedImages(path, images, points, outputs)) return false;
    for (const Image &image : images) {
        if (!IsWhole(image)) return false;
    }
    return true;
}

SweepRunner::Result SweepRunner::Run(const std::string &folder,
                                     const std::vector<std::string> &names,
                                     const Settings &settings) {
    Started = Skipped = Failed = Finished = 0;
    std::vector<std::string> todo;
    uint32_t largest = 0;
    for (const std::string &name : names) {
        std::string script = (std::filesystem::path(folder) / (name + ".vna")).string();
        std::vector<Image> images;
        uint32_t points = 0;
        const bool accepted = ExpectedImages(script, images, points, settings.Outputs);
        if (accepted && points > largest) largest = points;
        if (settings.Resume && accepted &&
            std::all_of(images.begin(), images.end(), &SweepRunner::IsWhole) &&
            MoviesFinished(folder, name, settings.Movies)) {
            ++Skipped;
            if (settings.Ended) settings.Ended(name, 0, true);
            continue;
        }
        todo.push_back(name);
    }
    const int threads = settings.Threads < 1 ? 1 : settings.Threads;
    int jobs = settings.Jobs > 0 ? settings.Jobs : (largest <= SmallFieldPoints ? threads : 1);
    if (jobs > int(todo.size())) jobs = int(todo.size());
    if (jobs > MaxChildren) jobs = MaxChildren;
    if (jobs < 1) jobs = 1;
    const int perJob = threads / jobs < 1 ? 1 : threads / jobs;
    if (!settings.Quiet) {
        std::fprintf(settings.Out,
                     "%zu variants to run (%d already complete), %d at a time with "
                     "%d thread%s each\n",
                     todo.size(), Skipped, jobs, perJob, perJob > 1 ? "s" : "");
        std::fflush(settings.Out);
    }

    struct Running {
        pid_t Pid;
        std::string Name;
        Clock::time_point Start;
        std::unique_ptr<VariantOutput> Output;
    };
    std::vector<Running> running;
    size_t next = 0;
    bool passedOn = false;
    const std::string threadText = std::to_string(perJob);
    std::vector<std::string> runArguments = settings.Outputs.ToArguments();
    for (const std::string &word : settings.Movies.Arguments()) runArguments.push_back(word);
    while ((Stop == 0 && next < todo.size()) || !running.empty()) {
        if (Stop != 0 && !passedOn) {
            PassOn(SIGINT);
            passedOn = true;
        }
        while (Stop == 0 && next < todo.size() && int(running.size()) < jobs) {
            const std::string &name = todo[next++];
            std::string script = (std::filesystem::path(folder) / (name + ".vna")).string();
            // A report describes the run that wrote it: one left from before would outlive a
            // run that fails before writing its own. unlink removes a link, never its target.
            const std::string report = VariantReport::PathOf(folder, name);
            (void)unlink(report.c_str());
            auto output = std::make_unique<VariantOutput>();
            if (!output->Open((std::filesystem::path(folder) / (name + ".log")).string())) {
                std::fprintf(settings.Err, "%s: cannot start: %s\n", name.c_str(),
                             std::strerror(errno));
                ++Failed;
                if (settings.Ended) settings.Ended(name, 127, false);
                continue;
            }
            // Made before the fork: the child only takes its output pipe and starts the program.
            std::vector<const char *> argv = {settings.Program.c_str(), "--quiet", "--threads",
                                              threadText.c_str()};
            for (const std::string &word : runArguments) argv.push_back(word.c_str());
            std::vector<std::string> movies;
            for (const std::string &file : settings.Movies.Files(name)) {
                movies.push_back((std::filesystem::path(folder) / file).string());
            }
            for (const std::string &movie : movies) {
                argv.push_back("--movie");
                argv.push_back(movie.c_str());
            }
            if (settings.Reports) {
                argv.push_back("--json-file");
                argv.push_back(report.c_str());
            }
            // "--" keeps a script whose name starts with '-' a script.
            argv.push_back("--");
            argv.push_back(script.c_str());
            argv.push_back(nullptr);
            const int childSide = output->ChildSide();
            pid_t pid = fork();
            if (pid == 0) {
                // Its own process group: Ctrl-C reaches the sweep, which passes it on once.
                setpgid(0, 0);
                dup2(childSide, STDOUT_FILENO);
                dup2(childSide, STDERR_FILENO);
                execv(settings.Program.c_str(), const_cast<char *const *>(argv.data()));
                std::fprintf(stderr, "%s: %s\n", settings.Program.c_str(), std::strerror(errno));
                _exit(127);
            }
            output->CloseChildSide();
            if (pid < 0) {
                std::fprintf(settings.Err, "%s: cannot start: %s\n", name.c_str(),
                             std::strerror(errno));
                output->Finish(true);
                ++Failed;
                if (settings.Ended) settings.Ended(name, 127, false);
                continue;
            }
            for (int i = 0; i < MaxChildren; ++i) {
                if (ChildPids[i] == 0) {
                    ChildPids[i] = pid;
                    break;
                }
            }
            running.push_back({pid, name, Clock::now(), std::move(output)});
            ++Started;
        }
        int status = 0;
        pid_t done = waitpid(-1, &status, WNOHANG);
        if (done <= 0) {
            // Wait for output or 10 ms, whichever comes first; a child never blocks on a full
            // pipe for long.
            std::vector<pollfd> pipes;
            for (const Running &job : running) {
                if (job.Output->ReadSide() >= 0)
                    pipes.push_back({job.Output->ReadSide(), POLLIN, 0});
            }
            if (pipes.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            } else {
                (void)poll(pipes.data(), pipes.size(), 10);
            }
            for (const Running &job : running) job.Output->Pump();
            continue;
        }
        for (int i = 0; i < MaxChildren; ++i) {
            if (ChildPids[i] == done) ChildPids[i] = 0;
        }
        for (size_t i = 0; i < running.size(); ++i) {
            if (running[i].Pid != done) continue;
            Running job = std::move(running[i]);
            running.erase(running.begin() + long(i));
            double seconds = std::chrono::duration<double>(Clock::now() - job.Start).count();
            int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            job.Output->Finish(code == 0);
            if (settings.Ended) settings.Ended(job.Name, code, false);
            if (code == 0) {
                ++Finished;
                if (!settings.Quiet) {
                    std::fprintf(settings.Out, "[%d/%zu] %s done in %.1f s\n", Finished + Failed,
                                 todo.size(), job.Name.c_str(), seconds);
                }
            } else if (code == int(Interrupted) && Stop != 0) {
                std::fprintf(settings.Err, "%s: stopped\n", job.Name.c_str());
            } else {
                ++Failed;
                // The output kept in memory: the log may be cut short or missing (a full disk).
                const std::string where =
                    job.Output->LogWhole() ? " (" + job.Output->LogPath() + ")"
                    : job.Output->LogStarted()
                        ? " (" + job.Output->LogPath() + " is cut short; the output follows)"
                        : std::string(" (no log could be written)");
                std::string text = job.Output->Text();
                if (!text.empty() && text.back() != '\n') text += '\n';
                std::fprintf(settings.Err, "%s: failed (exit %d), its output%s:\n%s",
                             job.Name.c_str(), code, where.c_str(), text.c_str());
            }
            std::fflush(settings.Out);
            break;
        }
    }
    if (Stop != 0) {
        std::fprintf(settings.Err, "sweep stopped: %d of %zu variants done; --resume goes on\n",
                     Finished, todo.size());
        return Interrupted;
    }
    return Failed > 0 ? SomeFailed : Done;
}
