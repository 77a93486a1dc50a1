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

    // A second Voxilo of the same user hands its file to the running one and ends without a
    // word of its own once that one is done with the file: opened it, or told its user why
    // not. It may wait long, while a dialog over there is open. When that one ends before it
    // came to the file, this start takes its place and opens the file as a first start does.
    // One that does not answer is given a few seconds.
    using voxilo::SingleInstance;
    const auto file = voxilo::commandLineFile(QCoreApplication::arguments().mid(1));
    SingleInstance instance;
    SingleInstance::Claim claim = instance.acquire();
    // A few rounds at most: a program that takes requests and lets them go while it runs on
    // would otherwise keep this start going round.
    for (int round = 1; claim == SingleInstance::Claim::Another; ++round) {
        switch (instance.handOver(file.path, file.namedOthers)) {
            case SingleInstance::Handed::Done:
                return 0;
            case SingleInstance::Handed::NoAnswer:
                return 1;
            case SingleInstance::Handed::Ended:
                break;
        }
        if (round == 3) return 1;
        // The ending program lets its lock go just before it closes the channel.
        claim = instance.acquire(std::chrono::seconds(5));
    }

    const auto store = voxilo::openPlatformStore();
    voxilo::QtDialogs dialogs;
    voxilo::Application program(*store, dialogs, QCoreApplication::applicationDirPath());
    QObject::connect(&program, &voxilo::Application::ended, &app, &QCoreApplication::quit);
    QObject::connect(&instance, &voxilo::SingleInstance::handedOver, &program,
                     &voxilo::Application::handOver);
    const QString lockProblem =
        claim == SingleInstance::Claim::Unguarded ? instance.lockProblem() : QString();
    if (!program.start(QCoreApplication::arguments().mid(1), lockProblem)) return 1;
    return app.exec();
}
