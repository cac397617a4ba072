// ExplorerView: the live view, its zoom and tiling, and the brush's strokes.
#include "platform_qt/ExplorerView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cmath>

ExplorerView::ExplorerView(QWidget *parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(200, 200);
    setMouseTracking(false);
    setCursor(Qt::CrossCursor);
    // The view paints every pixel it covers: nothing needs painting beneath it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ExplorerView::SetPicture(const QImage &picture) {
    Shown = picture;
    update();
}

void ExplorerView::SetTiled(bool tiled) {
    Tiled = tiled;
    update();
}

void ExplorerView::SetZoom(double zoom) {
    ZoomFactor = std::clamp(zoom, 0.25, 32.0);
    update();
}

void ExplorerView::Layout(QPointF &origin, double &scale) const {
    const int copies = Tiled ? 3 : 1;
    if (Shown.isNull()) {
        origin = QPointF(0, 0);
        scale = 1.0;
        return;
    }
    // One scale for both axes keeps the points square.
    const double fit = std::min(double(width()) / (copies * Shown.width()),
                                double(height()) / (copies * Shown.height()));
    scale = fit * ZoomFactor;
    const QSizeF drawn(copies * Shown.width() * scale, copies * Shown.height() * scale);
    origin = QPointF((width() - drawn.width()) / 2.0, (height() - drawn.height()) / 2.0);
}

bool ExplorerView::FieldPoint(QPointF position, int &x, int &y) const {
    if (Shown.isNull()) return false;
    QPointF origin;
    double scale = 1.0;
    Layout(origin, scale);
    const int copies = Tiled ? 3 : 1;
    const double fx = std::floor((position.x() - origin.x()) / scale);
    const double fy = std::floor((position.y() - origin.y()) / scale);
    if (fx < 0 || fy < 0 || fx >= copies * Shown.width() || fy >= copies * Shown.height()) {
        return false;
    }
    // Any copy of the tiled view lands on the field's own point.
    x = int(fx) % Shown.width();
    y = int(fy) % Shown.height();
    return true;
}

QPointF ExplorerView::WidgetPoint(int x, int y) const {
    QPointF origin;
    double scale = 1.0;
    Layout(origin, scale);
    const int copy = Tiled ? 1 : 0;
    return origin + QPointF((copy * Shown.width() + x + 0.5) * scale,
                            (copy * Shown.height() + y + 0.5) * scale);
}

void ExplorerView::paintEvent(QPaintEvent *) {
    const auto start = std::chrono::steady_clock::now();
    struct Timed {
        std::chrono::steady_clock::time_point Start;
        double &Cost;
        ~Timed() {
            const double spent =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
            Cost = Cost == 0.0 ? spent : 0.8 * Cost + 0.2 * spent;
        }
    } timed{start, PaintCost};
    QPainter painter(this);
    if (Shown.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    QPointF origin;
    double scale = 1.0;
    Layout(origin, scale);
    // Black around the picture only (the screen pixels it covers only in part included): the
    // picture covers the rest.
    const int copies = Tiled ? 3 : 1;
    const QPoint inside(int(std::ceil(origin.x())), int(std::ceil(origin.y())));
    const QPoint beyond(int(std::floor(origin.x() + copies * Shown.width() * scale)),
                        int(std::floor(origin.y() + copies * Shown.height() * scale)));
    const QRect covered(inside, beyond - QPoint(1, 1));
    for (const QRect &margin : QRegion(rect()).subtracted(QRegion(covered))) {
        painter.fillRect(margin, Qt::black);
    }
    // Nearest neighbour: every field point an even block of screen pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QSizeF tile(Shown.width() * scale, Shown.height() * scale);
    for (int ty = 0; ty < copies; ++ty) {
        for (int tx = 0; tx < copies; ++tx) {
            const QRectF target(origin + QPointF(tx * tile.width(), ty * tile.height()), tile);
            painter.drawImage(target, Shown);
        }
    }
}

void ExplorerView::Stroke(QPointF position, bool shift, bool starts) {
    int x = 0;
    int y = 0;
    if (OnStroke && FieldPoint(position, x, y)) OnStroke(x, y, shift, starts);
}

void ExplorerView::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        Stroke(event->position(), (event->modifiers() & Qt::ShiftModifier) != 0, true);
    }
}

void ExplorerView::mouseMoveEvent(QMouseEvent *event) {
    if ((event->buttons() & Qt::LeftButton) != 0) {
        Stroke(event->position(), (event->modifiers() & Qt::ShiftModifier) != 0, false);
    }
}

void ExplorerView::wheelEvent(QWheelEvent *event) {
    const int steps = event->angleDelta().y() > 0 ? 1 : event->angleDelta().y() < 0 ? -1 : 0;
    if (steps == 0) return;
    if ((event->modifiers() & Qt::ControlModifier) != 0) {
        if (OnRadiusWheel) OnRadiusWheel(steps);
    } else {
        SetZoom(steps > 0 ? ZoomFactor * 1.25 : ZoomFactor / 1.25);
    }
    event->accept();
}

void ExplorerView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal) {
        SetZoom(ZoomFactor * 1.25);
    } else if (event->key() == Qt::Key_Minus) {
        SetZoom(ZoomFactor / 1.25);
    } else {
        QWidget::keyPressEvent(event);
    }
}
