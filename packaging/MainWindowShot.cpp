// Makes the README's picture of the main window: a user logged in, a short Japanese memo in
// the upper pane, and its ciphertext below. Run by scripts/screenshot.sh under Xvfb.

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "core/store/SqliteValueStore.h"
#include "gui/dialogs/QtDialogs.h"
#include "gui/help/AboutDialog.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    QApplication app(argc, argv);
    QApplication::setWindowIcon(voxilo::programIcon());
    QTemporaryDir folder;
    voxilo::SqliteValueStore store(folder.filePath(QStringLiteral("settings.db")).toStdString());
    voxilo::QtDialogs dialogs;
    voxilo::AppState state;
    state.userNames = {u"", u"taro", u"hanako"};
    state.currentUser = u"taro";
    state.keyCode = 7;
    state.pattern = 2;
    voxilo::ProgramSettings settings;
    settings.showToolbar = 1;
    settings.showStatusbar = 1;

    voxilo::MainWindow window(state, settings, store, dialogs);
    window.show();
    voxilo::setPaneText(*window.topPane(),
                        u"明日の打ち合わせは10時から第2会議室で行います。\r\n"
                        u"資料は各自印刷して持参してください。\r\n"
                        u"Voxilo 1.1.5");
    window.topPane()->setFocus();
    window.encode();
    int status = 1;
    QTimer::singleShot(1500, &app, [&] {
        status = window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return status;
}
