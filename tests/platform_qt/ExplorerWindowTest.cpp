// The explorer window on the real Qt window (offscreen), during a run: Ctrl+E puts the focus in
// the panel's first field, a typed value and Enter change the run, a drag on the view paints,
// and both come back in the script as `at` lines, even when the window is closed before the run
// ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frontend/ExplorerSession.h"
#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/StartUp.h"
#include "platform_qt/ExplorerView.h"
#include "platform_qt/ExplorerWindow.h"
#include "platform_qt/QtPlatform.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ScriptParser.h"

namespace {

class FolderPlatform : public QtPlatform {
public:
    std::string ProgramDirectory() override { return Folder; }
    std::string Folder;
};

void Drag(QWidget *view, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers) {
    QMouseEvent press(QEvent::MouseButtonPress, from, view->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(view, &press);
    for (int i = 1; i <= 4; ++i) {
        const QPoint at = from + (to - from) * i / 4;
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         modifiers);
        QCoreApplication::sendEvent(view, &move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, to, view->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(view, &release);
}

// A run of the program through the real window in a fresh folder of its own (English, the
// working folder, message boxes answered OK), the explorer's session cleared around it.
class ExplorerWindowRun : public testing::Test {
protected:
    void SetUp() override {
        ResetFrontEndGlobals();
        TheExplorer.Reset();
        Dir = std::filesystem::path(testing::TempDir()) / "vorna_qt" /
              testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        OldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        std::ofstream(Dir / "vorna.ini") << "[Locale]\nlanguage=english\n";
        Platform.Folder = Dir.string();
        Boxes.setInterval(20);
        QObject::connect(&Boxes, &QTimer::timeout, [] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) box->accept();
        });
        Boxes.start();
    }
    void TearDown() override {
        std::filesystem::current_path(OldDir);
        TheExplorer.Reset();
        ResetFrontEndGlobals();
    }
    // A Brusselator of width x height points over iterations, an image every imageEvery.
    static std::string Brusselator(int width, int height, int iterations, int imageEvery) {
        return "model brusselator\nmodpar alpha 4.5\nmodpar beta 7.5\nreaction A 0.01\n"
               "reaction B 0.01\ndiffusion A 0.05\ndiffusion B 0.4\ninit A 4.5 0.5\n"
               "init B 1.6 0.5\nsize " +
               std::to_string(width) + " " + std::to_string(height) + "\niterations " +
               std::to_string(iterations) + "\nrandseed 11\ncolormap gray\nimage256 A t+" +
               std::to_string(imageEvery) + " autoscale\n";
    }

    std::filesystem::path Dir;
    std::filesystem::path OldDir;
    FolderPlatform Platform;
    QTimer Boxes;
};

}  // namespace

