// QtPlatform: one thread. Menu commands and close requests are queued to the event loop, and the
// front end's run pumps the loop itself between slices. Every operation before the window exists
// (or, for boxes, after it is gone) does nothing or works without an owner.
#include "platform_qt/QtPlatform.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QTextDocument>
#include <QThread>
#include <QTranslator>
#include <chrono>
#include <string>
#include <vector>

#include "frontend/DesktopTexts.h"
#include "imageio/ImageOptions.h"
#include "movie/MovieSet.h"
#include "platform_qt/ExplorerWindow.h"
#include "platform_qt/LocalisedFileModel.h"
#include "platform_qt/PreviewSurface.h"
#include "platform_qt/ScriptEditor.h"
#include "platform_qt/SettingsFile.h"
#include "platform_qt/Text8.h"
#include "platform_qt/VornaMainWindow.h"
#include "rdsimul/ReaDifSimulation.h"

QtPlatform::QtPlatform() : Translator(new QTranslator) {
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

QtPlatform::~QtPlatform() {
    delete MainWindow;
    QCoreApplication::removeTranslator(Translator);
    delete Translator;
}

QMainWindow *QtPlatform::Window() const { return MainWindow; }

QPlainTextEdit *QtPlatform::Editor() const {
    return MainWindow != nullptr ? MainWindow->Editor() : nullptr;
}

int QtPlatform::Deliver(int message, uint32_t wParam, uint32_t lParam) {
    return MainWindow != nullptr ? MainWindow->Deliver(message, wParam, lParam) : 0;
}

// ----- windows and messages

bool QtPlatform::CreateMainWindow(WindowProcedure proc, const char *title, int width, int height,
                                  const MenuResource &menu) {
    MainWindow = new VornaMainWindow(proc, title, width, height, menu);
    Deliver(WindowMessage::Create);
    return true;
}

void QtPlatform::ShowExplorer() {
    if (MainWindow == nullptr || MainWindow->IsDestroyed()) return;
    if (ExplorerShown == nullptr) {
        ExplorerShown = new ExplorerWindow(MainWindow, [this](int command) {
            Deliver(WindowMessage::Command, uint32_t(command));
        });
    }
    ExplorerShown->Open();
}

void QtPlatform::StartRunMovie(const char *path) {
    int64_t earlier = 0;
    (void)FinishRunMovie(earlier);
    if (path == nullptr || path[0] == '\0') return;
    // The frames are the pictures the run's images get: as the script's image line makes them.
    RunMovie =
        std::make_unique<MovieSet>(std::vector<std::string>{path}, MovieSettings{}, ImageOptions{});
    MainRDSim.SetFrameHook(&MovieSet::TakeFrame, RunMovie.get(), 0);
    (void)MainRDSim.EmitFrame();
}

int QtPlatform::FinishRunMovie(int64_t &frames) {
    frames = 0;
    if (!RunMovie) return 0;
    MainRDSim.SetFrameHook(nullptr, nullptr, 0);
    const std::vector<MovieSet::Outcome> outcomes = RunMovie->Finish(nullptr);
    RunMovie.reset();
    if (outcomes.empty()) return 0;
    frames = outcomes.front().Frames;
    return outcomes.front().Error;
}

void QtPlatform::ShowMainWindow() {
    if (MainWindow != nullptr) {
        MainWindow->ShowAndLayOut();
    }
}

void QtPlatform::DestroyMainWindow() {
    if (ExplorerShown != nullptr) ExplorerShown->close();
    if (MainWindow != nullptr) {
        MainWindow->Destroy();
    }
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
    if (MainWindow == nullptr || MainWindow->IsDestroyed()) {
        return 0;
    }
    return QApplication::exec();
}

void QtPlatform::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtPlatform::Sleep(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

double QtPlatform::Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool QtPlatform::IsMinimized() { return MainWindow != nullptr && MainWindow->isMinimized(); }

void QtPlatform::SetTitle(const char *title) {
    if (MainWindow != nullptr) {
        MainWindow->SetTitle(title);
    }
}

void QtPlatform::RepaintFrame() {
    if (MainWindow != nullptr) {
        MainWindow->update();
    }
}

void QtPlatform::GetClientSize(WindowId window, int &width, int &height) {
    QSize s = MainWindow != nullptr ? MainWindow->ClientRect(window).size() : QSize();
    width = s.width();
    height = s.height();
}

void QtPlatform::SetLanguage(int language) {
    // Numbers, sizes and dates follow the language too: the system's own locale when it speaks
    // that language (its country's formats), else the language's main one.
    const QLocale::Language spoken = language == 1 ? QLocale::French : QLocale::English;
    QLocale::setDefault(
        QLocale::system().language() == spoken
            ? QLocale::system()
            : QLocale(spoken, language == 1 ? QLocale::France : QLocale::UnitedStates));
    // Qt's own texts (file dialogs, standard buttons) come from Qt's translations; English is
    // their source language.
    QCoreApplication::removeTranslator(Translator);
    if (language == 1 && Translator->load(QStringLiteral("qtbase_fr"),
                                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(Translator);
    }
}

void QtPlatform::SetFocus(WindowId window) {
    if (MainWindow == nullptr) {
        return;
    }
    MainWindow->GiveFocus(window);
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

// ----- menus

void QtPlatform::SetMenu(const MenuResource &menu) {
    if (MainWindow != nullptr) {
        MainWindow->SetMenu(menu);
    }
}

void QtPlatform::EnableBarEntry(int barPosition, bool enable) {
    if (MainWindow != nullptr) {
        MainWindow->EnableBarEntry(barPosition, enable);
    }
}

void QtPlatform::EnableMenuItem(int barPosition, int itemPosition, bool enable) {
    if (QAction *item =
            MainWindow != nullptr ? MainWindow->MenuItemAt(barPosition, itemPosition) : nullptr) {
        item->setEnabled(enable);
    }
}

void QtPlatform::CheckMenuItem(int barPosition, int itemPosition, bool check) {
    if (QAction *item =
            MainWindow != nullptr ? MainWindow->MenuItemAt(barPosition, itemPosition) : nullptr) {
        // An unchecked item is no check box at all, as one never checked: styles draw an empty
        // box for a checkable item, and the menu would show two kinds of unchecked items.
        item->setCheckable(check);
        item->setChecked(check);
    }
}

void QtPlatform::DrawMenuBar() {
    if (MainWindow != nullptr) {
        MainWindow->menuBar()->update();
    }
}

// ----- message boxes and file dialogs

int QtPlatform::MessageBox(bool owner, const char *text, const char *caption, int style) {
    QMessageBox box(owner && MainWindow != nullptr && !MainWindow->IsDestroyed() ? MainWindow
                                                                                 : nullptr);
    box.setWindowTitle(FromText8(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(FromText8(text));
    if ((style & 0xF0) == BoxIconExclamation) {
        box.setIcon(QMessageBox::Warning);
    } else if ((style & 0xF0) == BoxIconInformation) {
        box.setIcon(QMessageBox::Information);
    }
    if ((style & 0xF) == BoxSaveDiscardCancel) {
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
        QAbstractButton *clicked = box.clickedButton();
        return clicked == box.button(QMessageBox::Save)      ? AnswerSave
               : clicked == box.button(QMessageBox::Discard) ? AnswerDiscard
                                                             : AnswerCancel;
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

bool QtPlatform::FileDialog(bool save, const char *description, const char *pattern,
                            const char *initialDirectory, const char *defaultExtension,
                            std::string &path, int maxLength) {
    QString filter = FromText8(description) + QStringLiteral(" (") + QString::fromLatin1(pattern) +
                     QLatin1Char(')');
    QFileDialog dialog(MainWindow, QString(), QFile::decodeName(initialDirectory), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromLatin1(defaultExtension));
    // Sizes and dates in the chosen language's locale (the dialog owns the model).
    dialog.setProxyModel(new LocalisedFileModel(QLocale(), &dialog));
    if (!path.empty()) {
        dialog.selectFile(QFile::decodeName(path.c_str()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    QByteArray chosen = QFile::encodeName(dialog.selectedFiles().first());
    if (chosen.isEmpty() || chosen.size() > maxLength) {
        MessageBox(true, GetDesktopText(DesktopText::PathTooLong), "Vorna", BoxIconExclamation);
        return false;
    }
    path.assign(chosen.constData(), static_cast<size_t>(chosen.size()));
    return true;
}

// ----- the editor

bool QtPlatform::SetEditorText(const char *text) {
    if (MainWindow == nullptr) {
        return false;
    }
    MainWindow->Surface()->Clear();
    MainWindow->Editor()->SetText8(text);
    return true;
}

std::string QtPlatform::GetEditorText() {
    return MainWindow != nullptr ? MainWindow->Editor()->Text8() : std::string();
}

bool QtPlatform::IsEditorModified() {
    return MainWindow != nullptr && MainWindow->Editor()->document()->isModified();
}

void QtPlatform::SetEditorModified(bool modified) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->document()->setModified(modified);
    }
}

void QtPlatform::GetEditorSelection(int &start, int &end) {
    start = end = 0;
    if (MainWindow != nullptr) {
        MainWindow->Editor()->GetSelection(start, end);
    }
}

void QtPlatform::SetEditorSelection(int start, int end) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->SetSelection(start, end);
    }
}

void QtPlatform::ScrollCaretIntoView() {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->ensureCursorVisible();
    }
}

void QtPlatform::SetEditorReadOnly(bool readOnly) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->setReadOnly(readOnly);
    }
}

void QtPlatform::SetEditorBackground(uint32_t colour) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->SetBackground(colour);
    }
}

void QtPlatform::ShowEditorScrollBars(bool show) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->ShowScrollBars(show);
    }
}

