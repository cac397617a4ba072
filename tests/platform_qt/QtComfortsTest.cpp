// The desktop comforts on the real window (offscreen): keys typed through Qt's shortcut map reach
// their commands in both menus, the modified mark, Qt's own French on the question's buttons
// and in the file dialog, and scripts dropped on the editor.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "frontend/MenuResources.h"
#include "platform_qt/QtPlatform.h"

// Readable values in failure messages.
void PrintTo(const QString &text, std::ostream *out) { *out << text.toStdString(); }

namespace {

std::vector<int> Commands;
std::vector<int> Messages;

int Record(int message, uint32_t wParam, uint32_t) {
    Messages.push_back(message);
    if (message == WindowMessage::Command) {
        Commands.push_back(static_cast<int>(wParam));
    }
    return 0;
}

class QtComforts : public testing::Test {
protected:
    void SetUp() override {
        Commands.clear();
        Messages.clear();
        ASSERT_TRUE(Platform.CreateMainWindow(Record, "Vorna a.vna", 400, 300, MainMenuEn));
        Platform.ShowMainWindow();
        Platform.Window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Platform.Window()));
    }
    void TearDown() override { Platform.SetLanguage(0); }

    // The commands the keys reach, in order.
    std::vector<int> Press(const char *keys) {
        Commands.clear();
        QTest::keySequence(Platform.Window(), QKeySequence(QString::fromLatin1(keys)));
        QCoreApplication::processEvents();
        return Commands;
    }

    QtPlatform Platform;
};

