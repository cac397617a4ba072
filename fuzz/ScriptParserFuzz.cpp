// libFuzzer entry point for the script parser: any bytes as a script file, and the same bytes
// as a colour-map specification. Besides crashes it catches a rewrite that loses or moves a byte
// of the user's lines: without its annotation lines, the rewritten file must equal the input
// without its own.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptAnnotations.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/ProcString.h"

namespace {

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const MemoryTable::Result loaded = LoadGST();
    (void)loaded;
    static ReaDifSimulation sim(ReaDifSimulation::ComponentSlots);
    static const std::string path = "/tmp/vorna-fuzz-" + std::to_string(getpid()) + ".vna";
    const std::string script(reinterpret_cast<const char *>(data), size);
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    int32_t position = 0;
    if (sim.SetParametersFromFile(path.c_str(), position, 0) != ScriptParser::FileError &&
        scripttest::WithoutAnnotations(ReadAll(path)) != scripttest::WithoutAnnotations(script)) {
        std::fprintf(stderr, "the rewrite changed the script's own lines\n");
        std::abort();
    }

    ProcString line(script.c_str(), 0);
    ProcString error(0);
    // Refusals are expected here; only crashes and sanitizer reports count.
    (void)sim.SetColorMapFromString(line, error);
    return 0;
}
