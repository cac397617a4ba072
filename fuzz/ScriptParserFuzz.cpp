// libFuzzer entry point for the script parser: any bytes as a script file, and the same bytes
// as a colour-map specification.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "rdsimul/ReaDifSimulation.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/ProcString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const int loaded = LoadGST();
    (void)loaded;
    static ReaDifSimulation sim(4);
    static const std::string path = "/tmp/vorna-fuzz-" + std::to_string(getpid()) + ".vna";
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    int32_t position = 0;
    sim.SetParametersFromFile(path.c_str(), position, 0);

    std::string text(reinterpret_cast<const char *>(data), size);
    ProcString line(text.c_str(), 0);
    ProcString error(0);
    sim.SetColorMapFromString(line, error);
    return 0;
}
