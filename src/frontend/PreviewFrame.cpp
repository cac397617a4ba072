// PreviewFrame: the copy keeps the source's layout (same class, sizes and border), so the pixel
// store is copied as one block.
#include "frontend/PreviewFrame.h"

#include <algorithm>
#include <cstring>

PreviewFrame::PreviewFrame()
    : Picture8("PreviewFrame8", 0, 0, 1, 0), Picture24("PreviewFrame24", 0, 0, 1, 0) {}

bool PreviewFrame::CopyFrom(GenImage3D &picture, int32_t time) {
    Current = nullptr;
    FrameTime = time;
    GenImage3D *copy = nullptr;
    if (picture.GetDepth() == 1) {
        copy = &Picture8;
    } else if (picture.GetDepth() == 3) {
        copy = &Picture24;
    }
    if (copy == nullptr || picture.GetData() == nullptr ||
        picture.GetBorderSize() != copy->GetBorderSize()) {
        return false;
    }
    if (copy->SetNewSize(picture.GetSizeX(), picture.GetSizeY(), picture.GetSizeZ()) ==
            Frame3D::SizeResult::Failed ||
        copy->GetData() == nullptr || copy->GetByteSize() != picture.GetByteSize()) {
        return false;
    }
    std::memcpy(copy->GetData(), picture.GetData(), picture.GetByteSize());
    if (copy == &Picture8) {
        // The palette goes with the pixels: entries as bytes, up to the shorter of the two.
        MemoryTable *from = picture.GetPtrRawColorMap();
        MemoryTable *to = Picture8.GetPtrRawColorMap();
        if (from != nullptr && to != nullptr && from->GetData() != nullptr &&
            to->GetData() != nullptr) {
            std::memcpy(to->GetData(), from->GetData(),
                        std::min(from->GetByteSize(), to->GetByteSize()));
        }
    }
    Current = copy;
    return true;
}
