// Voxilo: the window.

#include <QApplication>

#include <cstdio>
#include <cstring>

#include "core/platform/SafeFileWriter.h"
#include "core/store/PlatformStore.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/QtDialogs.h"
#include "gui/dialogs/SingleInstance.h"
#include "gui/help/AboutDialog.h"
#include "gui/main/Application.h"
#include "gui/main/ProgramLook.h"

int main(int argc, char** argv) {
    voxilo::ignoreFileSizeSignal();
    // Asked for its version, the program answers on the terminal, without a window or a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("voxilo %s\n", voxilo::version::kText);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Voxilo"));
    QApplication::setApplicationVersion(voxilo::AppInfo::version());
    QApplication::setWindowIcon(voxilo::programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("voxilo"));
    voxilo::applyProgramLook(app);

    // A second Voxilo of the same user hands its file to the running one and ends, without a
    // word of its own: at once when that one confirmed, after a few seconds when it does not
    // answer.
    voxilo::SingleInstance instance;
    if (!instance.acquire()) {
        const auto file = voxilo::commandLineFile(QCoreApplication::arguments().mid(1));
        const bool taken = instance.handOver(file.path, file.namedOthers);
        return taken ? 0 : 1;
    }

    const auto store = voxilo::openPlatformStore();
    voxilo::QtDialogs dialogs;
    voxilo::Application program(*store, dialogs, QCoreApplication::applicationDirPath());
    QObject::connect(&program, &voxilo::Application::ended, &app, &QCoreApplication::quit);
    QObject::connect(&instance, &voxilo::SingleInstance::handedOver, &program,
                     &voxilo::Application::handOver);
    if (!program.start(QCoreApplication::arguments().mid(1))) return 1;
    return app.exec();
}
