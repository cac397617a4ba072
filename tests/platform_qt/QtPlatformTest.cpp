// The real window on Qt's offscreen platform: start-up through VornaMain and its message loop,
// menus, editor round trips, a run with its preview over the editor, the colour-map test.
// Grabs are saved under build/test-artifacts/ for a reviewer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <vector>

#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/StartUp.h"
#include "platform_qt/QtPlatform.h"
#include "platform_qt/SettingsFile.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptTestSupport.h"
#include "toolkit/StringTable.h"

namespace {

QApplication *App = nullptr;

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Settings that fall back to the user's configuration folder stay in the test's folder.
        std::filesystem::path config = std::filesystem::path(testing::TempDir()) /
                                       ("vorna_qt_config_" + std::to_string(getpid()));
        std::error_code error;
        std::filesystem::remove_all(config, error);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
        static int argc = 1;
        static char name[] = "platform_qt_tests";
        static char *argv[] = {name, nullptr};
        App = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete App;
        App = nullptr;
    }
};

const testing::Environment *const Env = testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string Script(int width, int height, int iterations) {
    std::ostringstream s;
    s << "model brusselator\nmodpar alpha 4.5\nmodpar beta 7.5\nreaction A 0.01\n"
         "reaction B 0.01\ndiffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.5\ninit B 1.6 0.5\n"
         "size "
      << width << " " << height << "\niterations " << iterations
      << "\ncolormap rgb 0 0 128 255 255 0\nimage256 A t+" << iterations << " autoscale\n";
    return s.str();
}

std::filesystem::path Artifacts() {
    std::filesystem::path dir = std::filesystem::path(VORNA_BINARY_DIR) / "test-artifacts";
    std::filesystem::create_directories(dir);
    return dir;
}

// The Qt platform with its program folder moved to the test's own folder, so that every test
// has its own settings file.
class TestPlatform : public QtPlatform {
public:
    std::string ProgramDirectory() override { return Folder; }
    // A file dialog that answers DialogAnswer at once (Qt's own dialog needs a person).
    bool FileDialog(bool save, const char *description, const char *pattern,
                    const char *initialDirectory, const char *defaultExtension, std::string &path,
                    int maxLength) override {
        DialogCalls.push_back(std::string(save ? "save " : "open ") + description + "|" + pattern +
                              "|" + initialDirectory + "|" + defaultExtension);
        if (DialogAnswer.empty() || static_cast<int>(DialogAnswer.size()) > maxLength) {
            return false;
        }
        path = DialogAnswer;
        return true;
    }
    std::string Folder;
    std::string DialogAnswer;
    std::vector<std::string> DialogCalls;
};

class QtWindow : public testing::Test {
protected:
    void SetUp() override {
        ResetFrontEndGlobals();
        Dir = std::filesystem::path(testing::TempDir()) / "vorna_qt" /
              testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        Platform.Folder = Dir.string();
        std::ofstream(Dir / "vorna.ini") << "[Locale]\nlanguage=english\n";
    }
    void TearDown() override { ResetFrontEndGlobals(); }

    // Starts the program on script and runs body from inside its message loop; boxes are
    // answered OK and remembered. The window is closed after body.
    void RunProgram(const std::filesystem::path &script, const std::function<void()> &body) {
        QTimer boxes;
        boxes.setInterval(20);
        QObject::connect(&boxes, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                BoxTexts.push_back(box->text().toStdString());
                if (OnBox) OnBox();
                box->accept();
            }
        });
        boxes.start();
        QTimer::singleShot(0, [&] {
            body();
            Platform.PostCloseRequest();
        });
        ExitCode = VornaMain(Platform, script.empty() ? nullptr : script.c_str());
    }

    // The main window as a picture, saved under name.
    QImage Grab(const char *name) {
        QImage image = Platform.Window()->grab().toImage();
        image.save(QString::fromStdString((Artifacts() / name).string()));
        return image;
    }
    // Point (x, y) of the client area in the window's grab.
    QPoint ClientPoint(int x, int y) const {
        return Platform.Window()->centralWidget()->mapTo(Platform.Window(), QPoint(x, y));
    }

    TestPlatform Platform;
    std::filesystem::path Dir;
    std::vector<std::string> BoxTexts;
    std::function<void()> OnBox;
    int ExitCode = -1;
};

