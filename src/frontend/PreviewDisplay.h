// Preview display: turns preview pictures into the platform's preview bitmap and copies it over
// a window as one image, tiles or an album; owns the digit glyphs of the iteration counter.
#pragma once

#include "platform/Platform.h"

// Where a preview is drawn in the main window's client area: room is left above it for the
// first line of the editor's text (the run text's seed line).
constexpr int PreviewOriginX = 5;
constexpr int PreviewOriginY = 16;

class GenImage3D;
class Image3D8;
class MemoryTable;

// 99 x 12 glyph picture of the digits 0 to 9 in cells of 10 columns (lines of 100 bytes).
extern Image3D8 BitmapDigits;

// Writes the glyphs (value 215) into a zero-filled table of at least 300 words: 1; 0 when it
// holds fewer than 300 words; 3 when it is in its allocation-error state. Nothing written
// unless 1.
int LoadDigits(MemoryTable &table);
// Describes image in *PtrDisplayInfo (size, depth, line stride, palette of an 8-bit picture) and
// builds the preview bitmap for it over window.
void InitDisplay(WindowId window, GenImage3D &image);
// Rebuilds the bitmap for image and copies it once to the window's top-left corner.
void SimpleDisplay(WindowId window, GenImage3D &image);
// Stamps the counter (counter: the iteration image shows), updates the bitmap's pixels and draws
// by DisplayMode.
void FastDisplay(WindowId window, GenImage3D &image, int32_t counter);
// The run's last frame left over the idle editor: image drawn once at the origin, whatever the
// mode (tiles or an album would cover the whole script), and ResultShown set. Nothing when the
// preview is inactive or the window minimized.
void DisplayResult(WindowId window, GenImage3D &image);
// Releases the preview bitmap (at window destruction).
void ReleaseDisplay();
