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
    k.Alpha = GetReactionParameter("alpha");
    k.Beta = GetReactionParameter("beta");
    k.Gamma = GetReactionParameter("gamma");
    k.Delta = GetReactionParameter("delta");
    k.K = GetReactionParameter("k");
    k.C = GetReactionParameter("c");
    k.D = GetReactionParameter("d");
    k.E = GetReactionParameter("e");
    k.P = GetReactionParameter("p");
    k.A1 = GetReactionParameter("a1");
    k.A2 = GetReactionParameter("a2");
    k.B1 = GetReactionParameter("b1");
    k.B2 = GetReactionParameter("b2");
    k.C1 = GetReactionParameter("c1");
    k.C2 = GetReactionParameter("c2");
    k.D1 = GetReactionParameter("d1");
    k.D2 = GetReactionParameter("d2");
    return true;
}

int ReaDifSimulation::RunReactionKernel(int components, ReactionKernel kernel) {
    float *fields[4] = {nullptr, nullptr, nullptr, nullptr};
    FieldLayout layout;
    ReactionConstants k;
    if (!GatherReaction(components, fields, layout, k)) return Refused;
    kernel(fields, layout, k);
    return Done;
}

int ReaDifSimulation::FusedIteration(int32_t count) {
    if (Kernels->Iteration == nullptr || ReactionSubSteps != 1 || DiffusionSubSteps != 1) {
        return NotFused;
    }
    // The steps in the order of the kernel set's models: 0 none, then Schloegl .. BrusselatorDer1.
    static const ReactionStepFunction steps[] = {
        &ReaDifSimulation::ReactionStep_Void,
        &ReaDifSimulation::ReactionStep_Schlogl,
        &ReaDifSimulation::ReactionStep_GinzburgLandau,
        &ReaDifSimulation::ReactionStep_GinzburgLandauDer1,
        &ReaDifSimulation::ReactionStep_GinzburgLandauDer2,
        &ReaDifSimulation::ReactionStep_Maginu,
        &ReaDifSimulation::ReactionStep_MaginuDer1,
        &ReaDifSimulation::ReactionStep_Brusselator,
        &ReaDifSimulation::ReactionStep_BrusselatorDer1};
    static const int needs[] = {0, 1, 2, 3, 4, 2, 2, 2, 2};
    int model = -1;
    for (int m = 0; m < 9; ++m) {
        if (ReactionStep == steps[m]) model = m;
    }
    if (model < 0) return NotFused;
    // The fused kernel diffuses exactly the fields the reaction reads; any other arrangement
    // (and every refusal) goes through the separate steps.
    const int components = model == 0 ? ComponentCount : needs[model];
    if (components != ComponentCount || components < 1 || components > 4) return NotFused;
    float *fields[4] = {nullptr, nullptr, nullptr, nullptr};
    FieldLayout layout;
    ReactionConstants k;
    if (!GatherReaction(components, fields, layout, k)) return NotFused;
    if (!Kernels->Iteration(model, fields, components, layout, k, DiffusionCoeff, count)) {
        return NotFused;
    }
    return Done;
}

int ReaDifSimulation::ReactionStep_Void() { return Done; }

int ReaDifSimulation::ReactionStep_Schlogl() { return RunReactionKernel(1, Kernels->Schlogl); }

int ReaDifSimulation::ReactionStep_GinzburgLandau() {
    return RunReactionKernel(2, Kernels->GinzburgLandau);
}

int ReaDifSimulation::ReactionStep_GinzburgLandauDer1() {
    return RunReactionKernel(3, Kernels->GinzburgLandauDer1);
}

int ReaDifSimulation::ReactionStep_GinzburgLandauDer2() {
    return RunReactionKernel(4, Kernels->GinzburgLandauDer2);
}

int ReaDifSimulation::ReactionStep_Maginu() { return RunReactionKernel(2, Kernels->Maginu); }

int ReaDifSimulation::ReactionStep_MaginuDer1() {
    return RunReactionKernel(2, Kernels->MaginuDer1);
}

int ReaDifSimulation::ReactionStep_Brusselator() {
    return RunReactionKernel(2, Kernels->Brusselator);
}

int ReaDifSimulation::ReactionStep_BrusselatorDer1() {
    return RunReactionKernel(2, Kernels->BrusselatorDer1);
}

int ReaDifSimulation::DiffusionStep() {
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
