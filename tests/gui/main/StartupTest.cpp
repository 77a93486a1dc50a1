// Start-up, login, the first run, the command-line file and switching users, through the real
// windows under the offscreen platform and the scripted dialogs.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/platform/SendToShortcut.h"
#include "core/store/UserRecords.h"
#include "gui/dialogs/SingleInstance.h"
#include "gui/login/LoginDialog.h"
#include "gui/main/Application.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"
#include "gui/options/PasswordPrompt.h"
#include "support/FaultInjectingStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

const QString kTitle = QStringLiteral("Voxilo");
const QString kWrong = QStringLiteral("ユーザー名またはパスワードが違います。");
const QString kWelcome = QStringLiteral(
    "Voxiloをご利用いただき誠にありがとうございます。\r\n\r\n"
    "本ソフトを使用する際のセキュリティ確保のため、ユーザー名とパスワードをご登録ください。");

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ValueStore> store_;
    std::unique_ptr<testing_support::FaultInjectingStore>
        faulty_;  // between the program and store_
    testing_support::ScriptedDialogs dialogs_;
    std::unique_ptr<Application> app_;

    // Paths as the system gives them, with the platform's own separators.
    QString path(const QString& name) const {
        return QDir::toNativeSeparators(folder_->filePath(name));
    }

    // Registers users (name, password; the last one also gets key code 7, pattern 2) and the
    // login settings.
    void registerUsers(const std::vector<EditedUser>& users, std::int16_t startup, int retry) {
        OptionsValues options;
        options.startup = startup;
        options.retryLimited = retry > 0 ? 1 : 0;
        options.retryCount = QString::number(retry).toStdU16String();
        options.keyCodeText = std::u16string(1, u'7');
        options.patternIndex = 2;
        const std::u16string last = users.empty() ? std::u16string() : users.back().user;
        QVERIFY(!saveAllSettings(*store_, kSettingsKeyPath, users, options, last));
    }
    bool start(const QStringList& arguments = {}) {
        faulty_ = std::make_unique<testing_support::FaultInjectingStore>(*store_);
        app_ = std::make_unique<Application>(*faulty_, dialogs_, path(QStringLiteral("program")));
        return app_->start(arguments);
    }
    // The main window, once it has been made (it may have closed again since).
    MainWindow* waitForMainWindowMade() {
        [&] { QTRY_VERIFY(app_->mainWindow()); }();
        return app_->mainWindow();
    }
    void logIn(const QString& name, const QString& password) {
        LoginDialog* login = app_->loginDialog();
        login->userNameBox()->setText(name);
        login->passwordBox()->setText(password);
        QTest::mouseClick(login->okButton(), Qt::LeftButton);
    }
    MainWindow* waitForMainWindow() {
        [&] { QTRY_VERIFY(app_->mainWindow() && app_->mainWindow()->isVisible()); }();
        return app_->mainWindow();
    }
    // The Options dialog of the first run: on its user tab, `name` registered with `password`
    // by the keyboard, then OK. With no name, it is cancelled.
    void expectOptions(const QString& name, const QString& password) {
        dialogs_.expectExec(QStringLiteral("frmOptions"), [=, this](QDialog& dialog) {
            dialog.show();
            dialog.activateWindow();
            [&] {
                // A dialog counts as active while its owner is: wait for the dialog itself.
                QTRY_COMPARE(QApplication::activeWindow(), &dialog);
                QCOMPARE(dialog.windowTitle(), QStringLiteral("ｵﾌﾟｼｮﾝ"));
                QCOMPARE(app_->state().optionsTab, std::int16_t{2});  // on the user tab
                QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cboUser"));
            }();
            ++optionsShown_;
            if (name.isEmpty()) {
                dialog.reject();
                return dialog.result();
            }
            for (const QString& typed : {name, password, password}) {
                QTest::keyClicks(QApplication::focusWidget(), typed);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"));
            [&] { QCOMPARE(QApplication::focusWidget(), ok); }();
            QTest::keyClick(ok, Qt::Key_Space);
            return dialog.result();
        });
    }
    int optionsShown_ = 0;

    // The password prompt, answered with `password` (or cancelled when empty).
    void expectPrompt(const QString& password) {
        dialogs_.expectBeep();
        dialogs_.expectExec(QStringLiteral("frmDelete"), [password](QDialog& dialog) {
            auto& prompt = static_cast<PasswordPrompt&>(dialog);
            if (password.isEmpty()) {
                prompt.cancelButton()->click();
            } else {
                prompt.passwordBox()->setText(password);
                prompt.okButton()->click();
            }
            return prompt.result();
        });
    }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        store_ = testing_support::freshStore(
            path(QStringLiteral("config/voxilo/settings.db")).toStdString());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
    }
    void cleanup() {
        app_.reset();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void aStoreThatCannotBeReadEndsTheProgram() {
#ifdef Q_OS_WIN
        QSKIP("A damaged settings file is the SQLite store's; the registry has none.");
#endif
        store_.reset();
        QFile file(path(QStringLiteral("broken.db")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, '\x5a'));
        file.close();
        store_ = testing_support::freshStore(path(QStringLiteral("broken.db")).toStdString());
        dialogs_.expectMessage(QStringLiteral("プログラム情報の取得に失敗しました。"), kTitle,
                               Dialogs::Buttons::Ok, MessageIcon::Critical);
        QVERIFY(!start());
        QVERIFY(!app_->loginDialog());
        QVERIFY(!app_->mainWindow());
    }

    void theFirstRunWelcomesAndEndsWithoutAUser() {
        optionsShown_ = 0;
        dialogs_.expectMessage(kWelcome, kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        expectOptions(QString(), QString());
        QVERIFY(start());
        MainWindow* window = waitForMainWindowMade();
        QTRY_COMPARE(optionsShown_, 1);
        QTRY_VERIFY(!window->isVisible());  // nobody registered: the program closes
        QVERIFY(app_->state().currentUser.empty());

        // The desktop entry is made once, and recorded.
#ifdef Q_OS_WIN
        const QString entry = QString::fromStdWString(sendToShortcutPath().wstring());
#else
        const QString entry = QString::fromStdString(desktopEntryPath().string());
#endif
        QVERIFY(QFile::exists(entry));
        QCOMPARE(readSendToFlag(*store_, kSettingsKeyPath).value, std::int16_t{-1});
        QFile::remove(entry);
        app_.reset();
        dialogs_.expectMessage(kWelcome, kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        expectOptions(QString(), QString());
        QVERIFY(start());
        window = waitForMainWindowMade();
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(optionsShown_, 2);
        QVERIFY(!QFile::exists(entry));
    }

    // A flag that cannot be read is told of, and counts as not set: the shortcut is made.
    void aSendToFlagThatCannotBeReadStillMakesTheShortcut() {
#ifdef Q_OS_WIN
        const QString entry = QString::fromStdWString(sendToShortcutPath().wstring());
#else
        const QString entry = QString::fromStdString(desktopEntryPath().string());
#endif
        QFile::remove(entry);
        dialogs_.expectMessage(kWelcome, kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [this](QDialog& dialog) {
            faulty_->breakDown();  // the store goes away while the dialog is open
            dialog.reject();
            return dialog.result();
        });
        dialogs_.expectMessage(QStringLiteral("プログラム情報の取得に失敗しました。"), kTitle,
                               Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        dialogs_.expectMessage(QStringLiteral("プログラム情報の保存に失敗しました。"), kTitle,
                               Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        QVERIFY(start());
        MainWindow* window = waitForMainWindowMade();
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(QFile::exists(entry));
        QFile::remove(entry);
    }

#ifndef Q_OS_WIN
    // A shortcut made earlier for a program that has since moved is made again for this one,
    // without asking; one the user removed stays removed; one an uninstaller forgot is made.
    void aShortcutLeftForAnotherProgramIsMended() {
        registerUsers({{ u"Ann", u"pw1", false }}, 0, 0);
        QVERIFY(writeSendToFlag(*store_, kSettingsKeyPath));
        const QString entry = QString::fromStdString(desktopEntryPath().string());
        QVERIFY(QDir().mkpath(QFileInfo(entry).path()));
        {
            QFile file(entry);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::fromStdString(desktopEntry("/opt/old/voxilo")));
        }
        QVERIFY(start());
        waitForMainWindow();
        const QString program = QCoreApplication::applicationFilePath();
        const auto written = [&] {
            QFile file(entry);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_COMPARE(written(), QString::fromStdString(desktopEntry(program.toStdString())));
        QCOMPARE(readSendToFlag(*store_, kSettingsKeyPath).value, std::int16_t{-1});

        app_.reset();
        QVERIFY(QFile::remove(entry));
        QVERIFY(start());
        waitForMainWindow();
        QTest::qWait(50);
        QVERIFY(!QFile::exists(entry));

        // Forgotten by an uninstaller (no flag): made once for the installed program.
        app_.reset();
        registerUsers({{ u"Ann", u"pw1", false }}, 0, 0);
        {
            auto key = store_->openKey(kSettingsKeyPath);
            QVERIFY(key && store_->deleteValue(*key, u"SendTo"));
        }
        QVERIFY(start());
        waitForMainWindow();
        QTRY_COMPARE(written(), QString::fromStdString(desktopEntry(program.toStdString())));
        QCOMPARE(readSendToFlag(*store_, kSettingsKeyPath).value, std::int16_t{-1});
    }
#endif

    // From the welcome to working: the user registered in the Options dialog logs in.
    void theFirstRunLogsInTheUserItRegisters() {
        dialogs_.expectMessage(kWelcome, kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        expectOptions(QStringLiteral("Ann"), QStringLiteral("pw1"));
        expectPrompt(QStringLiteral("pw1"));  // the first user is chosen, with their password
        QVERIFY(start());
        MainWindow* window = waitForMainWindowMade();
        QTRY_COMPARE(app_->state().currentUser, std::u16string(u"Ann"));
        QVERIFY(window->isVisible());
        QCOMPARE(app_->state().keyCode, std::int16_t{1});  // none chosen yet
        auto* users = window->findChild<QComboBox*>(QStringLiteral("cboUser"));
        QCOMPARE(users->count(), 1);
        QCOMPARE(users->currentText(), QStringLiteral("Ann"));
        QVERIFY(window->findChild<QAction*>(QStringLiteral("mnuFileUserName0"))->isChecked());
        QCOMPARE(*loadUserNames(*store_, kSettingsKeyPath),
                 (std::vector<std::u16string>{u"", u"Ann"}));
        QCOMPARE(readPassword(*store_, kSettingsKeyPath, u"Ann").value, std::u16string(u"pw1"));
    }

    void nobodyLoggedInMayLogInOrEnd() {
        const QString ask = QStringLiteral(
            "ログインせずにVoxiloを利用することはできません。\r\nログインしますか。\r\n"
            "「いいえ」をクリックするとアプリケーションを終了します。");
        dialogs_.expectMessage(kWelcome, kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        expectOptions(QStringLiteral("Ann"), QStringLiteral("pw1"));
        expectPrompt(QString());  // the first user's password is not given
        dialogs_.expectMessage(ask, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::Yes);
        expectPrompt(QString());  // asked again, and not given again
        dialogs_.expectMessage(ask, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::No);
        QVERIFY(start());
        MainWindow* window = waitForMainWindowMade();
        QTRY_VERIFY(!window->isVisible());  // No: the program ends
        QVERIFY(app_->state().currentUser.empty());
    }

    void startupZeroLogsInTheFirstUser() {
        registerUsers({{u"Ann", u"pw1", false}, {u"Bob", u"pw2", false}}, 0, 0);
        QVERIFY(start());
        QVERIFY(!app_->loginDialog()->asksForPassword());
        QVERIFY(!app_->loginDialog()->userNameBox()->isVisible());
        MainWindow* window = waitForMainWindow();
        QCOMPARE(app_->state().currentUser, std::u16string(u"Ann"));
        QCOMPARE(app_->state().keyCode, std::int16_t{1});  // Ann has no key code of her own yet
        auto* users = window->findChild<QComboBox*>(QStringLiteral("cboUser"));
        QCOMPARE(users->currentText(), QStringLiteral("Ann"));
        QVERIFY(window->findChild<QAction*>(QStringLiteral("mnuFileUserName0"))->isChecked());
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("mnuFileUserName1"))->isChecked());
        // No folder stored yet: the file dialogs start where the user may save.
#ifdef Q_OS_WIN
        QCOMPARE(app_->settings().currentPath,
                 QDir::toNativeSeparators(
                     QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + u'/')
                     .toStdU16String());
#else
        QCOMPARE(app_->settings().currentPath, (QDir::homePath() + u'/').toStdU16String());
#endif
    }

    void theLoginChecksNameAndPassword() {
        registerUsers({{u"Ann", u"pw1", false}, {u"Bob", u"pw2", false}}, 1, 0);
        QVERIFY(start());
        QVERIFY(app_->loginDialog()->asksForPassword());
        struct Attempt {
            const char* name;
            const char* password;
            QString message;
        };
        const Attempt attempts[] = {
            {"", "pw2", QStringLiteral("ユーザー名を入力してください。")},
            {"Bob", "", QStringLiteral("パスワードを入力してください。")},
            {"bob", "pw2", kWrong},  // names compare exactly
            {"Bob", "PW2", kWrong},
            {"Carl", "pw2", kWrong},
        };
        for (const Attempt& attempt : attempts) {  // no retry limit: only warnings
            dialogs_.expectMessage(attempt.message, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Exclamation);
            logIn(QString::fromUtf8(attempt.name), QString::fromUtf8(attempt.password));
            QVERIFY(app_->loginDialog()->isVisible());
        }
        const QPointer<LoginDialog> login = app_->loginDialog();
        logIn(QStringLiteral("Bob"), QStringLiteral("pw2"));
        waitForMainWindow();
        QCOMPARE(app_->state().currentUser, std::u16string(u"Bob"));
        QCOMPARE(app_->state().keyCode, std::int16_t{7});
        QCOMPARE(app_->state().pattern, std::int16_t{2});
        QTRY_VERIFY(login.isNull());  // the dialog itself is gone, not only our hold on it
    }

    void theRetryLimitRefusesUse() {
        registerUsers({{u"Ann", u"pw1", false}}, 1, 2);
        QVERIFY(start());
        QSignalSpy ended(app_.get(), &Application::ended);
        // Leaving a box empty is no failed login.
        for (int i = 0; i < 2; ++i) {
            dialogs_.expectMessage(QStringLiteral("ユーザー名を入力してください。"), kTitle,
                                   Dialogs::Buttons::Ok, MessageIcon::Exclamation);
            logIn(QString(), QStringLiteral("x"));
            dialogs_.expectMessage(QStringLiteral("パスワードを入力してください。"), kTitle,
                                   Dialogs::Buttons::Ok, MessageIcon::Exclamation);
            logIn(QStringLiteral("Ann"), QString());
        }
        dialogs_.expectMessage(kWrong, kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        logIn(QStringLiteral("Nobody"), QStringLiteral("x"));
        QCOMPARE(ended.count(), 0);
        dialogs_.expectMessage(
            QStringLiteral("Voxiloの利用は拒否されました。\r\n\r\nアプリケーションを終了します。"),
            kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        logIn(QStringLiteral("Ann"), QStringLiteral("wrong"));
        QTRY_COMPARE(ended.count(), 1);
        QVERIFY(!app_->mainWindow());
    }

    void cancellingTheLoginEndsTheProgram() {
        registerUsers({{u"Ann", u"pw1", false}}, 1, 0);
        QVERIFY(start());
        QSignalSpy ended(app_.get(), &Application::ended);
        QTest::mouseClick(app_->loginDialog()->cancelButton(), Qt::LeftButton);
        QTRY_COMPARE(ended.count(), 1);
        app_.reset();
        QVERIFY(start());
        QSignalSpy closed(app_.get(), &Application::ended);
        app_->loginDialog()->close();  // the close box, like Cancel
        QTRY_COMPARE(closed.count(), 1);
    }

    void switchingUsers() {
        registerUsers({{u"Ann", u"pw1", false}, {u"Bob", u"pw2", false}}, 0, 0);
        QVERIFY(start());
        MainWindow* window = waitForMainWindow();
        auto* users = window->findChild<QComboBox*>(QStringLiteral("cboUser"));
        QAction* annItem = window->findChild<QAction*>(QStringLiteral("mnuFileUserName0"));
        QAction* bobItem = window->findChild<QAction*>(QStringLiteral("mnuFileUserName1"));

        // Refused: the list goes back to Ann, the mark stays on her.
        expectPrompt(QString());
        users->setCurrentIndex(1);
        emit users->activated(1);
        QCOMPARE(app_->state().currentUser, std::u16string(u"Ann"));
        QCOMPARE(users->currentText(), QStringLiteral("Ann"));
        QVERIFY(annItem->isChecked() && !bobItem->isChecked());

        // Accepted from the File menu: Bob, with his key code and pattern.
        expectPrompt(QStringLiteral("pw2"));
        bobItem->trigger();
        QCOMPARE(app_->state().currentUser, std::u16string(u"Bob"));
        QCOMPARE(app_->state().keyCode, std::int16_t{7});
        QCOMPARE(app_->state().pattern, std::int16_t{2});
        QCOMPARE(users->currentText(), QStringLiteral("Bob"));
        QVERIFY(!annItem->isChecked() && bobItem->isChecked());

        // The current user again: no prompt, the focus goes to the upper pane.
        users->setFocus();
        emit users->activated(1);
        QTRY_COMPARE(window->focusWidget(), static_cast<QWidget*>(window->topPane()));
    }

    void theCommandLineFileIsOpenedOnce() {
        registerUsers({{u"Ann", u"pw1", false}}, 0, 0);
        const QString file = path(QStringLiteral("my memo.txt"));
        {
            std::ofstream out(file.toStdString(), std::ios::binary);
            out << "\r\n\x8f\x91\x82\xab\r\nsecond\r\n";
        }
        // Several arguments are one path with blanks; a relative path is shown whole.
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder_->path());
        const bool started = start({QStringLiteral("my"), QStringLiteral("memo.txt")});
        QDir::setCurrent(before);
        QVERIFY(started);
        MainWindow* window = waitForMainWindow();
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"書き\r\nsecond"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(file));
        QVERIFY(!app_->state().topModified && !app_->state().bottomModified);
        QVERIFY(app_->state().commandLineFile.empty());

        // A file that is not all CP932 opens with U+FFFD where it cannot be read, after one
        // message naming the first such line.
        app_.reset();
        const QString damaged = path(QStringLiteral("damaged.txt"));
        {
            std::ofstream out(damaged.toStdString(), std::ios::binary);
            out << "fine\r\n\x82\xa0\xff\r\n";
        }
        dialogs_.expectMessage(
            QStringLiteral("このファイルには Shift-JIS (CP932) として読めないバイトがあります "
                           "(最初は2行目)。\r\n読めない部分は「\uFFFD」で表示しています。"),
            kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        QVERIFY(start({damaged}));
        window = waitForMainWindow();
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"fine\r\nあ\uFFFD"));
        QVERIFY(!app_->state().topModified);

        app_.reset();
        dialogs_.expectMessage(QStringLiteral("指定されたファイルを開くことができませんでした。"),
                               kTitle, Dialogs::Buttons::Ok, MessageIcon::Critical);
        QVERIFY(start({path(QStringLiteral("missing.txt"))}));
        window = waitForMainWindow();
        QTRY_VERIFY(app_->state().commandLineFile.empty());
        QVERIFY(window->topPane()->document()->isEmpty());
        // Activating again, after another window had the focus, does not tell again.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::qWait(50);
    }

    // A command-line file that cannot be read leaves the document untitled: the next Save asks
    // for a name and never writes over what the user could not see.
    void aCommandLineFileThatCannotBeReadIsNeverSavedOver_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << QStringLiteral("a folder")
                                << QStringLiteral("フォルダーはファイルとして開けません。");
#ifndef Q_OS_WIN
        QTest::newRow("pipe")
            << QStringLiteral("a pipe")
            << QStringLiteral("通常のファイルではありません (パイプやデバイスは開けません)。");
        if (::geteuid() != 0) {
            QTest::newRow("unreadable")
                << QStringLiteral("report.txt") << QStringLiteral("アクセスが拒否されました。");
        }
#endif
    }
    void aCommandLineFileThatCannotBeReadIsNeverSavedOver() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        registerUsers({{u"Ann", u"pw1", false}}, 0, 0);
        const QString target = path(name);
        if (name == QStringLiteral("a folder")) {
            QVERIFY(QDir().mkpath(target));
#ifndef Q_OS_WIN
        } else if (name == QStringLiteral("a pipe")) {
            QCOMPARE(::mkfifo(target.toLocal8Bit().constData(), 0600), 0);
        } else {
            {
                std::ofstream out(target.toStdString(), std::ios::binary);
                out << "the owner's report\r\n";
            }
            QVERIFY(QFile::setPermissions(target, QFileDevice::WriteOwner));
#endif
        }
        dialogs_.expectMessage(reason + QStringLiteral("\r\nファイルを開くことができません。"),
                               kTitle, Dialogs::Buttons::Ok, MessageIcon::Critical);
        QVERIFY(start({target}));
        MainWindow* window = waitForMainWindow();
        QTRY_VERIFY(app_->state().commandLineFile.empty());
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [無題] - [無題]"));
        QVERIFY(app_->state().topPath.empty());

        window->topPane()->setPlainText(QStringLiteral("typed"));
        dialogs_.expectSaveFile({Dialogs::Outcome::Cancelled, {}});
        window->findChild<QAction*>(QStringLiteral("mnuFileSave"))->trigger();
        QVERIFY(app_->state().topModified);
        QVERIFY(app_->state().topPath.empty());
        if (name == QStringLiteral("report.txt")) {
            QVERIFY(
                QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("the owner's report\r\n"));
        }
        window->topPane()->document()->setModified(false);
        app_->state().topModified = false;
    }

    void closingKeepsUnsavedDocuments() {
        registerUsers({{u"Ann", u"pw1", false}}, 0, 0);
        QVERIFY(start());
        MainWindow* window = waitForMainWindow();
        app_->settings().currentPath = path(QStringLiteral("docs/")).toStdU16String();

        // A save step that leaves a pane unsaved (its Cancel): the window stays.
        int asked = 0;
        window->saveStep = [&] { ++asked; };
        window->topPane()->setPlainText(QStringLiteral("unsaved"));
        QVERIFY(app_->state().topModified);
        QVERIFY(!window->close());
        QCOMPARE(asked, 1);
        QVERIFY(window->isVisible());

        // Also when the Options dialog demanded the exit: a document that could not be saved
        // keeps the window. Answered (saved or given up), it closes.
        app_->state().exitRequested = true;
        QVERIFY(!window->close());
        QCOMPARE(asked, 2);
        window->saveStep = [&] {
            ++asked;
            app_->state().topModified = false;
        };
        QVERIFY(window->close());
        QCOMPARE(asked, 3);
        auto settings = loadProgramSettings(*store_, kSettingsKeyPath, u"/");
        QCOMPARE(settings->currentPath, path(QStringLiteral("docs/")).toStdU16String());
    }

    // The store fails under the running program: the login and a switch say so and read the
    // password as empty; the close says so and still closes.
    void aStoreFailingWhileTheWindowsRun() {
        const QString readFailed = QStringLiteral("プログラム情報の取得に失敗しました。");
        registerUsers({{u"Ann", u"pw1", false}, {u"Bob", u"pw2", false}}, 1, 0);
        QVERIFY(start());
        faulty_->breakDown();
        dialogs_.expectMessage(readFailed, kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        dialogs_.expectMessage(kWrong, kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        logIn(QStringLiteral("Ann"), QStringLiteral("pw1"));
        QVERIFY(!app_->mainWindow());

        app_.reset();
        registerUsers({{u"Ann", u"pw1", false}, {u"Bob", u"pw2", false}}, 0, 0);
        QVERIFY(start());
        MainWindow* window = waitForMainWindow();
        faulty_->breakDown();
        dialogs_.expectMessage(readFailed, kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        expectPrompt(QString());
        window->findChild<QAction*>(QStringLiteral("mnuFileUserName1"))->trigger();
        QCOMPARE(app_->state().currentUser, std::u16string(u"Ann"));

        dialogs_.expectMessage(QStringLiteral("プログラム情報の保存に失敗しました。"), kTitle,
                               Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        QVERIFY(window->close());
    }

    void closingSavesThenCloses() {
        registerUsers({{u"Ann", u"pw1", false}}, 0, 0);
        QVERIFY(start());
        MainWindow* window = waitForMainWindow();
        window->saveStep = [&] {
            app_->state().topModified = app_->state().bottomModified = false;
        };
        window->bottomPane()->setPlainText(QStringLiteral("converted"));
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
    }

    void aSecondInstanceStepsAside() {
        SingleInstance first(path(QString()));
        QCOMPARE(first.acquire(), SingleInstance::Claim::Running);
        QVERIFY(first.lockProblem().isEmpty());
        SingleInstance second(path(QString()));
        QCOMPARE(second.acquire(), SingleInstance::Claim::Another);

        // A lock left by a program that is gone is taken over.
        QTemporaryDir crashed;
        QFile stale(crashed.filePath(QStringLiteral("voxilo.lock")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("2147483646\nvoxilo\n\n");
        stale.close();
        SingleInstance afterCrash(crashed.path());
        QCOMPARE(afterCrash.acquire(), SingleInstance::Claim::Running);
    }

    void theRealProgramRunsOnce() {
#ifdef Q_OS_WIN
        QSKIP("The lock folder is the user's home on Windows, which the test cannot give.");
#endif
        registerUsers({{u"Ann", u"pw1", false}}, 1, 0);  // the first one waits at its login
        QDir().mkpath(path(QStringLiteral("runtime")));
        QFile::setPermissions(path(QStringLiteral("runtime")), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(QStringLiteral(VOXILO_APP_PATH), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path(QStringLiteral("runtime/voxilo.lock"))), 10000);

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(VOXILO_APP_PATH), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(first.state() == QProcess::Running);
        first.kill();
        first.waitForFinished();
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
