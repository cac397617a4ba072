// libFuzzer entry point for the 8-bit BMP reader: any byte string is written to a file and
// loaded into images with and without a border and with a palette viewing a small map. The
// reader must never touch memory outside its allocations (AddressSanitizer watches).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image3d/Image3D8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = "/tmp/vorna_bmp_fuzz_" + std::to_string(getpid()) + ".bmp";
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    Image3D8 plain("fuzz", 0, 0, 1, 0);
    (void)plain.LoadFileBMP(path.c_str());
    Image3D8 bordered("fuzz", 3, 3, 1, 2);
    ColorMapRGBA8 small(3);
    (void)bordered.ShareColorMap(small);
    if (bordered.LoadFileBMP(path.c_str()) == Image3D8::Done) {
        (void)bordered.SaveFileBMP((path + ".out").c_str(), 0);
        std::remove((path + ".out").c_str());
    }
    std::remove(path.c_str());
    return 0;
}
