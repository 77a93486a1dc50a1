// The input method's converter, as a platform input context talks to the focused widget: a
// composition shown (pre-edit), then committed or cancelled; and the commit that Qt's input
// contexts send on their own when the focus moves, of a composition that was cancelled or is
// still open.

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolBar>

#include <memory>

#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "gui/login/LoginDialog.h"
#include "gui/main/MainWindow.h"
#include "gui/main/ProgramLook.h"
#include "gui/options/AccountSettings.h"
#include "gui/options/OptionsDialog.h"
#include "gui/options/PasswordPrompt.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

QObject* focused() { return QGuiApplication::focusObject(); }

void compose(const QString& preedit) {
    QInputMethodEvent event(preedit, {});
    QCoreApplication::sendEvent(focused(), &event);
}
void commit(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(focused(), &event);
}
// Escape in the converter: the composition goes, and nothing is committed.
void cancel() {
    QInputMethodEvent event;
    QCoreApplication::sendEvent(focused(), &event);
}
bool converterOn() {
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focused(), &query);
    return query.value(Qt::ImEnabled).toBool();
}
QString textOf(QWidget* box) {
    if (auto* combo = qobject_cast<QComboBox*>(box)) return combo->currentText();
    return static_cast<QLineEdit*>(box)->text();
}
QString preeditShown(const QPlainTextEdit* pane) {
    return pane->textCursor().block().layout()->preeditAreaText();
}

// Down the open menu to `item`, as a user does with the arrow keys.
void arrowTo(QMenu* menu, QAction* item) {
    for (int i = 0; i < 10 && menu->activeAction() != item; ++i) {
        QTest::keyClick(menu, Qt::Key_Down);
    }
    QCOMPARE(menu->activeAction(), item);
}
QMenu* openMenu() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

}  // namespace

class InputMethodTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ValueStore> store_;
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;

    template <class Window>
    void showActive(Window& window) {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    // A box for names, passwords or the count: the converter stays off in it, whatever a
    // converter sends it is dropped, and typed keys still arrive.
    void takesTypedKeysOnly(QWidget* box, const QString& keys) {
        QVERIFY2(box->isEnabled(), qPrintable(box->objectName()));
        box->setFocus();
        QCOMPARE(focused(), box);
        QVERIFY2(!converterOn(), qPrintable(box->objectName()));
        QCoreApplication::processEvents();  // the box selects its text on entry; type after it
        auto* line = qobject_cast<QComboBox*>(box) ? static_cast<QComboBox*>(box)->lineEdit()
                                                   : static_cast<QLineEdit*>(box);
        line->end(false);
        const QString before = textOf(box);
        compose(QStringLiteral("あ"));
        commit(QStringLiteral("あ"));
        compose(QStringLiteral("い"));
        cancel();
        commit(QStringLiteral("い"));  // flushed back after the cancel
        QCOMPARE(textOf(box), before);
        QTest::keyClicks(box, keys);
        QCOMPARE(textOf(box), before + keys);
    }

private slots:
    void initTestCase() { applyProgramLook(*qApp); }
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        store_ = testing_support::freshStore(
            folder_->filePath(QStringLiteral("store.db")).toStdString());
        OptionsValues options;
        options.startup = 1;
        options.retryLimited = 1;
        options.retryCount = u"3";
        options.keyCodeText = u"3";
        options.patternIndex = 1;
        QVERIFY(testing_support::logInAlice(*store_, options, state_, settings_));
    }
    void cleanup() {
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void theLoginBoxesTakeTypedKeysOnly() {
        LoginDialog login(state_, settings_, *store_, dialogs_);
        showActive(login);
        takesTypedKeysOnly(login.userNameBox(), QStringLiteral("alice"));
        takesTypedKeysOnly(login.passwordBox(), QStringLiteral("Secret1"));
    }

    // What was seen with ibus: a name composed and cancelled, the focus moved on, and the
    // cancelled text flushed into the password box, so that the right password was refused.
    void aCancelledCompositionDoesNotSpoilTheLogin() {
        state_.currentUser.clear();
        LoginDialog login(state_, settings_, *store_, dialogs_);
        QSignalSpy loggedIn(&login, &LoginDialog::loggedIn);
        showActive(login);
        login.userNameBox()->setFocus();
        compose(QStringLiteral("あ"));
        cancel();
        QTest::keyClicks(login.userNameBox(), QStringLiteral("alice"));
        QTest::keyClick(login.userNameBox(), Qt::Key_Tab);
        QCOMPARE(focused(), login.passwordBox());
        commit(QStringLiteral("あ"));
        QTest::keyClicks(login.passwordBox(), QStringLiteral("Secret1"));
        QTest::keyClick(login.passwordBox(), Qt::Key_Return);
        QCOMPARE(loggedIn.count(), 1);
        QCOMPARE(state_.currentUser, std::u16string(u"alice"));
    }

    void thePromptTakesTypedKeysOnly() {
        PasswordPrompt prompt(state_, dialogs_);
        showActive(prompt);
        takesTypedKeysOnly(prompt.passwordBox(), QStringLiteral("Secret1"));
    }

    // Every box of the Options dialog that takes a name, a password or the count, each while
    // the dialog's own rules enable it.
    void theOptionsBoxesTakeTypedKeysOnly() {
        OptionsDialog dialog(state_, settings_, *store_, dialogs_, QFont());
        showActive(dialog);
        const auto box = [&](const char* name) {
            return dialog.findChild<QWidget*>(QLatin1String(name));
        };
        takesTypedKeysOnly(box("txtCount"), QStringLiteral("5"));
        dialog.findChild<QTabBar*>(QStringLiteral("tbsOptions"))->setCurrentIndex(1);
        // A new user: the name, its password and the confirmation.
        takesTypedKeysOnly(box("cboUser"), QStringLiteral("carol"));
        takesTypedKeysOnly(box("txtPassword"), QStringLiteral("pw1"));
        takesTypedKeysOnly(box("txtCheck"), QStringLiteral("pw1"));
        // A registered user's new password, then the current one.
        box("cboUser")->setFocus();
        QTest::keyClicks(box("cboUser"), QStringLiteral("alice"));
        QCOMPARE(textOf(box("cboUser")), QStringLiteral("alice"));
        takesTypedKeysOnly(box("txtNew"), QStringLiteral("new1"));
        takesTypedKeysOnly(box("txtNow"), QStringLiteral("Secret1"));
        QCOMPARE(dialog.accounts().passwordOf(u"carol"), std::u16string(u"pw1"));
    }

    // The panes take Japanese through the converter, and only what the user committed.
    void thePanesTakeOnlyCommittedText() {
        MainWindow window(state_, settings_, *store_, dialogs_);
        showActive(window);
        QPlainTextEdit* top = window.topPane();
        QPlainTextEdit* bottom = window.bottomPane();
        top->setFocus();
        QVERIFY(converterOn());
        compose(QStringLiteral("にほんご"));
        QCOMPARE(preeditShown(top), QStringLiteral("にほんご"));
        compose(QStringLiteral("日本語"));
        commit(QStringLiteral("日本語"));
        QCOMPARE(top->toPlainText(), QStringLiteral("日本語"));

        // Cancelled, then flushed back when the menu bar is clicked: it stays cancelled.
        compose(QStringLiteral("あ"));
        cancel();
        commit(QStringLiteral("あ"));
        QCOMPARE(top->toPlainText(), QStringLiteral("日本語"));
        // The same text composed again is the user's own.
        compose(QStringLiteral("あ"));
        commit(QStringLiteral("あ"));
        QCOMPARE(top->toPlainText(), QStringLiteral("日本語あ"));

        // Still open when the lower pane is clicked, as ibus with mozc does it: committed where
        // it was composed, then once more into the lower pane, where it lands not.
        compose(QStringLiteral("か"));
        commit(QStringLiteral("か"));
        bottom->setFocus();
        commit(QStringLiteral("か"));
        QCOMPARE(top->toPlainText(), QStringLiteral("日本語あか"));
        QCOMPARE(bottom->toPlainText(), QString());
        // Or with no commit of the input method's own before the focus moves: committed where
        // it was composed all the same, and its flush into the lower pane lands not.
        top->setFocus();
        compose(QStringLiteral("さ"));
        bottom->setFocus();
        commit(QStringLiteral("さ"));
        QCOMPARE(bottom->toPlainText(), QString());
        QCOMPARE(top->toPlainText(), QStringLiteral("日本語あかさ"));
        QCOMPARE(preeditShown(top), QString());
        // Typing goes on in the lower pane as usual.
        compose(QStringLiteral("き"));
        commit(QStringLiteral("き"));
        QCOMPARE(bottom->toPlainText(), QStringLiteral("き"));
        // The same text committed once more where it was just committed, with no composition
        // shown (a converter may commit so), is typed again: it lands.
        commit(QStringLiteral("き"));
        QCOMPARE(bottom->toPlainText(), QStringLiteral("きき"));
    }

    // Alt with a letter while a composition is open: the input method takes the letter, so the
    // menu bar sees Alt alone, pressed and released, and would take the keyboard with no menu
    // open. The composition is committed where the caret is, in the middle of the line, and the
    // keyboard stays in the pane: what is typed next lands there.
    void altWithALetterTheInputMethodTookLeavesTheKeyboardInThePane() {
        MainWindow window(state_, settings_, *store_, dialogs_);
        showActive(window);
        QPlainTextEdit* top = window.topPane();
        top->setFocus();
        QTest::keyClicks(top, QStringLiteral("abcdef"));
        QTextCursor caret = top->textCursor();
        caret.setPosition(3);
        top->setTextCursor(caret);
        compose(QStringLiteral("か"));
        QTest::keyPress(top, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(top, Qt::Key_Alt, Qt::NoModifier);
        QTRY_COMPARE(QApplication::focusWidget(), top);
        QCOMPARE(window.menuBar()->activeAction(), nullptr);
        QTest::keyClicks(top, QStringLiteral("x"));
        QCOMPARE(top->toPlainText(), QStringLiteral("abcかxdef"));

        // Alt alone with nothing composed still takes the menu bar into its keyboard mode.
        QTest::keyPress(top, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(top, Qt::Key_Alt, Qt::NoModifier);
        QTest::qWait(50);
        QCOMPARE(QApplication::focusWidget(), window.menuBar());
        QTest::keyClick(window.menuBar(), Qt::Key_Escape);
        QTRY_COMPARE(QApplication::focusWidget(), top);
    }

    // A dialog opened while a composition is open in a pane, by each way there is: from the
    // keyboard menu (Alt and the menu's letter, the arrow keys, Enter), into Options and into
    // the user switch's password prompt, and with the mouse from the toolbar. The input method
    // then flushes the composition into the dialog's focus. It is committed once, in the pane
    // where it was composed, before the focus leaves; nothing reaches the dialog. A composition
    // cancelled with Escape stays cancelled on the same way.
    void aDialogOpenedMidCompositionLeavesItInThePane_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("keyboard menu, Options") << QStringLiteral("options") << false;
        QTest::newRow("keyboard menu, user switch") << QStringLiteral("user") << false;
        QTest::newRow("toolbar button, Options") << QStringLiteral("toolbar") << false;
        QTest::newRow("keyboard menu, Options, cancelled") << QStringLiteral("options") << true;
        QTest::newRow("keyboard menu, user switch, cancelled") << QStringLiteral("user") << true;
    }
    void aDialogOpenedMidCompositionLeavesItInThePane() {
        QFETCH(QString, way);
        QFETCH(bool, cancelled);
        OptionsValues options;
        options.startup = 1;
        options.keyCodeText = u"3";
        options.patternIndex = 1;
        QVERIFY(!saveAllSettings(*store_, kSettingsKeyPath,
                                 {{u"alice", u"Secret1", false}, {u"bob", u"pw2", false}}, options,
                                 u"alice"));
        state_.userNames = *loadUserNames(*store_, kSettingsKeyPath);
        MainWindow window(state_, settings_, *store_, dialogs_);
        showActive(window);
        QPlainTextEdit* top = window.topPane();
        top->setFocus();
        compose(QStringLiteral("やま"));
        QCOMPARE(preeditShown(top), QStringLiteral("やま"));
        if (cancelled) cancel();

        QStringList reached;  // what the dialog's boxes got
        const auto flushIntoDialog = [&](QDialog& dialog) {
            dialog.show();
            dialog.activateWindow();
            // The focus is in the dialog once it is active; the input context lets go then.
            if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; })) {
                reached << QStringLiteral("dialog never active");
            }
            commit(QStringLiteral("やま"));
            for (const QLineEdit* box : dialog.findChildren<QLineEdit*>()) {
                if (box->text().contains(QStringLiteral("やま"))) reached << box->objectName();
            }
            return int(QDialog::Rejected);
        };
        if (way == QLatin1String("user")) {
            dialogs_.expectBeep();
            dialogs_.expectExec(QStringLiteral("frmDelete"), flushIntoDialog);
            QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
            QMenu* file = openMenu();
            QVERIFY(file);
            arrowTo(file, window.findChild<QMenu*>(QStringLiteral("mnuFileUser"))->menuAction());
            QTest::keyClick(file, Qt::Key_Right);
            QMenu* users = openMenu();
            QVERIFY(users && users != file);
            arrowTo(users, window.findChild<QAction*>(QStringLiteral("mnuFileUserName1")));
            QTest::keyClick(users, Qt::Key_Return);
        } else {
            dialogs_.expectExec(QStringLiteral("frmOptions"), flushIntoDialog);
            if (way == QLatin1String("toolbar")) {
                auto* toolbar = window.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
                QTest::mouseClick(toolbar->widgetForAction(
                                      window.findChild<QAction*>(QStringLiteral("tbProperties"))),
                                  Qt::LeftButton);
            } else {
                QTest::keyClick(&window, Qt::Key_V, Qt::AltModifier);
                QMenu* view = openMenu();
                QVERIFY(view);
                arrowTo(view, window.findChild<QAction*>(QStringLiteral("mnuViewOptions")));
                QTest::keyClick(view, Qt::Key_Return);
            }
        }
        QCOMPARE(dialogs_.pending(), std::size_t{0});
        QCOMPARE(reached, QStringList());
        QCOMPARE(top->toPlainText(), cancelled ? QString() : QStringLiteral("やま"));
        QCOMPARE(preeditShown(top), QString());
        QCOMPARE(window.bottomPane()->toPlainText(), QString());
        QCOMPARE(state_.currentUser, std::u16string(u"alice"));

        // Back in the pane, the input context flushes once more: it stays as it is.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        top->setFocus();
        commit(QStringLiteral("やま"));
        QCOMPARE(top->toPlainText(), cancelled ? QString() : QStringLiteral("やま"));
    }
};

QTEST_MAIN(InputMethodTest)
#include "InputMethodTest.moc"
