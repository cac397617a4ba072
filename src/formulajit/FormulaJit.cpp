#include "formulajit/FormulaJit.h"

#include "formulajit/FormulaBlockAssembler.h"

FormulaJit::FormulaJit() = default;
// No run after this one may reach the code it drops.
FormulaJit::~FormulaJit() { UninstallFormulaCodeMaker(this); }

FormulaBlockCode FormulaJit::Make(const FormulaProgram &program, int lanes) {
    std::lock_guard<std::mutex> hold(Lock);
    ++Uses;
    for (Kept &kept : Programs) {
        if (kept.Serial == program.Serial() && kept.Lanes == lanes) {
            kept.LastUse = Uses;
            return kept.Code->Code();
        }
    }
    // The code dropped is no longer in use: the fast kernels ask under their lock, and hold it
    // for as long as they run a code they were given.
    if (Programs.size() >= MaxKept) {
        size_t oldest = 0;
        for (size_t i = 1; i < Programs.size(); ++i) {
            if (Programs[i].LastUse < Programs[oldest].LastUse) oldest = i;
        }
        Programs.erase(Programs.begin() + ptrdiff_t(oldest));
    }
    Kept kept;
    kept.Serial = program.Serial();
    kept.Lanes = lanes;
    kept.LastUse = Uses;
    kept.Code = std::make_unique<FormulaBlockAssembler>(program, lanes);
    Programs.push_back(std::move(kept));
    return Programs.back().Code->Code();
}

void FormulaJit::Install() {
    static FormulaJit jit;
    InstallFormulaCodeMaker(&jit);
}
