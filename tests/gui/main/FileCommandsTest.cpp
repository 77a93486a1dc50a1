// The File menu's commands, the close check and dropped files, through the scripted dialogs.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

#include "core/cipher/LineConversion.h"
#include "core/documents/DocumentFormat.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"
#include "support/WindowSnapshot.h"

#ifndef Q_OS_WIN
#include "support/FilesCannotGrow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

// The last step of replacing a file, the rename, fails once when a test arms it; otherwise the
// call goes to the system unchanged. The test program's own definition stands in for the C
// library's, for the core linked into it.
static bool failNextRename = false;
extern "C" int rename(const char* from, const char* to) {
    if (failNextRename) {
        failNextRename = false;
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}
#endif

using namespace voxilo;

namespace {

const QString kTitle = QStringLiteral("Voxilo");
using Answer = Dialogs::Answer;
using Buttons = Dialogs::Buttons;

const QString kSaveSource = QStringLiteral("変換元文書を保存しますか。");
const QString kSaveConverted = QStringLiteral("変換後文書を保存しますか。");

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private:
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;
    std::unique_ptr<QTemporaryDir> folder_;  // the documents, fresh for each test
    QTemporaryDir storeFolder_;
    std::unique_ptr<ValueStore> store_;
    std::unique_ptr<MainWindow> window_;

    // Paths as the system's file dialogs give them, with the platform's own separators.
    QString path(const QString& name) const {
        return QDir::toNativeSeparators(folder_->filePath(name));
    }
    QString folder() const { return QDir::toNativeSeparators(folder_->path()); }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QStringList files() const {
        return QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static Dialogs::FileAnswer chosen(const QString& file) {
        return {Dialogs::Outcome::Chosen, file};
    }
    QAction* item(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
    void run(const char* name) { item(name)->trigger(); }
    void expectQuestion(const QString& text, Answer answer) {
        dialogs_.expectMessage(text, kTitle,
                               state_.exitRequested ? Buttons::YesNo : Buttons::YesNoCancel,
                               MessageIcon::Question, answer);
    }
    void type(QPlainTextEdit* pane, const std::u16string& text) {
        setPaneText(*pane, text);
        QVERIFY(pane == window_->topPane() ? state_.topModified : state_.bottomModified);
    }
    // Both panes changed, neither ever saved.
    void twoUnsavedPanes() {
        type(window_->topPane(), u"吾輩は猫である。");
        type(window_->bottomPane(), u"3f2a");
    }
    // Everything a user or the store can observe, the documents' folder included.
    testing_support::WindowSnapshot snapshot() const {
        return testing_support::WindowSnapshot::take(
            *window_, state_, settings_, storeFolder_.filePath(QStringLiteral("settings.db")),
            folder_->path());
    }
    // A path as the snapshot shows it, its backslashes escaped.
    static QString shown(QString path) {
        return path.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    }
    static QString qtextOf(const std::u16string& text) { return QString::fromStdU16String(text); }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        state_ = AppState{};
        state_.keyCode = 9;
        state_.pattern = 3;
        state_.userNames = {u"", u"ann"};
        state_.currentUser = u"ann";
        settings_ = ProgramSettings{};
        settings_.currentPath = (folder() + QDir::separator()).toStdU16String();
        store_ = testing_support::freshStore(
            storeFolder_.filePath(QStringLiteral("settings.db")).toStdString());
        window_ = std::make_unique<MainWindow>(state_, settings_, *store_, dialogs_);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        // The work of the first activation (the SendTo shortcut) is done before a test begins.
        QCoreApplication::processEvents();
        window_->topPane()->setFocus();
    }
    void cleanup() {
        state_.topModified = state_.bottomModified = false;  // no questions on the way out
        window_.reset();
        store_.reset();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void saveOnAFreshWindowAsksOnlyForTheSourceName() {
        type(window_->topPane(), u"ｱｲｳ ソ表\r\n２行目");
        QVERIFY(item("mnuFileSave")->isEnabled());
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("memo.txt"))));
        QTest::keyClick(window_->topPane(), Qt::Key_S, Qt::ControlModifier);

        QCOMPARE(read(QStringLiteral("memo.txt")),
                 QByteArray("\xb1\xb2\xb3 \x83\x5c\x95\x5c\r\n\x82\x51\x8d\x73\x96\xda\r\n"));
        const Dialogs::FileRequest request = dialogs_.fileRequests().last();
        QCOMPARE(request.title, QStringLiteral("変換元文書に名前を付けて保存"));
        QCOMPARE(request.folder, folder() + QDir::separator());
        QCOMPARE(request.fileName, QString());
        QCOMPARE(request.filters, QStringList({QStringLiteral("ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)"),
                                               QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
        QCOMPARE(request.defaultSuffix, QStringLiteral("txt"));
        QCOMPARE(state_.topPath, path(QStringLiteral("memo.txt")).toStdU16String());
        QCOMPARE(settings_.currentPath, (folder() + QDir::separator()).toStdU16String());
        QVERIFY(!state_.topModified && !state_.topHasFile);
        QVERIFY(!item("mnuFileSave")->isEnabled());
        QVERIFY(!item("mnuFileSaveAs")->isEnabled());
        QCOMPARE(window_->windowTitle(), QStringLiteral("Voxilo [無題] - [無題]"));

        // The next Save, here from the toolbar, writes to that name without a dialog.
        type(window_->topPane(), u"x");
        window_->dispatchToolbar(QStringLiteral("上書き保存"));
        QCOMPARE(read(QStringLiteral("memo.txt")), QByteArray("x\r\n"));
    }

    void saveAfterEncodeAsksAboutTheConvertedPane() {
        type(window_->topPane(), u"猫");
        dialogs_.expectBeep();
        run("mnuEditCoding");
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("plain.txt"))));
        expectQuestion(kSaveConverted, Answer::No);
        run("mnuFileSave");
        QCOMPARE(files(), QStringList({QStringLiteral("plain.txt")}));
        QVERIFY(state_.bottomPath.empty());
        QVERIFY(!state_.topModified && !state_.bottomModified);
    }

    void saveOfAnOpenedFileWritesOnlyTheChangedPane() {
        write(QStringLiteral("memo.txt"), "\x94\x4c\r\n");
        dialogs_.expectOpenFile(chosen(path(QStringLiteral("memo.txt"))));
        run("mnuFileOpen");
        QCOMPARE(paneText(*window_->topPane()), std::u16string(u"猫"));
        QVERIFY(state_.topHasFile && !state_.topModified && !state_.bottomModified);
        QCOMPARE(dialogs_.fileRequests().last().title, QStringLiteral("ﾌｧｲﾙを開く"));

        dialogs_.expectBeep();
        run("mnuEditCoding");
        QFile::remove(path(QStringLiteral("memo.txt")));  // to see it is not written again
        expectQuestion(kSaveConverted, Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("cipher.txt"))));
        run("mnuFileSave");
        QCOMPARE(files(), QStringList({QStringLiteral("cipher.txt")}));
        const QString cipher =
            QString::fromStdU16String(encodeLines(u"猫", state_.keyCode, state_.pattern));
        QCOMPARE(read(QStringLiteral("cipher.txt")), cipher.toLatin1() + "\r\n");
        QCOMPARE(window_->windowTitle(),
                 QStringLiteral("Voxilo [%1] - [%2]")
                     .arg(path(QStringLiteral("memo.txt")), path(QStringLiteral("cipher.txt"))));

        // Changed again, with both names known, Save asks nothing and writes the changed pane.
        type(window_->bottomPane(), u"abcd");
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("cipher.txt")), QByteArray("abcd\r\n"));
        QVERIFY(!QFile::exists(path(QStringLiteral("memo.txt"))));

        // Another file opened: the converted pane's file belongs to the old one.
        write(QStringLiteral("other.txt"), "\x8c\xa2\r\n");
        dialogs_.expectOpenFile(chosen(path(QStringLiteral("other.txt"))));
        run("mnuFileOpen");
        QCOMPARE(window_->windowTitle(),
                 QStringLiteral("Voxilo [%1] - [無題]").arg(path(QStringLiteral("other.txt"))));
        // New forgets it too: the next converted text is asked about, and cipher.txt stays.
        dialogs_.expectOpenFile(chosen(path(QStringLiteral("memo2.txt"))));
        write(QStringLiteral("memo2.txt"), "\x94\x4c\r\n");
        run("mnuFileOpen");
        dialogs_.expectBeep();
        run("mnuEditCoding");
        expectQuestion(kSaveConverted, Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("cipher.txt"))));
        run("mnuFileSave");
        run("mnuFileNew");
        type(window_->topPane(), u"犬");
        dialogs_.expectBeep();
        run("mnuEditCoding");
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("dog.txt"))));
        expectQuestion(kSaveConverted, Answer::No);
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("cipher.txt")), cipher.toLatin1() + "\r\n");
    }

    // Only the converted text changed: closing still asks, and Cancel keeps it.
    void closingWithOnlyTheConvertedPaneChangedAsks() {
        type(window_->bottomPane(), u"3f2a");
        expectQuestion(kSaveSource, Answer::No);
        expectQuestion(kSaveConverted, Answer::Cancel);
        QVERIFY(!window_->close());
        QVERIFY(state_.bottomModified);
        expectQuestion(kSaveSource, Answer::No);
        expectQuestion(kSaveConverted, Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("b.txt"))));
        QVERIFY(window_->close());
        QCOMPARE(read(QStringLiteral("b.txt")), QByteArray("3f2a\r\n"));
    }

    void newAsksAboutBothPanesThenEmptiesThem() {
        state_.topPath = path(QStringLiteral("old.txt")).toStdU16String();
        twoUnsavedPanes();
        expectQuestion(kSaveSource, Answer::No);
        expectQuestion(kSaveConverted, Answer::No);
        QTest::keyClick(window_->topPane(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(window_->topPane()->document()->isEmpty());
        QVERIFY(window_->bottomPane()->document()->isEmpty());
        QVERIFY(state_.topPath.empty() && state_.bottomPath.empty());
        QVERIFY(!state_.topModified && !state_.bottomModified && !state_.topHasFile);
        QVERIFY(files().isEmpty());
        QCOMPARE(window_->windowTitle(), QStringLiteral("Voxilo [無題] - [無題]"));

        // Only the lower pane changed: still the source question first; with a name known,
        // Yes writes there without a dialog.
        state_.topPath = path(QStringLiteral("named.txt")).toStdU16String();
        type(window_->topPane(), u"a");
        state_.topModified = false;
        type(window_->bottomPane(), u"b");
        expectQuestion(kSaveSource, Answer::Yes);
        expectQuestion(kSaveConverted, Answer::No);
        run("mnuFileNew");
        QCOMPARE(read(QStringLiteral("named.txt")), QByteArray("a\r\n"));
        QVERIFY(window_->topPane()->document()->isEmpty());
    }

    // Cancel at any question and any dialog of the save step stops everything: nothing written,
    // no name, flag or pane changed.
    void cancelAnywhereChangesNothing_data() {
        QTest::addColumn<int>("step");
        for (int step = 0; step < 5; ++step)
            QTest::newRow(qPrintable(QString::number(step))) << step;
    }
    void cancelAnywhereChangesNothing() {
        QFETCH(int, step);
        twoUnsavedPanes();
        const Dialogs::FileAnswer cancelled{Dialogs::Outcome::Cancelled, {}};
        const auto before = snapshot();
        const std::u16string folderBefore = settings_.currentPath;
        switch (step) {
            case 0:  // the source question
                expectQuestion(kSaveSource, Answer::Cancel);
                break;
            case 1:  // the source pane's dialog
                expectQuestion(kSaveSource, Answer::Yes);
                dialogs_.expectSaveFile(cancelled);
                break;
            case 2:  // the converted question, the source pane already accepted
                expectQuestion(kSaveSource, Answer::Yes);
                dialogs_.expectSaveFile(chosen(path(QStringLiteral("a.txt"))));
                expectQuestion(kSaveConverted, Answer::Cancel);
                break;
            case 3:  // the converted pane's dialog
                expectQuestion(kSaveSource, Answer::Yes);
                dialogs_.expectSaveFile(chosen(path(QStringLiteral("a.txt"))));
                expectQuestion(kSaveConverted, Answer::Yes);
                dialogs_.expectSaveFile(cancelled);
                break;
            case 4:  // a save dialog that fails
                expectQuestion(kSaveSource, Answer::Yes);
                dialogs_.expectSaveFile({Dialogs::Outcome::Failed, {}});
                dialogs_.expectMessage(QStringLiteral("エラーが発生しました。"), kTitle,
                                       Buttons::Ok, MessageIcon::Critical);
                break;
        }
        run("mnuFileNew");
        VERIFY_CHANGES(before, snapshot(), {});
        if (step == 2 || step == 3) {
            // Only the dialog's folder is remembered.
            QCOMPARE(settings_.currentPath, (folder() + QDir::separator()).toStdU16String());
        } else {
            QCOMPARE(settings_.currentPath, folderBefore);
        }

        // The same with a file opened and changed: its question names it.
        write(QStringLiteral("memo.txt"), "m\r\n");
        state_.topModified = state_.bottomModified = false;
        dialogs_.expectOpenFile(chosen(path(QStringLiteral("memo.txt"))));
        run("mnuFileOpen");
        type(window_->topPane(), u"changed");
        expectQuestion(QStringLiteral("memo.txtは変更されています。保存しますか。"),
                       Answer::Cancel);
        const auto opened = snapshot();
        run("mnuFileOpen");
        VERIFY_CHANGES(opened, snapshot(), {});
    }

    void withTheExitDemandedOnlyYesAndNoAreOffered() {
        twoUnsavedPanes();
        state_.exitRequested = true;
        // A save dialog given up keeps the text, and the window with it.
        expectQuestion(kSaveSource, Answer::Yes);
        dialogs_.expectSaveFile({Dialogs::Outcome::Cancelled, {}});
        QVERIFY(!window_->close());
        QVERIFY(state_.topModified && state_.bottomModified);
        // Outside the close, New still offers Cancel.
        dialogs_.expectMessage(kSaveSource, kTitle, Buttons::YesNoCancel, MessageIcon::Question,
                               Answer::Cancel);
        run("mnuFileNew");
        QVERIFY(!window_->topPane()->document()->isEmpty());

        expectQuestion(kSaveSource, Answer::No);
        expectQuestion(kSaveConverted, Answer::No);
        QVERIFY(window_->close());
        QVERIFY(files().isEmpty());
    }

    void saveAsWithAnEmptySourcePane() {
        state_.topPath = path(QStringLiteral("old.txt")).toStdU16String();
        type(window_->bottomPane(), u"0123");
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("out.txt"))));
        run("mnuFileSaveAs");
        QCOMPARE(dialogs_.fileRequests().last().title,
                 QStringLiteral("変換後文書に名前を付けて保存"));
        QCOMPARE(files(), QStringList({QStringLiteral("out.txt")}));
        QVERIFY(state_.topPath.empty());
        QVERIFY(state_.topHasFile);
        QCOMPARE(window_->windowTitle(),
                 QStringLiteral("Voxilo [] - [%1]").arg(path(QStringLiteral("out.txt"))));

        // Save As asks no question: an unchanged pane with text is written again, its dialog
        // starting with the current name.
        QFile::remove(path(QStringLiteral("out.txt")));
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("out.txt"))));
        run("mnuFileSaveAs");
        QCOMPARE(dialogs_.fileRequests().last().fileName, QStringLiteral("out.txt"));
        QCOMPARE(read(QStringLiteral("out.txt")), QByteArray("0123\r\n"));

        // The source has no name to show now: it is asked about as a new document.
        type(window_->topPane(), u"new text");
        expectQuestion(kSaveSource, Answer::Cancel);
        QVERIFY(!window_->close());
    }

    // A pane whose file could not be written stays modified, so closing asks again; the other
    // pane is saved.
    void aFailedWriteKeepsThePaneModified() {
        twoUnsavedPanes();
        const QString nowhere = path(QStringLiteral("no such folder/a.txt"));
        dialogs_.expectSaveFile(chosen(nowhere));
        expectQuestion(kSaveConverted, Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("b.txt"))));
        dialogs_.expectMessage(
            QStringLiteral(
                "ファイルまたはフォルダーが見つかりません。\r\n変換元ファイルa.txtの保存に失敗しました。"),
            kTitle, Buttons::Ok, MessageIcon::Exclamation);
        run("mnuFileSave");
        QVERIFY(state_.topModified);
        QVERIFY(!state_.bottomModified);
        QCOMPARE(read(QStringLiteral("b.txt")), QByteArray("3f2a\r\n"));
        QVERIFY(item("mnuFileSave")->isEnabled());

        // The failed name was not taken: closing asks for a name again.
        QVERIFY(state_.topPath.empty());
        expectQuestion(kSaveSource, Answer::Yes);
        dialogs_.expectSaveFile(chosen(nowhere));
        dialogs_.expectMessage(
            QStringLiteral(
                "ファイルまたはフォルダーが見つかりません。\r\n変換元ファイルa.txtの保存に失敗しました。"),
            kTitle, Buttons::Ok, MessageIcon::Exclamation);
        QVERIFY(!window_->close());  // still unsaved: the window stays
        QVERIFY(window_->isVisible());

        // Save As to a place that cannot be written keeps the document's own file.
        state_.topPath = path(QStringLiteral("memo.txt")).toStdU16String();
        dialogs_.expectSaveFile(chosen(nowhere));
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("b.txt"))));
        dialogs_.expectMessage(
            QStringLiteral(
                "ファイルまたはフォルダーが見つかりません。\r\n変換元ファイルa.txtの保存に失敗しました。"),
            kTitle, Buttons::Ok, MessageIcon::Exclamation);
        run("mnuFileSaveAs");
        QCOMPARE(state_.topPath, path(QStringLiteral("memo.txt")).toStdU16String());
        QVERIFY(state_.topModified);

        // A file replaced whole: writing over a folder fails and leaves the folder as it was.
        QDir(folder_->path()).mkdir(QStringLiteral("dir.txt"));
        state_.topPath = path(QStringLiteral("dir.txt")).toStdU16String();
        dialogs_.expectMessage(
            QStringLiteral(
                "フォルダーはファイルとして開けません。\r\n変換元ファイルdir.txtの保存に失敗しました。"),
            kTitle, Buttons::Ok, MessageIcon::Exclamation);
        run("mnuFileSave");
        QVERIFY(QFileInfo(path(QStringLiteral("dir.txt"))).isDir());
        QCOMPARE(files(), QStringList({QStringLiteral("b.txt")}));
    }

