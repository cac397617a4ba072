#include "sweep/SweepFolder.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "sweep/SweepExpander.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

namespace fs = std::filesystem;

constexpr long long MaxHeadRead = 1 << 20;
// How every page the contact sheet writes begins.
constexpr const char *SheetPageStart =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Sweep ";

// The file name of a path: "spots.vna".
std::string FileName(const std::string &path) { return fs::path(path).filename().string(); }

// Whether path names something (a link counts, whatever it points at).
bool Exists(const std::string &path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

// Whether path is a regular file itself, not a link to one.
bool IsPlainFile(const std::string &path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string InTheWay(const std::string &path, const std::string &why) {
    return path + ": in the way of the sweep: " + why +
           " (a sweep writes only into an empty folder or into its own)\n";
}

}  // namespace

size_t SweepFolder::ControlCharacterAt(const std::string &text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return i;
    }
    return std::string::npos;
}

bool SweepFolder::IsVariantOf(const std::string &path, const std::string &base) {
    if (!IsPlainFile(path)) return false;
    std::string text;
    FileFault fault;
    if (ReadTextFile(path.c_str(), MaxHeadRead, text, fault) != FileCheckDone) return false;
    const std::string head = SweepExpander::HeadComment;
    const size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos || text.compare(0, head.size(), head) != 0) return false;
    const std::string tail = " of " + base;
    const std::string line = text.substr(0, end);
    return line.size() > head.size() + tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

bool SweepFolder::HasMarker(const std::string &folder, const std::string &base) {
    const std::string path = (fs::path(folder) / MarkerName).string();
    if (!IsPlainFile(path)) return false;
    std::string text;
    FileFault fault;
    if (ReadTextFile(path.c_str(), MaxHeadRead, text, fault) != FileCheckDone) return false;
    const std::string start = MarkerText;
    if (text.compare(0, start.size(), start) != 0) return false;
    return base.empty() || text == start + base + "\n";
}

SweepFolder::Result SweepFolder::Check(const std::string &folder, const std::string &basePath,
                                       const std::vector<std::string> &names) {
    Error.clear();
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status)) return Done;  // made by Claim
    if (!fs::is_directory(status)) {
        Error = InTheWay(folder, "not a folder");
        return Refused;
    }
    std::vector<std::string> entries;
    for (const auto &item : fs::directory_iterator(folder, error)) {
        entries.push_back(item.path().filename().string());
    }
    if (error) {
        Error = folder + ": " + FaultText(error.value()) + "\n";
        return Refused;
    }
    if (entries.empty()) return Done;
    std::sort(entries.begin(), entries.end());
    const std::string base = FileName(basePath);
    // A folder written by this sweep: its marker, or (from before the marker) its variants;
    // never one that another base's sweep has marked.
    bool ours = HasMarker(folder, base);
    if (!ours && HasMarker(folder, "")) {
        Error = InTheWay((fs::path(folder) / MarkerName).string(),
                         "the folder belongs to the sweep of another base");
        return Refused;
    }
    for (size_t i = 0; i < entries.size() && !ours; ++i) {
        const std::string &entry = entries[i];
        ours = entry.size() > 4 && entry.compare(entry.size() - 4, 4, ".vna") == 0 &&
               IsVariantOf((fs::path(folder) / entry).string(), base);
    }
    if (!ours) {
        Error = InTheWay((fs::path(folder) / entries[0]).string(),
                         "the folder holds files this sweep did not write");
        return Refused;
    }
    for (const std::string &name : names) {
        const std::string path = (fs::path(folder) / (name + ".vna")).string();
        if (fs::equivalent(path, basePath, error)) {
            Error = InTheWay(path, "it is the base script");
            return Refused;
        }
        if (Exists(path) && !IsVariantOf(path, base)) {
            Error = InTheWay(path, "not a variant of " + base + " written by a sweep");
            return Refused;
        }
        // A variant's run report (NAME.json) and its movies (NAME.mp4, .webp, .gif) are the
        // sweep's own, replaced by every run.
        for (const char *extension : {".json", ".mp4", ".webp", ".gif"}) {
            const std::string own = (fs::path(folder) / (name + extension)).string();
            if (Exists(own) && !IsPlainFile(own)) {
                Error = InTheWay(own, "not a plain file (a link, a folder or a device)");
                return Refused;
            }
        }
    }
    for (const char *file : {MarkerName, "jobs.txt", "sweep.sbatch", "sweep.json", "index.html",
                             "contact.png", "contact.mp4"}) {
        const std::string path = (fs::path(folder) / file).string();
        if (Exists(path) && !IsPlainFile(path)) {
            Error = InTheWay(path, "not a plain file (a link, a folder or a device)");
            return Refused;
        }
    }
    return Done;
}

SweepFolder::Result SweepFolder::Claim(const std::string &folder, const std::string &basePath) {
    Error.clear();
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        Error = folder + ": " + FaultText(error.value()) + "\n";
        return Refused;
    }
    const std::string base = FileName(basePath);
    if (HasMarker(folder, base)) return Done;
    const std::string path = (fs::path(folder) / MarkerName).string();
    const std::string text = MarkerText + base + "\n";
    int cause = 0;
    if (AtomicFileWriter::WriteWhole(path.c_str(), text.data(), text.size(), cause) !=
        AtomicFileWriter::Done) {
        Error = path + ": " + FaultText(cause) + "\n";
        return Refused;
    }
    return Done;
}

SweepFolder::Result SweepFolder::CheckSheet(const std::string &folder) {
    Error.clear();
    const std::string page = (fs::path(folder) / "index.html").string();
    const std::string picture = (fs::path(folder) / "contact.png").string();
    const std::string movie = (fs::path(folder) / "contact.mp4").string();
    const std::string thumbs = (fs::path(folder) / "thumbs").string();
    for (const std::string &path : {page, picture, movie}) {
        if (Exists(path) && !IsPlainFile(path)) {
            Error = InTheWay(path, "not a plain file (a link, a folder or a device)");
            return Refused;
        }
    }
    std::error_code error;
    if (Exists(thumbs) && (fs::is_symlink(thumbs, error) || !fs::is_directory(thumbs, error))) {
        Error = InTheWay(thumbs, "not a folder of thumbnails");
        return Refused;
    }
    if (HasMarker(folder, "")) return Done;
    // A folder of variants from before the marker: only the sheet's own page and picture.
    std::string text;
    FileFault fault;
    const bool pageIsOurs =
        Exists(page) && ReadTextFile(page.c_str(), MaxHeadRead, text, fault) == FileCheckDone &&
        text.compare(0, std::string(SheetPageStart).size(), SheetPageStart) == 0;
    if (Exists(page) && !pageIsOurs) {
        Error = InTheWay(page, "a page the contact sheet did not write");
        return Refused;
    }
    for (const std::string &path : {picture, movie}) {
        if (Exists(path) && !pageIsOurs) {
            Error = InTheWay(path, "a picture without the contact sheet's page beside it");
            return Refused;
        }
    }
    return Done;
}
