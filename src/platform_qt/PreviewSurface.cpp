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
    // A view of the caller's rows, converted (and so copied) at once.
    if (Format.Bits == 8) {
        QImage view(pixels, Format.Width, Format.Height, Format.Stride, QImage::Format_Indexed8);
        view.setColorTable(Colours);
        Bitmap = view.convertToFormat(QImage::Format_RGB32);
    } else {
        QImage view(pixels, Format.Width, Format.Height, Format.Stride, QImage::Format_BGR888);
        Bitmap = view.convertToFormat(QImage::Format_RGB32);
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