#ifndef Q_OS_WIN
    // A save onto a pipe is refused before the pipe is opened, which would hold the window until
    // some program read it; a save past the file-size limit is an error, not the program's end.
    // Either way the user hears why, and nothing changes: the old file whole, nothing beside it.
    void aSaveThatCannotBeWrittenChangesNothing_data() {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("Save As onto a pipe") << true;
        QTest::newRow("Save past the file-size limit") << false;
    }
    void aSaveThatCannotBeWrittenChangesNothing() {
        QFETCH(bool, pipe);
        write(QStringLiteral("a.txt"), "old\r\n");
        QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.txt"))).constData(), 0600) ==
                0);
        dialogs_.expectOpenFile(chosen(path(QStringLiteral("a.txt"))));
        run("mnuFileOpen");
        type(window_->topPane(), u"新しい文書");
        const auto before = snapshot();
        if (pipe) {
            dialogs_.expectSaveFile(chosen(path(QStringLiteral("pipe.txt"))));
            dialogs_.expectMessage(QStringLiteral("通常のファイルではありません (パイプやデバイス"
                                                  "は開けません)。\r\n変換元ファイルpipe.txtの保存"
                                                  "に失敗しました。"),
                                   kTitle, Buttons::Ok, MessageIcon::Exclamation);
            run("mnuFileSaveAs");
        } else {
            dialogs_.expectMessage(
                QStringLiteral(
                    "ファイルが大きすぎます。\r\n変換元ファイルa.txtの保存に失敗しました。"),
                kTitle, Buttons::Ok, MessageIcon::Exclamation);
            testing_support::FilesCannotGrow full;
            run("mnuFileSave");
        }
        VERIFY_CHANGES(before, snapshot(), {});
    }

    // The last step of a save failing, for either pane: told with the reason, the file as it
    // was, the pane still changed, so that closing asks again.
    void aSaveWhoseLastStepFailsIsTold_data() {
        QTest::addColumn<bool>("top");
        QTest::newRow("the source pane") << true;
        QTest::newRow("the converted pane") << false;
    }
    void aSaveWhoseLastStepFailsIsTold() {
        QFETCH(bool, top);
        write(QStringLiteral("a.txt"), "old\r\n");
        const std::u16string file = path(QStringLiteral("a.txt")).toStdU16String();
        type(top ? window_->topPane() : window_->bottomPane(), u"new");
        (top ? state_.topPath : state_.bottomPath) = file;
        state_.topHasFile = true;  // as after a file was opened
        dialogs_.expectMessage(
            QStringLiteral("デバイスの入出力エラーです。\r\n%1a.txtの保存に失敗しました。")
                .arg(top ? QStringLiteral("変換元ファイル") : QStringLiteral("変換後ファイル")),
            kTitle, Buttons::Ok, MessageIcon::Exclamation);
        failNextRename = true;
        run("mnuFileSave");
        const bool renameTried = !failNextRename;
        failNextRename = false;
        QVERIFY(renameTried);
        QCOMPARE(read(QStringLiteral("a.txt")), QByteArray("old\r\n"));
        QCOMPARE(files(), QStringList({QStringLiteral("a.txt")}));
        QVERIFY(top ? state_.topModified : state_.bottomModified);
        QCOMPARE(top ? state_.topPath : state_.bottomPath, file);
        QVERIFY(item("mnuFileSave")->isEnabled());
        // Saved again, it goes through.
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("a.txt")), QByteArray("new\r\n"));
        QVERIFY(!state_.topModified && !state_.bottomModified);
    }
