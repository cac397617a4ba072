// The parameter script of ReaDifSimulation: parse, rewrite with annotations, and the
// annotation lines themselves.
#include <cstring>

#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"
#include "toolkit/MessageIds.h"
#include "toolkit/ProcString.h"
#include "toolkit/StringTable.h"

namespace {

// The parser's buffers are made at the first parse and kept until the program ends.
ScriptParser &FileParser() {
    static ScriptParser parser;
    return parser;
}

}  // namespace

ScriptParser::Result ReaDifSimulation::SetParametersFromFile(const char *path, int &errorPosition,
                                                             int randomize) {
    return FileParser().Parse(*this, path, errorPosition, randomize);
}

const ScriptParser &ReaDifSimulation::LastFileParse() { return FileParser(); }

ReaDifSimulation::Result ReaDifSimulation::BuildErrorMessage(ProcString &text, ProcString &out) {
    return BuildErrorMessage(text.GetString(), out);
}

ReaDifSimulation::Result ReaDifSimulation::BuildErrorMessage(const char *text, ProcString &out) {
    if (text == nullptr) text = "";
    const char *prefix = GST.Get(MsgAnnotationPrefix);
    // Room for the whole line, so a long message is never cut before its line feed.
    int32_t length = int32_t(std::strlen(prefix) + std::strlen(text) + 1);
    if (out.Init(prefix, length) != ProcString::Done || out.Append(text) != ProcString::Done ||
        out.Append('\n') != ProcString::Done) {
        return Refused;
    }
    return Done;
}
