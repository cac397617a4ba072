// Preview display: the bitmap is rebuilt only when asked (InitDisplayDone 0) or when the picture
// no longer matches it; each refresh uploads the pixels and copies one or more rectangles.
#include "frontend/PreviewDisplay.h"

#include <algorithm>
#include <cstring>

#include "frontend/FrontEndGlobals.h"
#include "image3d/GenImage3D.h"
#include "image3d/Image3D8.h"
#include "rdsimul/ReaDifSimulation.h"

Image3D8 BitmapDigits("BitmapDigits", 99, 12, 1, 0);

namespace {

constexpr int OriginX = PreviewOriginX;
constexpr int OriginY = PreviewOriginY;
constexpr int DigitLine = 100;  // bytes per glyph line
constexpr unsigned char GlyphValue = 215;

// Rows 0 to 11 of the ten digits, '#' for a glyph pixel, columns 0 to 9 of each cell.
const char *const DigitRows[12][10] = {
    {"..........", "..........", "..........", "..........", "..........", "..........",
     "..........", "..........", "..........", ".........."},
    {"..####....", "....#.....", "..####....", "..####....", "..#...#...", "..#####...",
     "..#####...", "..####....", "..####....", "..####...."},
    {".######...", "...##.....", ".######...", ".######...", ".##..##...", ".#####....",
     ".#####....", ".######...", ".######...", ".######..."},
    {".##..##...", "...##.....", ".....##...", ".....##...", ".##..##...", ".##.......",
     ".##.......", ".....##...", ".##..##...", ".##..##..."},
    {".##..##...", "...##.....", ".....##...", ".....##...", ".##..##...", ".##.......",
     ".##.......", ".....##...", ".##..##...", ".##..##..."},
    {".##..##...", "...##.....", "..#####...", "...####...", ".######...", ".#####....",
     ".#####....", ".....##...", ".######...", ".######..."},
    {".##..##...", "...##.....", ".#####....", "..#####...", "..#####...", "..#####...",
     ".######...", ".....##...", ".######...", "..#####..."},
    {".##..##...", "...##.....", ".##.......", ".....##...", ".....##...", ".....##...",
     ".##..##...", ".....##...", ".##..##...", ".....##..."},
    {".##..##...", "...##.....", ".##.......", ".....##...", ".....##...", ".....##...",
     ".##..##...", ".....##...", ".##..##...", ".....##..."},
    {".######...", "...##.....", ".######...", "..#####...", ".....##...", "..#####...",
     ".######...", ".....##...", ".######...", "..#####..."},
    {"..####....", "...##.....", "..#####...", ".#####....", ".....##...", ".#####....",
     "..####....", ".....##...", "..####....", ".#####...."},
    {"..........", "..........", "..........", "..........", "..........", "..........",
     "..........", "..........", "..........", ".........."},
};

// A preview bitmap exists, in the format *PtrDisplayInfo describes.
bool BitmapExists = false;

const uint8_t *Pixels(GenImage3D &image) {
    return reinterpret_cast<const uint8_t *>(image.GetData());
}

// The picture can be handed to the bitmap: it has pixels for all its rows.
bool Displayable(GenImage3D &image) {
    return image.GetData() != nullptr && image.GetSizeX() > 0 && image.GetSizeY() > 0 &&
           (image.GetDepth() == 1 || image.GetDepth() == 3);
}

void StampCounter(GenImage3D &image, int32_t counter) {
    image.DrawInteger(static_cast<int>(counter), "%04d", 0, 0, 0, 255, BitmapDigits, 10);
}

}  // namespace

int LoadDigits(MemoryTable &table) {
    if (table.HasAllocationError()) {
        return 3;
    }
    if (table.GetDataSize() < 300 || table.GetData() == nullptr) {
        return 0;
    }
    auto *bytes = reinterpret_cast<unsigned char *>(table.GetData());
    for (int r = 0; r < 12; ++r) {
        for (int d = 0; d < 10; ++d) {
            for (int c = 0; c < 10; ++c) {
                if (DigitRows[r][d][c] == '#') {
                    bytes[r * DigitLine + 10 * d + c] = GlyphValue;
                }
            }
        }
    }
    return 1;
}

void InitDisplay(WindowId window, GenImage3D &image) {
    PreviewBitmapFormat &format = *PtrDisplayInfo;
    format.Width = image.GetSizeX();
    format.Height = image.GetSizeY();
    format.Bits = 8 * image.GetDepth();
    // The picture's own lines: pixels and the padding to a multiple of 4 bytes.
    format.Stride = image.GetSizeX() * image.GetDepth() + image.GetAlignedBytes();
    MemoryTable *palette = image.GetPtrRawColorMap();
    if (image.GetDepth() == 1 && palette != nullptr && palette->GetData() != nullptr) {
        // Palette words are blue, green, red, alpha in memory, the byte order of an entry.
        // Entries past a shorter palette keep the colours they had.
        uint32_t entries =
            std::min<uint32_t>(palette->GetDataSize(), PreviewBitmapFormat::PaletteSize);
        std::memcpy(format.Palette, palette->GetData(), entries * sizeof(PaletteEntry));
    }
    ReleaseDisplay();
    if (Displayable(image)) {
        ThePlatform->CreatePreviewBitmap(window, format, Pixels(image));
        BitmapExists = true;
    }
    DisplaySequencePosX = 0;
    DisplaySequencePosY = 0;
    InitDisplayDone = 1;
}