TEST_F(QtWindow, StartsWithTheScriptAndBothMenusShareTheirPositions) {
    std::filesystem::path script = Dir / "spots.vna";
    std::ofstream(script) << Script(40, 30, 10);
    std::vector<int> englishCounts;
    std::vector<int> frenchCounts;
    RunProgram(script, [&] {
        EXPECT_EQ(Platform.Window()->windowTitle(), QStringLiteral("Vorna spots.vna"));
        EXPECT_EQ(Platform.GetEditorText(), Script(40, 30, 10));
        EXPECT_EQ(GST.GetCurrentLanguage(), 0);
        auto counts = [&] {
            std::vector<int> c;
            for (QAction *a : Platform.Window()->menuBar()->actions()) {
                c.push_back(a->menu() != nullptr ? static_cast<int>(a->menu()->actions().size())
                                                 : -1);
            }
            return c;
        };
        QList<QAction *> bar = Platform.Window()->menuBar()->actions();
        EXPECT_EQ(bar.size(), 9);
        // The preview options come checked: Normal, 1/1, counter.
        QList<QAction *> texture = bar[2]->menu()->actions();
        EXPECT_TRUE(texture[11]->isChecked());
        EXPECT_TRUE(texture[15]->isChecked());
        EXPECT_TRUE(texture[22]->isChecked());
        EXPECT_FALSE(texture[2]->isEnabled());
        englishCounts = counts();
        Platform.Deliver(WindowMessage::Command, MenuCommand::French);
        frenchCounts = counts();
        QList<QAction *> frenchTexture =
            Platform.Window()->menuBar()->actions()[2]->menu()->actions();
        EXPECT_EQ(frenchTexture[12]->text(), QStringLiteral("   3 - &Mosaïque"));
        EXPECT_TRUE(frenchTexture[11]->isChecked());
        QCoreApplication::processEvents();
        QImage french = Grab("menus-french.png");
        // The new bar is shown: its first title is drawn where the bar lies.
        QRect first = Platform.Window()->menuBar()->actionGeometry(
            Platform.Window()->menuBar()->actions()[0]);
        std::set<QRgb> colours;
        for (int x = first.left(); x <= first.right(); ++x) {
            colours.insert(french.pixel(x, first.center().y()));
        }
        EXPECT_GT(colours.size(), 2u);
        // The Texture popup with its check marks, for a reviewer.
        QMenu *popup = Platform.Window()->menuBar()->actions()[2]->menu();
        popup->popup(Platform.Window()->mapToGlobal(QPoint(140, 20)));
        QCoreApplication::processEvents();
        popup->grab().save(
            QString::fromStdString((Artifacts() / "menu-texture-french.png").string()));
        popup->hide();
    });
    EXPECT_EQ(ExitCode, 0);
    EXPECT_EQ(englishCounts, frenchCounts);
    EXPECT_EQ(englishCounts, (std::vector<int>{4, 5, 26, -1, 3, -1, 2, -1, -1}));
    // The language was written beside the program at exit.
    QSettings settings(QString::fromStdString((Dir / "vorna.ini").string()), QSettings::IniFormat);
    EXPECT_EQ(settings.value("Locale/language").toString(), QStringLiteral("french"));
}

