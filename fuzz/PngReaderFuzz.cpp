// libFuzzer entry point for the PNG reader: any byte string is written to a file, read both as
// RGB rows and as stored, and checked whole as --resume checks a variant's PNG. The reader must
// refuse what is no valid PNG and never touch memory outside its allocations (AddressSanitizer
// watches); what it accepts must fill its rows, and a file the whole check passes must decode.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imageio/PngFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = "/tmp/vorna_png_fuzz_" + std::to_string(getpid()) + ".png";
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    int error = 0;
    if (PngFile::ReadRgb(path.c_str(), width, height, rgb, error) == PngFile::Done &&
        rgb.size() != size_t(width) * height * 3) {
        std::abort();
    }
    PngFile::RawImage raw;
    if (PngFile::ReadRaw(path.c_str(), raw, error) == PngFile::Done &&
        raw.Rows.size() != raw.RowBytes * raw.Height) {
        std::abort();
    }
    uint32_t checkedWidth = 0, checkedHeight = 0;
    if (PngFile::CheckWhole(path.c_str(), checkedWidth, checkedHeight, error) == PngFile::Done &&
        (PngFile::ReadRaw(path.c_str(), raw, error) != PngFile::Done || raw.Width != checkedWidth ||
         raw.Height != checkedHeight)) {
        std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
