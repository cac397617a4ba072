// PreviewSurface: the canvas starts transparent; copies paint opaque pixels into it, and the
// editor underneath shows wherever nothing was drawn.
#include "platform_qt/PreviewSurface.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

PreviewSurface::PreviewSurface(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void PreviewSurface::SetBitmap(const PreviewBitmapFormat &format, const uint8_t *pixels) {
    Format = format;
    Colours.resize(PreviewBitmapFormat::PaletteSize);
    for (int i = 0; i < PreviewBitmapFormat::PaletteSize; ++i) {
        const PaletteEntry &entry = format.Palette[i];
        Colours[i] = qRgb(entry.Red, entry.Green, entry.Blue);
    }
    SetBitmapPixels(pixels);
}

void PreviewSurface::SetBitmapPixels(const uint8_t *pixels) {
    if (Format.Width <= 0 || Format.Height <= 0 || pixels == nullptr ||
        (Format.Bits != 8 && Format.Bits != 24)) {
        Bitmap = QImage();
        return;
    }
    // One conversion straight into the bitmap's own rows, which stay from one preview to the
    // next: no picture is allocated per frame.
    if (Bitmap.width() != Format.Width || Bitmap.height() != Format.Height ||
        Bitmap.format() != QImage::Format_RGB32) {
        Bitmap = QImage(Format.Width, Format.Height, QImage::Format_RGB32);
    }
    const QRgb *colours = Colours.constData();
    for (int y = 0; y < Format.Height; ++y) {
        const uint8_t *row = pixels + static_cast<size_t>(y) * static_cast<size_t>(Format.Stride);
        auto *out = reinterpret_cast<QRgb *>(Bitmap.scanLine(y));
        if (Format.Bits == 8) {
            for (int x = 0; x < Format.Width; ++x) {
                out[x] = colours[row[x]];
            }
        } else {
            for (int x = 0; x < Format.Width; ++x) {
                out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            }
        }
    }
}

void PreviewSurface::ReleaseBitmap() {
    Bitmap = QImage();
    Format = PreviewBitmapFormat{};
}

void PreviewSurface::Blit(const QRect &area, int x, int y, int width, int height) {
    if (Bitmap.isNull() || width <= 0 || height <= 0) {
        return;
    }
    width = std::min({width, Bitmap.width(), area.width() - x});
    height = std::min({height, Bitmap.height(), area.height() - y});
    if (width <= 0 || height <= 0) {
        return;
    }
    x += area.x();
    y += area.y();
    if (Canvas.size() != size()) {
        Canvas = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        Canvas.fill(Qt::transparent);
    }
    QPainter painter(&Canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x, y), Bitmap, QRect(0, 0, width, height));
    painter.end();
    update(QRect(x, y, width, height));
}

void PreviewSurface::Clear() {
    if (!Canvas.isNull()) {
        Canvas.fill(Qt::transparent);
    }
    update();
}

void PreviewSurface::paintEvent(QPaintEvent *event) {
    if (Canvas.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), Canvas, event->rect());
}

void PreviewSurface::resizeEvent(QResizeEvent *event) {
    // A resized editor repaints itself: what was drawn over it is gone.
    Canvas = QImage(event->size(), QImage::Format_ARGB32_Premultiplied);
    Canvas.fill(Qt::transparent);
}
