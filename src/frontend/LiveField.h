// LiveField: the explorer's view of a computing run without stopping it. The window asks; at
// the next slice boundary the thread that computes copies the shown component (and how it
// becomes a picture) into a spare field; the window takes it by swapping fields. Owns both
// fields.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "image3d/Image3DFloat.h"
#include "image3d/PictureRule.h"

class ReaDifSimulation;

class LiveField {
public:
    // What the window holds: the field of one iteration, its picture rule and the record's
    // revision when it was copied.
    struct Frame {
        std::unique_ptr<Image3DFloat> Field;
        PictureRule Rule;
        int32_t Time = -1;
        int32_t Revision = -1;
    };

    // Window thread: a copy is wanted at the next boundary.
    void Ask() { Asked.store(true, std::memory_order_release); }
    // Thread that computes, at a slice boundary: the copy, when one was asked for.
    void CaptureIfAsked(const ReaDifSimulation &sim, int32_t revision);
    // Any thread while nobody else touches sim: the copy now, asked for or not. false when sim
    // has no field to show or no memory for it.
    bool Capture(const ReaDifSimulation &sim, int32_t revision);
    // Window thread: swaps a copy made since the last take into frame; false when there is none
    // (frame unchanged).
    bool Take(Frame &frame);
    // A copy not taken yet and a request not answered yet are dropped (a new run, a reset).
    void Forget();

private:
    std::atomic<bool> Asked{false};
    std::mutex Lock;  // over Spare and Fresh
    Frame Spare;
    bool Fresh = false;
};