void SimpleDisplay(WindowId window, GenImage3D &image) {
    InitDisplay(window, image);
    if (!BitmapExists) {
        return;
    }
    ThePlatform->SetPreviewBitmapPixels(Pixels(image));
    if (image.GetSizeX() > 0 && image.GetSizeY() > 0) {
        ThePlatform->BlitPreviewBitmap(0, 0, image.GetSizeX(), image.GetSizeY());
    }
}

namespace {

// The bitmap holds image, rebuilt when needed: false when there is nothing to draw.
bool PrepareBitmap(WindowId window, GenImage3D &image) {
    // A picture of another size or depth than the bitmap would be read past its end: rebuild.
    if (InitDisplayDone == 0 || !BitmapExists || image.GetSizeX() != PtrDisplayInfo->Width ||
        image.GetSizeY() != PtrDisplayInfo->Height ||
        8 * image.GetDepth() != PtrDisplayInfo->Bits) {
        InitDisplay(window, image);
    }
    return BitmapExists && Displayable(image);
}

// One copy of the bitmap at the origin, cut to the client area of W x H.
void DrawAtOrigin(int sizeX, int sizeY, int W, int H) {
    int w = std::min(sizeX, W - OriginX);
    int h = std::min(sizeY, H - OriginY);
    if (w > 0 && h > 0) {
        ThePlatform->BlitPreviewBitmap(OriginX, OriginY, w, h);
    }
}

}  // namespace

void DisplayResult(WindowId window, GenImage3D &image) {
    ResultShown = 0;
    if (DisplayMode == 0 || ThePlatform->IsMinimized() || !PrepareBitmap(window, image)) {
        return;
    }
    if (DisplayCounter == 1) {
        StampCounter(image, MainRDSim.CurrentTime);
    }
    ThePlatform->SetPreviewBitmapPixels(Pixels(image));
    int W = 0;
    int H = 0;
    ThePlatform->GetClientSize(window, W, H);
    DrawAtOrigin(image.GetSizeX(), image.GetSizeY(), W, H);
    ResultShown = 1;
}

void FastDisplay(WindowId window, GenImage3D &image, int32_t counter) {
    if (!PrepareBitmap(window, image)) {
        return;
    }
    const int sizeX = image.GetSizeX();
    const int sizeY = image.GetSizeY();
    if (DisplayCounter == 1 && DisplayMode != 2) {
        StampCounter(image, counter);
    }
    ThePlatform->SetPreviewBitmapPixels(Pixels(image));
    int W = 0;
    int H = 0;
    ThePlatform->GetClientSize(window, W, H);
    if (DisplayMode == 1) {
        DrawAtOrigin(sizeX, sizeY, W, H);
    } else if (DisplayMode == 2) {
        // The other tiles first: the first row starts after the first tile.
        int y = OriginY;
        int x = sizeX + OriginX;
        int th = sizeY;
        while (y < H) {
            if (y + th > H - 4) {
                th = H - 4 - y;  // kept for the rows below
            }
            int w = sizeX;
            while (x < W) {
                if (x + w > W - 5) {
                    w = W - 5 - x;
                }
                if (w > 0 && th > 0) {
                    ThePlatform->BlitPreviewBitmap(x, y, w, th);
                }
                x += sizeX;
            }
            x = OriginX;
            y += sizeY;
        }
        // Then the first tile, the only one that shows the counter.
        int h = std::min(sizeY, H - 20);
        int w = std::min(sizeX, W - 10);
        if (w > 0 && h > 0) {
            if (DisplayCounter == 1) {
                StampCounter(image, counter);
                ThePlatform->SetPreviewBitmapPixels(Pixels(image));
            }
            ThePlatform->BlitPreviewBitmap(OriginX, OriginY, w, h);
        }
    } else if (DisplayMode == 3) {
        int w = sizeX;
        int h = sizeY;
        if (sizeX + DisplaySequencePosX > W - 5) {
            DisplaySequencePosX = 0;
            DisplaySequencePosY += sizeY + 10;
        }
        if (sizeY + DisplaySequencePosY > H - 16) {
            DisplaySequencePosX = 0;
            DisplaySequencePosY = 0;
        }
        if (DisplaySequencePosX + w > W - 5) {
            w = W - 5 - DisplaySequencePosX;
        }
        if (DisplaySequencePosY + h > H - 5) {
            h = H - 5 - DisplaySequencePosY;
        }
        if (w > 0 && h > 0) {
            ThePlatform->BlitPreviewBitmap(DisplaySequencePosX + OriginX,
                                           DisplaySequencePosY + OriginY, w, h);
        }
        DisplaySequencePosX += sizeX + 10;
    }
}

void ReleaseDisplay() {
    if (BitmapExists && ThePlatform != nullptr) {
        ThePlatform->ReleasePreviewBitmap();
    }
    BitmapExists = false;
}
