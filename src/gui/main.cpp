// Voxilo: the window.

#include <QApplication>

#include "gui/main/Application.h"
#include "gui/dialogs/QtDialogs.h"
#include "gui/dialogs/SingleInstance.h"
#include "core/store/PlatformStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Voxilo"));
    QApplication::setApplicationVersion(QStringLiteral(VOXILO_VERSION));

    // A second Voxilo of the same user ends at once, without a word.
    voxilo::SingleInstance instance;
    if (!instance.acquire()) return 0;

    const auto store = voxilo::openPlatformStore();
    voxilo::QtDialogs dialogs;
    voxilo::Application program(*store, dialogs, QCoreApplication::applicationDirPath());
    QObject::connect(&program, &voxilo::Application::ended, &app, &QCoreApplication::quit);
    if (!program.start(QCoreApplication::arguments().mid(1))) return 1;
    return app.exec();
}
