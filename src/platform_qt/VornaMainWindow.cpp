// VornaMainWindow: Qt events become the messages of the window procedure; closing is decided
// there (the event is always ignored here, the procedure destroys the window itself).
#include "platform_qt/VornaMainWindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include "platform_qt/QtPlatform.h"

VornaMainWindow::VornaMainWindow(QtPlatform &platform) : Owner(platform) {
    setFocusPolicy(Qt::StrongFocus);
}

void VornaMainWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    Owner.Deliver(WindowMessage::Close);
}

void VornaMainWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        Owner.Deliver(WindowMessage::Size, WindowMessage::SizeMinimized, 0);
    }
    QMainWindow::changeEvent(event);
}

void VornaMainWindow::keyReleaseEvent(QKeyEvent *event) {
    if (!event->isAutoRepeat()) {
        Owner.Deliver(WindowMessage::KeyUp, static_cast<uint32_t>(event->key()), 0);
    }
    QMainWindow::keyReleaseEvent(event);
}

void VornaMainWindow::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        Owner.Deliver(WindowMessage::LButtonDown);
    }
    QMainWindow::mousePressEvent(event);
}

bool VornaMainWindow::eventFilter(QObject *watched, QEvent *event) {
    // A left click over the editor also reaches the procedure (it ends the colour-map view
    // even where the platform cannot capture the mouse); the editor still gets the click.
    if (Owner.Editor() != nullptr && watched == Owner.Editor()->viewport() &&
        event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Owner.Deliver(WindowMessage::LButtonDown);
    }
    // The client area (central widget) changed size: the editor is placed by the procedure.
    if (watched == centralWidget() && event->type() == QEvent::Resize && !isMinimized()) {
        QSize s = static_cast<QResizeEvent *>(event)->size();
        Owner.Deliver(WindowMessage::Size, 0,
                      static_cast<uint32_t>(s.width() & 0xFFFF) |
                          static_cast<uint32_t>(s.height() & 0xFFFF) << 16);
    }
    return QMainWindow::eventFilter(watched, event);
}