#endif

    // The same for the lower pane: its failed write is told by its own name, and it stays
    // changed, with the name it had, while the upper pane is saved.
    void aFailedWriteOfTheConvertedPaneKeepsIt() {
        twoUnsavedPanes();
        const QString nowhere = path(QStringLiteral("no such folder/b.txt"));
        const QString failed = QStringLiteral(
            "ファイルまたはフォルダーが見つかりません。\r\n変換後ファイルb.txtの保存に失敗しました。");
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("a.txt"))));
        expectQuestion(kSaveConverted, Answer::Yes);
        dialogs_.expectSaveFile(chosen(nowhere));
        dialogs_.expectMessage(failed, kTitle, Buttons::Ok, MessageIcon::Exclamation);
        run("mnuFileSave");
        QVERIFY(!state_.topModified);
        QVERIFY(state_.bottomModified);
        QVERIFY(state_.bottomPath.empty());
        QVERIFY(item("mnuFileSave")->isEnabled());

        // Save As to a place that cannot be written keeps the converted document's own file.
        state_.bottomPath = path(QStringLiteral("memo.enc")).toStdU16String();
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("a.txt"))));
        dialogs_.expectSaveFile(chosen(nowhere));
        dialogs_.expectMessage(failed, kTitle, Buttons::Ok, MessageIcon::Exclamation);
        run("mnuFileSaveAs");
        QCOMPARE(state_.bottomPath, path(QStringLiteral("memo.enc")).toStdU16String());
        QVERIFY(state_.bottomModified);
        QCOMPARE(files(), QStringList({QStringLiteral("a.txt")}));
    }

    void charactersCp932CannotHoldAreAskedAbout() {
        type(window_->topPane(), u"ok\r\n𠮷野家 😀!");
        const QString question = QStringLiteral(
            "変換元文書には Shift-JIS (CP932) で保存できない文字が2個あります (最初は2行目1"
            "文字目)。\r\nこれらの文字を「?」に置き換えて保存しますか。\r\n"
            "「いいえ」をクリックすると、変換元文書は保存しません。\r\n"
            "「UTF-8 で保存」をクリックすると、すべての文字をそのまま UTF-8 で保存します。");
        const QString utf8 = QStringLiteral("UTF-8 で保存(&U)");
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("a.txt"))));
        dialogs_.expectMessage(question, kTitle, Buttons::YesNoOther, MessageIcon::Exclamation,
                               Answer::Yes, utf8);
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("a.txt")), QByteArray("ok\r\n?\x96\xec\x89\xc6 ?!\r\n"));
        QVERIFY(!state_.topModified);

        type(window_->topPane(), u"𠮷野家 😀!");
        dialogs_.expectMessage(
            QString(question).replace(QStringLiteral("2行目"), QStringLiteral("1行目")), kTitle,
            Buttons::YesNoOther, MessageIcon::Exclamation, Answer::No, utf8);
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("a.txt")), QByteArray("ok\r\n?\x96\xec\x89\xc6 ?!\r\n"));
        QVERIFY(state_.topModified);  // not saved: closing will ask again

        // Pasted text from elsewhere: the wave dash and its kin are written as Japanese Windows
        // writes them, without a question.
        type(window_->topPane(), u"1\u301c25 \u2212\u00a3");
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("a.txt")), QByteArray("1\x81\x60"
                                                           "25 \x81\x7c\x81\x92\r\n"));
        QVERIFY(!state_.topModified);

        // The third answer loses nothing: the pane is saved, and from now on kept, as UTF-8.
        type(window_->topPane(), u"𠮷野家 😀!");
        const auto before = snapshot();
        dialogs_.expectMessage(
            QString(question).replace(QStringLiteral("2行目"), QStringLiteral("1行目")), kTitle,
            Buttons::YesNoOther, MessageIcon::Exclamation, Answer::Other, utf8);
        run("mnuFileSave");
        VERIFY_CHANGES(before, snapshot(),
                       {{"top modified", "no"},
                        {"top encoding", "UTF-8"},
                        {"status documentEncoding", "UTF-8 (変換元文書の文字コード)"},
                        {"command mnuFileEncodingCp932", "on, unchecked"},
                        {"command mnuFileEncodingUtf8", "on, checked"},
                        {"command mnuFileSave", "off"},
                        {"command mnuFileSaveAs", "off"},
                        {"command tbSave", "off"},
                        {"file a.txt",
                         "\\xf0\\xa0\\xae\\xb7\\xe9\\x87\\x8e\\xe5\\xae\\xb6 "
                         "\\xf0\\x9f\\x98\\x80!\\x0d\\x0a"}});
    }

    // A file opens in the encoding it was written in, saves back unchanged in it, and the status
    // bar names it for the pane with the keyboard; File > 文字コード changes what the next save
    // writes.
    void documentsKeepTheEncodingTheyCameIn() {
        const std::u16string text = u"吾輩は猫である。\r\nｶﾅ ～ ①髙";
        const TextEncoding all[] = {TextEncoding::Cp932, TextEncoding::Utf8, TextEncoding::Utf8Bom,
                                    TextEncoding::Utf16Le, TextEncoding::Utf16Be};
        const char* items[] = {"mnuFileEncodingCp932", "mnuFileEncodingUtf8",
                               "mnuFileEncodingUtf8Bom", "mnuFileEncodingUtf16Le",
                               "mnuFileEncodingUtf16Be"};
        const auto named = [](TextEncoding encoding) {
            return QString::fromUtf8(encodingName(encoding).data(),
                                     static_cast<qsizetype>(encodingName(encoding).size()));
        };
        for (std::size_t i = 0; i < std::size(all); ++i) {
            const QByteArray bytes =
                QByteArray::fromStdString(*documentBytesFromText(text, all[i]));
            write(QStringLiteral("memo.txt"), bytes);
            state_.topModified = state_.bottomModified = false;
            dialogs_.expectOpenFile(chosen(path(QStringLiteral("memo.txt"))));
            run("mnuFileOpen");
            const auto opened = snapshot();
            QCOMPARE(opened.fields.value(QStringLiteral("top encoding")), named(all[i]));
            QCOMPARE(opened.fields.value(QStringLiteral("status documentEncoding")),
                     named(all[i]) + QStringLiteral(" (変換元文書の文字コード)"));
            QCOMPARE(opened.fields.value(QStringLiteral("command %1").arg(QLatin1String(items[i]))),
                     QStringLiteral("on, checked"));
            QCOMPARE(paneText(*window_->topPane()), text);

            // Changed and changed back, then saved: the same bytes.
            window_->topPane()->moveCursor(QTextCursor::End);
            QTest::keyClicks(window_->topPane(), QStringLiteral("x"));
            QTest::keyClick(window_->topPane(), Qt::Key_Backspace);
            QVERIFY(state_.topModified);
            run("mnuFileSave");
            QCOMPARE(read(QStringLiteral("memo.txt")), bytes);
            QVERIFY(!state_.topModified);
        }

        // The choice is the pane's: the upper one, tied to its file, is now to be saved anew.
        QCOMPARE(window_->focusWidget(), window_->topPane());
        const auto before = snapshot();
        run("mnuFileEncodingUtf16Le");
        VERIFY_CHANGES(before, snapshot(),
                       {{"top encoding", "UTF-16 LE"},
                        {"top modified", "yes"},
                        {"status documentEncoding", "UTF-16 LE (変換元文書の文字コード)"},
                        {"command mnuFileEncodingUtf16Be", "on, unchecked"},
                        {"command mnuFileEncodingUtf16Le", "on, checked"},
                        {"command mnuFileSave", "on"},
                        {"command tbSave", "on"}});
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("memo.txt")),
                 QByteArray::fromStdString(*documentBytesFromText(text, TextEncoding::Utf16Le)));

        // The lower pane, new, is CP932; choosing for it without a file does not mark it
        // changed. Tied to a file, it is then to be saved anew, as the upper one.
        window_->bottomPane()->setFocus();
        QCOMPARE(snapshot().fields.value(QStringLiteral("status caretPosition")),
                 QStringLiteral("1 行、1 列 (変換後文書の位置)"));
        auto lower = snapshot();
        run("mnuFileEncodingUtf8");
        VERIFY_CHANGES(lower, snapshot(),
                       {{"bottom encoding", "UTF-8"},
                        {"status documentEncoding", "UTF-8 (変換後文書の文字コード)"},
                        {"command mnuFileEncodingCp932", "on, unchecked"},
                        {"command mnuFileEncodingUtf8", "on, checked"}});
        type(window_->bottomPane(), u"3f2a");
        dialogs_.expectMessage(kSaveConverted, kTitle, Buttons::YesNoCancel, MessageIcon::Question,
                               Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("converted.txt"))));
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("converted.txt")), QByteArray("3f2a\r\n"));
        lower = snapshot();
        run("mnuFileEncodingUtf16Be");
        VERIFY_CHANGES(lower, snapshot(),
                       {{"bottom encoding", "UTF-16 BE"},
                        {"bottom modified", "yes"},
                        {"status documentEncoding", "UTF-16 BE (変換後文書の文字コード)"},
                        {"command mnuFileEncodingUtf8", "on, unchecked"},
                        {"command mnuFileEncodingUtf16Be", "on, checked"},
                        {"command mnuFileSave", "on"},
                        {"command tbSave", "on"}});
        run("mnuFileSave");
        QCOMPARE(read(QStringLiteral("converted.txt")),
                 QByteArray("\xFE\xFF\0003\0f\0002\0a\0\r\0\n", 14));

        // Opening a document empties the lower pane, which starts over in CP932; the upper one
        // takes the file's.
        dialogs_.expectOpenFile(chosen(path(QStringLiteral("memo.txt"))));
        run("mnuFileOpen");
        QCOMPARE(state_.topEncoding, TextEncoding::Utf16Le);
        QCOMPARE(state_.bottomEncoding, TextEncoding::Cp932);

        // A new document starts over in CP932.
        window_->bottomPane()->setFocus();
        run("mnuFileEncodingUtf16Be");
        QCOMPARE(state_.bottomEncoding, TextEncoding::Utf16Be);
        run("mnuFileNew");
        QCOMPARE(state_.topEncoding, TextEncoding::Cp932);
        QCOMPARE(state_.bottomEncoding, TextEncoding::Cp932);
        QCOMPARE(snapshot().fields.value(QStringLiteral("status documentEncoding")),
                 QStringLiteral("Shift-JIS (変換後文書の文字コード)"));
        window_->topPane()->setFocus();
        QTest::keyClicks(window_->topPane(), QStringLiteral("ab"));
        QCOMPARE(snapshot().fields.value(QStringLiteral("status caretPosition")),
                 QStringLiteral("1 行、3 列 (変換元文書の位置)"));
    }

    void exitWithCancelKeepsTheWindow() {
        type(window_->topPane(), u"unsaved");
        expectQuestion(kSaveSource, Answer::Cancel);
        run("mnuFileExit");
        QVERIFY(window_->isVisible());
        QVERIFY(state_.topModified);
        QCOMPARE(paneText(*window_->topPane()), std::u16string(u"unsaved"));
    }

    void theCloseBoxSavesBothPanes() {
        twoUnsavedPanes();
        expectQuestion(kSaveSource, Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("a.txt"))));
        expectQuestion(kSaveConverted, Answer::Yes);
        dialogs_.expectSaveFile(chosen(path(QStringLiteral("b.txt"))));
        QVERIFY(window_->close());
        QCOMPARE(
            read(QStringLiteral("a.txt")),
            QByteArray("\x8c\xe1\x94\x79\x82\xcd\x94\x4c\x82\xc5\x82\xa0\x82\xe9\x81\x42\r\n"));
        QCOMPARE(read(QStringLiteral("b.txt")), QByteArray("3f2a\r\n"));
    }

    void openingTellsWhatCouldNotBeRead() {
        // Bytes that are not text in the file's encoding show as U+FFFD, after one message
        // naming the encoding (without its mark) and the first line. CP932 comes last: the
        // rest of the test starts from it.
        const struct {
            const char* name;
            QByteArray bytes;
            QString encoding;
        } damaged[] = {
            {"utf8.txt", QByteArray("\xEF\xBB\xBFok\r\nbad \xE3\x81\r\n"), QStringLiteral("UTF-8")},
            {"utf16.txt", QByteArray("\xFF\xFEo\0k\0\r\0\n\0b\0a\0d\0 \0\x00\xD8", 20),
             QStringLiteral("UTF-16 LE")},
            {"damaged.txt", QByteArray("ok\r\nbad \x81\r\n"), QStringLiteral("Shift-JIS (CP932)")},
        };
        for (const auto& file : damaged) {
            const QString name = QString::fromLatin1(file.name);
            write(name, file.bytes);
            dialogs_.expectOpenFile(chosen(path(name)));
            dialogs_.expectMessage(
                QStringLiteral("このファイルには %1 として読めないバイトがあります "
                               "(最初は2行目)。\r\n読めない部分は「\uFFFD」で"
                               "表示しています。")
                    .arg(file.encoding),
                kTitle, Buttons::Ok, MessageIcon::Information);
            run("mnuFileOpen");
            QCOMPARE(paneText(*window_->topPane()), std::u16string(u"ok\r\nbad \uFFFD"));
            QVERIFY(state_.topHasFile && !state_.topModified);
        }

        // A file that cannot be read, or a folder, keeps the panes and the file they came from:
        // a later Save goes to damaged.txt, never to what could not be read.
        for (const auto& [name, reason] :
             {std::pair{QStringLiteral("missing.txt"),
                        QStringLiteral("ファイルまたはフォルダーが見つかりません。")},
              std::pair{QStringLiteral("folder"),
                        QStringLiteral("フォルダーはファイルとして開けません。")}}) {
            QDir(folder_->path()).mkdir(QStringLiteral("folder"));
            dialogs_.expectOpenFile(chosen(path(name)));
            dialogs_.expectMessage(reason + QStringLiteral("\r\nファイルを開くことができません。"),
                                   kTitle, Buttons::Ok, MessageIcon::Critical);
            run("mnuFileOpen");
            QCOMPARE(state_.topPath, path(QStringLiteral("damaged.txt")).toStdU16String());
            QCOMPARE(paneText(*window_->topPane()), std::u16string(u"ok\r\nbad \uFFFD"));
            QVERIFY(state_.topHasFile && !state_.topModified);
        }

        // A cancelled dialog changes nothing; a failed one says so.
        const auto before = snapshot();
        dialogs_.expectOpenFile({Dialogs::Outcome::Cancelled, {}});
        run("mnuFileOpen");
        dialogs_.expectOpenFile({Dialogs::Outcome::Failed, {}});
        dialogs_.expectMessage(QStringLiteral("エラーが発生しました。"), kTitle, Buttons::Ok,
                               MessageIcon::Critical);
        run("mnuFileOpen");
        VERIFY_CHANGES(before, snapshot(), {});
    }

    // Two panes never name one file, where the second write would replace the first: refused
    // with a word that names it, however the name is spelt, and nothing changes.
    void twoPanesNeverShareAFile_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Save As, one name for both") << 0;
        QTest::newRow("Save, the converted pane onto the source's file") << 2;
