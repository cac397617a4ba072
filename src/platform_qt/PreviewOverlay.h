// PreviewOverlay: a transparent layer over the editor that keeps the preview copies drawn on it
// until the editor repaints; owns its canvas.
#pragma once

#include <QImage>
#include <QWidget>

class PreviewOverlay : public QWidget {
public:
    explicit PreviewOverlay(QWidget *parent);
    // Drops everything drawn (the editor shows through again).
    void Clear();
    // Copies the top-left w x h of image to x, y.
    void Draw(const QImage &image, int x, int y, int w, int h);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage Canvas;
};

