// PreviewSurface: a transparent layer over the editor that keeps the copies of the preview bitmap
// drawn on it until the editor repaints; owns the bitmap (as an RGB picture) and its canvas.
#pragma once

#include <QImage>
#include <QVector>
#include <QWidget>
#include <cstdint>

#include "platform/Platform.h"

class PreviewSurface : public QWidget {
public:
    explicit PreviewSurface(QWidget *parent);

    // The bitmap: format and pixels laid out as the format says. A format of other than 8 or 24
    // bits, an empty one or no pixels leave no bitmap, and copies draw nothing.
    void SetBitmap(const PreviewBitmapFormat &format, const uint8_t *pixels);
    // New pixels in the format of the last SetBitmap.
    void SetBitmapPixels(const uint8_t *pixels);
    void ReleaseBitmap();
    // Copies the bitmap's top-left width x height rectangle to x, y of area (a window's client
    // area in the surface's coordinates), cut to the bitmap and to area.
    void Blit(const QRect &area, int x, int y, int width, int height);
    // Drops everything drawn (the editor shows through again).
    void Clear();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    PreviewBitmapFormat Format;
    QVector<QRgb> Colours;  // the palette as Qt colours, for 8-bit pixels
    QImage Bitmap;          // the pixels as RGB, null when there is nothing to draw
    QImage Canvas;          // transparent where nothing was drawn
};
