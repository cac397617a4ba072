// VornaMainWindow: closing is decided by the window procedure (the close event is always ignored
// here; the procedure destroys the window itself), and menu commands reach it through the event
// loop, one thread throughout.
#include "platform_qt/VornaMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QResizeEvent>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "frontend/PreviewDisplay.h"
#include "platform_qt/PreviewSurface.h"
#include "platform_qt/ScriptEditor.h"
#include "platform_qt/Text8.h"

namespace {

// The width in the low 16 bits, the height in the high 16 bits, as Size carries them.
uint32_t PackSize(const QSize &size) {
    return static_cast<uint32_t>(size.width() & 0xFFFF) |
           static_cast<uint32_t>(size.height() & 0xFFFF) << 16;
}

}  // namespace

VornaMainWindow::VornaMainWindow(WindowProcedure proc, const char *title, int width, int height,
                                 const MenuResource &menu)
    : Proc(proc) {
    // No focus by click: a click on the menu bar (which takes none) would otherwise give the
    // focus to the window behind it, away from the editor. GiveFocus still reaches it.
    setFocusPolicy(Qt::NoFocus);
    CreateClientArea();
    CreateIcon();
    SetMenu(menu);
    SetTitle(title);
    resize(width, height);
    // Watched from here on: the client area's size, clicks on the editor's text and files
    // dropped on it (the editor would take them as text).
    ClientArea->installEventFilter(this);
    TextEditor->viewport()->installEventFilter(this);
    TextEditor->installEventFilter(this);
    setAcceptDrops(true);
    QObject::connect(TextEditor->document(), &QTextDocument::modificationChanged, this,
                     [this](bool) { ShowTitle(); });
}

void VornaMainWindow::SetTitle(const char *title) {
    Title = FromText8(title);
    ShowTitle();
}

void VornaMainWindow::ShowTitle() {
    setWindowTitle(TextEditor->document()->isModified() ? Title + QLatin1Char('*') : Title);
}

int VornaMainWindow::Deliver(int message, uint32_t wParam, uint32_t lParam) {
    if (Proc == nullptr || Destroyed) {
        return 0;
    }
    return Proc(message, wParam, lParam);
}

void VornaMainWindow::ShowAndLayOut() {
    show();
    Deliver(WindowMessage::Size, 0, PackSize(ClientArea->size()));
    repaint();
}

void VornaMainWindow::Destroy() {
    if (Destroyed) {
        return;
    }
    Deliver(WindowMessage::Destroy);
    Destroyed = true;
    releaseMouse();
    hide();
}

void VornaMainWindow::GiveFocus(WindowId window) {
    FocusOwner = window;
    if (window == WindowId::Editor) {
        TextEditor->setFocus(Qt::OtherFocusReason);
    } else {
        setFocus(Qt::OtherFocusReason);
    }
}

void VornaMainWindow::RestoreFocus() {
    // Moving from one popup to the next closes one while the other opens: that one hands the
    // focus back when it closes in turn.
    if (Destroyed || QApplication::activePopupWidget() != nullptr) {
        return;
    }
    GiveFocus(FocusOwner);
}

void VornaMainWindow::CreateClientArea() {
    ClientArea = new QWidget(this);
    setCentralWidget(ClientArea);
    TextEditor = new ScriptEditor(ClientArea);
    // Created after the editor, so that it lies above it.
    Preview = new PreviewSurface(ClientArea);
}

void VornaMainWindow::CreateIcon() {
    // 32 x 32 concentric rings, as a reaction-diffusion spot grows them.
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            int r = static_cast<int>(std::hypot(x - 15.5, y - 15.5));
            image.setPixel(x, y, (r / 3) % 2 == 0 ? qRgb(0, 90, 160) : qRgb(240, 200, 40));
        }
    }
    setWindowIcon(QIcon(QPixmap::fromImage(image)));
}

