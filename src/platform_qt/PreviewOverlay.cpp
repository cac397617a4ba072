// PreviewOverlay: the canvas starts transparent; copies paint opaque pixels into it, and the
// editor underneath shows wherever nothing was drawn.
#include "platform_qt/PreviewOverlay.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

PreviewOverlay::PreviewOverlay(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void PreviewOverlay::Clear() {
    if (!Canvas.isNull()) {
        Canvas.fill(Qt::transparent);
    }
    update();
}

void PreviewOverlay::Draw(const QImage &image, int x, int y, int w, int h) {
    if (Canvas.size() != size()) {
        Canvas = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        Canvas.fill(Qt::transparent);
    }
    QPainter painter(&Canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x, y), image, QRect(0, 0, w, h));
    painter.end();
    update(QRect(x, y, w, h));
}

void PreviewOverlay::paintEvent(QPaintEvent *event) {
    if (Canvas.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), Canvas, event->rect());
}

void PreviewOverlay::resizeEvent(QResizeEvent *event) {
    // A resized editor repaints itself: what was drawn over it is gone.
    Canvas = QImage(event->size(), QImage::Format_ARGB32_Premultiplied);
    Canvas.fill(Qt::transparent);
}
