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

#include <fstream>
#include <memory>

#include "core/store/UserRecords.h"
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

// A request as the channel takes it: the header line, the length, the path in UTF-8, whether
// more files were named.
QByteArray request(const QByteArray& path, quint32 length, char namedOthers = 0) {
    char size[4];
    qToBigEndian(length, size);
    return QByteArrayLiteral("voxilo-handover 2\n") + QByteArray(size, 4) + path +
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
    void startFirst(const QStringList& arguments = {}) {
        instance_ = std::make_unique<SingleInstance>(runtime());
        QVERIFY(instance_->acquire());
        app_ = std::make_unique<Application>(*store_, dialogs_, path(QStringLiteral("program")));
        connect(instance_.get(), &SingleInstance::handedOver, app_.get(), &Application::handOver);
        QVERIFY(app_->start(arguments));
    }
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
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(VOXILO_APP_PATH), arguments);
        [&] { QVERIFY(program.waitForStarted()); }();
        return program;
    }
    // A later start, run to its end while this process goes on answering; its exit status.
    int secondStart(const QStringList& arguments) {
        QProcess& second = startProgram(arguments);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000); }();
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
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
        app_.reset();
        instance_.reset();
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

        dialogs_.expectExec(QStringLiteral("frmAbout"), [&](QDialog& dialog) {
            dialog.setWindowModality(Qt::ApplicationModal);
            dialog.show();
            for (const QString& file : {first, path(QStringLiteral("missing.txt")), third}) {
                [&] { QCOMPARE(secondStart({file}), 0); }();
            }
            QTest::qWait(100);
            [&] {
                QCOMPARE(dialogs_.pending(), std::size_t{3});  // nothing asked yet
                QCOMPARE(paneText(*window->topPane()), std::u16string(u"typed"));
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
        QCOMPARE(secondStart({first}), 0);
        QTest::qWait(300);
        QCOMPARE(paneText(*window->topPane()), std::u16string(u"typed again"));
        dialogs_.expectMessage(QStringLiteral("third.txtは変更されています。保存しますか。"),
                               kTitle, Dialogs::Buttons::YesNoCancel, MessageIcon::Question,
                               Dialogs::Answer::No);
        menu->close();
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"first"));
    }

    // Before anybody logs in the file waits; after the login the command-line file comes
    // first, then the handed one.
    void aHandedFileWaitsForTheLogin() {
        registerUsers(1);
        const QString named = writeText(QStringLiteral("named.txt"), "named\r\n");
        const QString handed = writeText(QStringLiteral("handed.txt"), "handed\r\n");
        startFirst({named});
        QCOMPARE(secondStart({handed}), 0);
        QTest::qWait(100);
        QVERIFY(!app_->mainWindow());
        LoginDialog* login = app_->loginDialog();
        login->userNameBox()->setText(QStringLiteral("Ann"));
        login->passwordBox()->setText(QStringLiteral("pw1"));
        QTest::mouseClick(login->okButton(), Qt::LeftButton);
        MainWindow* window = waitForMainWindow();
        QTRY_VERIFY(app_->state().commandLineFile.empty());
        QTRY_COMPARE(paneText(*window->topPane()), std::u16string(u"handed"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Voxilo [%1] - [無題]").arg(handed));
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

    // A lock that cannot be written (a full disk) is no other Voxilo: this one runs rather than
    // end without a word, and listens for later starts all the same.
    void aLockThatCannotBeWrittenDoesNotStopTheProgram() {
        SingleInstance running(runtime());
        {
            const testing_support::FilesCannotGrow full;
            QVERIFY(running.acquire());
        }
        QVERIFY(!QFile::exists(runtime() + QStringLiteral("/voxilo.lock")));
        QSignalSpy handed(&running, &SingleInstance::handedOver);
        QLocalSocket later;
        later.connectToServer(channel());
        QVERIFY(later.waitForConnected(5000));
        later.write(request("/tmp/memo.txt"));
        QByteArray answer;
        QTRY_COMPARE((answer += later.readAll()), QByteArrayLiteral("ok\n"));
        QTRY_COMPARE(handed.count(), 1);
    }

    void theChannelTakesWholeRequestsOnly_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("leaveEarly");
        const QByteArray file = QByteArrayLiteral("/home/ann/memo.txt");
        QTest::newRow("not a request") << QByteArrayLiteral("GET / HTTP/1.0\r\n\r\n") << false;
        QTest::newRow("another version")
            << request(file).replace("handover 2", "handover 1") << false;
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
        QVERIFY(running.acquire());
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

        // The channel still takes a whole request afterwards.
        QLocalSocket next;
        next.connectToServer(channel());
        QVERIFY(next.waitForConnected(5000));
        next.write(request("/tmp/a b.txt"));
        QByteArray answer;
        QTRY_COMPARE((answer += next.readAll()), QByteArrayLiteral("ok\n"));
        QTRY_COMPARE(handed.count(), 1);
        QCOMPARE(handed.at(0).at(0).toString(), QStringLiteral("/tmp/a b.txt"));
    }

    // A program killed outright leaves its lock and channel behind; the next one takes both
    // over, and later starts reach it.
    void aKilledProgramsChannelIsTakenOver() {
        registerUsers(1);  // the programs wait at their login
        QProcess& killed = startProgram({});
        QTRY_VERIFY_WITH_TIMEOUT(channelStands(), 10000);
        killed.kill();
        QVERIFY(killed.waitForFinished());
        QVERIFY(channelStands());

        QProcess& next = startProgram({});
        // Started only once the new program holds the lock: before, it would take it itself.
        QTRY_VERIFY_WITH_TIMEOUT(lockHolder() == next.processId(), 10000);
        QCOMPARE(secondStart({path(QStringLiteral("memo.txt"))}), 0);
        QCOMPARE(next.state(), QProcess::Running);
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