TEST_F(ExplorerWindowRun, KeyboardAndBrushDuringARunAreRecordedInTheScript) {
    const std::filesystem::path script = Dir / "explore.vna";
    std::ofstream(script) << "model brusselator\nmodpar alpha 4.5\nmodpar beta 7.5\n"
                             "reaction A 0.01\nreaction B 0.01\ndiffusion A 0.05\n"
                             "diffusion B 0.4\ninit A 4.5 0.5\ninit B 1.6 0.5\nsize 120 90\n"
                             "iterations 400000\ncolormap rgb 0 0 128 255 255 0\n"
                             "image256 A t+400000 autoscale\n";

    bool focusedFirst = false;
    int picturedWidth = 0;
    std::string editorAfter;
    QStringList listed;
    QTimer::singleShot(0, [&] {
        // While the run goes on: the keys and the drag, then a Break once both are recorded.
        QTimer::singleShot(200, [&] {
            QTest::keySequence(Platform.Window(), QKeySequence(QStringLiteral("Ctrl+E")));
            QCoreApplication::processEvents();
            ExplorerWindow *explorer = Platform.Explorer();
            ASSERT_NE(explorer, nullptr);
            ASSERT_FALSE(explorer->Fields().empty());
            QLineEdit *first = explorer->Fields().front();
            (void)QTest::qWaitForWindowActive(explorer);
            focusedFirst = QApplication::focusWidget() == first;
            first->selectAll();
            QTest::keyClicks(first, QStringLiteral("3.25"));
            QTest::keyClick(first, Qt::Key_Return);
            explorer->Refresh();
            ExplorerView *view = explorer->View();
            picturedWidth = view->Picture().width();
            Drag(view, view->WidgetPoint(10, 20).toPoint(), view->WidgetPoint(30, 25).toPoint(),
                 Qt::NoModifier);
        });
        QTimer::singleShot(700, [&] {
            Platform.Explorer()->Refresh();
            // The window as the user sees it, for a reviewer and the README.
            const std::filesystem::path artifacts =
                std::filesystem::path(VORNA_BINARY_DIR) / "test-artifacts";
            std::filesystem::create_directories(artifacts);
            Platform.Explorer()->grab().save(
                QString::fromStdString((artifacts / "explorer.png").string()));
            for (int i = 0; i < Platform.Explorer()->RecordList()->count(); ++i) {
                listed << Platform.Explorer()->RecordList()->item(i)->text();
            }
            // Closed before the run ends, the window still hands its record over.
            Platform.Explorer()->close();
            Platform.Deliver(WindowMessage::Command, MenuCommand::Break);
        });
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
        // Back from the run: the record goes into the script in the editor.
        QTest::qWait(100);
        editorAfter = Platform.GetEditorText();
        Platform.SetEditorModified(false);
        Platform.PostCloseRequest();
    });
    (void)VornaMain(Platform, script.c_str());

    EXPECT_TRUE(focusedFirst);
    EXPECT_EQ(picturedWidth, 120);
    ASSERT_EQ(listed.size(), 2) << listed.join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(listed[0].contains(QStringLiteral(" modpar alpha 3.25")))
        << listed[0].toStdString();
    EXPECT_TRUE(listed[1].contains(QStringLiteral(" paint A set 1 5 10 20 ")))
        << listed[1].toStdString();
    EXPECT_NE(editorAfter.find(ChangeRecord::BlockHeading), std::string::npos) << editorAfter;
    EXPECT_NE(editorAfter.find(listed[0].toStdString() + "\n"), std::string::npos) << editorAfter;
    EXPECT_NE(editorAfter.find(listed[1].toStdString() + "\n"), std::string::npos) << editorAfter;
}

// The view keeps field points square and centred; in the tiled view a point of any of the nine
// copies is the field's own point, and outside the copies there is none.
TEST(ExplorerWindow, EveryCopyOfTheTiledViewLandsOnTheFieldsPoint) {
    ExplorerView view;
    view.resize(620, 300);
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    view.SetPicture(picture);
    int x = -1;
    int y = -1;
    // One copy: 300 / 10 = 30 pixels a point, the picture 600 wide and centred (10 each side).
    ASSERT_TRUE(view.FieldPoint(QPointF(10 + 7 * 30 + 29, 3 * 30), x, y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 3);
    EXPECT_FALSE(view.FieldPoint(QPointF(5, 150), x, y));
    view.SetTiled(true);
    for (int copyY = 0; copyY < 3; ++copyY) {
        for (int copyX = 0; copyX < 3; ++copyX) {
            const QPointF middle = view.WidgetPoint(19, 0);  // the middle copy's point
            const QPointF at = middle + QPointF((copyX - 1) * 200.0, (copyY - 1) * 100.0);
            ASSERT_TRUE(view.FieldPoint(at, x, y)) << copyX << " " << copyY;
            EXPECT_EQ(x, 19);
            EXPECT_EQ(y, 0);
        }
    }
    view.SetZoom(2.0);  // enlarged around the centre: the middle copy's points stay found
    ASSERT_TRUE(view.FieldPoint(view.WidgetPoint(4, 6), x, y));
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, 6);
}

// The view paints every pixel it covers, at any zoom and scale: the picture, black around it,
// and nothing left over from what was there before.
TEST(ExplorerWindow, ViewPaintsThePictureAndBlackAroundItAndNothingElse) {
    ExplorerView view;
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(Qt::red);
    view.SetPicture(picture);
    // Scales and origins that fall between screen pixels.
    for (QSize size : {QSize(333, 211), QSize(301, 157), QSize(517, 389)}) {
        view.resize(size);
        for (bool tiled : {false, true}) {
            view.SetTiled(tiled);
            for (double zoom : {1.0, 0.37, 3.3}) {
                view.SetZoom(zoom);
                const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
                int black = 0;
                int red = 0;
                for (int y = 0; y < shown.height(); ++y) {
                    for (int x = 0; x < shown.width(); ++x) {
                        const QRgb pixel = shown.pixel(x, y);
                        if (pixel == qRgb(0, 0, 0)) {
                            ++black;
                        } else if (pixel == qRgb(255, 0, 0)) {
                            ++red;
                        } else {
                            ADD_FAILURE()
                                << "pixel " << x << "," << y << " " << std::hex << pixel << std::dec
                                << ", " << size.width() << "x" << size.height() << ", zoom " << zoom
                                << (tiled ? ", tiled" : "");
                            return;
                        }
                    }
                }
                EXPECT_GT(red, 0);
                if (zoom < 1.0) {
                    EXPECT_GT(black, 0);
                }
            }
        }
    }
}

