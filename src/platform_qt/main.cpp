// vorna: the desktop program. `vorna [SCRIPT.vna]` opens the script in the editor.
#include <QApplication>
#include <string>

#include "formulajit/FormulaJit.h"
#include "frontend/StartUp.h"
#include "imageio/ImageOutput.h"
#include "imageio/MapPictureReader.h"
#include "imageio/WriterThread.h"
#include "platform_qt/CommandLine.h"
#include "platform_qt/QtPlatform.h"
#include "rdsimul/ReaDifSimulation.h"

int main(int argc, char **argv) {
    // --help, --version and a missing display are answered before Qt, which would abort.
    if (StartAction action = ChooseStartAction(argc, argv); action != StartAction::OpenWindow) {
        PrintStartText(action, "vorna", stdout, stderr);
        return action == StartAction::NoDisplay ? 1 : 0;
    }
    QApplication application(argc, argv);
    QtPlatform platform;
    // Images and captures written on a thread of their own, so that the run's threads go on
    // computing; a failure is counted into the run's when the round ends and waits for them.
    WriterThread thread;
    ImageOutput writer(ImageOptions{}, nullptr);
    writer.WriteInBackground(thread, [](const std::string &path, int error) {
        MainRDSim.NoteImageFailure(path.c_str(), error);
    });
    MainRDSim.SetImageWriter(&writer);
    // The scripts' map and initmap pictures in PNG, BMP and TGA.
    MapPictureReader::Install();
    // Formula models as machine code made for their formulas.
    FormulaJit::Install();
    const int code = VornaMain(platform, argc > 1 ? argv[1] : nullptr);
    MainRDSim.FinishImages();
    MainRDSim.SetImageWriter(nullptr);
    return code;
}
