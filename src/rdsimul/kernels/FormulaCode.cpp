#include "rdsimul/kernels/FormulaCode.h"

#include <atomic>

namespace {

std::atomic<FormulaCodeMaker *> &Maker() {
    static std::atomic<FormulaCodeMaker *> maker{nullptr};
    return maker;
}

}  // namespace

void InstallFormulaCodeMaker(FormulaCodeMaker *maker) {
    Maker().store(maker, std::memory_order_release);
}

void UninstallFormulaCodeMaker(FormulaCodeMaker *maker) {
    Maker().compare_exchange_strong(maker, nullptr, std::memory_order_acq_rel);
}

FormulaBlockCode FormulaCodeFor(const FormulaProgram *program, int lanes) {
    FormulaCodeMaker *maker = Maker().load(std::memory_order_acquire);
    if (maker == nullptr || program == nullptr || program->InstructionCount() == 0) return nullptr;
    return maker->Make(*program, lanes);
}