TEST_F(QtWindow, TypingReachesTheEditorAfterEveryUseOfTheMenuBar) {
    std::filesystem::path script = Dir / "spots.vna";
    std::ofstream(script) << Script(40, 30, 10);
    RunProgram(script, [&] {
        QMainWindow *window = Platform.Window();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        // Clicks and keys reach the windows as the window system delivers them: a key goes to
        // the open popup, else to the main window, which hands it to its focus widget.
        auto settle = [] {
            for (int i = 0; i < 5; ++i) {
                QCoreApplication::processEvents();
                QTest::qWait(10);
            }
        };
        auto press = [&](Qt::Key key) {
            QWidget *popup = QApplication::activePopupWidget();
            QTest::keyClick((popup != nullptr ? popup : window)->windowHandle(), key);
            settle();
        };
        auto clickTitle = [&](int position) {
            QMenuBar *bar = window->menuBar();
            QRect title = bar->actionGeometry(bar->actions()[position]);
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                              bar->mapTo(window, title.center()));
            settle();
        };
        auto clickItem = [&](int position) {
            auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_NE(popup, nullptr);
            QRect item = popup->actionGeometry(popup->actions()[position]);
            QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, {}, item.center());
            settle();
        };
        const struct {
            const char *Label;
            std::function<void()> Use;
        } cases[] = {
            {"no menu used", [] {}},
            {"Texture clicked, Escape twice",
             [&] { clickTitle(MenuBar::Texture), press(Qt::Key_Escape), press(Qt::Key_Escape); }},
            {"Texture clicked, Escape once",
             [&] { clickTitle(MenuBar::Texture), press(Qt::Key_Escape); }},
            {"Texture clicked twice",
             [&] { clickTitle(MenuBar::Texture), clickTitle(MenuBar::Texture); }},
            {"Texture > Tile picked", [&] { clickTitle(MenuBar::Texture), clickItem(12); }},
            {"Help > About picked, box closed", [&] { clickTitle(MenuBar::Aide), clickItem(1); }},
            {"Preferences > French picked (a new menu bar)",
             [&] { clickTitle(MenuBar::Preferences), clickItem(2); }},
        };
        for (const auto &c : cases) {
            SCOPED_TRACE(c.Label);
            ASSERT_TRUE(Platform.SetEditorText(Script(40, 30, 10).c_str()));
            c.Use();
            // No script line holds a q.
            QTest::keyClick(window->windowHandle(), Qt::Key_Q);
            settle();
            EXPECT_TRUE(Platform.Editor()->toPlainText().contains(QLatin1Char('q')))
                << "focus on "
                << (QApplication::focusWidget() != nullptr
                        ? QApplication::focusWidget()->metaObject()->className()
                        : "nothing");
            EXPECT_TRUE(window->windowTitle().endsWith(QLatin1Char('*')));
        }
        // Nothing to ask about at the close.
        Platform.SetEditorModified(false);
    });
    EXPECT_EQ(ExitCode, 0);
}

TEST_F(QtWindow, EditorGivesBackTheBytesItWasGiven) {
    RunProgram({}, [&] {
        const char *texts[] = {"model schlogl\n",
                               "a\r\nb\r\n",
                               "caf\xc3\xa9\n",
                               "caf\xe9\n",
                               "tab\there\xa0nbsp\n",
                               "",
                               "\xEF\xBB\xBF"
                               "caf\xc3\xa9\r\n",
                               "\xEF\xBB\xBF",
                               "\xEF\xBB\xBF"
                               "caf\xe9\n",
                               "model schlogl\n"};
        for (const char *text : texts) {
            ASSERT_TRUE(Platform.SetEditorText(text));
            EXPECT_EQ(Platform.GetEditorText(), text);
        }
        // Positions count a CR LF as one break and a UTF-8 character as one.
        Platform.SetEditorText("a\r\n\xc3\xa9z\r\n");
        Platform.SetEditorSelection(3, 3);
        int start = 0;
        int end = 0;
        Platform.GetEditorSelection(start, end);
        EXPECT_EQ(start, 3);
        EXPECT_EQ(Platform.Editor()->textCursor().block().text(), QStringLiteral("éz"));
    });
}