TEST_F(QtComforts, ShortcutsReachTheirCommandsInBothMenus) {
    const struct {
        const char *Keys;
        int Command;
    } cases[] = {
        {"Ctrl+N", MenuCommand::New},
        {"Ctrl+O", MenuCommand::Open},
        {"Ctrl+S", MenuCommand::Save},
        {"Ctrl+Shift+S", MenuCommand::SaveAs},
        {"F5", MenuCommand::Run},
        {"Shift+F5", MenuCommand::LoopRandSeed},
        {"Ctrl+3", MenuCommand::PreviewTile},
        {"Ctrl+1", MenuCommand::PreviewInactive},
        {"Escape", MenuCommand::Break},
        {"Ctrl+.", MenuCommand::Break},
        {"Ctrl+B", MenuCommand::CaptureBMP},
        {"Ctrl+E", MenuCommand::Explorer},
        {"Ctrl+Q", MenuCommand::Quit},
    };
    for (const MenuResource *menu : {&MainMenuEn, &MainMenuFr}) {
        Platform.SetMenu(*menu);
        // Break and Capture BMP are grayed until a run: their keys do nothing.
        EXPECT_TRUE(Press("Escape").empty());
        EXPECT_TRUE(Press("Ctrl+B").empty());
        Platform.EnableMenuItem(MenuBar::Texture, 3, true);
        Platform.EnableMenuItem(MenuBar::Texture, 5, true);
        for (const auto &c : cases) {
            EXPECT_EQ(Press(c.Keys), std::vector<int>{c.Command}) << menu->Name << " " << c.Keys;
        }
        // The menu shows the key beside its item.
        QAction *item = Platform.Window()->menuBar()->actions()[0]->menu()->actions()[0];
        EXPECT_EQ(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
        // A grayed popup (the Parameters menu during a run) takes no keys.
        Platform.EnableBarEntry(MenuBar::Parameters, false);
        EXPECT_TRUE(Press("Ctrl+S").empty());
    }
}

TEST_F(QtComforts, TitleMarksUnsavedEdits) {
    QMainWindow *window = Platform.Window();
    ASSERT_TRUE(Platform.SetEditorText("model schlogl\n"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorna a.vna"));
    Platform.Editor()->setFocus();
    QTest::keyClicks(Platform.Editor(), QStringLiteral("x"));
    EXPECT_TRUE(Platform.IsEditorModified());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorna a.vna*"));
    // A new title keeps the mark; a save (marked unmodified) or a new text ends it.
    Platform.SetTitle("Vorna b.vna");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorna b.vna*"));
    Platform.SetEditorModified(false);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorna b.vna"));
    QTest::keyClicks(Platform.Editor(), QStringLiteral("y"));
    ASSERT_TRUE(Platform.SetEditorText("model brusselator\n"));
    EXPECT_FALSE(Platform.IsEditorModified());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorna b.vna"));
}

TEST_F(QtComforts, UncheckedItemsLookTheSameWhetherOrNotTheyWereEverChecked) {
    // 16M colours checked then unchecked; the colour map never checked.
    Platform.CheckMenuItem(MenuBar::Texture, 20, true);
    QAction *once =
        Platform.Window()->menuBar()->actions()[MenuBar::Texture]->menu()->actions()[20];
    QAction *never =
        Platform.Window()->menuBar()->actions()[MenuBar::Texture]->menu()->actions()[21];
    EXPECT_TRUE(once->isChecked());
    Platform.CheckMenuItem(MenuBar::Texture, 20, false);
    Platform.CheckMenuItem(MenuBar::Texture, 21, false);
    for (QAction *item : {once, never}) {
        EXPECT_FALSE(item->isChecked());
        EXPECT_FALSE(item->isCheckable());
    }
}

TEST_F(QtComforts, QuestionAndFileDialogSpeakTheChosenLanguage) {
    struct Seen {
        QString Save, Discard, Cancel;
    };
    // Asks the question, reads its buttons and clicks the one given.
    auto ask = [this](QMessageBox::StandardButton click, Seen &seen) {
        QTimer::singleShot(0, [&seen, click] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = {box->button(QMessageBox::Save)->text(),
                    box->button(QMessageBox::Discard)->text(),
                    box->button(QMessageBox::Cancel)->text()};
            box->button(click)->click();
        });
        return Platform.MessageBox(true, "?", "Vorna", Platform::BoxSaveDiscardCancel);
    };
    Seen english, french;
    EXPECT_EQ(ask(QMessageBox::Discard, english), Platform::AnswerDiscard);
    EXPECT_EQ(english.Cancel, QStringLiteral("Cancel"));
    Platform.SetLanguage(1);
    EXPECT_EQ(ask(QMessageBox::Save, french), Platform::AnswerSave);
    EXPECT_EQ(french.Save, QStringLiteral("Enregistrer"));
    EXPECT_EQ(french.Cancel, QStringLiteral("Annuler"));
    EXPECT_NE(french.Discard, english.Discard);
    QFileDialog dialog(Platform.Window());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_NE(dialog.labelText(QFileDialog::LookIn), QStringLiteral("Look in:"));
    // And back to English with the language menu.
    Platform.SetLanguage(0);
    EXPECT_EQ(ask(QMessageBox::Cancel, english), Platform::AnswerCancel);
    EXPECT_EQ(english.Cancel, QStringLiteral("Cancel"));
}

TEST_F(QtComforts, FileDialogShowsSizesAndDatesInTheChosenLanguage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile file(dir.filePath(QStringLiteral("big.vna")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1500, 'x'));
    }
    const QDateTime modified = QFileInfo(dir.filePath(QStringLiteral("big.vna"))).lastModified();
    // Opens the dialog on the folder and reads the file's size and date as its list shows them.
    auto shown = [&](QString &size, QString &date) {
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto *view = dialog->findChild<QTreeView *>();
            ASSERT_NE(view, nullptr);
            QAbstractItemModel *model = view->model();
            auto row = [&] {
                for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
                    if (model->index(r, 0, view->rootIndex()).data() == QStringLiteral("big.vna"))
                        return r;
                }
                return -1;
            };
            EXPECT_TRUE(QTest::qWaitFor([&] { return row() >= 0; }));
            if (row() >= 0) {
                size = model->index(row(), 1, view->rootIndex()).data().toString();
                date = model->index(row(), 3, view->rootIndex()).data().toString();
            }
            dialog->reject();
        });
        std::string path;
        const QByteArray folder = QFile::encodeName(dir.path());
        EXPECT_FALSE(
            Platform.FileDialog(false, "Scripts", "*.vna", folder.constData(), "vna", path, 259));
    };
    for (int language : {1, 0}) {
        SCOPED_TRACE(language);
        Platform.SetLanguage(language);
        // The system's locale where it speaks the language, else the language's main one.
        const QLocale::Language spoken = language == 1 ? QLocale::French : QLocale::English;
        const QLocale expected =
            QLocale::system().language() == spoken ? QLocale::system() : QLocale(spoken);
        QString size;
        QString date;
        shown(size, date);
        EXPECT_EQ(size, expected.formattedDataSize(1500));
        EXPECT_EQ(date, expected.toString(modified, QLocale::ShortFormat));
    }
}

TEST_F(QtComforts, ScriptDroppedOnTheEditorReachesTheProcedure) {
    QWidget *viewport = Platform.Editor()->viewport();
    auto drop = [viewport](const char *path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromLatin1(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
        QCoreApplication::processEvents();
        return enter.isAccepted() && event.isAccepted();
    };
    // Another file is refused, not inserted into the script as its name.
    EXPECT_FALSE(drop("/tmp/notes.txt"));
    EXPECT_TRUE(drop("/tmp/spots.vna"));
    EXPECT_EQ(std::count(Messages.begin(), Messages.end(), WindowMessage::DropFiles), 1);
    EXPECT_EQ(Platform.DroppedFile(), "/tmp/spots.vna");
    EXPECT_EQ(Platform.Editor()->toPlainText(), QString());
}

}  // namespace
