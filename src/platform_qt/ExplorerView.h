// ExplorerView: the explorer's live view of the field: the picture as large as the widget
// allows with square pixels (nearest neighbour when enlarged), zoom, a tiled 3x3 view, and the
// brush's mouse strokes turned into field points. Owns the picture it shows.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

class ExplorerView : public QWidget {
public:
    explicit ExplorerView(QWidget *parent = nullptr);

    // The picture to show: one pixel per field point, row 0 at the top.
    void SetPicture(const QImage &picture);
    const QImage &Picture() const { return Shown; }
    void SetTiled(bool tiled);
    bool IsTiled() const { return Tiled; }
    // Zoom over the size that fits: 1 fits, more enlarges (kept from 0.25 to 32).
    void SetZoom(double zoom);
    double Zoom() const { return ZoomFactor; }
    // Seconds the last paintings took, smoothed: the window paces its frames by them.
    double PaintSeconds() const { return PaintCost; }
    // The field point under a widget position, taken around the torus (false: no picture, or
    // outside every drawn copy).
    bool FieldPoint(QPointF position, int &x, int &y) const;
    // The widget position of the centre of field point x, y (in the middle copy when tiled).
    QPointF WidgetPoint(int x, int y) const;

    // Called for every point a left-button stroke passes (shift: Shift held).
    // A dab of the brush; starts is true for the press that begins a stroke.
    std::function<void(int x, int y, bool shift, bool starts)> OnStroke;
    // Called with +1 or -1 per wheel notch while Ctrl is held (the brush radius).
    std::function<void(int steps)> OnRadiusWheel;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The drawn area: its top-left corner and the size of one field point, in widget pixels.
    void Layout(QPointF &origin, double &scale) const;
    void Stroke(QPointF position, bool shift, bool starts);

    QImage Shown;
    bool Tiled = false;
    double ZoomFactor = 1.0;
    double PaintCost = 0.0;
};
