#include "gui/main/Application.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include "core/store/UserRecords.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/BusyCursor.h"
#include "gui/dialogs/StoreAlerts.h"
#include "gui/help/HelpCommands.h"
#include "gui/help/HelpFile.h"
#include "gui/login/LoginDialog.h"
#include "gui/main/MainWindow.h"

namespace voxilo {

CommandLineFile commandLineFile(const QStringList& arguments) {
    // The path is made absolute here, once: the caption and the save dialogs show it whole.
    const auto absolute = [](const QString& file) {
        return QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
    };
    const QString joined = arguments.join(QLatin1Char(' '));
    if (joined.isEmpty()) return {};
    if (arguments.size() > 1 && !QFileInfo::exists(absolute(joined)) &&
        QFileInfo::exists(absolute(arguments.front()))) {
        return {absolute(arguments.front()), true};
    }
    return {absolute(joined), false};
}

Application::Application(ValueStore& store, Dialogs& dialogs, QString programFolder)
    : store_(store), dialogs_(dialogs), programFolder_(std::move(programFolder)) {}

Application::~Application() = default;

bool Application::start(const QStringList& arguments, const QString& lockProblem) {
    helpFile_ = helpFilePath(programFolder_);
    state_.settingsKey = std::u16string(kSettingsKeyPath);
    state_.exitRequested = false;

    auto names = loadUserNames(store_, state_.settingsKey);
    if (!names) {
        showStoreFailure(dialogs_, nullptr, names.error());
        return false;
    }
    state_.userNames = std::move(*names);
    // Installed, the program lives where nobody but an administrator may save (Program Files,
    // /usr/bin): the file dialogs first open in the user's documents (ドキュメント) on Windows,
    // and in the user's home elsewhere.
#ifdef Q_OS_WIN
    QString firstFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (firstFolder.isEmpty()) firstFolder = QDir::homePath();
#else
    const QString firstFolder = QDir::homePath();
#endif
    auto settings = loadProgramSettings(store_, state_.settingsKey,
                                        QDir::toNativeSeparators(firstFolder).toStdU16String());
    if (!settings) {
        showStoreFailure(dialogs_, nullptr, settings.error());
        return false;
    }
    settings_ = std::move(*settings);

    const auto [file, namedOthers] = commandLineFile(arguments);
    state_.commandLineNamedOthers = namedOthers;
    if (file.isEmpty()) {
        state_.commandLineFile.clear();
    } else if (!QFileInfo::exists(file)) {
        state_.commandLineFile = std::u16string(kCommandLineFileMissing);
    } else {
        state_.commandLineFile = file.toStdU16String();
    }

    // Once, before anything else is asked: a second Voxilo of this user would now run as a
    // program of its own, and the user is the one who can avoid that.
    if (!lockProblem.isEmpty()) {
        dialogs_.message(nullptr,
                         QStringLiteral("ほかにVoxiloが起動していないことを確かめられませんでした。"
                                        "\r\n%1\r\n\r\nこのまま起動します。"
                                        "Voxiloを同時に2つ使わないでください。")
                             .arg(lockProblem),
                         AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Exclamation);
    }

    login_ = std::make_unique<LoginDialog>(state_, settings_, store_, dialogs_);
    connect(login_.get(), &LoginDialog::loggedIn, this, &Application::openMainWindow,
            Qt::QueuedConnection);
    connect(login_.get(), &LoginDialog::refused, this, &Application::ended, Qt::QueuedConnection);
    login_->show();
    return true;
}

void Application::openMainWindow() {
    {
        BusyCursor busy;
        readUserCipher(store_, state_, dialogs_, nullptr);
        main_ = std::make_unique<MainWindow>(state_, settings_, store_, dialogs_);
        main_->help().setHelpFile(helpFile_);
        connect(main_.get(), &MainWindow::optionsRequested, this, &Application::optionsRequested);
        main_->show();
        main_->activateWindow();
    }
    // The login dialog goes once the main window stands in its place.
    if (login_) login_.release()->deleteLater();
    for (const auto& [path, namedOthers, done] : handedFiles_)
        main_->openHandedFile(path.toStdU16String(), namedOthers, done);
    handedFiles_.clear();
}

void Application::handOver(const QString& path, bool namedOthers,
                           const std::function<void()>& done) {
    // The window in front is the one waiting for an answer, if any.
    QWidget* window = main_ ? static_cast<QWidget*>(main_.get()) : login_.get();
    for (QWidget* shown : {window, QApplication::activeModalWidget()}) {
        if (shown == nullptr || !shown->isVisible()) continue;
        shown->setWindowState(shown->windowState() & ~Qt::WindowMinimized);
        shown->raise();
        shown->activateWindow();
    }
    if (path.isEmpty()) {
        if (done) done();
        return;
    }
    if (main_) {
        main_->openHandedFile(path.toStdU16String(), namedOthers, done);
    } else {
        handedFiles_.push_back({path, namedOthers, done});
    }
}

}  // namespace voxilo
