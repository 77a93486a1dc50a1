// Voxilo: the window.

#include <QApplication>

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "platform/QtDialogs.h"
#include "store/ProgramSettings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Voxilo"));
    QApplication::setApplicationVersion(QStringLiteral(VOXILO_VERSION));

    // Until start-up and login are in place, the window opens directly, with nobody logged in
    // (no shift) and the default settings.
    voxilo::AppState state;
    state.settingsKey = std::u16string(voxilo::kSettingsKeyPath);
    const voxilo::ProgramSettings settings;
    voxilo::QtDialogs dialogs;
    voxilo::MainWindow window(state, settings, dialogs);
    window.show();
    return app.exec();
}
