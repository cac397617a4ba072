// The reaction steps and the diffusion step of ReaDifSimulation: argument checks here, the
// loops in the kernel set.
#include "rdsimul/ReaDifSimulation.h"

bool ReaDifSimulation::FieldOf(int index, FieldLayout &layout, float *&firstPixel) const {
    const Image3DFloat *field = Components[index];
    if (field == nullptr || field->HasAllocationError() || field->GetPtrFirstPixel() == nullptr ||
        field->GetBorderSize() != 1) {
        return false;
    }
    layout.SizeX = field->GetSizeX();
    layout.SizeY = field->GetSizeY();
    layout.SizeZ = field->GetSizeZ();
    layout.LineOffset = field->GetLineOffset();
    layout.PlaneOffset = field->GetPlaneOffset();
    firstPixel = field->GetPtrFirstPixel();
    return true;
}

bool ReaDifSimulation::GatherReaction(int components, float **fields, FieldLayout &layout,
                                      ReactionConstants &k) const {
    if (ErrorStatus != StatusUsable || ComponentCount < components || !Built()) return false;
    for (int i = 0; i < components; ++i) {
        FieldLayout own;
        if (!FieldOf(i, own, fields[i])) return false;
        if (i == 0) {
            layout = own;
        } else if (own.SizeX != layout.SizeX || own.SizeY != layout.SizeY ||
                   own.SizeZ != layout.SizeZ || own.LineOffset != layout.LineOffset ||
                   own.PlaneOffset != layout.PlaneOffset) {
            // A field left at another size by a failed resize: walking it with A's counts
            // would leave its store.
            return false;
        }
    }
    // Read once per call: the run loop may drift them between iterations.
    for (int i = 0; i < components; ++i) k.Strength[i] = ReactionStrength[i];
#define VORNA_READ_PARAMETER(Field, name) k.Field = GetReactionParameter(name);
    VORNA_REACTION_PARAMETERS(VORNA_READ_PARAMETER)
#undef VORNA_READ_PARAMETER
    k.Formula = &Formula;
    for (int i = 0; i < Formula.ParameterCount(); ++i) {
        k.Named[i] = ReactionParameters[Formula.ParameterKeyAt(i)][0];
    }
    return true;
}

ReaDifSimulation::Result ReaDifSimulation::RunReactionModel(ReactionModelId model) {
    if (!ModelReacts(model)) return Done;
    float *fields[4] = {nullptr, nullptr, nullptr, nullptr};
    FieldLayout layout;
    ReactionConstants k;
    if (!GatherReaction(ReactingComponents(model), fields, layout, k)) return Refused;
    Kernels->Reaction[int(model)](fields, layout, k);
    return Done;
}

int ReaDifSimulation::ReactingComponents(ReactionModelId model) const {
    if (!ModelIsFormula(model)) return ModelComponents(model);
    // A formula program without a term for every component in use cannot run: more components
    // than there are slots make GatherReaction refuse.
    const int n = Formula.ComponentCount();
    return n == 0 || n != ComponentCount ? MaxSlots + 1 : n;
}

ReaDifSimulation::ReactionStepFunction ReaDifSimulation::StepOfModel(int model) {
#define VORNA_STEP_ENTRY(Id, ...) &ReaDifSimulation::ReactionStep_##Id,
    static const ReactionStepFunction steps[] = {VORNA_REACTION_MODELS(VORNA_STEP_ENTRY)};
#undef VORNA_STEP_ENTRY
    return steps[model];
}

ReaDifSimulation::FuseResult ReaDifSimulation::FusedIteration(int32_t count, int *nanTest) {
    if (Kernels->Iteration == nullptr || ReactionSubSteps != 1 || DiffusionSubSteps != 1) {
        return NotFused;
    }
    // A step installed by hand (not through SetReactionModel) takes the separate steps.
    if (ModelIndex < 0 || ModelIndex >= ReactionModelCount ||
        ReactionStep != StepOfModel(ModelIndex)) {
        return NotFused;
    }
    const ReactionModelId model = ReactionModelId(ModelIndex);
    // The fused kernel diffuses exactly the fields the reaction reads; any other arrangement
    // (and every refusal) goes through the separate steps.
    const int components = ModelReacts(model) ? ReactingComponents(model) : ComponentCount;
    if (components != ComponentCount || components < 1 || components > 4) return NotFused;
    float *fields[4] = {nullptr, nullptr, nullptr, nullptr};
    FieldLayout layout;
    ReactionConstants k;
    if (!GatherReaction(components, fields, layout, k)) return NotFused;
    // The NaN test looks at component A; the kernel's field 0 is it in every model so far.
    if (fields[0] != Components[0]->GetPtrFirstPixel()) nanTest = nullptr;
    if (!Kernels->Iteration(ModelIndex, fields, components, layout, k, DiffusionCoeff, count,
                            nanTest)) {
        return NotFused;
    }
    return FuseResult::Done;
}

#define VORNA_STEP_DEFINITION(Id, ...)                               \
    ReaDifSimulation::Result ReaDifSimulation::ReactionStep_##Id() { \
        return RunReactionModel(ReactionModelId::Id);                \
    }
VORNA_REACTION_MODELS(VORNA_STEP_DEFINITION)
#undef VORNA_STEP_DEFINITION

ReaDifSimulation::Result ReaDifSimulation::DiffusionStep() {
    if (ErrorStatus != StatusUsable) return Refused;
    if (!Built()) return Done;
    for (int pass = 0; pass < DiffusionSubSteps; ++pass) {
        for (int i = 0; i < ComponentCount; ++i) {
            FieldLayout layout;
            float *firstPixel = nullptr;
            // A field without pixels has nothing to diffuse (its own filters would refuse).
            if (!FieldOf(i, layout, firstPixel)) continue;
            Kernels->Diffusion(firstPixel, layout, DiffusionCoeff[i]);
        }
    }
    return Done;
}