// Qt's decoder drops a leading byte-order mark: the editor shows none and counts none, and Save
// writes the script back with it.
TEST_F(QtWindow, SaveKeepsTheByteOrderMarkOfTheLoadedScript) {
    std::filesystem::path script = Dir / "bom.vna";
    const std::string text = "\xEF\xBB\xBF// caf\xC3\xA9\n" + Script(20, 10, 10);
    std::ofstream(script, std::ios::binary) << text;
    RunProgram(script, [&] {
        EXPECT_EQ(Platform.Editor()->toPlainText().left(7), QStringLiteral("// café"));
        Platform.SetEditorSelection(0, 2);
        EXPECT_EQ(Platform.Editor()->textCursor().selectedText(), QStringLiteral("//"));
        std::filesystem::remove(script);
        Platform.Deliver(WindowMessage::Command, MenuCommand::Save);
    });
    std::ifstream in(script, std::ios::binary);
    std::ostringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), text);
}

TEST_F(QtWindow, RunDrawsTheTextureBelowTheRunTextsFirstLineAndLeavesItThere) {
    std::filesystem::path script = Dir / "run.vna";
    std::ofstream(script) << Script(200, 150, 120);
    QImage atEnd;
    QImage textAtEnd;  // the editor alone, without what lies over it
    QRect firstLine;   // the run text's first line, in the editor
    int top = -1;      // where the preview's frame starts in the client area
    OnBox = [&] {
        if (!atEnd.isNull()) return;
        atEnd = Grab("run-finished.png");
        QPlainTextEdit *editor = Platform.Editor();
        textAtEnd = editor->grab().toImage();
        QRect caret = editor->cursorRect(QTextCursor(editor->document()));
        firstLine = QRect(editor->viewport()->mapTo(editor, QPoint(0, caret.top())),
                          QSize(editor->viewport()->width(), caret.height()));
        int width = 0;
        int height = 0;
        Platform.GetClientSize(WindowId::Main, width, height);
        top = Platform.Window()->centralWidget()->height() - height;
    };
    QImage restored;
    RunProgram(script, [&] {
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
        EXPECT_EQ(Platform.Window()->windowTitle(), QStringLiteral("Vorna run.vna"));
        EXPECT_FALSE(Platform.Editor()->isReadOnly());
        QCoreApplication::processEvents();
        restored = Grab("run-restored.png");
    });
    ASSERT_EQ(BoxTexts.size(), 1u);
    EXPECT_EQ(BoxTexts[0], GST.Get(12));
    EXPECT_EQ(MainRDSim.CurrentTime, 120);
    EXPECT_EQ(MainRDSim.ErrorStatus, 0);
    EXPECT_TRUE(std::filesystem::exists(Dir / "run_A000120.bmp"));
    ASSERT_FALSE(atEnd.isNull());
    ASSERT_GE(top, 0);
    // The run text's first line shows whole: the window holds the editor's own pixels there.
    QPoint editorAt = Platform.Editor()->mapTo(Platform.Window(), QPoint(0, 0));
    int covered = 0;
    for (int y = firstLine.top(); y <= firstLine.bottom(); ++y) {
        for (int x = 0; x < 260; ++x) {
            covered += atEnd.pixel(editorAt + QPoint(x, y)) != textAtEnd.pixel(x, y);
        }
    }
    EXPECT_EQ(covered, 0);
    // Inside the preview rectangle (5, 16 of its frame, 200 x 150, below the counter): the
    // texture, many colours and none of them the grey of the running editor; beside it: that
    // grey. After the box the script is back, and the texture still over it.
    const QRgb grey = qRgb(0xA0, 0xA0, 0xA0);
    auto textureColours = [&](const QImage &image, int &greyInside) {
        std::set<QRgb> colours;
        greyInside = 0;
        for (int y = top + 30; y < top + 16 + 150; y += 3) {
            for (int x = 5; x < 5 + 200; x += 3) {
                QRgb c = image.pixel(ClientPoint(x, y)) & 0xFFFFFF;
                colours.insert(c);
                greyInside += c == (grey & 0xFFFFFF);
            }
        }
        return colours.size();
    };
    int greyInside = 0;
    EXPECT_GT(textureColours(atEnd, greyInside), 20u);
    EXPECT_EQ(greyInside, 0);
    EXPECT_GT(textureColours(restored, greyInside), 20u);
    EXPECT_EQ(atEnd.pixel(ClientPoint(5 + 200 + 30, top + 16 + 100)) & 0xFFFFFF, grey & 0xFFFFFF);
    // The counter in the top-left corner: black glyph pixels on white cells.
    int black = 0;
    int white = 0;
    for (int y = top + 16; y < top + 28; ++y) {
        for (int x = 5; x < 45; ++x) {
            QRgb c = atEnd.pixel(ClientPoint(x, y)) & 0xFFFFFF;
            black += c == 0;
            white += c == 0xFFFFFF;
        }
    }
    EXPECT_GT(black, 40);
    EXPECT_GT(white, 200);
}

