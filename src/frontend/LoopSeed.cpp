#include "frontend/LoopSeed.h"

#include <string>

#include "frontend/ParameterFiles.h"
#include "rdsimul/ScriptText.h"
#include "toolkit/AtomicFileWriter.h"

std::string WithSeedLine(const std::string &script, uint32_t seed) {
    return ScriptText::WithKeywordLine(script, "randseed", std::to_string(seed));
}

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