void QtPlatform::ShowEditorCaret(bool show) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->ShowCaret(show);
    }
}

void QtPlatform::SetEditorTabStops(int dialogUnits) {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->SetTabStops(dialogUnits);
    }
}

void QtPlatform::MoveEditor(int width, int height) {
    if (MainWindow != nullptr) {
        MainWindow->MoveEditor(width, height);
    }
}

void QtPlatform::InvalidateEditor() {
    if (MainWindow == nullptr) {
        return;
    }
    MainWindow->Surface()->Clear();
    MainWindow->Editor()->viewport()->update();
}

void QtPlatform::EditorUndo() {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->undo();
    }
}

void QtPlatform::EditorCut() {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->cut();
    }
}

void QtPlatform::EditorCopy() {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->copy();
    }
}

void QtPlatform::EditorPaste() {
    if (MainWindow != nullptr) {
        MainWindow->Editor()->paste();
    }
}

// ----- settings

std::string QtPlatform::ReadSetting(const char *path, const char *section, const char *key,
                                    const char *defaultValue) {
    return SettingsFile::Read(path, section, key, defaultValue);
}

bool QtPlatform::WriteSetting(const char *path, const char *section, const char *key,
                              const char *value) {
    return SettingsFile::Write(path, section, key, value);
}

std::string QtPlatform::ProgramDirectory() {
    QByteArray dir = QFile::encodeName(QCoreApplication::applicationDirPath());
    return std::string(dir.constData(), static_cast<size_t>(dir.size()));
}

std::string QtPlatform::DroppedFile() {
    const QByteArray path = MainWindow != nullptr ? MainWindow->DroppedPath() : QByteArray();
    return std::string(path.constData(), static_cast<size_t>(path.size()));
}

// ----- preview bitmap

void QtPlatform::CreatePreviewBitmap(WindowId target, const PreviewBitmapFormat &format,
                                     const uint8_t *pixels) {
    BitmapTarget = target;
    if (MainWindow != nullptr) {
        MainWindow->Surface()->SetBitmap(format, pixels);
    }
}

void QtPlatform::SetPreviewBitmapPixels(const uint8_t *pixels) {
    if (MainWindow != nullptr) {
        MainWindow->Surface()->SetBitmapPixels(pixels);
    }
}

void QtPlatform::BlitPreviewBitmap(int x, int y, int width, int height) {
    if (MainWindow != nullptr) {
        MainWindow->Surface()->Blit(MainWindow->ClientRect(BitmapTarget), x, y, width, height);
    }
}

void QtPlatform::ReleasePreviewBitmap() {
    if (MainWindow != nullptr) {
        MainWindow->Surface()->ReleaseBitmap();
    }
}