TEST_F(QtWindow, LargeRunKeepsTheWindowResponsiveAndCloseStopsIt) {
    std::filesystem::path script = Dir / "large.vna";
    std::ofstream(script) << Script(600, 600, 100000);
    int ticks = 0;
    qint64 longestGap = 0;
    int closeAt = -1;
    RunProgram(script, [&] {
        QElapsedTimer clock;
        QTimer ticker;
        ticker.setInterval(10);
        qint64 last = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            qint64 now = clock.elapsed();
            if (RunFlag == 1 && MessageFlag == 0) {
                ++ticks;
                if (ticks > 1) longestGap = std::max(longestGap, now - last);
                // Tiles redraw the whole window at every refresh.
                if (ticks == 2) Platform.Deliver(WindowMessage::Command, MenuCommand::PreviewTile);
                if (ticks == 30) Platform.Window()->resize(500, 400);
                if (ticks == 60 && closeAt < 0) {
                    Grab("large-run-tiles.png");
                    closeAt = MainRDSim.CurrentTime;
                    Platform.Window()->close();  // the window's close button
                }
            }
            last = now;
        });
        clock.start();
        ticker.start();
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
        ticker.stop();
    });
    // The run stopped at the close request, said so, and the window went away.
    ASSERT_EQ(BoxTexts.size(), 1u);
    EXPECT_NE(BoxTexts[0].find(std::to_string(MainRDSim.CurrentTime)), std::string::npos);
    EXPECT_GE(MainRDSim.CurrentTime, closeAt);
    EXPECT_LT(MainRDSim.CurrentTime, 100000);
    EXPECT_FALSE(Platform.Window()->isVisible());
    EXPECT_EQ(ExitCode, 0);
    // The event loop kept running between slices.
    EXPECT_GE(ticks, 60);
    EXPECT_LT(longestGap, 1000);
}

TEST_F(QtWindow, ColorMapTestDrawsIntoTheEditorUntilAKeyIsPressed) {
    std::filesystem::path script = Dir / "map.vna";
    std::ofstream(script) << Script(40, 30, 10);
    QImage shown;
    QImage after;
    bool endedByClick = false;
    RunProgram(script, [&] {
        Platform.Deliver(WindowMessage::Command, MenuCommand::TestColorMap);
        EXPECT_EQ(CheckColorMapFlag, 1);
        QCoreApplication::processEvents();
        shown = Grab("colormap-test.png");
        // The release of the key that chose the item, and its repeats, leave the view; the
        // next key pressed over the window ends it.
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(Platform.Window(), &release);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(Platform.Window(), &repeat);
        EXPECT_EQ(CheckColorMapFlag, 1);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
        QApplication::sendEvent(Platform.Window(), &key);
        EXPECT_EQ(CheckColorMapFlag, 0);
        QCoreApplication::processEvents();
        after = Grab("colormap-ended.png");
        EXPECT_EQ(Platform.Window()->windowTitle(), QStringLiteral("Vorna map.vna"));
        // So does a left click on the editor.
        Platform.Deliver(WindowMessage::Command, MenuCommand::TestColorMap);
        QPointF at(20, 20);
        QMouseEvent press(QEvent::MouseButtonPress, at,
                          Platform.Editor()->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Platform.Editor()->viewport(), &press);
        endedByClick = CheckColorMapFlag == 0;
    });
    EXPECT_TRUE(endedByClick);
    ASSERT_FALSE(shown.isNull());
    QWidget *viewport = Platform.Editor()->viewport();
    QPoint inner =
        viewport->mapTo(Platform.Window(), QPoint(viewport->width() / 2, viewport->height() - 40));
    QPoint frame = viewport->mapTo(Platform.Window(), QPoint(5, viewport->height() - 5));
    // The map fills the editor inside a black frame of 15 pixels; afterwards the editor is back.
    EXPECT_EQ(shown.pixel(frame) & 0xFFFFFF, 0u);
    EXPECT_NE(shown.pixel(inner) & 0xFFFFFF, 0u);
    EXPECT_EQ(after.pixel(inner) & 0xFFFFFF, 0xF0ECE8u);
}