void VornaMainWindow::SetMenu(const MenuResource &menu) {
    auto *bar = new QMenuBar(this);
    QMenu *popup = nullptr;
    for (const MenuEntry *e = menu.Entries; e->Type != MenuEntry::End; ++e) {
        QAction *action = AddMenuEntry(bar, popup, *e);
        if (action == nullptr) {
            continue;
        }
        action->setEnabled(!e->Grayed && e->Type != MenuEntry::Label);
        if (e->Checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (e->Type == MenuEntry::Command) {
            ConnectCommand(action, e->Identifier);
        }
    }
    setMenuBar(bar);  // deletes the previous bar
    AddShortcuts(menu);
}

void VornaMainWindow::AddShortcuts(const MenuResource &menu) {
    if (menu.Shortcuts == nullptr) {
        return;
    }
    QList<QAction *> commands = menuBar()->actions();
    for (QAction *entry : menuBar()->actions()) {
        if (entry->menu() != nullptr) {
            commands += entry->menu()->actions();
        }
    }
    for (QAction *action : commands) {
        QList<QKeySequence> keys;
        for (const MenuShortcut *s = menu.Shortcuts; s->Identifier != 0; ++s) {
            if (action->data().toInt() == s->Identifier) {
                keys += QKeySequence(QString::fromLatin1(s->Keys), QKeySequence::PortableText);
            }
        }
        if (!keys.isEmpty()) {
            action->setShortcuts(keys);
            // Keys that reach the window whichever child has the focus.
            action->setShortcutContext(Qt::WindowShortcut);
        }
    }
}

QAction *VornaMainWindow::AddMenuEntry(QMenuBar *bar, QMenu *&popup, const MenuEntry &entry) {
    QString text = QString::fromUtf8(entry.Text);
    if (entry.Level == 0) {
        popup = nullptr;
        if (entry.Type == MenuEntry::Popup) {
            popup = bar->addMenu(text);
            // Queued: Qt moves the focus to the menu bar (its keyboard mode) after the popup
            // has closed, and a command chosen in it runs after this.
            QObject::connect(popup, &QMenu::aboutToHide, this, [this] {
                QMetaObject::invokeMethod(
                    this, [this] { RestoreFocus(); }, Qt::QueuedConnection);
            });
            return popup->menuAction();
        }
        return entry.Type == MenuEntry::Separator ? bar->addSeparator() : bar->addAction(text);
    }
    if (popup == nullptr) {
        return nullptr;
    }
    return entry.Type == MenuEntry::Separator ? popup->addSeparator() : popup->addAction(text);
}

void VornaMainWindow::ConnectCommand(QAction *action, int identifier) {
    action->setData(identifier);
    QObject::connect(action, &QAction::triggered, this, [this, action, identifier](bool) {
        // The check marks belong to the program: undo Qt's own toggle of the item.
        if (action->isCheckable()) {
            action->setChecked(!action->isChecked());
        }
        // A key reaches an item whose popup is grayed; the menu itself would not.
        auto *popup = qobject_cast<QMenu *>(action->parent());
        if (popup != nullptr && !popup->menuAction()->isEnabled()) {
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, identifier] {
                Deliver(WindowMessage::Command, static_cast<uint32_t>(identifier));
            },
            Qt::QueuedConnection);
    });
}

void VornaMainWindow::EnableBarEntry(int barPosition, bool enable) {
    QList<QAction *> actions = menuBar()->actions();
    if (barPosition >= 0 && barPosition < actions.size()) {
        actions[barPosition]->setEnabled(enable);
    }
}

QAction *VornaMainWindow::MenuItemAt(int barPosition, int itemPosition) const {
    QList<QAction *> bar = menuBar()->actions();
    if (barPosition < 0 || barPosition >= bar.size() || bar[barPosition]->menu() == nullptr) {
        return nullptr;
    }
    QList<QAction *> items = bar[barPosition]->menu()->actions();
    return itemPosition >= 0 && itemPosition < items.size() ? items[itemPosition] : nullptr;
}

