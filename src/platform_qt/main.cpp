// vorna: the desktop program. `vorna [SCRIPT.vna]` opens the script in the editor.
#include <QApplication>

#include "frontend/StartUp.h"
#include "imageio/ImageOutput.h"
#include "platform_qt/QtPlatform.h"
#include "rdsimul/ReaDifSimulation.h"

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QtPlatform platform;
    // PNG images and captures: the core writes BMP and TGA only.
    InstallImageOutput(MainRDSim, ImageOutputOptions{}, nullptr);
    return VornaMain(platform, argc > 1 ? argv[1] : nullptr);
}
