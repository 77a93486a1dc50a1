// A later start hands its file to the running program: the running program here is the real
// Application with its channel, under the offscreen platform and the scripted dialogs; the later
// start is the real voxilo. Then the channel's refusals, and real programs that were killed or
// do not answer.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QLocalSocket>
#include <QLockFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <memory>

#include "core/store/UserRecords.h"
#include "gui/dialogs/QtText.h"
#include "gui/dialogs/SingleInstance.h"
#include "gui/login/LoginDialog.h"
#include "gui/main/Application.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"
#include "support/FilesCannotGrow.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

const QString kTitle = QStringLiteral("Voxilo");
const QString kSaveSource = QStringLiteral("変換元文書を保存しますか。");
const QString kCannotOpen = QStringLiteral("指定されたファイルを開くことができませんでした。");
const QString kWelcome = QStringLiteral(
    "Voxiloをご利用いただき誠にありがとうございます。\r\n\r\n"
    "本ソフトを使用する際のセキュリティ確保のため、ユーザー名とパスワードをご登録ください。");
const QString kNotAlone = QStringLiteral(
    "ほかにVoxiloが起動していないことを確かめられませんでした。\r\n%1\r\n\r\n"
    "このまま起動します。Voxiloを同時に2つ使わないでください。");

// A request as the channel takes it: the header line, the length, the path in UTF-8, whether
// more files were named.
QByteArray request(const QByteArray& path, quint32 length, char namedOthers = 0) {
    char size[4];
    qToBigEndian(length, size);
    return QByteArrayLiteral("voxilo-handover 3\n") + QByteArray(size, 4) + path +
           QByteArray(1, namedOthers);
}
QByteArray request(const QByteArray& path) {
    return request(path, static_cast<quint32>(path.size()));
}

}  // namespace

class HandoverTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ValueStore> store_;
    testing_support::ScriptedDialogs dialogs_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<Application> app_;
    std::vector<std::unique_ptr<QProcess>> programs_;

    QString path(const QString& name) const { return folder_->filePath(name); }
    QString runtime() const { return path(QStringLiteral("runtime")); }

    void registerUsers(std::int16_t startup) {
        OptionsValues options;
        options.startup = startup;
        options.retryCount = std::u16string(u"0");
        QVERIFY(!saveAllSettings(*store_, kSettingsKeyPath, {{u"Ann", u"pw1", false}}, options,
                                 u"Ann"));
    }
    QString writeText(const QString& name, const char* bytes) {
        std::ofstream(path(name).toStdString(), std::ios::binary) << bytes;
        return path(name);
    }
    // The running program, in this process: the application and its channel, wired as
    // voxilo's main() wires them.
    void startFirst(const QStringList& arguments = {},
                    SingleInstance::Claim claim = SingleInstance::Claim::Running) {
        instance_ = std::make_unique<SingleInstance>(runtime());
        if (claim == SingleInstance::Claim::Unguarded) {
            const testing_support::FilesCannotGrow full;
            QCOMPARE(instance_->acquire(), claim);
        } else {
            QCOMPARE(instance_->acquire(), claim);
        }
        app_ = std::make_unique<Application>(*store_, dialogs_, path(QStringLiteral("program")));
        connect(instance_.get(), &SingleInstance::handedOver, app_.get(), &Application::handOver);
        QVERIFY(app_->start(arguments, instance_->lockProblem()));
        taken_ = std::make_unique<QSignalSpy>(instance_.get(), &SingleInstance::handedOver);
    }
    // The program ends as voxilo's main() ends once its last window is gone.
    void endFirst() {
        taken_.reset();
        app_.reset();
        instance_.reset();
    }
    std::unique_ptr<QSignalSpy> taken_;  // the requests the running program has taken
    MainWindow* waitForMainWindow() {
        [&] { QTRY_VERIFY(app_->mainWindow() && app_->mainWindow()->isVisible()); }();
        return app_->mainWindow();
    }
    // The real voxilo with the test's settings and runtime folder, started in the test's folder.
    QProcess& startProgram(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        programs_.push_back(std::make_unique<QProcess>());
        QProcess& program = *programs_.back();
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder_->path());
        program.setProcessChannelMode(QProcess::MergedChannels);
        if (limitFiles_) {
            // No file of it may grow, its lock's included.
            program.setChildProcessModifier([] {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit none{0, 0};
                ::setrlimit(RLIMIT_FSIZE, &none);
            });
        }
        program.start(QStringLiteral(VOXILO_APP_PATH), arguments);
        [&] { QVERIFY(program.waitForStarted()); }();
        return program;
    }
    bool limitFiles_ = false;  // the programs started cannot make their lock
    // A later start, run to its end while this process goes on answering; its exit status.
    // It says nothing of its own.
    int secondStart(const QStringList& arguments) { return endOf(startProgram(arguments)); }
    int endOf(QProcess& second) {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000); }();
        [&] { QCOMPARE(QString::fromUtf8(second.readAll()), QString()); }();
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }
    // A later start whose request the running program (this process) has taken; it goes on
    // waiting.
    QProcess& handOverWaiting(const QStringList& arguments) {
        const qsizetype before = taken_->count();
        QProcess& later = startProgram(arguments);
        [&] { QTRY_COMPARE_WITH_TIMEOUT(taken_->count(), before + 1, 10000); }();
        return later;
    }
    qint64 lockHolder() const {
        QFile lock(runtime() + QStringLiteral("/voxilo.lock"));
        if (!lock.open(QIODevice::ReadOnly)) return 0;
        return lock.readLine().trimmed().toLongLong();
    }
    QString channel() const { return SingleInstance::channelName(runtime()); }
    bool channelStands() const { return QFile::exists(channel()); }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(runtime()));
        QFile::setPermissions(
            runtime(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        store_ = testing_support::freshStore(
            path(QStringLiteral("config/voxilo/settings.db")).toStdString());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
    }
    void cleanup() {
        for (auto& program : programs_) {
            if (program->processId() > 0) ::kill(static_cast<pid_t>(program->processId()), SIGCONT);
            program->kill();
            program->waitForFinished();
        }
        programs_.clear();
        limitFiles_ = false;
        endFirst();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The save question comes first: Cancel keeps the typed text, No opens the file. A start
    // without a file only brings the window to the front.
    void aHandedFileAsksAboutTheTextFirst() {
        registerUsers(0);
        startFirst();
        MainWindow* window = waitForMainWindow();
        const QString memo = writeText(QStringLiteral("my memo.txt"), "memo\r\n");
        window->topPane()->setPlainText(QStringLiteral("typed"));

        dialogs_.expectMessage(kSaveSource, kTitle, Dialogs::Buttons::YesNoCancel,
                               MessageIcon::Question, Dialogs::Answer::Cancel);
        // Unquoted, as a path with a blank arrives in two arguments; relative to the later
        // start's own folder.
        QCOMPARE(secondStart({QStringLiteral("my"), QStringLiteral("memo.txt")}), 0);
        QTRY_COMPARE(dialogs_.pending(), std::size_t{0});
        QCOMPARE(paneText(*window->topPane()), std::u16string(u"typed"));
        QVERIFY(app_->state().topModified);
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [無題] - [無題]"));

        dialogs_.expectMessage(kSaveSource, kTitle, Dialogs::Buttons::YesNoCancel,
                               MessageIcon::Question, Dialogs::Answer::No);
        QCOMPARE(secondStart({QStringLiteral("my memo.txt")}), 0);  // one argument, a blank in it
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"memo"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(memo));
        QVERIFY(!app_->state().topModified && app_->state().topHasFile);

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(secondStart({}), 0);
        QTRY_VERIFY(window->isActiveWindow());
    }

    // Handed over while a dialog is open, the files wait for it to close; then each is opened
    // in turn, with its own questions.
    void handedFilesWaitForAnOpenDialog() {
        registerUsers(0);
        startFirst();
        MainWindow* window = waitForMainWindow();
        const QString first = writeText(QStringLiteral("first.txt"), "first\r\n");
        const QString third = writeText(QStringLiteral("third.txt"), "third\r\n");
        window->topPane()->setPlainText(QStringLiteral("typed"));

        std::vector<QProcess*> waiting;
        dialogs_.expectExec(QStringLiteral("frmAbout"), [&](QDialog& dialog) {
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            for (const QString& file : {first, path(QStringLiteral("missing.txt")), third})
                waiting.push_back(&handOverWaiting({file}));
            QTest::qWait(300);
            [&] {
                QCOMPARE(dialogs_.pending(), std::size_t{3});  // nothing asked yet
                QCOMPARE(paneText(*window->topPane()), std::u16string(u"typed"));
                // Nor is a later start told anything while its file waits.
                for (QProcess* later : waiting) QCOMPARE(later->state(), QProcess::Running);
            }();
            dialog.reject();
            return dialog.result();
        });
        dialogs_.expectMessage(kSaveSource, kTitle, Dialogs::Buttons::YesNoCancel,
                               MessageIcon::Question, Dialogs::Answer::Cancel);
        dialogs_.expectMessage(kCannotOpen, kTitle, Dialogs::Buttons::Ok, MessageIcon::Critical);
        dialogs_.expectMessage(kSaveSource, kTitle, Dialogs::Buttons::YesNoCancel,
                               MessageIcon::Question, Dialogs::Answer::No);
        window->findChild<QAction*>(QStringLiteral("mnuHelpAbout"))->trigger();
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"third"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(third));
        QVERIFY(!app_->state().topModified && app_->state().topHasFile);
        // Each start ends once the program is done with its file: kept out by キャンセル, told
        // of, opened.
        for (QProcess* later : waiting) QCOMPARE(endOf(*later), 0);

        // A folder, or a file that cannot be read, is told of as a missing one, and nothing is
        // asked about the documents.
        window->topPane()->setPlainText(QStringLiteral("typed again"));
        const QString locked = writeText(QStringLiteral("locked.txt"), "x\r\n");
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        const bool readable = QFileInfo(locked).isReadable();  // root reads everything
        for (const QString& file : {path(QStringLiteral("runtime")), locked}) {
            if (file == locked && readable) continue;
            dialogs_.expectMessage(kCannotOpen, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Critical);
            QCOMPARE(secondStart({file}), 0);
            QTRY_COMPARE(dialogs_.pending(), std::size_t{0});
        }
        QCOMPARE(paneText(*window->topPane()), std::u16string(u"typed again"));

        // An open menu, too, is waited for.
        auto* menu = window->findChild<QMenu*>(QStringLiteral("mnuFile"));
        menu->popup(window->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(QApplication::activePopupWidget() == menu);
        QProcess& later = handOverWaiting({first});
        QTest::qWait(300);
        QCOMPARE(paneText(*window->topPane()), std::u16string(u"typed again"));
        QCOMPARE(later.state(), QProcess::Running);
        dialogs_.expectMessage(QStringLiteral("third.txtは変更されています。保存しますか。"),
                               kTitle, Dialogs::Buttons::YesNoCancel, MessageIcon::Question,
                               Dialogs::Answer::No);
        menu->close();
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"first"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(first));
        QCOMPARE(endOf(later), 0);
    }

    // Before anybody logs in the file waits; after the login the command-line file comes
    // first, then the handed one.
    void aHandedFileWaitsForTheLogin() {
        registerUsers(1);
        const QString named = writeText(QStringLiteral("named.txt"), "named\r\n");
        const QString handed = writeText(QStringLiteral("handed.txt"), "handed\r\n");
        startFirst({named});
        QProcess& later = handOverWaiting({handed});
        QTest::qWait(100);
        QVERIFY(!app_->mainWindow());
        QCOMPARE(later.state(), QProcess::Running);
        LoginDialog* login = app_->loginDialog();
        login->userNameBox()->setText(QStringLiteral("Ann"));
        login->passwordBox()->setText(QStringLiteral("pw1"));
        QTest::mouseClick(login->okButton(), Qt::LeftButton);
        MainWindow* window = waitForMainWindow();
        QTRY_VERIFY(app_->state().commandLineFile.empty());
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"handed"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(handed));
        QVERIFY(!app_->state().topModified && app_->state().topHasFile);
        QCOMPARE(endOf(later), 0);
    }

    // Several files sent at once (a file manager's selection, or an unquoted list): the first
    // is opened, and the user hears that one file is opened at a time; the same for the first
    // start's command line. A path with blanks that exists whole is still one file.
    void ofSeveralFilesTheFirstIsOpened() {
        registerUsers(0);
        const QString first = writeText(QStringLiteral("first.txt"), "first\r\n");
        const QString second = writeText(QStringLiteral("second.txt"), "second\r\n");
        const QString oneAtATime = QStringLiteral(
            "ファイルは一度に1つだけ開くことができます。\r\n最初のファイル %1 を開きます。");
        dialogs_.expectMessage(oneAtATime.arg(QStringLiteral("second.txt")), kTitle,
                               Dialogs::Buttons::Ok, MessageIcon::Information);
        startFirst({second, first});
        MainWindow* window = waitForMainWindow();
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"second"));

        dialogs_.expectMessage(oneAtATime.arg(QStringLiteral("first.txt")), kTitle,
                               Dialogs::Buttons::Ok, MessageIcon::Information);
        QCOMPARE(secondStart({first, second}), 0);
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"first"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(first));

        // Even when its first word names a file of its own.
        writeText(QStringLiteral("a"), "a\r\n");
        const QString blanks = writeText(QStringLiteral("a b.txt"), "blanks\r\n");
        QCOMPARE(secondStart({path(QStringLiteral("a")), QStringLiteral("b.txt")}), 0);
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"blanks"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(blanks));
    }

    // A lock that cannot be made (a full disk, here a file-size limit): the program runs, says
    // once that it cannot be sure it is alone, and listens all the same. Later starts hand
    // over to it, whether they can make the lock themselves or not, rather than run beside it.
    void aProgramWithoutALockIsStillTheOneThatRuns() {
        registerUsers(0);
        const QString lockFile = runtime() + QStringLiteral("/voxilo.lock");
        dialogs_.expectMessage(
            kNotAlone.arg(
                QStringLiteral("ロックファイル %1 を作成できません。ファイルが大きすぎます。")
                    .arg(lockFile)),
            kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        startFirst({}, SingleInstance::Claim::Unguarded);
        MainWindow* window = waitForMainWindow();
        QCOMPARE(dialogs_.pending(), std::size_t{0});  // told before anything else
        QCOMPARE(QDir(runtime()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{QStringLiteral("voxilo.socket")});

        const QString first = writeText(QStringLiteral("first.txt"), "first\r\n");
        const QString second = writeText(QStringLiteral("second.txt"), "second\r\n");
        for (const QString& file : {first, second}) {
            limitFiles_ = file == second;
            QCOMPARE(secondStart({file}), 0);
            QTRY_COMPARE(qtext(paneText(*window->topPane())),
                         QString::fromUtf8(file == first ? "first" : "second"));
            QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(file));
            QVERIFY(!app_->state().topModified && app_->state().topHasFile);
            QVERIFY(!QFile::exists(lockFile));  // a later start that made it let it go
        }

        // In this process too: a start that can make the lock finds the running program and
        // leaves its channel and the lock as they were, as does one that cannot make it.
        SingleInstance later(runtime());
        QCOMPARE(later.acquire(), SingleInstance::Claim::Another);
        QVERIFY(!QFile::exists(lockFile));
        {
            const testing_support::FilesCannotGrow full;
            QCOMPARE(later.acquire(), SingleInstance::Claim::Another);
        }
        QCOMPARE(QDir(runtime()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{QStringLiteral("voxilo.socket")});
    }

    // The reason the user hears, for a lock folder that is not there.
    void aLockFolderThatIsNotThereIsNamed() {
        SingleInstance running(path(QStringLiteral("gone")));
        QCOMPARE(running.acquire(), SingleInstance::Claim::Unguarded);
        QCOMPARE(running.lockProblem(), QStringLiteral("ロックファイル %1 を作成できません。"
                                                       "ファイルまたはフォルダーが見つかりません。")
                                            .arg(path(QStringLiteral("gone/voxilo.lock"))));
    }

    // A file still waiting when the program ends (the first run's Options dialog closed with
    // nobody registered; the login cancelled) was not taken: the later start is not told it
    // was, and opens it itself, in the program it now becomes.
    void aFileStillWaitingAtTheEndIsOpenedByItsStart_data() {
        QTest::addColumn<bool>("atLogin");
        QTest::newRow("first run's Options dialog") << false;
        QTest::newRow("login") << true;
    }
    void aFileStillWaitingAtTheEndIsOpenedByItsStart() {
        QFETCH(bool, atLogin);
        const QString memo = writeText(QStringLiteral("memo.txt"), "memo\r\n");
        QProcess* later = nullptr;
        if (atLogin) {
            registerUsers(1);
            startFirst();
            later = &handOverWaiting({memo});
            QSignalSpy ended(app_.get(), &Application::ended);
            QTest::mouseClick(app_->loginDialog()->cancelButton(), Qt::LeftButton);
            QTRY_COMPARE(ended.count(), 1);
        } else {
            dialogs_.expectMessage(kWelcome, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Information);
            dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
                dialog.show();
                later = &handOverWaiting({memo});
                dialog.reject();
                return dialog.result();
            });
            startFirst();
            // The first run may be over before the window is seen shown.
            QTRY_VERIFY(later != nullptr && app_->mainWindow() != nullptr);
            QTRY_VERIFY(!app_->mainWindow()->isVisible());  // nobody registered: it ends
        }
        QVERIFY(later != nullptr);
        QTest::qWait(300);
        QCOMPARE(later->state(), QProcess::Running);
        QVERIFY(app_->state().topPath.empty());
        endFirst();

        // The later start, told that the program ended, takes the lock and the channel and
        // runs with its file; the next start finds it there.
        QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), later->processId(), 10000);
        QCOMPARE(secondStart({}), 0);
        QCOMPARE(later->state(), QProcess::Running);
    }

    void theChannelTakesWholeRequestsOnly_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("leaveEarly");
        const QByteArray file = QByteArrayLiteral("/home/ann/memo.txt");
        QTest::newRow("not a request") << QByteArrayLiteral("GET / HTTP/1.0\r\n\r\n") << false;
        QTest::newRow("another version")
            << request(file).replace("handover 3", "handover 2") << false;
        QTest::newRow("no file count") << request(file).chopped(1) + "x" << false;
        QTest::newRow("a file count of two")
            << request(file, static_cast<quint32>(file.size()), 2) << false;
        QTest::newRow("oversized") << request(file, 0xffffffffu) << false;
        QTest::newRow("just over the limit")
            << request(QByteArray(SingleInstance::kMaxPathBytes + 1, 'a').prepend('/')) << false;
        QTest::newRow("half sent") << request(file).chopped(3) << true;
        QTest::newRow("header only") << request(file).left(10) << true;
        QTest::newRow("two requests") << request(file) + request(file) << false;
        QTest::newRow("not UTF-8") << request(QByteArrayLiteral("/tmp/\xff\xfe.txt")) << false;
        QTest::newRow("a NUL in it") << request(file + QByteArray(1, '\0') + "x") << false;
        QTest::newRow("relative") << request(QByteArrayLiteral("memo.txt")) << false;
    }
    void theChannelTakesWholeRequestsOnly() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, leaveEarly);
        SingleInstance running(runtime());
        QCOMPARE(running.acquire(), SingleInstance::Claim::Running);
        QSignalSpy handed(&running, &SingleInstance::handedOver);

        QLocalSocket client;
        client.connectToServer(channel());
        QVERIFY(client.waitForConnected(5000));
        client.write(bytes);
        QVERIFY(client.waitForBytesWritten(5000) || client.bytesToWrite() == 0);
        if (leaveEarly) {
            client.disconnectFromServer();
        } else {
            // Refused: the program closes the connection without an answer.
            QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 3000);
            QCOMPARE(client.readAll(), QByteArray());
        }
        QTest::qWait(100);
        QCOMPARE(handed.count(), 0);

        // The channel still takes a whole request afterwards: it says so at once, and again
        // once the program is done with the file, and then closes.
        QLocalSocket next;
        next.connectToServer(channel());
        QVERIFY(next.waitForConnected(5000));
        next.write(request("/tmp/a b.txt"));
        QByteArray answer;
        QTRY_COMPARE((answer += next.readAll()), QByteArrayLiteral("taken\n"));
        QTRY_COMPARE(handed.count(), 1);
        QCOMPARE(handed.at(0).at(0).toString(), QStringLiteral("/tmp/a b.txt"));
        QCOMPARE(handed.at(0).at(1).toBool(), false);
        QTest::qWait(100);
        QCOMPARE(next.state(), QLocalSocket::ConnectedState);
        QCOMPARE(next.readAll(), QByteArray());
        handed.at(0).at(2).value<SingleInstance::Done>()();
        QTRY_COMPARE_WITH_TIMEOUT(next.state(), QLocalSocket::UnconnectedState, 3000);
        QCOMPARE(answer + next.readAll(), QByteArrayLiteral("taken\ndone\n"));
    }

    // A program killed outright leaves its lock and channel behind. A later start still
    // waiting for its file there hears of it as the connection closes, and takes both over;
    // later starts reach it.
    void aKilledProgramsChannelIsTakenOver() {
        registerUsers(1);  // the programs wait at their login
        const QString memo = writeText(QStringLiteral("memo.txt"), "memo\r\n");
        QProcess& killed = startProgram({});
        QTRY_VERIFY_WITH_TIMEOUT(lockHolder() == killed.processId() && channelStands(), 10000);
        QProcess& waiting = startProgram({memo});
        QTest::qWait(1000);
        QCOMPARE(waiting.state(), QProcess::Running);  // its file waits for the login
        killed.kill();
        QVERIFY(killed.waitForFinished());

        QTRY_VERIFY_WITH_TIMEOUT(lockHolder() == waiting.processId(), 10000);
        QCOMPARE(secondStart({}), 0);
        QCOMPARE(waiting.state(), QProcess::Running);
    }

    // A later start never hangs: with the running program stopped, or holding its lock
    // without a channel, it ends after a few seconds, with status 1: its file is not known to
    // have arrived.
    void aProgramThatDoesNotAnswerIsNotWaitedFor() {
        registerUsers(1);
        QProcess& stopped = startProgram({});
        QTRY_VERIFY_WITH_TIMEOUT(channelStands(), 10000);
        QCOMPARE(::kill(static_cast<pid_t>(stopped.processId()), SIGSTOP), 0);
        QElapsedTimer waited;
        waited.start();
        QProcess& second = startProgram({path(QStringLiteral("memo.txt"))});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 1);
        qInfo("the later start ended after %lld ms", static_cast<long long>(waited.elapsed()));
        ::kill(static_cast<pid_t>(stopped.processId()), SIGCONT);
        stopped.kill();
        QVERIFY(stopped.waitForFinished());

        QLockFile lock(runtime() + QStringLiteral("/voxilo.lock"));
        QVERIFY(lock.tryLock(0));
        QFile::remove(runtime() + QStringLiteral("/voxilo.socket"));
        QProcess& third = startProgram({});
        QVERIFY(third.waitForFinished(20000));
        QCOMPARE(third.exitCode(), 1);
    }
};

QTEST_MAIN(HandoverTest)
#include "HandoverTest.moc"