QRect VornaMainWindow::ClientRect(WindowId window) const {
    QWidget *viewport = TextEditor->viewport();
    if (window == WindowId::Editor) {
        return QRect(viewport->mapTo(ClientArea, QPoint(0, 0)), viewport->size());
    }
    const int lineBottom =
        viewport->mapTo(ClientArea, QPoint(0, TextEditor->FirstLineBottom())).y();
    return ClientArea->rect().adjusted(0, std::max(0, lineBottom - PreviewOriginY), 0, 0);
}

void VornaMainWindow::MoveEditor(int width, int height) {
    TextEditor->setGeometry(0, 0, width, height);
    Preview->setGeometry(0, 0, width, height);
    Preview->raise();
    Preview->Clear();
    TextEditor->viewport()->update();
}

void VornaMainWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    Deliver(WindowMessage::Close);
}

void VornaMainWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        Deliver(WindowMessage::Size, WindowMessage::SizeMinimized, 0);
    }
    QMainWindow::changeEvent(event);
}

void VornaMainWindow::keyPressEvent(QKeyEvent *event) {
    // A held key repeats: only its first press counts.
    if (!event->isAutoRepeat()) {
        Deliver(WindowMessage::KeyDown, static_cast<uint32_t>(event->key()), 0);
    }
    QMainWindow::keyPressEvent(event);
}

QString VornaMainWindow::ScriptOfDrag(const QMimeData *data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return QString();
    }
    QString path = data->urls().first().toLocalFile();
    return path.endsWith(QStringLiteral(".vna"), Qt::CaseInsensitive) ? path : QString();
}

void VornaMainWindow::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        Deliver(WindowMessage::LButtonDown);
    }
    QMainWindow::mousePressEvent(event);
}

bool VornaMainWindow::TakeDrag(QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto *drag = static_cast<QDropEvent *>(event);
    QString path = ScriptOfDrag(drag->mimeData());
    if (path.isEmpty()) {
        // Other files are refused, rather than have the editor insert their names as text.
        const QMimeData *carried = drag->mimeData();
        if (carried != nullptr && carried->hasUrls() && !carried->urls().isEmpty() &&
            carried->urls().first().isLocalFile()) {
            drag->ignore();
            return true;
        }
        return false;
    }
    drag->acceptProposedAction();
    if (type == QEvent::Drop) {
        // The procedure is reached from the event loop, once the drag is over.
        Dropped = QFile::encodeName(path);
        QMetaObject::invokeMethod(
            this, [this] { Deliver(WindowMessage::DropFiles); }, Qt::QueuedConnection);
    }
    return true;
}

bool VornaMainWindow::event(QEvent *event) { return TakeDrag(event) || QMainWindow::event(event); }

bool VornaMainWindow::eventFilter(QObject *watched, QEvent *event) {
    // A script dropped on the editor is opened, not inserted as text.
    if (TakeDrag(event)) {
        return true;
    }
    // A left click over the editor also reaches the procedure (it ends the colour-map view
    // even where the platform cannot capture the mouse); the editor still gets the click.
    if (watched == TextEditor->viewport() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Deliver(WindowMessage::LButtonDown);
    }
    // A key typed into the editor reaches the procedure too (it uncovers a run's kept frame
    // from the text being typed); the editor still gets the key.
    if (watched == TextEditor && event->type() == QEvent::KeyPress &&
        !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
        Deliver(WindowMessage::KeyDown,
                static_cast<uint32_t>(static_cast<QKeyEvent *>(event)->key()), 0);
    }
    // The client area changed size: the editor is placed by the procedure.
    if (watched == ClientArea && event->type() == QEvent::Resize && !isMinimized()) {
        Deliver(WindowMessage::Size, 0, PackSize(static_cast<QResizeEvent *>(event)->size()));
    }
    return QMainWindow::eventFilter(watched, event);
}
