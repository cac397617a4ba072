#include "sweep/ContactMovie.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "movie/MovieEncoder.h"
#include "movie/MovieReader.h"
#include "toolkit/FileCheck.h"

namespace {

// frame fitted into a cell of the sheet: at most CellSide, and never past the cell the final
// images gave the sheet (a movie of another size than its variant's image).
SweepPicture CellPicture(const MovieReader &reader, const ContactSheet &sheet) {
    SweepPicture frame;
    frame.Width = reader.Width;
    frame.Height = reader.Height;
    frame.Rgb = reader.Rgb;
    SweepPicture cell = frame.Fitted(ContactSheet::CellSide);
    if (cell.Width > sheet.CellWidth || cell.Height > sheet.CellHeight) {
        const double scale =
            std::min(double(sheet.CellWidth) / cell.Width, double(sheet.CellHeight) / cell.Height);
        const uint32_t side = uint32_t(double(std::max(cell.Width, cell.Height)) * scale);
        cell = frame.Fitted(std::max<uint32_t>(side, 1));
    }
    return cell;
}

// Removes the contact movie at path when it is a regular file (the sheet's own: its folder was
// checked); a link or anything else stays.
void RemoveStale(const std::string &path) {
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) (void)unlink(path.c_str());
}

}  // namespace

ContactMovie::Result ContactMovie::Build(const ContactSheet &sheet, const std::string &folder) {
    Frames = 0;
    Width = Height = 0;
    Error.clear();
    Notes.clear();
    const std::filesystem::path dir(folder);
    const size_t count = sheet.Entries.size();
    // Every movie stays open while the frames are laid out one time after the other.
    std::vector<std::unique_ptr<MovieReader>> readers(count);
    double fps = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const ContactSheet::Entry &entry = sheet.Entries[i];
        if (entry.Movie.empty()) continue;
        auto reader = std::make_unique<MovieReader>();
        int cause = 0;
        const std::string path = (dir / entry.Movie).string();
        if (reader->Open(path, cause) != MovieReader::Done) {
            Notes +=
                path + ": cannot be read (" + FaultText(cause) + "): a gap in " + FileName + "\n";
            continue;
        }
        if (fps == 0.0) fps = reader->Fps;
        readers[i] = std::move(reader);
    }
    const std::string path = (dir / FileName).string();
    if (std::all_of(readers.begin(), readers.end(), [](const auto &r) { return r == nullptr; })) {
        // A contact movie of earlier runs would no longer match the sheet beside it.
        RemoveStale(path);
        return None;
    }
    MovieSettings settings;
    settings.Fps = fps >= MovieSettings::MinFps && fps <= MovieSettings::MaxFps ? fps : DefaultFps;
    std::unique_ptr<MovieEncoder> encoder = MovieEncoder::Make(MovieEncoder::Format::Mp4);
    if (encoder == nullptr) {
        Error = path + ": " + FaultText(ENOMEM) + "\n";
        return Failed;
    }
    std::vector<SweepPicture> cells(count);
    std::vector<uint8_t> bgr;
    for (;;) {
        bool advanced = false;
        for (size_t i = 0; i < count; ++i) {
            if (readers[i] == nullptr) continue;
            int cause = 0;
            const MovieReader::Result read = readers[i]->Next(cause);
            if (read == MovieReader::Done) {
                cells[i] = CellPicture(*readers[i], sheet);
                advanced = true;
                continue;
            }
            // Ended: the cell holds the last frame; damaged: a gap from here on.
            if (read == MovieReader::Failed) {
                Notes += (dir / sheet.Entries[i].Movie).string() + ": frame " +
                         std::to_string(Frames + 1) + " cannot be read (" + FaultText(cause) +
                         "): a gap in " + FileName + " from there on\n";
                cells[i] = SweepPicture();
            }
            readers[i].reset();
        }
        if (!advanced) break;
        const SweepPicture picture = sheet.Compose(cells, false);
        int cause = 0;
        if (Frames == 0) {
            // Even sides, the added line in the sheet's own background.
            Width = picture.Width + (picture.Width & 1u);
            Height = picture.Height + (picture.Height & 1u);
            if (encoder->Begin(path.c_str(), Width, Height, settings, cause) !=
                MovieEncoder::Done) {
                Error = path + ": " + FaultText(cause) + "\n";
                return Failed;
            }
            bgr.assign(size_t(Width) * Height * 3, 0x20);
        }
        for (uint32_t y = 0; y < picture.Height; ++y) {
            const uint8_t *from = &picture.Rgb[size_t(y) * picture.Width * 3];
            uint8_t *to = &bgr[size_t(y) * Width * 3];
            for (uint32_t x = 0; x < picture.Width; ++x) {
                to[x * 3] = from[x * 3 + 2];
                to[x * 3 + 1] = from[x * 3 + 1];
                to[x * 3 + 2] = from[x * 3];
            }
        }
        MovieFrame frame;
        frame.Width = Width;
        frame.Height = Height;
        frame.Kind = MovieFrame::Layout::Bgr8;
        frame.Pixels = bgr.data();
        frame.RowStride = size_t(Width) * 3;
        if (encoder->Add(frame, cause) != MovieEncoder::Done) {
            encoder->Discard();
            Error = path + ": " + FaultText(cause) + "\n";
            return Failed;
        }
        ++Frames;
    }
    int cause = 0;
    if (Frames == 0) {
        Notes += std::string(FileName) + ": the variants' movies hold no frame; not written\n";
        RemoveStale(path);
        return None;
    }
    if (encoder->End(cause) != MovieEncoder::Done) {
        Error = path + ": " + FaultText(cause) + "\n";
        return Failed;
    }
    return Done;
}
