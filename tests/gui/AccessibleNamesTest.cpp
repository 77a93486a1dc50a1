// What a screen reader finds in each window: every input and every button named in Japanese by
// its visible label, caption or tool tip, with the role it really has; the drop-down lists'
// values, the help viewer as a window with links to follow, and pictures named by meaning.

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitterHandle>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include <memory>

#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "gui/dialogs/QtDialogs.h"
#include "gui/help/AboutDialog.h"
#include "gui/help/HelpViewer.h"
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

// The whole text a text interface offers.
QString wholeText(QAccessibleInterface* face) {
    QAccessibleTextInterface* text = face ? face->textInterface() : nullptr;
    return text ? text->text(0, text->characterCount()) : QStringLiteral("(no text interface)");
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
        // The user list tells who is logged in, as its value and as its text.
        QAccessibleInterface* users =
            accessible(window.findChild<QComboBox*>(QStringLiteral("cboUser")));
        QCOMPARE(users->text(QAccessible::Value), QStringLiteral("alice"));
        QCOMPARE(wholeText(users), QStringLiteral("alice"));

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
                          {"fraChange", "パスワードの変更", Role::Grouping},
                          {"fraNew", "新しいパスワード", Role::Grouping},
                          {"fraNow", "現在のパスワード", Role::Grouping},
                          {"fraKey", "暗号化キー", Role::Grouping},
                          {"cboKey", "暗号化キー", Role::ComboBox},
                          {"optPattern0", "パターン1", Role::RadioButton},
                          {"optPattern3", "パターン4", Role::RadioButton},
                          {"cmdOK", "OK", Role::Button},
                          {"cmdCancel", "ｷｬﾝｾﾙ", Role::Button},
                      });
        everyFocusStopIsNamed(dialog);
    }

    // The key list says its value, and says it again when it changes; so does the user list.
    void theDropDownListsTellTheirValue() {
        OptionsDialog dialog(state_, settings_, *store_, dialogs_, QFont());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* key = dialog.findChild<QComboBox*>(QStringLiteral("cboKey"));
        QAccessibleInterface* face = accessible(key);
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("暗号化キー"));
        QCOMPARE(face->text(QAccessible::Value), QStringLiteral("1"));
        QCOMPARE(wholeText(face), QStringLiteral("1"));

        // Telling of the change needs a screen reader's bridge, which the offscreen platform has
        // not: the AT-SPI walk hears it.
        key->setCurrentIndex(7);
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("暗号化キー"));
        QCOMPARE(face->text(QAccessible::Value), QStringLiteral("8"));
        QCOMPARE(wholeText(face), QStringLiteral("8"));
    }

    // The font area speaks the font's name and size, not the sample, and follows a new choice.
    void theFontAreaSpeaksTheFont() {
        OptionsDialog dialog(state_, settings_, *store_, dialogs_,
                             QFont(QStringLiteral("IPAGothic"), 14));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QAccessibleInterface* sample =
            accessible(dialog.findChild<QLabel*>(QStringLiteral("lblFont")));
        QAccessibleInterface* button =
            accessible(dialog.findChild<QPushButton*>(QStringLiteral("cmdFont")));
        QCOMPARE(sample->text(QAccessible::Name), QStringLiteral("IPAGothic 14 ポイント"));
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("フォント"));
        QCOMPARE(button->text(QAccessible::Description), QStringLiteral("IPAGothic 14 ポイント"));

        QFont chosen(QStringLiteral("Noto Sans Mono CJK JP"), 20);
        chosen.setBold(true);
        dialogs_.expectFont(chosen);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cmdFont")),
                          Qt::LeftButton);
        QCOMPARE(sample->text(QAccessible::Name),
                 QStringLiteral("Noto Sans Mono CJK JP 20 ポイント 太字"));
        QCOMPARE(button->text(QAccessible::Description),
                 QStringLiteral("Noto Sans Mono CJK JP 20 ポイント 太字"));
    }

    // The user switch's prompt keeps its caption and tells for whom it asks aside.
    void thePromptSaysForWhom() {
        QString caption, whose, boxWhose;
        dialogs_.expectBeep();
        dialogs_.expectExec(QStringLiteral("frmDelete"), [&](QDialog& dialog) {
            auto& prompt = static_cast<PasswordPrompt&>(dialog);
            caption = prompt.windowTitle();
            whose = accessible(&prompt)->text(QAccessible::Description);
            boxWhose = accessible(prompt.passwordBox())->text(QAccessible::Description);
            return int(QDialog::Rejected);
        });
        QVERIFY(!PasswordPrompt::confirm(state_, dialogs_, nullptr, PasswordPrompt::kLogIn, u"bob",
                                         u"pw"));
        QCOMPARE(caption, QStringLiteral("ログイン"));
        QCOMPARE(whose, QStringLiteral("ユーザー : bob"));
        QCOMPARE(boxWhose, QStringLiteral("ユーザー : bob"));
    }

    // The help viewer is a window; its lists and its topic page are named, and the topic's
    // links are children of the page, followed by their action as by Tab and Enter.
    void theHelpViewer() {
        QWidget owner;
        HelpViewer viewer(&owner);
        viewer.load(QStringLiteral(VOXILO_HELP_SOURCE));
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        viewer.showContents();
        QCOMPARE(accessible(&viewer)->role(), Role::Window);
        QCOMPARE(accessible(&viewer)->text(QAccessible::Name), QStringLiteral("Voxilo ヘルプ"));
        check(viewer, {
                          {"lstContents", "目次", Role::List},
                          {"lstKeywords", "キーワード", Role::List},
                          {"txtTopic", "トピック", Role::Document},
                          {"txtKeyword", "探したい語", Role::EditableText},
                      });
        QTextBrowser* page = viewer.page();
        QAccessibleInterface* topic = accessible(page);
        QVERIFY(wholeText(topic).startsWith(QStringLiteral("Voxiloのヘルプ")));
        QVERIFY(topic->state().readOnly);

        // The links, by their text, each a link with a press action.
        QStringList links;
        for (int i = 0; i < topic->childCount(); ++i) {
            QAccessibleInterface* link = topic->child(i);
            QCOMPARE(link->role(), Role::Link);
            QCOMPARE(link->parent(), topic);
            QCOMPARE(topic->indexOfChild(link), i);
            QVERIFY(link->actionInterface());
            QCOMPARE(link->actionInterface()->actionNames(),
                     QStringList{QAccessibleActionInterface::pressAction()});
            links << link->text(QAccessible::Name);
        }
        QVERIFY2(links.size() >= 10, qPrintable(links.join(',')));
        QCOMPARE(links.first(), QStringLiteral("Voxilo でできること"));
        QCOMPARE(topic->child(0)->hyperlinkInterface()->anchorTarget(),
                 QStringLiteral("#overview"));

        // Followed through the interface.
        topic->child(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(viewer.currentTopic(), QStringLiteral("start"));
        QVERIFY(wholeText(topic).startsWith(QStringLiteral("起動とログイン")));

        // And by the keyboard: Tab reaches a link, the screen reader is there, Enter follows.
        viewer.showContents();
        viewer.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        page->setFocus();
        QTest::keyClick(page, Qt::Key_Tab);
        QTest::keyClick(page, Qt::Key_Tab);
        QAccessibleInterface* reached = topic->focusChild();
        QVERIFY(reached);
        QCOMPARE(reached->text(QAccessible::Name), links.at(1));
        QVERIFY(reached->state().focused);
        QTest::keyClick(page, Qt::Key_Return);
        QCOMPARE(viewer.currentTopic(), QStringLiteral("start"));
        everyFocusStopIsNamed(viewer);
    }

    // Message boxes' pictures speak their meaning; the about box's picture is named.
    void thePictures() {
        const std::pair<MessageIcon, const char*> icons[] = {
            {MessageIcon::Critical, "エラー"},
            {MessageIcon::Exclamation, "警告"},
            {MessageIcon::Information, "情報"},
            {MessageIcon::Question, "質問"},
        };
        QtDialogs real;
        for (const auto& [icon, meaning] : icons) {
            QString spoken = QStringLiteral("not shown");
            QTimer::singleShot(0, qApp, [&] {
                QWidget* box = nullptr;
                QTRY_VERIFY((box = QApplication::activeModalWidget()) != nullptr);
                auto* picture = box->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"));
                spoken = picture ? accessible(picture)->text(QAccessible::Name) : QString();
                QTest::keyClick(box, Qt::Key_Escape);
            });
            real.message(nullptr, QStringLiteral("本文"), QStringLiteral("Voxilo"),
                         Dialogs::Buttons::Ok, icon);
            QCOMPARE(spoken, QString::fromUtf8(meaning));
        }

        AboutDialog about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        check(about, {{"picIcon", "Voxiloのアイコン", Role::Graphic}});
    }
};

QTEST_MAIN(AccessibleNamesTest)
#include "AccessibleNamesTest.moc"
