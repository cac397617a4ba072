#include "cli/MemoryBudget.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "imageio/WriterThread.h"

namespace {

// A field's lines are padded to whole cache lines; its border adds a row and column each side.
constexpr uint64_t LinePadding = 16;
constexpr uint64_t BorderPoints = 2;

}  // namespace

uint64_t MemoryBudget::RunBytes(int components, int x, int y, const Outputs &outputs) {
    const uint64_t fieldPoints =
        (uint64_t(x) + BorderPoints + LinePadding) * (uint64_t(y) + BorderPoints);
    uint64_t bytes = uint64_t(components < 1 ? 1 : components) * fieldPoints * sizeof(float);
    const uint64_t scale = uint64_t(outputs.Upscale < 1 ? 1 : outputs.Upscale);
    const uint64_t picturePoints = uint64_t(x) * uint64_t(y) * scale * scale;
    uint64_t pictureBytes = uint64_t(outputs.PictureDepth);
    // An upscaled image is resampled from a float field of its own size.
    if (scale > 1) pictureBytes += sizeof(float);
    if (outputs.Height) pictureBytes += 2;
    if (outputs.Normal) pictureBytes += 3;
    bytes += 2 * picturePoints * pictureBytes;
    // The images handed to the writer thread and not yet written hold copies: the picture, or
    // the field when upscaling or the maps need it (ImageOutput::Write).
    const uint64_t points = uint64_t(x) * uint64_t(y);
    uint64_t copyBytes = scale > 1 ? 0 : uint64_t(outputs.PictureDepth);
    if (scale > 1 || outputs.Height || outputs.Normal) copyBytes += sizeof(float);
    bytes += WriterThread::DefaultBound * points * copyBytes;
    return bytes;
}

uint64_t MemoryBudget::AvailableBytes(const std::string &meminfo) {
    std::istringstream lines(meminfo);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long long kilobytes = 0;
        char unit[8] = {};
        if (std::sscanf(line.c_str(), "MemAvailable: %llu %7s", &kilobytes, unit) == 2 &&
            std::strcmp(unit, "kB") == 0) {
            return uint64_t(kilobytes) * 1024;
        }
    }
    return 0;
}

uint64_t MemoryBudget::AvailableBytes() {
    std::ifstream file("/proc/meminfo");
    if (!file) return 0;
    std::ostringstream text;
    text << file.rdbuf();
    return AvailableBytes(text.str());
}

std::string MemoryBudget::Text(uint64_t bytes) {
    constexpr double MB = 1024.0 * 1024.0;
    char text[32];
    if (bytes >= uint64_t(1) << 30) {
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / (MB * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.0f MB", std::ceil(double(bytes) / MB));
    }
    return text;
}
