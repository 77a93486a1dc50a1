// What a screen reader finds in each window: every input and every button named in Japanese by
// its visible label, caption or tool tip, with the role it really has.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitterHandle>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "gui/login/LoginDialog.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneSplitter.h"
#include "gui/options/OptionsDialog.h"
#include "gui/options/PasswordPrompt.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

using Role = QAccessible::Role;

struct Spoken {
    const char* object;
    const char* name;
    Role role;
};

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString describe(QWidget* widget) {
    QAccessibleInterface* face = accessible(widget);
    return QStringLiteral("%1 (%2): \"%3\"")
        .arg(widget->objectName(), QLatin1String(widget->metaObject()->className()),
             face ? face->text(QAccessible::Name) : QStringLiteral("no interface"));
}

}  // namespace

class AccessibleNamesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<ValueStore> store_;
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;

    // Each control by its object name: the name spoken and the role.
    void check(QWidget& window, std::initializer_list<Spoken> table) {
        for (const Spoken& row : table) {
            auto* widget = window.findChild<QWidget*>(QLatin1String(row.object));
            QVERIFY2(widget, row.object);
            QAccessibleInterface* face = accessible(widget);
            QVERIFY2(face, row.object);
            QCOMPARE(face->text(QAccessible::Name), QString::fromUtf8(row.name));
            QCOMPARE(face->role(), row.role);
        }
    }
    // Nothing the keyboard reaches is left without a name.
    void everyFocusStopIsNamed(QWidget& window) {
        QStringList unnamed;
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (widget->focusPolicy() == Qt::NoFocus || widget->focusProxy() != nullptr ||
                widget->window() != &window) {  // a combo box's list is a window of its own
                continue;
            }
            if (qobject_cast<QPlainTextEdit*>(widget->parentWidget())) continue;  // its viewport
            QAccessibleInterface* face = accessible(widget);
            if (face == nullptr || face->text(QAccessible::Name).trimmed().isEmpty()) {
                unnamed << describe(widget);
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char('\n'))));
    }

private slots:
    void initTestCase() {
        store_ =
            testing_support::freshStore(folder_.filePath(QStringLiteral("store.db")).toStdString());
        OptionsValues options;
        options.startup = 1;
        options.keyCodeText = u"1";
        options.patternIndex = 0;
        QVERIFY(testing_support::logInAlice(*store_, options, state_, settings_));
    }
    void cleanup() {
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void theMainWindow() {
        MainWindow window(state_, settings_, *store_, dialogs_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        check(window, {
                          {"txtTop", "変換元文書", Role::EditableText},
                          {"txtBottom", "変換後文書", Role::EditableText},
                          {"cboUser", "現在のﾛｸﾞｲﾝﾕｰｻﾞｰ", Role::ComboBox},
                          {"CoolBar1", "ﾂｰﾙﾊﾞｰ", Role::ToolBar},
                          {"Toolbar1", "ｺﾏﾝﾄﾞ", Role::ToolBar},
                      });
        // Each toolbar button by its key.
        auto* toolbar = window.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
        int buttons = 0;
        for (QAction* command : toolbar->actions()) {
            if (command->isSeparator()) continue;
            ++buttons;
            QAccessibleInterface* face = accessible(toolbar->widgetForAction(command));
            QCOMPARE(face->text(QAccessible::Name), command->data().toString());
            QCOMPARE(face->role(), Role::Button);
        }
        QCOMPARE(buttons, 9);

        // The documents in the order they are shown, with the bar between them a separator.
        QAccessibleInterface* split = accessible(window.splitter());
        QStringList order;
        for (int i = 0; i < split->childCount(); ++i) {
            QAccessibleInterface* child = split->child(i);
            if (child->role() == Role::EditableText) order << child->text(QAccessible::Name);
        }
        QCOMPARE(order, (QStringList{QStringLiteral("変換元文書"), QStringLiteral("変換後文書")}));
        QSplitterHandle* bar = window.splitter()->handle(1);
        QCOMPARE(accessible(bar)->role(), Role::Separator);
        QCOMPARE(accessible(bar)->text(QAccessible::Name), QStringLiteral("分割バー"));

        everyFocusStopIsNamed(window);
    }

    // The labels are tied to their boxes, so that a screen reader also reads them together.
    void theLoginDialog() {
        LoginDialog login(state_, settings_, *store_, dialogs_);
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        check(login, {
                         {"txtUserName", "ﾕｰｻﾞｰ名", Role::EditableText},
                         {"txtPassword", "ﾊﾟｽﾜｰﾄﾞ", Role::EditableText},
                         {"cmdOK", "OK", Role::Button},
                         {"cmdCancel", "ｷｬﾝｾﾙ", Role::Button},
                     });
        QVERIFY(accessible(login.passwordBox())->state().passwordEdit);
        for (const auto& [box, label] :
             {std::pair{"txtUserName", "lblUserName"}, std::pair{"txtPassword", "lblpassword"}}) {
            QWidget* input = login.findChild<QWidget*>(QLatin1String(box));
            const auto labels = accessible(input)->relations(QAccessible::Label);
            QCOMPARE(labels.size(), 1);
            QCOMPARE(labels.first().first->object(),
                     login.findChild<QLabel*>(QLatin1String(label)));
        }
        everyFocusStopIsNamed(login);
    }

    void thePasswordPrompt() {
        PasswordPrompt prompt(state_, dialogs_);
        prompt.show();
        QVERIFY(QTest::qWaitForWindowExposed(&prompt));
        check(prompt, {{"txtPassword", "パスワード", Role::EditableText}});
        QVERIFY(accessible(prompt.passwordBox())->state().passwordEdit);
        everyFocusStopIsNamed(prompt);
    }

    void theOptionsDialog() {
        OptionsDialog dialog(state_, settings_, *store_, dialogs_, QFont());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        check(dialog, {
                          {"chkStartup", "起動時にパスワードを入力", Role::CheckBox},
                          {"chkRetry", "パスワードの再入力回数を設定", Role::CheckBox},
                          {"txtCount", "パスワードの再入力回数", Role::EditableText},
                          {"chkToolbar", "ツールバー", Role::CheckBox},
                          {"chkStatusbar", "ステータスバー", Role::CheckBox},
                          {"cmdFont", "フォント", Role::Button},
                          {"cboUser", "ユーザー名", Role::ComboBox},
                          {"cmdDelete", "ﾕｰｻﾞｰ名の削除", Role::Button},
                          {"txtPassword", "パスワード", Role::EditableText},
                          {"txtCheck", "確認用パスワード", Role::EditableText},
                          {"txtNew", "新しいパスワード", Role::EditableText},
                          {"txtNow", "現在のパスワード", Role::EditableText},
                          {"cboKey", "暗号化キー", Role::ComboBox},
                          {"optPattern0", "パターン1", Role::RadioButton},
                          {"optPattern3", "パターン4", Role::RadioButton},
                          {"cmdOK", "OK", Role::Button},
                          {"cmdCancel", "ｷｬﾝｾﾙ", Role::Button},
                      });
        everyFocusStopIsNamed(dialog);
    }
};

QTEST_MAIN(AccessibleNamesTest)
#include "AccessibleNamesTest.moc"