#ifndef Q_OS_WIN
        QTest::newRow("Save As, a link to the other") << 3;
#endif
    }
    void twoPanesNeverShareAFile() {
        QFETCH(int, way);
        const QString memo = path(QStringLiteral("memo.txt"));
        QString second = memo;
        if (way == 2) {
            write(QStringLiteral("memo.txt"), "m\r\n");
            dialogs_.expectOpenFile(chosen(memo));
            run("mnuFileOpen");
            type(window_->topPane(), u"猫");
            dialogs_.expectBeep();
            run("mnuEditCoding");
            window_->topPane()->setFocus();
        } else {
            twoUnsavedPanes();
            if (way == 3) {
                write(QStringLiteral("memo.txt"), "m\r\n");
                QVERIFY(QFile::link(memo, path(QStringLiteral("link.txt"))));
                second = path(QStringLiteral("link.txt"));
            }
        }
        const auto before = snapshot();
        if (way == 2) {
            expectQuestion(kSaveConverted, Answer::Yes);
            dialogs_.expectSaveFile(chosen(second));
        } else {
            dialogs_.expectSaveFile(chosen(memo));
            dialogs_.expectSaveFile(chosen(second));
        }
        dialogs_.expectMessage(
            QStringLiteral("変換元文書と変換後文書を同じファイル %1 に保存することはできません。"
                           "\r\n別の名前を付けて保存してください。")
                .arg(QFileInfo(second).fileName()),
            kTitle, Buttons::Ok, MessageIcon::Exclamation);
        run(way == 2 ? "mnuFileSave" : "mnuFileSaveAs");
        VERIFY_CHANGES(before, snapshot(), {});
    }

    // A file opened into the upper pane, by each way there is, empties the lower pane, whose
    // ciphertext belonged to the text before; everything else a user can see follows the file.
    void openingAFileEmptiesTheConvertedPane_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("開く") << 0;
        QTest::newRow("a dropped file") << 1;
        QTest::newRow("a file handed over by a later start") << 2;
    }
    void openingAFileEmptiesTheConvertedPane() {
        QFETCH(int, way);
        write(QStringLiteral("memo.txt"), "\x94\x4c\r\n");
        setPaneText(*window_->topPane(), u"old");
        setPaneText(*window_->bottomPane(), u"3f2a");
        state_.topModified = state_.bottomModified = false;
        window_->updateCommands();
        const auto before = snapshot();
        const QString memo = path(QStringLiteral("memo.txt"));
        bool done = false;
        switch (way) {
            case 0:
                dialogs_.expectOpenFile(chosen(memo));
                run("mnuFileOpen");
                done = true;
                break;
            case 1: {
                QMimeData data;
                data.setUrls({QUrl::fromLocalFile(memo)});
                QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                      Qt::NoModifier);
                QApplication::sendEvent(window_->topPane()->viewport(), &enter);
                QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                Qt::NoModifier);
                QApplication::sendEvent(window_->topPane()->viewport(), &drop);
                QTRY_VERIFY(state_.topHasFile);
                done = true;
                break;
            }
            case 2:
                window_->openHandedFile(memo.toStdU16String(), false, [&done] { done = true; });
                break;
        }
        QTRY_VERIFY(done);
        VERIFY_CHANGES(
            before, snapshot(),
            {{QStringLiteral("top text"), QStringLiteral("猫")},
             {QStringLiteral("bottom text"), QString()},
             {QStringLiteral("top path"), shown(memo)},
             {QStringLiteral("top has file"), QStringLiteral("yes")},
             {QStringLiteral("caption"), QStringLiteral("Voxilo [%1] - [無題]").arg(memo)},
             {QStringLiteral("command mnuFileSaveAs"), QStringLiteral("on")}});
    }

    // Several files dropped at once: the upper pane holds one document; the first is opened,
    // and the user hears so, as when they are named on the command line.
    void severalDroppedFilesOpenTheFirstAndSaySo() {
        write(QStringLiteral("first.txt"), "\x82\xa0\r\n");
        write(QStringLiteral("second.txt"), "2\r\n");
        setPaneText(*window_->bottomPane(), u"3f2a");
        state_.bottomModified = false;
        window_->updateCommands();
        const auto before = snapshot();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(QStringLiteral("first.txt"))),
                      QUrl::fromLocalFile(path(QStringLiteral("second.txt")))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_->topPane()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        dialogs_.expectMessage(QStringLiteral("ファイルは一度に1つだけ開くことができます。\r\n"
                                              "最初のファイル first.txt を開きます。"),
                               kTitle, Buttons::Ok, MessageIcon::Information);
        QApplication::sendEvent(window_->topPane()->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(dialogs_.pending(), std::size_t{0});
        VERIFY_CHANGES(
            before, snapshot(),
            {{QStringLiteral("top text"), QStringLiteral("あ")},
             {QStringLiteral("bottom text"), QString()},
             {QStringLiteral("top path"), shown(path(QStringLiteral("first.txt")))},
             {QStringLiteral("top has file"), QStringLiteral("yes")},
             {QStringLiteral("caption"),
              QStringLiteral("Voxilo [%1] - [無題]").arg(path(QStringLiteral("first.txt")))},
             // The upper pane now holds a document to convert.
             {QStringLiteral("command mnuEditCoding"), QStringLiteral("on")},
             {QStringLiteral("command mnuEditDecoding"), QStringLiteral("on")},
             {QStringLiteral("command tbCoding"), QStringLiteral("on")},
             {QStringLiteral("command tbDecoding"), QStringLiteral("on")},
             {QStringLiteral("command mnuFileSaveAs"), QStringLiteral("on")}});
    }

    void aDroppedFileOpensAfterTheSaveQuestions() {
        write(QStringLiteral("dropped.txt"), "\x82\xa0\r\n");
        type(window_->topPane(), u"unsaved");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(QStringLiteral("dropped.txt")))});
        QDragEnterEvent enterFile(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
        QApplication::sendEvent(window_->bottomPane()->viewport(), &enterFile);
        QVERIFY(enterFile.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        expectQuestion(kSaveSource, Answer::No);
        QApplication::sendEvent(window_->bottomPane()->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(paneText(*window_->topPane()), std::u16string(u"あ"));
        QCOMPARE(state_.topPath, path(QStringLiteral("dropped.txt")).toStdU16String());
        QVERIFY(state_.topHasFile && !state_.topModified);

        // Text is refused by the lower pane, as Paste is, and taken by the upper one.
        QMimeData text;
        text.setText(QStringLiteral("dropped text"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_->bottomPane()->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent textDrop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_->bottomPane()->viewport(), &textDrop);
        QVERIFY(window_->bottomPane()->document()->isEmpty());
        QDragEnterEvent enterTop(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton,
                                 Qt::NoModifier);
        QApplication::sendEvent(window_->topPane()->viewport(), &enterTop);
        QVERIFY(enterTop.isAccepted());
        // Another program's line breaks, Unicode's separators among them, break lines.
        window_->topPane()->clear();
        text.setText(QStringLiteral("a") + QChar::LineSeparator + u'b' + QChar::ParagraphSeparator +
                     QStringLiteral("c\r\nd"));
        QDropEvent dropTop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_->topPane()->viewport(), &dropTop);
        QCOMPARE(paneText(*window_->topPane()), std::u16string(u"a\r\nb\r\nc\r\nd"));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
