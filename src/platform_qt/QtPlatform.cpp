// QtPlatform: Qt 6 Widgets behind the platform operations. One thread: menu commands are queued
// to the event loop, and the front end's run pumps the loop itself between slices.
#include "platform_qt/QtPlatform.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QIcon>
#include <QPixmap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QThread>
#include <cmath>

namespace {

uint32_t Info32(const uint8_t *info, int offset) {
    return static_cast<uint32_t>(info[offset]) | static_cast<uint32_t>(info[offset + 1]) << 8 |
           static_cast<uint32_t>(info[offset + 2]) << 16 |
           static_cast<uint32_t>(info[offset + 3]) << 24;
}

// The editor's text as characters, paragraph breaks as line feeds and no-break spaces kept.
QString RawEditorText(const QPlainTextEdit *editor) {
    QString text = editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

// A 32 x 32 icon: concentric rings, as a reaction-diffusion spot grows them.
QIcon ProgramIcon() {
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            int r = static_cast<int>(std::hypot(x - 15.5, y - 15.5));
            image.setPixel(x, y, (r / 3) % 2 == 0 ? qRgb(0, 90, 160) : qRgb(240, 200, 40));
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

QString SettingsKey(const char *section, const char *key) {
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key);
}

}  // namespace

QtPlatform::QtPlatform() { QGuiApplication::setQuitOnLastWindowClosed(false); }

QtPlatform::~QtPlatform() { delete MainWindow; }

bool QtPlatform::CreateMainWindow(WindowProcedure proc, const char *title, int width, int height,
                                  const MenuResource &menu) {
    Proc = proc;
    MainWindow = new VornaMainWindow(*this);
    Client = new QWidget(MainWindow);
    MainWindow->setCentralWidget(Client);
    TextEditor = new QPlainTextEdit(Client);
    TextEditor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    TextEditor->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TextEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Overlay = new PreviewOverlay(Client);
    MainWindow->setWindowIcon(ProgramIcon());
    SetMenu(menu);
    SetTitle(title);
    MainWindow->resize(width, height);
    Client->installEventFilter(MainWindow);
    TextEditor->viewport()->installEventFilter(MainWindow);
    Deliver(WindowMessage::Create);
    return true;
}

void QtPlatform::ShowMainWindow() {
    if (MainWindow == nullptr) {
        return;
    }
    MainWindow->show();
    QSize s = Client->size();
    Deliver(WindowMessage::Size, 0,
            static_cast<uint32_t>(s.width()) | static_cast<uint32_t>(s.height()) << 16);
    MainWindow->repaint();
}

void QtPlatform::DestroyMainWindow() {
    if (MainWindow == nullptr || Destroyed) {
        return;
    }
    Deliver(WindowMessage::Destroy);
    Destroyed = true;
    MainWindow->releaseMouse();
    MainWindow->hide();
}

void QtPlatform::PostCloseRequest() {
    if (MainWindow == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        MainWindow, [this] { Deliver(WindowMessage::Close); }, Qt::QueuedConnection);
}

void QtPlatform::PostQuit(int exitCode) { QCoreApplication::exit(exitCode); }

int QtPlatform::RunMessageLoop() {
    if (MainWindow == nullptr || Destroyed) {
        return 0;
    }
    return QApplication::exec();
}

void QtPlatform::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtPlatform::Sleep(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

bool QtPlatform::IsMinimized() { return MainWindow != nullptr && MainWindow->isMinimized(); }

void QtPlatform::SetTitle(const char *title) {
    if (MainWindow != nullptr) {
        MainWindow->setWindowTitle(FromText8(title));
    }
}

void QtPlatform::RepaintFrame() {
    if (MainWindow != nullptr) {
        MainWindow->update();
    }
}

void QtPlatform::GetClientSize(WindowId window, int &width, int &height) {
    QSize s;
    if (window == WindowId::Editor && TextEditor != nullptr) {
        s = TextEditor->viewport()->size();
    } else if (Client != nullptr) {
        s = Client->size();
    }
    width = s.width();
    height = s.height();
}

void QtPlatform::SetFocus(WindowId window) {
    if (window == WindowId::Editor && TextEditor != nullptr) {
        TextEditor->setFocus();
    } else if (MainWindow != nullptr) {
        MainWindow->setFocus();
    }
}

void QtPlatform::CaptureMouse(bool capture) {
    if (MainWindow == nullptr) {
        return;
    }
    if (capture) {
        MainWindow->grabMouse();
    } else {
        MainWindow->releaseMouse();
    }
}

void QtPlatform::SetMenu(const MenuResource &menu) {
    if (MainWindow == nullptr) {
        return;
    }
    auto *bar = new QMenuBar(MainWindow);
    QMenu *popup = nullptr;
    for (const MenuEntry *e = menu.Entries; e->Type != MenuEntry::End; ++e) {
        QString text = QString::fromUtf8(e->Text);
        QAction *action = nullptr;
        if (e->Level == 0) {
            popup = nullptr;
            if (e->Type == MenuEntry::Popup) {
                popup = bar->addMenu(text);
                action = popup->menuAction();
            } else if (e->Type == MenuEntry::Separator) {
                action = bar->addSeparator();
            } else {
                action = bar->addAction(text);
            }
        } else if (popup != nullptr) {
            action = e->Type == MenuEntry::Separator ? popup->addSeparator() : popup->addAction(text);
        }
        if (action == nullptr) {
            continue;
        }
        action->setEnabled(!e->Grayed && e->Type != MenuEntry::Label);
        if (e->Checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (e->Type == MenuEntry::Command) {
            int id = e->Identifier;
            QObject::connect(action, &QAction::triggered, MainWindow, [this, action, id](bool) {
                // The check marks belong to the program: undo Qt's own toggle of the item.
                if (action->isCheckable()) {
                    action->setChecked(!action->isChecked());
                }
                // Commands reach the procedure from the event loop, as posted messages would.
                QMetaObject::invokeMethod(
                    MainWindow,
                    [this, id] { Deliver(WindowMessage::Command, static_cast<uint32_t>(id)); },
                    Qt::QueuedConnection);
            });
        }
    }
    MainWindow->setMenuBar(bar);  // deletes the previous bar
}

void QtPlatform::EnableBarEntry(int barPosition, bool enable) {
    if (MainWindow == nullptr) {
        return;
    }
    QList<QAction *> actions = MainWindow->menuBar()->actions();
    if (barPosition >= 0 && barPosition < actions.size()) {
        actions[barPosition]->setEnabled(enable);
    }
}

QAction *QtPlatform::MenuItemAt(int barPosition, int itemPosition) const {
    if (MainWindow == nullptr) {
        return nullptr;
    }
    QList<QAction *> bar = MainWindow->menuBar()->actions();
    if (barPosition < 0 || barPosition >= bar.size() || bar[barPosition]->menu() == nullptr) {
        return nullptr;
    }
    QList<QAction *> items = bar[barPosition]->menu()->actions();
    return itemPosition >= 0 && itemPosition < items.size() ? items[itemPosition] : nullptr;
}

void QtPlatform::EnableMenuItem(int barPosition, int itemPosition, bool enable) {
    if (QAction *item = MenuItemAt(barPosition, itemPosition)) {
        item->setEnabled(enable);
    }
}

void QtPlatform::CheckMenuItem(int barPosition, int itemPosition, bool check) {
    if (QAction *item = MenuItemAt(barPosition, itemPosition)) {
        item->setCheckable(true);
        item->setChecked(check);
    }
}

void QtPlatform::DrawMenuBar() {
    if (MainWindow != nullptr) {
        MainWindow->menuBar()->update();
    }
}

int QtPlatform::MessageBox(bool owner, const char *text, const char *caption, int style) {
    QMessageBox box(owner && !Destroyed ? MainWindow : nullptr);
    box.setWindowTitle(FromText8(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(FromText8(text));
    if ((style & 0xF0) == BoxIconExclamation) {
        box.setIcon(QMessageBox::Warning);
    } else if ((style & 0xF0) == BoxIconInformation) {
        box.setIcon(QMessageBox::Information);
    }
    if (style & BoxOkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Cancel) ? AnswerCancel : AnswerOk;
}

bool QtPlatform::SetEditorText(const char *text) {
    if (TextEditor == nullptr) {
        return false;
    }
    // The script's bytes come back unchanged from GetEditorText: valid UTF-8 is shown as
    // UTF-8, anything else as Latin-1 (one character per byte); CR LF line ends are shown as
    // one line break and written back as CR LF.
    QByteArrayView bytes(text);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(bytes);
    EditorUtf8 = !decoder.hasError();
    if (!EditorUtf8) {
        decoded = QString::fromLatin1(bytes);
    }
    EditorCrLf = decoded.contains(QStringLiteral("\r\n"));
    if (EditorCrLf) {
        decoded.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    Overlay->Clear();
    TextEditor->setPlainText(decoded);
    return true;
}

std::string QtPlatform::GetEditorText() {
    if (TextEditor == nullptr) {
        return std::string();
    }
    QString text = RawEditorText(TextEditor);
    if (EditorCrLf) {
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    }
    QByteArray bytes = EditorUtf8 ? text.toUtf8() : text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void QtPlatform::GetEditorSelection(int &start, int &end) {
    start = end = 0;
    if (TextEditor == nullptr) {
        return;
    }
    QTextCursor cursor = TextEditor->textCursor();
    start = cursor.selectionStart();
    end = cursor.selectionEnd();
}

void QtPlatform::SetEditorSelection(int start, int end) {
    if (TextEditor == nullptr) {
        return;
    }
    int last = TextEditor->document()->characterCount() - 1;
    int s = std::clamp(start, 0, last);
    int e = std::clamp(end, 0, last);
    QTextCursor cursor = TextEditor->textCursor();
    cursor.setPosition(s);
    cursor.setPosition(e, QTextCursor::KeepAnchor);
    TextEditor->setTextCursor(cursor);
}

void QtPlatform::ScrollCaretIntoView() {
    if (TextEditor != nullptr) {
        TextEditor->ensureCursorVisible();
    }
}

void QtPlatform::SetEditorReadOnly(bool readOnly) {
    if (TextEditor != nullptr) {
        TextEditor->setReadOnly(readOnly);
    }
}

void QtPlatform::SetEditorBackground(uint32_t colour) {
    if (TextEditor == nullptr) {
        return;
    }
    QPalette palette = TextEditor->palette();
    QColor c(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
             static_cast<int>((colour >> 16) & 0xFF));
    palette.setColor(QPalette::Base, c);
    TextEditor->setPalette(palette);
}

void QtPlatform::ShowEditorScrollBars(bool show) {
    if (TextEditor == nullptr) {
        return;
    }
    Qt::ScrollBarPolicy policy = show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    TextEditor->setVerticalScrollBarPolicy(policy);
    TextEditor->setHorizontalScrollBarPolicy(policy);
}

void QtPlatform::ShowEditorCaret(bool show) {
    if (TextEditor != nullptr) {
        TextEditor->setCursorWidth(show ? 1 : 0);
    }
}

void QtPlatform::SetEditorTabStops(int dialogUnits) {
    if (TextEditor != nullptr) {
        QFontMetricsF metrics(TextEditor->font());
        TextEditor->setTabStopDistance(metrics.averageCharWidth() * dialogUnits / 4.0);
    }
}

void QtPlatform::MoveEditor(int width, int height) {
    if (TextEditor == nullptr) {
        return;
    }
    TextEditor->setGeometry(0, 0, width, height);
    Overlay->setGeometry(0, 0, width, height);
    Overlay->raise();
    Overlay->Clear();
    TextEditor->viewport()->update();
}

void QtPlatform::InvalidateEditor() {
    if (TextEditor == nullptr) {
        return;
    }
    Overlay->Clear();
    TextEditor->viewport()->update();
}

void QtPlatform::EditorUndo() {
    if (TextEditor != nullptr) {
        TextEditor->undo();
    }
}

void QtPlatform::EditorCut() {
    if (TextEditor != nullptr) {
        TextEditor->cut();
    }
}

void QtPlatform::EditorCopy() {
    if (TextEditor != nullptr) {
        TextEditor->copy();
    }
}

void QtPlatform::EditorPaste() {
    if (TextEditor != nullptr) {
        TextEditor->paste();
    }
}

bool QtPlatform::FileDialog(bool save, const char *description, const char *pattern,
                            const char *initialDirectory, const char *defaultExtension,
                            std::string &path, int maxLength) {
    QString filter = FromText8(description) + QStringLiteral(" (") + QString::fromLatin1(pattern) +
                     QLatin1Char(')');
    QFileDialog dialog(MainWindow, QString(), QFile::decodeName(initialDirectory), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromLatin1(defaultExtension));
    if (!path.empty()) {
        dialog.selectFile(QFile::decodeName(path.c_str()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    QByteArray chosen = QFile::encodeName(dialog.selectedFiles().first());
    if (chosen.isEmpty() || chosen.size() > maxLength) {
        MessageBox(true, "The path of the chosen file is too long.", "Vorna", BoxIconExclamation);
        return false;
    }
    path.assign(chosen.constData(), static_cast<size_t>(chosen.size()));
    return true;
}

QString QtPlatform::FallbackSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vorna/vorna.ini");
}

std::string QtPlatform::ReadSetting(const char *path, const char *section, const char *key,
                                    const char *defaultValue) {
    QString file = QFile::decodeName(path);
    // Settings that could not be written beside the program were written to the fallback.
    if (!QFileInfo(QFileInfo(file).absolutePath()).isWritable() &&
        QFileInfo::exists(FallbackSettingsPath())) {
        file = FallbackSettingsPath();
    }
    QSettings settings(file, QSettings::IniFormat);
    QVariant value = settings.value(SettingsKey(section, key));
    QByteArray bytes = value.isValid() && value.canConvert<QString>()
                           ? value.toString().toUtf8()
                           : QByteArray(defaultValue);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool QtPlatform::WriteSetting(const char *path, const char *section, const char *key,
                              const char *value) {
    QString file = QFile::decodeName(path);
    if (QFileInfo(QFileInfo(file).absolutePath()).isWritable()) {
        {
            QSettings settings(file, QSettings::IniFormat);
            if (settings.status() == QSettings::FormatError) {
                // An unreadable file would not be rewritten: start it afresh.
                settings.clear();
            }
            settings.setValue(SettingsKey(section, key), QString::fromUtf8(value));
            settings.sync();
            if (settings.status() == QSettings::NoError) {
                return true;
            }
        }
        // Garbage that QSettings refuses to rewrite: replace the file with a fresh one.
        QString fresh = file + QStringLiteral(".new");
        QFile::remove(fresh);
        {
            QSettings settings(fresh, QSettings::IniFormat);
            settings.setValue(SettingsKey(section, key), QString::fromUtf8(value));
            settings.sync();
        }
        if (std::rename(QFile::encodeName(fresh).constData(), path) == 0) {
            return true;
        }
        QFile::remove(fresh);
    }
    QString fallback = FallbackSettingsPath();
    QDir().mkpath(QFileInfo(fallback).absolutePath());
    QSettings settings(fallback, QSettings::IniFormat);
    settings.setValue(SettingsKey(section, key), QString::fromUtf8(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::string QtPlatform::ProgramDirectory() {
    QByteArray dir = QFile::encodeName(QCoreApplication::applicationDirPath());
    return std::string(dir.constData(), static_cast<size_t>(dir.size()));
}

void QtPlatform::CreatePreviewBitmap(WindowId target, const uint8_t *info,
                                     const uint8_t *pixels) {
    BitmapTarget = target;
    BitmapWidth = static_cast<int>(Info32(info, 4));
    int height = static_cast<int>(Info32(info, 8));
    BitmapHeight = height < 0 ? -height : height;
    BitmapBits = info[14] | info[15] << 8;
    BitmapColors.resize(256);
    for (int i = 0; i < 256; ++i) {
        const uint8_t *entry = info + 40 + 4 * i;
        BitmapColors[i] = qRgb(entry[2], entry[1], entry[0]);
    }
    UpdateBitmapImage(pixels);
}

void QtPlatform::SetPreviewBitmapPixels(const uint8_t *pixels) { UpdateBitmapImage(pixels); }

void QtPlatform::UpdateBitmapImage(const uint8_t *pixels) {
    if (BitmapWidth <= 0 || BitmapHeight <= 0 || pixels == nullptr ||
        (BitmapBits != 8 && BitmapBits != 24)) {
        BitmapImage = QImage();
        return;
    }
    // Rows are padded to 4 bytes and run from the top.
    qsizetype line = (static_cast<qsizetype>(BitmapWidth) * BitmapBits / 8 + 3) / 4 * 4;
    if (BitmapBits == 8) {
        QImage view(pixels, BitmapWidth, BitmapHeight, line, QImage::Format_Indexed8);
        view.setColorTable(BitmapColors);
        BitmapImage = view.convertToFormat(QImage::Format_RGB32);
    } else {
        QImage view(pixels, BitmapWidth, BitmapHeight, line, QImage::Format_BGR888);
        BitmapImage = view.convertToFormat(QImage::Format_RGB32);
    }
}

void QtPlatform::BlitPreviewBitmap(int x, int y, int width, int height) {
    if (BitmapImage.isNull() || Overlay == nullptr || width <= 0 || height <= 0) {
        return;
    }
    width = std::min(width, BitmapImage.width());
    height = std::min(height, BitmapImage.height());
    if (BitmapTarget == WindowId::Editor) {
        // The editor's client area is its viewport; drawing stays inside it.
        QRect viewport(TextEditor->viewport()->mapTo(Client, QPoint(0, 0)),
                       TextEditor->viewport()->size());
        width = std::min(width, viewport.width() - x);
        height = std::min(height, viewport.height() - y);
        x += viewport.x();
        y += viewport.y();
        if (width <= 0 || height <= 0) {
            return;
        }
    }
    Overlay->Draw(BitmapImage, x, y, width, height);
}

void QtPlatform::ReleasePreviewBitmap() {
    BitmapImage = QImage();
    BitmapWidth = BitmapHeight = BitmapBits = 0;
}

int QtPlatform::Deliver(int message, uint32_t wParam, uint32_t lParam) {
    if (Proc == nullptr || Destroyed) {
        return 0;
    }
    return Proc(message, wParam, lParam);
}

QString QtPlatform::FromText8(const char *text) {
    QByteArrayView bytes(text);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : decoded;
}
