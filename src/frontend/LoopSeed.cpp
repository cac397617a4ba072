#include "frontend/LoopSeed.h"

#include <string>

#include "frontend/ParameterFiles.h"
#include "rdsimul/ScriptParser.h"
#include "rdsimul/ScriptText.h"
#include "toolkit/AtomicFileWriter.h"

std::string WithSeedLine(const std::string &script, uint32_t seed) {
    return ScriptText::WithKeywordLine(script, "randseed", std::to_string(seed));
}

uint32_t NextLoopSeed(uint32_t last) { return last % uint32_t(ScriptParser::MaxSeed) + 1u; }

FileResult KeepLoopSeed(const char *path, uint32_t seed, FileFault &fault) {
    fault = FileFault{};
    std::string text;
    if (ReadTextFile(path, MaxScriptFileBytes, text, fault) != FileCheckDone) {
        return FileFailed;
    }
    const std::string kept = WithSeedLine(text, seed);
    return AtomicFileWriter::WriteWhole(path, kept.data(), kept.size(), fault.Error) ==
                   AtomicFileWriter::Done
               ? FileDone
               : FileFailed;
}
