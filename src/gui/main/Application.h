#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "core/AppState.h"
#include "core/store/ProgramSettings.h"
#include "core/store/ValueStore.h"
#include "gui/dialogs/Dialogs.h"

namespace voxilo {

class LoginDialog;
class MainWindow;

// The file the command line names, made absolute; empty when there are none. All arguments are
// one path when they name an existing file together, as an unquoted path with blanks arrives.
// Otherwise several arguments are several files (a file manager sending a selection): the first
// is taken when it exists, and `namedOthers` says that the rest are left.
struct CommandLineFile {
    QString path;
    bool namedOthers = false;
};
CommandLineFile commandLineFile(const QStringList& arguments);

// The running program: its state and settings, the login dialog, then the main window.
class Application : public QObject {
    Q_OBJECT
public:
    Application(ValueStore& store, Dialogs& dialogs, QString programFolder);
    ~Application() override;

    // Start-up: the users and the settings from the store, the file named on the command line,
    // then the login dialog. False when the store cannot be read: the program then ends, after
    // the message. `lockProblem`: why this start could not make sure that no other Voxilo
    // runs; the user is told so before the login.
    bool start(const QStringList& arguments, const QString& lockProblem = {});
    // After a login: the user's key code and pattern, the main window in place of the login.
    void openMainWindow();
    // A later start's request: the program comes to the front and, unless `path` is empty,
    // opens `path` as File > 開く would, once a user is logged in and no dialog is open.
    // `namedOthers`: that start named more files, which are not opened; the user is told.
    // `done` is called once the file was opened or the user told why not; never when the
    // program ends first.
    void handOver(const QString& path, bool namedOthers = false,
                  const std::function<void()>& done = {});

    AppState& state() { return state_; }
    ProgramSettings& settings() { return settings_; }
    LoginDialog* loginDialog() const { return login_.get(); }
    MainWindow* mainWindow() const { return main_.get(); }
    const QString& helpFile() const { return helpFile_; }

signals:
    // The program is to end (the login was cancelled or refused).
    void ended();
    // The main window opens the Options dialog (View > ｵﾌﾟｼｮﾝ, or the first run).
    void optionsRequested();

private:
    ValueStore& store_;
    Dialogs& dialogs_;
    QString programFolder_;
    QString helpFile_;
    AppState state_;
    ProgramSettings settings_;
    std::unique_ptr<LoginDialog> login_;
    std::unique_ptr<MainWindow> main_;
    struct HandedFile {
        QString path;
        bool namedOthers = false;
        std::function<void()> done;
    };
    std::vector<HandedFile> handedFiles_;  // handed before anybody logged in
};

}  // namespace voxilo
