// frmDelete, worked as a user would while it is shown.

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "gui/main/ProgramLook.h"
#include "gui/options/PasswordPrompt.h"
#include "support/ScriptedDialogs.h"

using namespace voxilo;

class PasswordPromptTest : public QObject {
    Q_OBJECT

private:
    AppState state_;
    testing_support::ScriptedDialogs dialogs_;

    // Shows the prompt in `caption` mode for bob/Secret1 and lets `act` work it.
    bool run(const QString& caption, std::function<void(PasswordPrompt&)> act) {
        dialogs_.expectBeep();
        dialogs_.expectExec(QStringLiteral("frmDelete"), [&](QDialog& dialog) {
            auto& prompt = static_cast<PasswordPrompt&>(dialog);
            prompt.show();
            [&] { QVERIFY(QTest::qWaitForWindowExposed(&prompt)); }();
            prompt.passwordBox()->setFocus();
            act(prompt);
            return prompt.result();
        });
        return PasswordPrompt::confirm(state_, dialogs_, nullptr, caption, u"bob", u"Secret1");
    }

private slots:
    void initTestCase() { applyProgramLook(*qApp); }
    void cleanup() {
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void okOnlyWhileTheBoxHoldsText() {
        const bool accepted = run(PasswordPrompt::kLogIn, [&](PasswordPrompt& prompt) {
            QCOMPARE(prompt.windowTitle(), PasswordPrompt::kLogIn);
            QVERIFY(!prompt.okButton()->isEnabled());
            QTest::keyClicks(prompt.passwordBox(), QStringLiteral("S"));
            QVERIFY(prompt.okButton()->isEnabled());
            QTest::keyClicks(prompt.passwordBox(), QStringLiteral("ec"));
            QCOMPARE(prompt.passwordBox()->displayText(), QStringLiteral("***"));
            for (int i = 0; i < 3; ++i) QTest::keyClick(prompt.passwordBox(), Qt::Key_Backspace);
            QVERIFY(!prompt.okButton()->isEnabled());
            // A fixed border: the prompt cannot be resized.
            QCOMPARE(prompt.minimumSize(), prompt.maximumSize());
            QTest::mouseClick(prompt.cancelButton(), Qt::LeftButton);
        });
        QVERIFY(!accepted);
        QCOMPARE(state_.promptUser, std::u16string(u"bob"));
    }

    // Qt's own texts (message box buttons, context menus) are Japanese too.
    void qtSpeaksJapanese() {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("はい(&Y)"));
        QLineEdit box;
        QMenu* menu = box.createStandardContextMenu();
        QStringList captions;
        for (QAction* entry : menu->actions()) captions << entry->text();
        delete menu;
        QVERIFY2(captions.join(QLatin1Char(' ')).contains(QStringLiteral("貼り付け")),
                 qPrintable(captions.join(QLatin1Char(' '))));
    }

    void aWrongPasswordKeepsAsking_data() {
        QTest::addColumn<QString>("caption");
        QTest::newRow("log in") << PasswordPrompt::kLogIn;
        QTest::newRow("show the cipher settings") << PasswordPrompt::kShowCipher;
    }
    void aWrongPasswordKeepsAsking() {
        QFETCH(QString, caption);
        const bool accepted = run(caption, [&](PasswordPrompt& prompt) {
            // The letter case differs; the start of the password; the password and more.
            for (const QString& wrong : {QStringLiteral("secret1"), QStringLiteral("Secret"),
                                         QStringLiteral("S"), QStringLiteral("Secret12")}) {
                dialogs_.expectMessage(QStringLiteral("パスワードが違います。"),
                                       QStringLiteral("Voxilo"), Dialogs::Buttons::Ok,
                                       MessageIcon::Exclamation);
                QTest::keyClicks(prompt.passwordBox(), wrong);  // replaces the selected text
                QTest::keyClick(prompt.passwordBox(), Qt::Key_Return);
                QVERIFY2(prompt.isVisible(), qPrintable(wrong));
                QCOMPARE(prompt.passwordBox()->selectedText(), wrong);
                QVERIFY(!state_.promptAccepted);
            }
            QTest::keyClicks(prompt.passwordBox(), QStringLiteral("Secret1"));  // replaces it
            QTest::keyClick(prompt.passwordBox(), Qt::Key_Return);  // no question: accepted
            QVERIFY(!prompt.isVisible());
        });
        QVERIFY(accepted);
    }

    void deletingAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void deletingAsksFirst() {
        QFETCH(bool, yes);
        const bool accepted = run(PasswordPrompt::kDeleteUser, [&](PasswordPrompt& prompt) {
            dialogs_.expectMessage(QStringLiteral("ユーザー : bob を削除してよろしいですか。"),
                                   QStringLiteral("Voxilo"), Dialogs::Buttons::YesNo,
                                   MessageIcon::Question,
                                   yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
            QTest::keyClicks(prompt.passwordBox(), QStringLiteral("Secret1"));
            QTest::mouseClick(prompt.okButton(), Qt::LeftButton);
            QVERIFY(!prompt.isVisible());  // closed after a No too
        });
        QCOMPARE(accepted, yes);
    }

    void theCloseBoxLeavesItRefused() {
        const bool accepted = run(PasswordPrompt::kLogIn, [&](PasswordPrompt& prompt) {
            QTest::keyClicks(prompt.passwordBox(), QStringLiteral("Secret1"));
            prompt.close();
        });
        QVERIFY(!accepted);
    }

    void onlyLettersAndDigitsGetIn() {
        run(PasswordPrompt::kLogIn, [&](PasswordPrompt& prompt) {
            QLineEdit* box = prompt.passwordBox();
            QTest::keyClicks(box, QStringLiteral("aZ9"));
            QTest::keyClick(box, Qt::Key_5, Qt::KeypadModifier);
            QTest::keyClick(box, Qt::Key_Left);
            QTest::keyClick(box, Qt::Key_Home);
            QTest::keyClick(box, Qt::Key_End);
            // Refused, each with a beep: other characters and keys, and Ctrl or Alt chords.
            const std::pair<Qt::Key, Qt::KeyboardModifiers> refused[] = {
                {Qt::Key_Minus, Qt::NoModifier},  {Qt::Key_Space, Qt::NoModifier},
                {Qt::Key_Up, Qt::NoModifier},     {Qt::Key_Down, Qt::NoModifier},
                {Qt::Key_A, Qt::ControlModifier}, {Qt::Key_V, Qt::ControlModifier},
                {Qt::Key_B, Qt::AltModifier},
            };
            for (const auto& [key, modifiers] : refused) {
                dialogs_.expectBeep();
                QTest::keyClick(box, key, modifiers);
            }
            dialogs_.expectBeep();
            QKeyEvent kana(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("あ"));
            QApplication::sendEvent(box, &kana);
            QCOMPARE(box->text(), QStringLiteral("aZ95"));
            QTest::mouseClick(prompt.cancelButton(), Qt::LeftButton);
        });
    }
};

QTEST_MAIN(PasswordPromptTest)
#include "PasswordPromptTest.moc"
