// Reference kernels: the reaction models and the diffusion pass written plainly, one pixel at a
// time in store order. Any faster kernel set must give exactly the same bits as these.
#pragma once

#include "rdsimul/kernels/KernelSet.h"

// The reference set: what every simulation uses unless told otherwise.
const KernelSet &ReferenceKernels();

// Reaction passes (see KernelSet.h). Arithmetic in double, each new value rounded to float once
// when stored; the Schloegl pass rounds its increment to float and adds it in float. One per
// model of ReactionModels.h, named Reference<Id>; plain diffusion reacts nothing.
constexpr ReactionKernel ReferenceVoid = nullptr;
void ReferenceSchlogl(float *const *fields, const FieldLayout &layout, const ReactionConstants &k);
void ReferenceGinzburgLandau(float *const *fields, const FieldLayout &layout,
                             const ReactionConstants &k);
void ReferenceGinzburgLandauDer1(float *const *fields, const FieldLayout &layout,
                                 const ReactionConstants &k);
void ReferenceGinzburgLandauDer2(float *const *fields, const FieldLayout &layout,
                                 const ReactionConstants &k);
void ReferenceMaginu(float *const *fields, const FieldLayout &layout, const ReactionConstants &k);
void ReferenceMaginuDer1(float *const *fields, const FieldLayout &layout,
                         const ReactionConstants &k);
void ReferenceBrusselator(float *const *fields, const FieldLayout &layout,
                          const ReactionConstants &k);
void ReferenceBrusselatorDer1(float *const *fields, const FieldLayout &layout,
                              const ReactionConstants &k);
// The formula model over k.Formula's components: every expression from the old values, each
// component L then L + kL x its expression rounded to float once. Nothing without a program.
void ReferenceFormula(float *const *fields, const FieldLayout &layout, const ReactionConstants &k);

// The pieces of the diffusion pass, for a border of exactly one pixel.
// Copies the opposite edges into the border ring of every plane; corners take the diagonally
// opposite interior pixel, so the field is a torus.
void ReferencePeriodiseBorder(float *firstPixel, const FieldLayout &layout);
// In place: pixel c becomes neighbour x S9 + (centre - neighbour) x c, S9 being the 3 x 3 sum.
// Border line -1 of each plane is the scratch line and ends holding the old last line.
void ReferenceConvolve9(float *firstPixel, const FieldLayout &layout, double centre,
                        double neighbour);
// In place: pixel c becomes (S9 - c) x 0.125, the mean of its 8 neighbours.
void ReferenceConvolve9NoCentre(float *firstPixel, const FieldLayout &layout);
// Border copy, then the filter chosen by the coefficient (see DiffusionKernel).
void ReferenceDiffusion(float *firstPixel, const FieldLayout &layout, double coefficient);
