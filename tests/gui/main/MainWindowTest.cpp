// The main window under the offscreen platform, through the scripted dialogs.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

#include "core/cipher/CipherMessages.h"
#include "core/cipher/LineConversion.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneSplitter.h"
#include "gui/main/PaneText.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

const QString kTitle = QStringLiteral("Voxilo");

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;
    QTemporaryDir folder_;
    std::unique_ptr<ValueStore> store_;
    std::unique_ptr<MainWindow> window_;

    QAction* item(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
    QAction* button(const char* image) {
        return window_->findChild<QAction*>(QStringLiteral("tb") + QLatin1String(image));
    }
    // A window of its own for each test, shown and active, so that focus and shortcuts work.
    void openWindow() {
        window_ = std::make_unique<MainWindow>(state_, settings_, *store_, dialogs_);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void focus(QWidget* widget) {
        widget->setFocus();
        QCOMPARE(window_->focusWidget(), widget);
    }

private slots:
    void init() {
        state_ = AppState{};
        state_.keyCode = 9;
        state_.pattern = 3;
        state_.userNames = {u"", u"alice", u"bob"};
        state_.currentUser = u"bob";
        settings_ = ProgramSettings{};
        store_ = testing_support::freshStore(
            folder_
                .filePath(QStringLiteral("%1.db").arg(QLatin1String(QTest::currentTestFunction())))
                .toStdString());
        openWindow();
    }
    void cleanup() {
        window_.reset();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void buildsTheMenusAndTheBandBar() {
        const std::pair<const char*, const char*> captions[] = {
            {"mnuFileNew", "新規作成(&N)"},      {"mnuFileOpen", "開く(&O)"},
            {"mnuFileSave", "保存(&S)"},         {"mnuFileSaveAs", "名前を付けて保存(&A)"},
            {"mnuFileExit", "終了(&X)"},         {"mnuEditCopy", "ｺﾋﾟｰ(&C)"},
            {"mnuEditCut", "切り取り(&X)"},      {"mnuEditPaste", "貼り付け(&V)"},
            {"mnuEditSelect", "すべて選択"},     {"mnuEditCoding", "暗号化"},
            {"mnuEditDecoding", "解読"},         {"mnuViewToolBar", "ﾂｰﾙﾊﾞｰ"},
            {"mnuViewStatusBar", "ｽﾃｰﾀｽﾊﾞｰ"},    {"mnuViewOptions", "ｵﾌﾟｼｮﾝ(&O)"},
            {"mnuHelpContents", "Voxiloのﾍﾙﾌﾟ"}, {"mnuHelpTopic", "ﾄﾋﾟｯｸの検索"},
            {"mnuHelpAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)"},
        };
        for (const auto& [name, caption] : captions) {
            QVERIFY2(item(name), name);
            QCOMPARE(item(name)->text(), QString::fromUtf8(caption));
        }
        QCOMPARE(item("mnuEditCoding")->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
        QCOMPARE(item("mnuEditDecoding")->shortcut(), QKeySequence(QStringLiteral("Ctrl+U")));
        QCOMPARE(item("mnuHelpContents")->shortcut(), QKeySequence(QStringLiteral("F1")));
        QStringList menus;
        for (QAction* menu : window_->menuBar()->actions()) menus << menu->text();
        QCOMPARE(menus, QStringList({QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("編集(&E)"),
                                     QStringLiteral("表示(&V)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));

        // Nine keyed buttons in four groups; tool tip and key are the same text.
        auto* toolbar = window_->findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        QStringList layout;
        for (QAction* action : toolbar->actions()) {
            layout << (action->isSeparator() ? QStringLiteral("|") : action->data().toString());
            if (!action->isSeparator()) {
                QCOMPARE(action->toolTip(), action->data().toString());
                QVERIFY(!action->icon().isNull());
            }
        }
        QCOMPARE(layout.join(QLatin1Char(' ')),
                 QStringLiteral(
                     "新規作成 開く 上書き保存 | ｺﾋﾟｰ 切り取り 貼り付け | ｵﾌﾟｼｮﾝ | 暗号化 解読"));
        auto* users = window_->findChild<QComboBox*>(QStringLiteral("cboUser"));
        QCOMPARE(users->toolTip(), QStringLiteral("現在のﾛｸﾞｲﾝﾕｰｻﾞｰ"));
        QCOMPARE(users->currentText(), QStringLiteral("bob"));
        QCOMPARE(window_->statusBar()->objectName(), QStringLiteral("StatusBar1"));
    }

    void commandStates_data() {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("top");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<bool>("topModified");
        QTest::addColumn<bool>("bottomModified");
        QTest::addColumn<bool>("topHasFile");
        // Expected: Save, Save As, Copy/Cut, Paste, Encode/Decode.
        QTest::addColumn<QString>("enabled");

        QTest::newRow("empty, in the upper pane")
            << "txtTop"
            << "" << false << "" << false << false << false << "-----";
        QTest::newRow("text, in the upper pane")
            << "txtTop"
            << "abc" << false << "" << false << false << false << "----E";
        QTest::newRow("text, in the lower pane")
            << "txtBottom"
            << "abc" << false << "" << false << false << false << "----E";
        QTest::newRow("text, in the user list")
            << "cboUser"
            << "abc" << false << "x" << false << false << false << "-----";
        QTest::newRow("a selection") << "txtTop"
                                     << "abc" << true << "" << false << false << false << "--C-E";
        QTest::newRow("a selection, in the user list")
            << "cboUser"
            << "abc" << true << "" << false << false << false << "-----";
        QTest::newRow("text on the clipboard")
            << "txtBottom"
            << "" << false << "x" << false << false << false << "---P-";
        QTest::newRow("upper pane changed")
            << "txtTop"
            << "" << false << "" << true << false << false << "SA---";
        QTest::newRow("lower pane changed")
            << "txtTop"
            << "" << false << "" << false << true << false << "SA---";
        QTest::newRow("tied to a file") << "txtTop"
                                        << "" << false << "" << false << false << true << "-A---";
    }
    void commandStates() {
        QFETCH(QString, focused);
        QFETCH(QString, top);
        QFETCH(bool, select);
        QFETCH(QString, clipboard);
        QFETCH(bool, topModified);
        QFETCH(bool, bottomModified);
        QFETCH(bool, topHasFile);
        QFETCH(QString, enabled);

        QGuiApplication::clipboard()->setText(clipboard);
        window_->topPane()->setPlainText(top);
        if (select) window_->topPane()->selectAll();
        focus(window_->findChild<QWidget*>(focused));
        state_.topModified = topModified;
        state_.bottomModified = bottomModified;
        state_.topHasFile = topHasFile;
        window_->updateCommands();

        const std::tuple<const char*, const char*, bool> expected[] = {
            {"mnuFileNew", "New", true},
            {"mnuFileOpen", "Open", true},
            {"mnuFileSave", "Save", enabled[0] == QLatin1Char('S')},
            {"mnuFileSaveAs", nullptr, enabled[1] == QLatin1Char('A')},
            {"mnuEditCopy", "Copy", enabled[2] == QLatin1Char('C')},
            {"mnuEditCut", "Cut", enabled[2] == QLatin1Char('C')},
            {"mnuEditPaste", "Paste", enabled[3] == QLatin1Char('P')},
            {"mnuEditCoding", "Coding", enabled[4] == QLatin1Char('E')},
            {"mnuEditDecoding", "Decoding", enabled[4] == QLatin1Char('E')},
            {"mnuEditSelect", nullptr, true},
            {"mnuViewToolBar", nullptr, true},
            {"mnuViewStatusBar", nullptr, true},
            {"mnuViewOptions", "Properties", true},
            {"mnuHelpAbout", nullptr, true},
        };
        for (const auto& [name, image, on] : expected) {
            QVERIFY2(item(name)->isEnabled() == on, name);
            if (image) QVERIFY2(button(image)->isEnabled() == on, image);
        }

        // Opening a menu from the keyboard (Alt) gives the menu bar the focus; the commands
        // still follow the control that had it.
        window_->menuBar()->setFocus();
        window_->updateCommands();
        QVERIFY(item("mnuEditCoding")->isEnabled() == (enabled[4] == QLatin1Char('E')));
    }

    // A pane's text read back as a document, eight units at a time where no break is: against
    // the rule unit by unit, with every break a pane holds at every position of texts up to a
    // few blocks long, and a long text.
    void paneTextReadsEveryBreakAtEveryPosition() {
        const auto byRule = [](const QString& raw) {
            std::u16string text;
            for (QChar c : raw) {
                if (c == QChar::ParagraphSeparator || c == QChar(u'\n')) {
                    text.append(u"\r\n");
                } else if (c == QChar::LineSeparator) {
                    text.push_back(u'\n');
                } else {
                    text.push_back(c.unicode());
                }
            }
            return text;
        };
        const QChar breaks[] = {QChar(u'\n'), QChar::LineSeparator, QChar::ParagraphSeparator};
        for (int len = 0; len <= 40; ++len) {
            for (int at = 0; at < len; ++at) {
                for (QChar brk : breaks) {
                    QString raw(len, QChar(u'7'));
                    raw[at] = brk;
                    if (at + 9 < len) raw[at + 9] = QChar(u'\r');  // a CR is no break here
                    QCOMPARE(fromPaneText(raw), byRule(raw));
                }
            }
        }
        QString longRaw;
        for (int i = 0; i < 5000; ++i) {
            longRaw += QStringLiteral("063006200610あ") + breaks[i % 3];
        }
        QCOMPARE(fromPaneText(longRaw), byRule(longRaw));
    }

    void caption_data() {
        QTest::addColumn<bool>("topHasFile");
        QTest::addColumn<QString>("topPath");
        QTest::addColumn<QString>("bottomPath");
        QTest::addColumn<QString>("caption");
        QTest::newRow("untitled") << false << ""
                                  << ""
                                  << "Voxilo [無題] - [無題]";
        QTest::newRow("saved but not opened") << false << "C:\\a.txt"
                                              << "C:\\b.txt"
                                              << "Voxilo [無題] - [無題]";
        QTest::newRow("opened") << true << "C:\\a.txt"
                                << ""
                                << "Voxilo [C:\\a.txt] - [無題]";
        QTest::newRow("both named") << true << "C:\\a.txt"
                                    << "C:\\b.txt"
                                    << "Voxilo [C:\\a.txt] - [C:\\b.txt]";
    }
    void caption() {
        QFETCH(bool, topHasFile);
        QFETCH(QString, topPath);
        QFETCH(QString, bottomPath);
        QFETCH(QString, caption);
        state_.topHasFile = topHasFile;
        state_.topPath = topPath.toStdU16String();
        state_.bottomPath = bottomPath.toStdU16String();
        window_->updateTitle();
        QCOMPARE(window_->windowTitle(), caption);
    }

    void keepsItsLayoutWithinLimits() {
        PaneSplitter* splitter = window_->splitter();
        QPlainTextEdit* top = window_->topPane();
        QPlainTextEdit* bottom = window_->bottomPane();

        window_->resize(10, 10);  // no smaller than 4000 × 3000 twips
        QCOMPARE(window_->size(), QSize(window_->twips(4000), window_->twips(3000)));
        QCOMPARE(window_->minimumSize(), QSize(window_->twips(4000), window_->twips(3000)));

        window_->resize(window_->twips(9000), window_->twips(9000));
        QTRY_COMPARE(window_->height(), window_->twips(9000));
        const int lower = bottom->height();
        window_->resize(window_->twips(9000), window_->twips(7000));
        QTRY_COMPARE(window_->height(), window_->twips(7000));
        QCOMPARE(bottom->height(), lower);  // the upper pane takes the change
        QVERIFY(top->height() >= window_->twips(750));

        // Drags that would leave the upper pane under 750 or the lower under 800 are refused.
        const QList<int> before = splitter->sizes();
        QVERIFY(!splitter->dragBy(window_->twips(750) - before[0] - 1));
        QVERIFY(!splitter->dragBy(before[1] - window_->twips(800) + 1));
        QCOMPARE(splitter->sizes(), before);
        QVERIFY(splitter->dragBy(before[1] - window_->twips(800)));
        QCOMPARE(bottom->height(), window_->twips(800));
        QCOMPARE(splitter->handleWidth(), window_->twips(60));

        // Hiding the band bar moves the upper pane to the top and gives it the bar's height.
        const int topY = top->mapTo(window_.get(), QPoint()).y();
        const int upper = top->height();
        const int lowerNow = bottom->height();
        item("mnuViewToolBar")->trigger();
        QTRY_VERIFY(!window_->findChild<QToolBar*>(QStringLiteral("CoolBar1"))->isVisible());
        QTRY_VERIFY(top->mapTo(window_.get(), QPoint()).y() < topY);
        QCOMPARE(top->mapTo(window_.get(), QPoint()).y(), window_->menuBar()->height());
        QCOMPARE(top->height(), upper + (topY - window_->menuBar()->height()));
        QCOMPARE(bottom->height(), lowerNow);
        QVERIFY(!item("mnuViewToolBar")->isChecked());
    }

    void encodesAndDecodesFromMenuShortcutAndToolbar() {
        const std::u16string plain = u"吾輩は猫である。\r\n名前はまだ無い。\r\n\r\nline\nwith LF";
        const std::u16string cipher = encodeLines(plain, state_.keyCode, state_.pattern);
        setPaneText(*window_->topPane(), plain);
        focus(window_->topPane());
        state_.bottomModified = false;
        window_->updateCommands();

        const std::function<void()> ways[] = {
            [&] { item("mnuEditCoding")->trigger(); },
            [&] { QTest::keyClick(window_.get(), Qt::Key_L, Qt::ControlModifier); },
            [&] { window_->dispatchToolbar(QStringLiteral("暗号化")); },
            [&] { button("Coding")->trigger(); },
        };
        for (const auto& way : ways) {
            window_->bottomPane()->clear();
            state_.topModified = state_.bottomModified = false;
            dialogs_.expectBeep();
            way();
            QCOMPARE(paneText(*window_->bottomPane()), cipher);
            QVERIFY(state_.bottomModified);
            QVERIFY(item("mnuFileSave")->isEnabled());
            QVERIFY(button("Save")->isEnabled());
        }

        // Decoding the ciphertext gives the text back, whichever way it is asked for.
        setPaneText(*window_->topPane(), cipher);
        const std::function<void()> back[] = {
            [&] { item("mnuEditDecoding")->trigger(); },
            [&] { QTest::keyClick(window_.get(), Qt::Key_U, Qt::ControlModifier); },
            [&] { window_->dispatchToolbar(QStringLiteral("解読")); },
        };
        for (const auto& way : back) {
            window_->bottomPane()->clear();
            dialogs_.expectBeep();
            way();
            QCOMPARE(paneText(*window_->bottomPane()), plain);
        }

        // A key no button has runs nothing: no beep, the panes stay as they are.
        window_->bottomPane()->clear();
        state_.bottomModified = false;
        window_->dispatchToolbar(QStringLiteral("no such key"));
        QVERIFY(window_->bottomPane()->document()->isEmpty());
        QVERIFY(!state_.bottomModified);
    }

    // A decoding that fails names the line and changes nothing: the lower pane keeps its text
    // and its state, empty and unmodified, or holding an earlier result.
    void reportsTheLineThatCannotBeDecoded_data() {
        QTest::addColumn<QString>("before");
        QTest::newRow("empty") << QString();
        QTest::newRow("an earlier result") << QStringLiteral("earlier");
    }
    void reportsTheLineThatCannotBeDecoded() {
        QFETCH(QString, before);
        window_->bottomPane()->setPlainText(before);
        state_.bottomModified = false;
        const std::u16string good = encodeLines(u"first", state_.keyCode, state_.pattern);
        setPaneText(*window_->topPane(), good + u"\r\n" + good + u"\r\n0630062");
        focus(window_->topPane());
        dialogs_.expectMessage(
            QStringLiteral(
                "3行目を解読できません。\r\n文字数が奇数のため、暗号文として読めません。"),
            kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        item("mnuEditDecoding")->trigger();
        QCOMPARE(window_->bottomPane()->toPlainText(), before);
        QVERIFY(!state_.bottomModified);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // A source of nothing but blanks is not decoded at all: no beep, nothing changes.
        window_->topPane()->setPlainText(QStringLiteral("   "));
        item("mnuEditDecoding")->trigger();
        QCOMPARE(window_->bottomPane()->toPlainText(), before);
        QVERIFY(!state_.bottomModified);
    }

    // Decode reads the upper pane a paragraph at a time. Whatever empty lines and lone LFs the
    // text holds, the lower pane gets what deciphering the whole text gives, or the same line
    // is named and nothing changes.
    void decodingThePaneAgreesWithTheWholeText() {
        const auto cipher = [&](std::u16string_view plain) {
            return encodeLines(plain, state_.keyCode, state_.pattern);
        };
        const std::u16string good = cipher(u"first");
        const std::u16string sources[] = {
            cipher(u"a\r\n\r\nb c  \r\nあ\r\n"),
            u"\r\n\r\n" + cipher(u"x\r\ny") + u"\r\n",
            cipher(u"line\nwith LF\r\n\nand\n"),
            u"  \r\n" + good,
            u"\r\n\r\n" + good + u"\r\n\r\n0630062\r\n" + good,
            good + u"\r\n" + good.substr(0, good.size() - 2) + u"zz",
        };
        for (const std::u16string& source : sources) {
            setPaneText(*window_->topPane(), source);
            window_->bottomPane()->setPlainText(QStringLiteral("before"));
            state_.bottomModified = false;
            focus(window_->topPane());
            const DecodedText expected = decodeLines(source, state_.keyCode, state_.pattern);
            if (expected.error) {
                dialogs_.expectMessage(QString::fromStdU16String(
                                           undecodableLineText(expected.error->line) + u"\r\n" +
                                           std::u16string(cipherErrorText(expected.error->reason))),
                                       kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
            } else {
                dialogs_.expectBeep();
            }
            item("mnuEditDecoding")->trigger();
            QCOMPARE(paneText(*window_->topPane()), source);
            QCOMPARE(paneText(*window_->bottomPane()),
                     expected.error ? std::u16string(u"before") : expected.text);
            QCOMPARE(state_.bottomModified, !expected.error);
        }
    }

    // What a person meets first: typing goes into the upper pane, with Encode ready, and Tab
    // goes round the three controls without typing a tab.
    void theFocusStartsInTheUpperPane() {
        QCOMPARE(window_->focusWidget(), static_cast<QWidget*>(window_->topPane()));
        QTest::keyClicks(window_->focusWidget(), QStringLiteral("abc"));
        QCOMPARE(window_->topPane()->toPlainText(), QStringLiteral("abc"));
        QVERIFY(item("mnuEditCoding")->isEnabled());

        auto* users = window_->findChild<QComboBox*>(QStringLiteral("cboUser"));
        const QWidget* expected[] = {window_->bottomPane(), users, window_->topPane()};
        for (const QWidget* next : expected) {
            QTest::keyClick(window_->focusWidget(), Qt::Key_Tab);
            QCOMPARE(window_->focusWidget(), next);
        }
        QCOMPARE(window_->topPane()->toPlainText(), QStringLiteral("abc"));
        QVERIFY(window_->bottomPane()->document()->isEmpty());
    }

    // The indicator follows the lock, read from the platform: at start, after a key, and by
    // itself while the window is active when the lock changes elsewhere.
    void theCapsIndicatorFollowsTheLock() {
        bool locked = true;
        window_ = std::make_unique<MainWindow>(state_, settings_, *store_, dialogs_);
        window_->capsLockState = [&]() -> std::optional<bool> { return locked; };
        window_->show();
        auto* indicator = window_->findChild<QLabel*>(QStringLiteral("capsLock"));
        QVERIFY(indicator->isEnabled());  // on at start, before any key
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));

        locked = false;  // switched off with the Caps Lock key itself
        QTest::keyClick(window_->topPane(), Qt::Key_CapsLock);
        QVERIFY(!indicator->isEnabled());
        locked = true;  // switched on in another window
        QTRY_VERIFY(indicator->isEnabled());
    }

    void theCurrentUsersItemStaysChecked() {
        QAction* bob = item("mnuFileUserName1");
        QVERIFY(bob->isChecked());
        bob->trigger();  // the current user: nothing to switch
        QVERIFY(bob->isChecked());
        QVERIFY(!item("mnuFileUserName0")->isChecked());
    }

    void barsShowOnlyWhenStoredAsOne_data() {
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << 0;
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
    }
    void barsShowOnlyWhenStoredAsOne() {
        QFETCH(int, stored);
        settings_.showToolbar = settings_.showStatusbar = static_cast<std::int16_t>(stored);
        openWindow();
        const bool shown = stored == 1;
        QCOMPARE(window_->findChild<QToolBar*>(QStringLiteral("CoolBar1"))->isVisible(), shown);
        QCOMPARE(window_->statusBar()->isVisible(), shown);
        QCOMPARE(item("mnuViewToolBar")->isChecked(), shown);
        QCOMPARE(item("mnuViewStatusBar")->isChecked(), shown);
    }

    void theLowerPaneShowsItsScrollBarWhenFilled() {
        QString many;
        for (int i = 0; i < 200; ++i) many += QStringLiteral("line %1\n").arg(i);
        window_->topPane()->setPlainText(many);
        focus(window_->topPane());
        dialogs_.expectBeep();
        item("mnuEditCoding")->trigger();
        QScrollBar* bar = window_->bottomPane()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QVERIFY(bar->isVisible());
    }

    void panesKeepLineBreaksAndWrapAnywhere() {
        const std::u16string text = u"a\r\nb\nc\rd\r\n";
        setPaneText(*window_->topPane(), text);
        QCOMPARE(paneText(*window_->topPane()), std::u16string(u"a\r\nb\nc\r\nd\r\n"));
        QCOMPARE(window_->topPane()->blockCount(), 4);
        for (QPlainTextEdit* pane : {window_->topPane(), window_->bottomPane()}) {
            QCOMPARE(pane->wordWrapMode(), QTextOption::WrapAnywhere);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
