// vorna: the desktop program. `vorna [SCRIPT.vna]` opens the script in the editor.
#include <QApplication>

#include "frontend/StartUp.h"
#include "platform_qt/QtPlatform.h"

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QtPlatform platform;
    return VornaMain(platform, argc > 1 ? argv[1] : nullptr);
}