// The promise of the explorer, end to end through the real window: a run changed by a typed
// value and a drag writes images byte-identical to those its saved script writes when run again
// from the start.
TEST_F(ExplorerWindowRun, ALiveChangedRunWritesTheImagesOfItsSavedScript) {
    // Long enough that the changes land in the middle of the run on any machine; five images.
    std::ofstream(Dir / "live.vna") << Brusselator(80, 60, 200000, 40000);
    std::string saved;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(150, [&] {
            QTest::keySequence(Platform.Window(), QKeySequence(QStringLiteral("Ctrl+E")));
            QCoreApplication::processEvents();
            ExplorerWindow *explorer = Platform.Explorer();
            ASSERT_NE(explorer, nullptr);
            ASSERT_GE(explorer->Fields().size(), 2u);
            QLineEdit *beta = explorer->Fields()[1];
            beta->selectAll();
            QTest::keyClicks(beta, QStringLiteral("6.5"));
            QTest::keyClick(beta, Qt::Key_Return);
            QTest::qWait(30);
            ExplorerView *view = explorer->View();
            Drag(view, view->WidgetPoint(5, 5).toPoint(), view->WidgetPoint(70, 50).toPoint(),
                 Qt::ShiftModifier);
        });
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
        QTest::qWait(100);
        Platform.Explorer()->Refresh();
        saved = Platform.GetEditorText();
        Platform.SetEditorModified(false);
        Platform.PostCloseRequest();
    });
    (void)VornaMain(Platform, (Dir / "live.vna").c_str());

    ASSERT_NE(saved.find(" modpar beta 6.5\n"), std::string::npos) << saved;
    ASSERT_NE(saved.find(" paint A add "), std::string::npos) << saved;
    std::ofstream(Dir / "again.vna") << saved;
    ReaDifSimulation sim(4);
    int position = 0;
    ASSERT_EQ(sim.SetParametersFromFile((Dir / "again.vna").c_str(), position, 0),
              ScriptParser::Accepted);
    ASSERT_EQ(sim.Initialize(), GenImage3D::Done);
    ASSERT_EQ(sim.RunSimulation(0), ReaDifSimulation::RunResult::Ran);
    auto read = [](const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (int t = 40000; t <= 200000; t += 40000) {
        char name[32];
        std::snprintf(name, sizeof name, "_A%06d.bmp", t);
        const std::string live = read(Dir / (std::string("live") + name));
        EXPECT_FALSE(live.empty()) << name;
        EXPECT_EQ(live, read(Dir / (std::string("again") + name))) << name;
    }
}

// A formula script's panel has a row for every parameter its formulas read; before a run a typed
// value rewrites that parameter's own modpar line in the editor.
TEST_F(ExplorerWindowRun, FormulaParametersHaveRowsThatEditTheirLines) {
    std::ofstream(Dir / "gs.vna") << "model formula\nformula A feed*(1 - A) - A*B^2\n"
                                     "formula B A*B^2 - (feed + kill)*B\nmodpar feed 0.0545\n"
                                     "modpar kill 0.062\nreaction A 1\nreaction B 1\n"
                                     "diffusion A 0.8\ndiffusion B 0.4\ninit A 1 0\ninit B 0 0\n"
                                     "size 20 20\niterations 10\ncolormap gray\n"
                                     "image256 B t+10 autoscale\n";
    std::vector<std::string> values;
    std::string editor;
    QTimer::singleShot(150, [&] {
        Platform.Deliver(WindowMessage::Command, MenuCommand::Explorer);
        QCoreApplication::processEvents();
        if (ExplorerWindow *explorer = Platform.Explorer(); explorer != nullptr) {
            explorer->Refresh();
            for (QLineEdit *field : explorer->Fields()) {
                values.push_back(field->text().toStdString());
            }
            if (explorer->Fields().size() > 1) {
                QLineEdit *kill = explorer->Fields()[1];
                kill->selectAll();
                QTest::keyClicks(kill, QStringLiteral("0.06"));
                QTest::keyClick(kill, Qt::Key_Return);
            }
        }
        editor = Platform.GetEditorText();
        Platform.SetEditorModified(false);
        Platform.PostCloseRequest();
    });
    (void)VornaMain(Platform, (Dir / "gs.vna").c_str());
    // feed, kill, then the strength and coefficient of A and of B.
    EXPECT_EQ(values, (std::vector<std::string>{"0.0545", "0.062", "1", "0.8", "1", "0.4"}));
    EXPECT_NE(editor.find("\nmodpar kill 0.06\n"), std::string::npos) << editor;
}