TEST_F(QtWindow, ExampleScriptIsSavedUnderANewNameAndRuns) {
    std::filesystem::path example = std::filesystem::path(VORNA_BINARY_DIR) / "exemple.tpl";
    if (!std::filesystem::exists(example)) {
        GTEST_SKIP() << "no example script next to the program";
    }
    std::filesystem::copy_file(example, Dir / "exemple.tpl");
    std::string saved = (Dir / "example.vna").string();
    // The save dialog of the first Run gets the new name.
    Platform.DialogAnswer = saved;
    int stoppedAt = 0;
    RunProgram({}, [&] {
        Platform.Deliver(WindowMessage::Command, MenuCommand::ParametersExample);
        EXPECT_EQ(Platform.Window()->windowTitle(), QString::fromUtf8(GST.Get(3)));
        QTimer breaker;
        breaker.setInterval(20);
        QObject::connect(&breaker, &QTimer::timeout, [&] {
            if (RunFlag == 1 && MessageFlag == 0 && MainRDSim.CurrentTime >= 800 &&
                stoppedAt == 0) {
                stoppedAt = MainRDSim.CurrentTime;
                Grab("example-running.png");
                Platform.Deliver(WindowMessage::Command, MenuCommand::Break);
            }
        });
        breaker.start();
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
        breaker.stop();
        EXPECT_EQ(Platform.Window()->windowTitle(), QStringLiteral("Vorna example.vna"));
    });
    EXPECT_GE(stoppedAt, 800);
    ASSERT_EQ(Platform.DialogCalls.size(), 1u);
    EXPECT_EQ(Platform.DialogCalls[0], "save " + std::string(GST.Get(25)) + "|*.vna|.|vna");
    EXPECT_TRUE(std::filesystem::exists(saved));
    ASSERT_EQ(BoxTexts.size(), 1u);  // the stop message
}

// The window alone, without the front end: a procedure that ignores every message, an empty
// menu, the editor over the whole client area.
class QtPreview : public QtWindow {
protected:
    void SetUp() override {
        QtWindow::SetUp();
        static const MenuEntry entries[] = {{MenuEntry::End, 0, "", 0, false, false}};
        ASSERT_TRUE(Platform.CreateMainWindow([](int, uint32_t, uint32_t) { return 0; }, "Preview",
                                              320, 240, MenuResource{"none", entries, nullptr}));
        Platform.ShowMainWindow();
        QSize client = Platform.Window()->centralWidget()->size();
        Platform.MoveEditor(client.width(), client.height());
        QCoreApplication::processEvents();
    }
    // Point (x, y) of a window's client area, as the preview is laid out in it, in the window's
    // grab: the main window's starts below the editor's first line.
    QPoint WindowPoint(WindowId window, int x, int y) {
        if (window == WindowId::Editor) {
            return Platform.Editor()->viewport()->mapTo(Platform.Window(), QPoint(x, y));
        }
        int width = 0;
        int height = 0;
        Platform.GetClientSize(WindowId::Main, width, height);
        QWidget *area = Platform.Window()->centralWidget();
        return area->mapTo(Platform.Window(), QPoint(x, y + area->height() - height));
    }
};

