// VornaMainWindow: the main window of `vorna`; forwards close, minimize, key release and mouse
// press to the platform's window procedure. Owns nothing beyond its Qt children.
#pragma once

#include <QMainWindow>

class QtPlatform;

class VornaMainWindow : public QMainWindow {
public:
    explicit VornaMainWindow(QtPlatform &platform);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QtPlatform &Owner;
};

