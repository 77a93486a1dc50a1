// The main window's part in the session: the users and switching between them, the work of
// its activation (the first run, the file named on the command line), the files later starts
// hand over, and closing.

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>

#include "core/documents/DocumentPaths.h"
#include "core/platform/SendToShortcut.h"
#include "core/store/UserRecords.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/BusyCursor.h"
#include "gui/dialogs/QtText.h"
#include "gui/dialogs/StoreAlerts.h"
#include "gui/main/FileCommands.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"
#include "gui/options/FontChoice.h"
#include "gui/options/OptionsDialog.h"
#include "gui/options/PasswordPrompt.h"

namespace voxilo {
namespace {

// A file named on the command line or handed over by a later start that is not there, or
// cannot be read.
void tellCannotOpenGivenFile(Dialogs& dialogs, QWidget* window) {
    dialogs.message(window, QStringLiteral("指定されたファイルを開くことができませんでした。"),
                    AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Critical);
}

}  // namespace

// The user list and the File menu's user items, the current user's selected and checked.
void MainWindow::fillUsers() {
    switchingUser_ = true;
    userCombo_->clear();
    userMenu_->clear();
    for (std::size_t i = 1; i < state_.userNames.size(); ++i) {
        const QString name = qtext(state_.userNames[i]);
        userCombo_->addItem(name);
        QAction* entry = userMenu_->addAction(name);
        entry->setObjectName(QStringLiteral("mnuFileUserName%1").arg(i - 1));
        entry->setCheckable(true);
        const int index = static_cast<int>(i - 1);
        connect(entry, &QAction::triggered, this, [this, index] { chooseUser(index); });
    }
    userCombo_->setCurrentIndex(userCombo_->findText(qtext(state_.currentUser), Qt::MatchExactly));
    switchingUser_ = false;
    markCurrentUser();
}

void MainWindow::markCurrentUser() {
    for (QAction* entry : userMenu_->actions()) {
        entry->setChecked(entry->text().toStdU16String() == state_.currentUser);
    }
}

// Each time the window becomes active: the command states; once, the command-line file; and,
// while nobody is registered, the first-run path.
void MainWindow::activated() {
    if (activating_ || !isActiveWindow()) return;
    activating_ = true;
    updateCommands();
    if (!state_.exitRequested) {
        if (state_.userNames.size() <= 1) {
            firstRun();
        } else if (!sendToChecked_) {
            mendSendToShortcut();
        }
        sendToChecked_ = true;
        if (!state_.commandLineFile.empty() && isVisible()) openCommandLineFile();
    }
    activating_ = false;
    openHandedFiles();
}

void MainWindow::firstRun() {
    dialogs_.message(
        this,
        QStringLiteral(
            "Voxiloをご利用いただき誠にありがとうございます。\r\n\r\n"
            "本ソフトを使用する際のセキュリティ確保のため、ユーザー名とパスワードをご登録ください。"),
        AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Information);
    state_.optionsTab = 2;
    openOptions();
    if (state_.exitRequested) return;
    createSendToShortcut();
    if (userCombo_->count() > 0) chooseUser(0);
    if (state_.currentUser.empty()) close();  // File > 終了: nobody may use the program
}

void MainWindow::openOptions() {
    emit optionsRequested();
    if (OptionsDialog::open(state_, settings_, store_, dialogs_, this, top_->font())) {
        // The logged-in user's own settings changed: the program ends.
        if (close()) return;
        // The user kept a document the end would have thrown away. The window goes on with
        // what was saved, so that Encode and the next Options dialog work from the store's
        // key code and pattern, not from the old ones; and the end is no longer under way, so
        // that closing offers Cancel again and handed files are opened.
        state_.exitRequested = false;
        if (std::find(state_.userNames.begin() + 1, state_.userNames.end(), state_.currentUser) !=
            state_.userNames.end()) {
            readUserCipher(store_, state_, dialogs_, this);
        }
    }
    // The users, the panes' font and the bars as they now are.
    fillUsers();
    openHandedFiles();
    const QFont font = paneFont(settings_);
    top_->setFont(font);
    bottom_->setFont(font);
    viewToolBar_->setChecked(settings_.showToolbar == 1);
    viewStatusBar_->setChecked(settings_.showStatusbar == 1);
}

// The program as the shortcut names it, with the system's own separators.
std::filesystem::path MainWindow::programPath() {
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdU16String();
}

// Once a run, past the first: the shortcut follows the program. Not made in this installation
// yet (uninstalling forgets it with the shortcut it removes, and a failed first try leaves it
// unmade), it is made now, once. Made earlier for a program that has since moved or been
// reinstalled elsewhere, it is made again for this one, without asking. One the user removed
// stays removed.
void MainWindow::mendSendToShortcut() {
    const auto flag = readSendToFlag(store_, state_.settingsKey);
    if (flag.failure) return;  // told of, if at all, by the first run
    const std::filesystem::path executable = programPath();
    if (flag.value != -1) {
        if (voxilo::createSendToShortcut(executable)) writeSendToFlag(store_, state_.settingsKey);
    } else if (sendToShortcutIsStale(executable)) {
        voxilo::createSendToShortcut(executable);
    }
}

void MainWindow::createSendToShortcut() {
    // A flag that cannot be read counts as not set: the shortcut is made (again), which does
    // no harm, rather than never.
    const auto flag = readSendToFlag(store_, state_.settingsKey);
    if (flag.failure) showStoreFailure(dialogs_, this, *flag.failure);
    if (flag.value == -1) return;  // made once already
    // A failure is not told of: the next first run tries again.
    if (voxilo::createSendToShortcut(programPath())) writeSendToFlag(store_, state_.settingsKey);
}

void MainWindow::openCommandLineFile() {
    const std::u16string file = state_.commandLineFile;
    state_.commandLineFile.clear();  // once only
    if (state_.commandLineNamedOthers) {
        state_.commandLineNamedOthers = false;
        files_->tellOneFileAtATime(file);
    }
    if (file == kCommandLineFileMissing) {
        tellCannotOpenGivenFile(dialogs_, this);
        return;
    }
    // The pane takes the file's name only once it was read: the document stays untitled
    // otherwise, and Save asks for a name rather than write over what could not be read.
    if (!files_->loadTextFile(file)) return;
    state_.topPath = file;
    state_.topHasFile = true;
    state_.bottomPath.clear();
    state_.topModified = false;
    state_.bottomModified = false;
    updateTitle();
    updateCommands();
}

void MainWindow::openHandedFile(const std::u16string& path, bool namedOthers,
                                std::function<void()> done) {
    handedFiles_.push_back({path, namedOthers, std::move(done)});
    openHandedFiles();
}

// Not while a dialog waits for an answer, nobody is logged in, the work of the first run or
// the command-line file is still to come, or one handed file is being opened.
bool MainWindow::readyForHandedFiles() const {
    return !openingHanded_ && !activating_ && isVisible() && !state_.exitRequested &&
           !state_.currentUser.empty() && state_.commandLineFile.empty() &&
           QApplication::activeModalWidget() == nullptr;
}

void MainWindow::openHandedFiles() {
    // An open menu closes without telling anybody: look again shortly.
    if (!handedFiles_.empty() && QApplication::activePopupWidget() != nullptr) {
        QTimer::singleShot(200, this, &MainWindow::openHandedFiles);
        return;
    }
    while (!handedFiles_.empty() && readyForHandedFiles()) {
        const auto [path, namedOthers, done] = handedFiles_.front();
        handedFiles_.pop_front();
        openingHanded_ = true;
        if (namedOthers) files_->tellOneFileAtATime(path);
        // Nothing is asked about the documents for a file that cannot be opened.
        const QFileInfo file(qtext(path));
        if (!file.isFile() || !file.isReadable()) {
            tellCannotOpenGivenFile(dialogs_, this);
        } else {
            files_->openPath(path);
        }
        openingHanded_ = false;
        if (done) done();
    }
}

// Choosing a user from the File menu selects the entry in the list, which switches as choosing
// it there does.
void MainWindow::chooseUser(int index) {
    if (index < 0 || index >= userCombo_->count()) return;
    userCombo_->setCurrentIndex(index);
    userChosen();
}

void MainWindow::selectUserQuietly(int index) {
    switchingUser_ = true;
    userCombo_->setCurrentIndex(index);
    switchingUser_ = false;
}

// The user switch: the chosen user's password, then their key code and pattern.
void MainWindow::userChosen() {
    if (switchingUser_) return;
    const std::u16string chosen = userCombo_->currentText().toStdU16String();
    if (chosen != state_.currentUser) {
        const auto password = readPassword(store_, state_.settingsKey, chosen);
        if (password.failure) showStoreFailure(dialogs_, this, *password.failure);
        if (PasswordPrompt::confirm(state_, dialogs_, this, PasswordPrompt::kLogIn, chosen,
                                    password.value)) {
            state_.currentUser = chosen;
            readUserCipher(store_, state_, dialogs_, this);
        } else {
            // Put the list back on the current user (no entry when nobody is logged in).
            selectUserQuietly(-1);
            selectUserQuietly(userCombo_->findText(qtext(state_.currentUser), Qt::MatchExactly));
        }
        markCurrentUser();
        if (state_.currentUser.empty()) {
            const auto answer = dialogs_.message(
                this,
                QStringLiteral(
                    "ログインせずにVoxiloを利用することはできません。\r\nログインしますか。\r\n"
                    "「いいえ」をクリックするとアプリケーションを終了します。"),
                AppInfo::title(), Dialogs::Buttons::YesNo, MessageIcon::Question);
            if (answer == Dialogs::Answer::Yes) {
                chooseUser(0);
                return;
            }
        }
    }
    // Qt toggles a checkable item when it is chosen: the mark is set again whatever happened.
    markCurrentUser();
    state_.promptAccepted = false;
    if (top_->isVisible()) top_->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if ((state_.topModified || state_.bottomModified) && saveStep) {
        saveStep();
        // A document still unsaved keeps the window, also when the Options dialog demanded the
        // exit: there the save step offers only Yes and No, and a pane stays modified only
        // when its write failed or the user would not let "?" stand in for what CP932 cannot
        // hold. Closing then would throw the text away.
        if (state_.topModified || state_.bottomModified) {
            event->ignore();
            return;
        }
    }
    if (const auto failure = saveCurrentPath(store_, state_.settingsKey, settings_.currentPath)) {
        showStoreFailure(dialogs_, this, *failure);
    }
    event->accept();
}

}  // namespace voxilo