// 5 x 3 pictures with padded rows (the padding holds 0xEE, never a pixel), every pixel of its own
// colour, so that a swapped axis, a wrong stride, a flipped row order or a palette read in the
// wrong byte order shows.
TEST_F(QtPreview, BitmapShowsEveryPixelInItsColour) {
    PreviewBitmapFormat format8;
    format8.Width = 5;
    format8.Height = 3;
    format8.Bits = 8;
    format8.Stride = 8;
    for (int i = 0; i < PreviewBitmapFormat::PaletteSize; ++i) {
        format8.Palette[i] = PaletteEntry{static_cast<uint8_t>(3 * i), static_cast<uint8_t>(5 * i),
                                          static_cast<uint8_t>(255 - i), 0};
    }
    std::vector<uint8_t> indexes(8 * 3, 0xEE);
    PreviewBitmapFormat format24;
    format24.Width = 5;
    format24.Height = 3;
    format24.Bits = 24;
    format24.Stride = 16;
    std::vector<uint8_t> bgr(16 * 3, 0xEE);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            indexes[8 * y + x] = static_cast<uint8_t>(10 * y + x + 1);
            uint8_t *p = &bgr[16 * y + 3 * x];
            p[0] = static_cast<uint8_t>(40 * x + 1);
            p[1] = static_cast<uint8_t>(80 * y + 2);
            p[2] = static_cast<uint8_t>(200 - 10 * x - y);
        }
    }
    Platform.CreatePreviewBitmap(WindowId::Main, format8, indexes.data());
    Platform.BlitPreviewBitmap(10, 20, 5, 3);
    Platform.CreatePreviewBitmap(WindowId::Main, format24, bgr.data());
    // Asked for more than the bitmap holds: only its 5 x 3 pixels are drawn.
    Platform.BlitPreviewBitmap(30, 20, 50, 40);
    QCoreApplication::processEvents();
    QImage shown = Grab("preview-8-and-24-bits.png");
    const QRgb base = shown.pixel(WindowPoint(WindowId::Main, 60, 60)) & 0xFFFFFF;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const int i = 10 * y + x + 1;
            EXPECT_EQ(shown.pixel(WindowPoint(WindowId::Main, 10 + x, 20 + y)) & 0xFFFFFF,
                      qRgb(255 - i, 5 * i, 3 * i) & 0xFFFFFF)
                << "8 bits, pixel " << x << ", " << y;
            EXPECT_EQ(shown.pixel(WindowPoint(WindowId::Main, 30 + x, 20 + y)) & 0xFFFFFF,
                      qRgb(200 - 10 * x - y, 80 * y + 2, 40 * x + 1) & 0xFFFFFF)
                << "24 bits, pixel " << x << ", " << y;
        }
    }
    EXPECT_EQ(shown.pixel(WindowPoint(WindowId::Main, 35, 20)) & 0xFFFFFF, base);
    EXPECT_EQ(shown.pixel(WindowPoint(WindowId::Main, 30, 23)) & 0xFFFFFF, base);
    // New pixels in the same format replace the old ones at the next copy.
    std::vector<uint8_t> black(16 * 3, 0);
    Platform.SetPreviewBitmapPixels(black.data());
    Platform.BlitPreviewBitmap(30, 20, 5, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(Grab("preview-replaced.png").pixel(WindowPoint(WindowId::Main, 32, 21)) & 0xFFFFFF,
              0u);
}

// Over the editor the copy lands in its text area and stops at the text area's edge; a repaint of
// the editor wipes it.
TEST_F(QtPreview, CopyOverTheEditorStaysInsideItsTextArea) {
    PreviewBitmapFormat format;
    format.Width = 400;
    format.Height = 300;
    format.Bits = 24;
    format.Stride = 1200;
    std::vector<uint8_t> red(1200 * 300, 0);
    for (size_t i = 2; i < red.size(); i += 3) red[i] = 255;
    Platform.CreatePreviewBitmap(WindowId::Editor, format, red.data());
    Platform.BlitPreviewBitmap(0, 0, 400, 300);
    QCoreApplication::processEvents();
    QImage shown = Grab("preview-over-editor.png");
    int width = 0;
    int height = 0;
    Platform.GetClientSize(WindowId::Editor, width, height);
    ASSERT_GT(width, 20);
    ASSERT_LT(width, 400);
    const QRgb pure = qRgb(255, 0, 0) & 0xFFFFFF;
    EXPECT_EQ(shown.pixel(WindowPoint(WindowId::Editor, 0, 0)) & 0xFFFFFF, pure);
    EXPECT_EQ(shown.pixel(WindowPoint(WindowId::Editor, width - 1, height - 1)) & 0xFFFFFF, pure);
    // The scroll bars beside and below the text area are not painted over.
    EXPECT_NE(shown.pixel(WindowPoint(WindowId::Editor, width + 2, height / 2)) & 0xFFFFFF, pure);
    EXPECT_NE(shown.pixel(WindowPoint(WindowId::Editor, width / 2, height + 2)) & 0xFFFFFF, pure);
    Platform.InvalidateEditor();
    QCoreApplication::processEvents();
    EXPECT_NE(Grab("preview-wiped.png").pixel(WindowPoint(WindowId::Editor, 5, 5)) & 0xFFFFFF,
              pure);
}

