#include "frontend/LiveField.h"

#include <cstddef>
#include <cstring>

#include "rdsimul/ReaDifSimulation.h"

void LiveField::CaptureIfAsked(const ReaDifSimulation &sim, int32_t revision) {
    if (!Asked.exchange(false, std::memory_order_acq_rel)) return;
    (void)Capture(sim, revision);
}

bool LiveField::Capture(const ReaDifSimulation &sim, int32_t revision) {
    if (sim.ComponentCount == 0) return false;
    int index = sim.GetComponentIndex(sim.ImageComponent);
    if (index < 0) index = 0;
    const Image3DFloat &source = *sim.Components[index];
    const int w = source.GetSizeX();
    const int h = source.GetSizeY();
    if (source.GetPtrFirstPixel() == nullptr || w <= 0 || h <= 0) return false;
    const std::lock_guard<std::mutex> hold(Lock);
    std::unique_ptr<Image3DFloat> &field = Spare.Field;
    if (!field || field->GetSizeX() != w || field->GetSizeY() != h ||
        field->GetLineOffset() != source.GetLineOffset()) {
        field = std::make_unique<Image3DFloat>("live field", static_cast<unsigned short>(w),
                                               static_cast<unsigned short>(h), 1,
                                               source.GetBorderSize());
        if (field->GetPtrFirstPixel() == nullptr ||
            field->GetLineOffset() != source.GetLineOffset()) {
            field.reset();
            return false;
        }
    }
    for (int y = 0; y < h; ++y) {
        std::memcpy(field->GetPtrFirstPixel() + std::ptrdiff_t(y) * source.GetLineOffset(),
                    source.GetPtrFirstPixel() + std::ptrdiff_t(y) * source.GetLineOffset(),
                    size_t(w) * sizeof(float));
    }
    Spare.Rule = sim.GetPictureRule();
    Spare.Time = sim.CurrentTime;
    Spare.Revision = revision;
    Fresh = true;
    return true;
}

bool LiveField::Take(Frame &frame) {
    const std::lock_guard<std::mutex> hold(Lock);
    if (!Fresh) return false;
    std::swap(frame.Field, Spare.Field);
    std::swap(frame.Rule, Spare.Rule);
    std::swap(frame.Time, Spare.Time);
    std::swap(frame.Revision, Spare.Revision);
    Fresh = false;
    return true;
}

void LiveField::Forget() {
    Asked.store(false, std::memory_order_release);
    const std::lock_guard<std::mutex> hold(Lock);
    Fresh = false;
}