// Record movie during a run: a file is asked for, the pictures the view draws go into it until
// the button is released, and the movie is there, complete, when the status says so.
TEST_F(ExplorerWindowRun, RecordMovieWritesThePicturesTheViewDraws) {
    std::ofstream(Dir / "film.vna") << Brusselator(120, 90, 400000, 400000);
    const std::filesystem::path movie = Dir / "view.gif";
    QTimer dialogs;
    dialogs.setInterval(20);
    QObject::connect(&dialogs, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *files = qobject_cast<QFileDialog *>(modal); files != nullptr) {
            files->selectFile(QString::fromStdString(movie.string()));
            static_cast<QDialog *>(files)->accept();  // QFileDialog::accept is protected
        }
    });
    dialogs.start();
    std::string status;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(150, [&] {
            Platform.Deliver(WindowMessage::Command, MenuCommand::Explorer);
            if (ExplorerWindow *explorer = Platform.Explorer(); explorer != nullptr) {
                explorer->RecordMovieButton()->click();
            }
        });
        QTimer::singleShot(900, [&] {
            if (ExplorerWindow *explorer = Platform.Explorer(); explorer != nullptr) {
                explorer->RecordMovieButton()->click();
                status = explorer->StatusLine()->text().toStdString();
            }
            Platform.Deliver(WindowMessage::Command, MenuCommand::Break);
        });
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
        QTest::qWait(100);
        Platform.SetEditorModified(false);
        Platform.PostCloseRequest();
    });
    (void)VornaMain(Platform, (Dir / "film.vna").c_str());
    EXPECT_EQ(status.rfind("Movie " + movie.string() + " written: ", 0), 0u) << status;
    std::ifstream in(movie, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 6u);
    EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
    EXPECT_EQ(bytes.back(), ';');  // the trailer: the file is complete
}

// The view ends on the run's last iteration, not on the last copy made while it computed: once
// the run is over, it shows the final field through the script's colour map.
TEST_F(ExplorerWindowRun, TheViewEndsOnTheRunsLastIteration) {
    std::ofstream(Dir / "end.vna") << Brusselator(64, 48, 6000, 6000);
    QImage shown;
    QImage expected;
    int32_t endTime = -1;
    bool started = false;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (RunFlag == 1) started = true;
        if (!started || RunFlag == 1 || endTime >= 0) return;
        endTime = MainRDSim.CurrentTime;
        QTimer::singleShot(120, [&] {
            if (ExplorerWindow *explorer = Platform.Explorer(); explorer != nullptr) {
                shown = explorer->View()->Picture();
            }
            const Image3DFloat &field = *MainRDSim.Components[0];
            expected = QImage(field.GetSizeX(), field.GetSizeY(), QImage::Format_RGB32);
            (void)MainRDSim.GetPictureRule().ConvertToPixels(
                field, reinterpret_cast<uint32_t *>(expected.bits()), expected.bytesPerLine() / 4);
            Platform.SetEditorModified(false);
            Platform.PostCloseRequest();
        });
    });
    watch.start();
    QTimer::singleShot(0, [&] {
        Platform.Deliver(WindowMessage::Command, MenuCommand::Explorer);
        Platform.Deliver(WindowMessage::Command, MenuCommand::Run);
    });
    (void)VornaMain(Platform, (Dir / "end.vna").c_str());
    EXPECT_EQ(endTime, 6000);
    ASSERT_FALSE(shown.isNull());
    EXPECT_TRUE(shown == expected);
}