TEST_F(QtWindow, GarbageSettingsFileIsReplacedWhenWritten) {
    std::filesystem::path ini = Dir / "vorna.ini";
    std::ofstream(ini, std::ios::binary) << std::string("\x00\xff[[[=\n\x01", 8);
    std::string value = Platform.ReadSetting(ini.c_str(), "Locale", "language", "french");
    EXPECT_NE(value, "french\n");
    EXPECT_TRUE(Platform.WriteSetting(ini.c_str(), "Locale", "language", "english"));
    EXPECT_EQ(Platform.ReadSetting(ini.c_str(), "Locale", "language", "french"), "english");
    EXPECT_EQ(Platform.ReadSetting((Dir / "none.ini").c_str(), "Locale", "language", "french"),
              "french");
}

TEST_F(QtWindow, SettingsGoToTheUserFolderWhenTheProgramFolderCannotBeWritten) {
    std::string unwritable = (Dir / "no-such-folder" / "vorna.ini").string();
    EXPECT_TRUE(Platform.WriteSetting(unwritable.c_str(), "Locale", "language", "english"));
    EXPECT_FALSE(std::filesystem::exists(unwritable));
    QSettings fallback(SettingsFile::FallbackPath(), QSettings::IniFormat);
    EXPECT_EQ(fallback.value("Locale/language").toString(), QStringLiteral("english"));
    EXPECT_NE(SettingsFile::FallbackPath().indexOf(QStringLiteral("vorna_qt_config")), -1);
    EXPECT_EQ(Platform.ReadSetting(unwritable.c_str(), "Locale", "language", "french"), "english");
}

}  // namespace

// Texture > Record movie: a file is asked for once, the item is checked, and the run then writes
// a movie of its starting field and of every image it writes (one frame each, at the image's
// size), read back by ImageMagick.
TEST_F(QtWindow, RecordMovieWritesTheStartingFieldAndEveryImageOfTheRun) {
    std::ofstream(Dir / "film.vna") << "model brusselator\nmodpar alpha 4.5\nmodpar beta 7.5\n"
                                       "reaction A 0.01\nreaction B 0.01\ndiffusion A 0.05\n"
                                       "diffusion B 0.4\ninit A 4.5 0.5\ninit B 1.6 0.5\n"
                                       "size 32 24\niterations 300\nrandseed 4\ncolormap gray\n"
                                       "image256 A t+100 autoscale\n";
    const std::filesystem::path movie = Dir / "film.gif";
    Platform.DialogAnswer = movie.string();
    bool checked = false;
    RunProgram(Dir / "film.vna", [&] {
        Platform.Deliver(WindowMessage::Command, MenuCommand::RecordMovie);
        checked = Platform.Window()->menuBar()->actions()[2]->menu()->actions()[25]->isChecked();
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(RunMoviePath, movie.string());
    // An independent reader: the GIF's frames, one per line.
    const std::string frames =
        scripttest::CommandOutput("identify -format '%wx%h\\n' '" + movie.string() + "' 2>&1");
    EXPECT_EQ(frames, "32x24\n32x24\n32x24\n32x24\n");
}
