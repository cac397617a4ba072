// FormulaJit: the code maker the programs install, so that formula models run as machine code
// made for their instructions (FormulaBlockAssembler) instead of the instruction list; keeps the
// code of the programs run lately.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "rdsimul/kernels/FormulaCode.h"

class FormulaBlockAssembler;

class FormulaJit : public FormulaCodeMaker {
public:
    FormulaJit();
    ~FormulaJit() override;
    FormulaBlockCode Make(const FormulaProgram &program, int lanes) override;

    // Makes the process's one FormulaJit the code maker of the fast kernels; the programs call
    // it at start-up.
    static void Install();

private:
    // Programs kept at once: a desktop session compiles its script again at every run.
    static constexpr size_t MaxKept = 16;
    struct Kept {
        uint64_t Serial = 0;
        int Lanes = 0;
        uint64_t LastUse = 0;
        std::unique_ptr<FormulaBlockAssembler> Code;  // its Code() null: none could be made
    };
    std::mutex Lock;
    std::vector<Kept> Programs;
    uint64_t Uses = 0;
};
