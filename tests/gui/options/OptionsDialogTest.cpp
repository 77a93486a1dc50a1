// frmOptions, worked as a user would while it is shown, over a store of its own.

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <memory>

#ifndef Q_OS_WIN
#include <sqlite3.h>
#endif

#include "core/store/UserRecords.h"
#include "gui/main/MainWindow.h"
#include "gui/options/AccountSettings.h"
#include "gui/options/FontChoice.h"
#include "gui/options/OptionsDialog.h"
#include "gui/options/PasswordPrompt.h"
#include "support/FaultInjectingStore.h"
#ifndef Q_OS_WIN
#include "support/FilesCannotGrow.h"
#endif
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

const QString kTitle = QStringLiteral("Voxilo");
const QString kWrongPassword = QStringLiteral("パスワードが違います。");
const QString kUnconfirmed = QStringLiteral("入力したパスワードの確認がされていません。");
const QString kClosing = QStringLiteral(
    "現在ログインしているユーザーの設定が変更されました。\r\n"
    "設定を有効にするためアプリケーションを終了します。");
const QString kReadFailed = QStringLiteral("プログラム情報の取得に失敗しました。");
const QString kFontNotSaved = QStringLiteral(
    "選択したフォントは名前を保存できないため、フォントの設定は変更されませんでした。\r\n"
    "ほかの設定は保存されました。");
const QString kShowCipher = QStringLiteral(
    "暗号化情報は現在ログインしているユーザーの設定です。\r\n"
    "ほかのユーザーの暗号化情報を設定する場合は、ログインし直す必要があります。\r\n\r\n"
    "暗号化情報を表示しますか。");

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ValueStore> store_;
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;
    std::unique_ptr<OptionsDialog> dialog_;
    QDialog* shown_ = nullptr;  // a dialog the main window opened, while a test works it

    // Users in the store and in memory; `current` is logged in with key code 3, pattern 1.
    void registerUsers(const std::vector<EditedUser>& users, const std::u16string& current) {
        OptionsValues options;
        options.keyCodeText = u"3";
        options.patternIndex = 1;
        QVERIFY(!saveAllSettings(*store_, kSettingsKeyPath, users, options, current));
        state_.userNames = *loadUserNames(*store_, kSettingsKeyPath);
        state_.currentUser = current;
        state_.keyCode = current.empty() ? 0 : 3;
        state_.pattern = current.empty() ? 0 : 1;
    }
    // A fresh dialog on `tab`, shown and active, so that the focus moves as it does for a user.
    OptionsDialog& open(int tab = 1) {
        state_.optionsTab = static_cast<std::int16_t>(tab);
        dialog_ = std::make_unique<OptionsDialog>(state_, settings_, *store_, dialogs_,
                                                  QFont(QStringLiteral("IPAGothic"), 11));
        dialog_->show();
        dialog_->activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(dialog_.get())); }();
        return *dialog_;
    }
    template <class T>
    T* find(const char* name) {
        QWidget* root = shown_ != nullptr ? shown_ : dialog_.get();
        T* found = root->findChild<T*>(QLatin1String(name));
        [&] { QVERIFY2(found, name); }();
        return found;
    }
    QLineEdit* box(const char* name) { return find<QLineEdit>(name); }
    QComboBox* users() { return find<QComboBox>("cboUser"); }
    QPushButton* okButton() { return find<QPushButton>("cmdOK"); }
    QTabBar* tabs() { return find<QTabBar>("tbsOptions"); }
    int shownPage() { return find<QStackedWidget>("picOptions")->currentIndex(); }
    QString focusName() {
        QWidget* focused = QApplication::focusWidget();
        return focused ? focused->objectName() : QString();
    }
    // Types into `widget`, with the focus in it, then leaves it with Tab.
    void typeAndLeave(QWidget* widget, const QString& text) {
        widget->setFocus();
        QTest::keyClicks(widget, text);
        QTest::keyClick(widget, Qt::Key_Tab);
    }
    void typeName(const QString& name) {
        users()->setFocus();
        QTest::keyClicks(users(), name);
    }
    // A new user through the user tab: name, password, confirmation, each left with Tab.
    void registerInDialog(const QString& name, const QString& password) {
        typeAndLeave(users(), name);
        typeAndLeave(box("txtPassword"), password);
        typeAndLeave(box("txtCheck"), password);
    }
    // The password prompt, answered with `password` (Cancel when empty), in `caption` mode.
    void expectPrompt(const QString& caption, const QString& password,
                      std::optional<bool> deleteAnswer = std::nullopt) {
        dialogs_.expectBeep();
        dialogs_.expectExec(QStringLiteral("frmDelete"), [=, this](QDialog& dialog) {
            auto& prompt = static_cast<PasswordPrompt&>(dialog);
            [&] { QCOMPARE(prompt.windowTitle(), caption); }();
            if (password.isEmpty()) {
                prompt.cancelButton()->click();
                return prompt.result();
            }
            if (deleteAnswer) {
                dialogs_.expectMessage(QStringLiteral("ユーザー : %1 を削除してよろしいですか。")
                                           .arg(QString::fromStdU16String(state_.promptUser)),
                                       kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                                       *deleteAnswer ? Dialogs::Answer::Yes : Dialogs::Answer::No);
            }
            prompt.passwordBox()->setText(password);
            prompt.okButton()->click();
            return prompt.result();
        });
    }
    // On the shown dialog: the cipher tab, after the logged-in user's password, then key code
    // entry `keyIndex` and pattern `pattern`.
    void chooseCipher(const QString& password, int keyIndex, int pattern) {
        dialogs_.expectMessage(kShowCipher, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::Yes);
        expectPrompt(PasswordPrompt::kShowCipher, password);
        tabs()->setCurrentIndex(2);
        find<QComboBox>("cboKey")->setCurrentIndex(keyIndex);
        find<QRadioButton>(QStringLiteral("optPattern%1").arg(pattern).toLatin1().constData())
            ->click();
    }
    void expectWarning(const QString& text) {
        dialogs_.expectMessage(text, kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
    }
    ProgramSettings stored() { return *loadProgramSettings(*store_, kSettingsKeyPath, u"/"); }

    // The whole effect of a command: every value the store holds for `users` and the settings
    // key, and every field of the state and settings in memory.
    testing_support::Snapshot held(const std::vector<std::u16string>& users) {
        return testing_support::storeContents(*store_, users);
    }
    testing_support::Snapshot memory() { return testing_support::stateContents(state_, settings_); }
    // What differs, one sorted line each, "name: before -> after"; compared with sorted(), whose
    // lines say what must differ.
    static QString changes(const testing_support::Snapshot& before,
                           const testing_support::Snapshot& after) {
        QStringList lines;
        for (const std::string& line : testing_support::differences(before, after)) {
            lines << QString::fromStdString(line);
        }
        return sorted(lines);
    }
    static QString sorted(QStringList lines) {
        lines.sort();
        return lines.join(QLatin1Char('\n'));
    }
    // A dialog that the code under test opened, shown and active, worked on by find() and the
    // typing helpers until shown_ is cleared.
    void work(QDialog& dialog) {
        shown_ = &dialog;
        dialog.show();
        dialog.activateWindow();
        [&] { QTRY_COMPARE(QApplication::activeWindow(), &dialog); }();
    }
    // Another full copy of the program, on the same store.
    std::unique_ptr<ValueStore> secondStore() {
#ifdef Q_OS_WIN
        return std::make_unique<RegistryValueStore>();
#else
        return std::make_unique<SqliteValueStore>(
            folder_->filePath(QStringLiteral("settings.db")).toStdString());
#endif
    }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        store_ = testing_support::freshStore(
            folder_->filePath(QStringLiteral("settings.db")).toStdString());
        state_ = AppState{};
        state_.settingsKey = std::u16string(kSettingsKeyPath);
        settings_ = ProgramSettings{};
    }
    void cleanup() {
        dialog_.reset();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void looksAsDesigned() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        OptionsDialog& dialog = open();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ｵﾌﾟｼｮﾝ"));
        const char* const captions[][3] = {{"全般", "Setting", "Voxiloの基本設定"},
                                           {"ユーザー情報", "User", "ﾕｰｻﾞｰ名、ﾊﾟｽﾜｰﾄﾞの登録"},
                                           {"暗号化情報", "Code", "暗号化ｷｰ、変換ﾊﾟﾀｰﾝの設定"}};
        QCOMPARE(tabs()->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tabs()->tabText(i), QString::fromUtf8(captions[i][0]));
            QCOMPARE(tabs()->tabData(i).toString(), QString::fromUtf8(captions[i][1]));
            QCOMPARE(tabs()->tabToolTip(i), QString::fromUtf8(captions[i][2]));
        }
        QCOMPARE(find<QLabel>("lblCurrentUser")->text(), QStringLiteral("現在のユーザー : abcd"));
        QCOMPARE(find<QPushButton>("cmdDelete")->toolTip(), QStringLiteral("ﾕｰｻﾞｰ名の削除"));
        QCOMPARE(find<QComboBox>("cboKey")->count(), 25);
        QCOMPARE(find<QComboBox>("cboKey")->currentText(), QStringLiteral("3"));
        QVERIFY(find<QRadioButton>("optPattern1")->isChecked());
        QCOMPARE(find<QRadioButton>("optPattern3")->text(), QStringLiteral("パターン4"));
        for (const char* name : {"txtPassword", "txtCheck", "txtNew", "txtNow"}) {
            QCOMPARE(box(name)->echoMode(), QLineEdit::Password);
            QCOMPARE(box(name)->maxLength(), 8);
        }

        // The tab order, from the tab strip through the three pages to the buttons.
        const QStringList order = {"tbsOptions",  "chkStartup",   "chkRetry",    "txtCount",
                                   "chkToolbar",  "chkStatusbar", "cmdFont",     "cboUser",
                                   "cmdDelete",   "txtPassword",  "txtCheck",    "txtNew",
                                   "txtNow",      "cboKey",       "optPattern0", "optPattern1",
                                   "optPattern2", "optPattern3",  "cmdOK",       "cmdCancel"};
        QWidget* widget = tabs();
        for (qsizetype i = 1; i < order.size(); ++i) {
            widget = widget->nextInFocusChain();
            while (widget->objectName().isEmpty() ||
                   widget->objectName() == "qt_spinbox_lineedit" ||
                   widget->parentWidget() == users()) {
                widget = widget->nextInFocusChain();
            }
            QCOMPARE(widget->objectName(), order[i]);
        }

        // Exactly the selected tab's page shows, and only it is enabled.
        QCOMPARE(shownPage(), 0);
        QVERIFY(find<QWidget>("picOptions0")->isEnabled());
        QVERIFY(!find<QWidget>("picOptions1")->isEnabled());
        QVERIFY(!find<QWidget>("picOptions2")->isEnabled());
    }

    void aFreshDialogWaitsForAChange() {
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}, {u"ijkl", u"", false}},
                      u"abcd");
        struct Change {
            const char* what;
            int tab;
            std::function<void()> make;
        };
        const Change changes[] = {
            {"chkStartup", 1, [&] { find<QCheckBox>("chkStartup")->click(); }},
            {"chkToolbar", 1, [&] { find<QCheckBox>("chkToolbar")->click(); }},
            {"chkStatusbar", 1, [&] { find<QCheckBox>("chkStatusbar")->click(); }},
            {"txtCount", 1, [&] { box("txtCount")->setText(QStringLiteral("4")); }},
            {"txtPassword", 2, [&] { typeName("new1"), box("txtPassword")->setText("x"); }},
            {"txtNew", 2, [&] { typeName("abcd"), box("txtNew")->setText("x"); }},
            {"cboKey", 3, [&] { find<QComboBox>("cboKey")->setCurrentIndex(7); }},
            {"optPattern", 3, [&] { find<QRadioButton>("optPattern3")->setChecked(true); }},
            {"a user whose password differs", 2, [&] { typeName("a"); }},
            {"font", 1,
             [&] {
                 dialogs_.expectFont(QFont(QStringLiteral("IPAGothic"), 20));
                 find<QPushButton>("cmdFont")->click();
             }},
            {"deleting a user", 2,
             [&] {
                 typeName("efgh");
                 expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw2"), true);
                 find<QPushButton>("cmdDelete")->click();
             }},
        };
        for (const Change& change : changes) {
            open(change.tab);
            QVERIFY2(!okButton()->isEnabled(), change.what);
            QVERIFY(!dialog_->optionsChanged());
            change.make();
            QVERIFY2(okButton()->isEnabled(), change.what);
        }

        // Selecting a user whose password the box already shows (none) changes nothing; nor
        // does typing the confirmation alone.
        open(2);
        typeName("i");
        QCOMPARE(users()->currentText(), QStringLiteral("ijkl"));
        QVERIFY(!okButton()->isEnabled());
        box("txtCheck")->setText(QStringLiteral("abc"));
        QVERIFY(!okButton()->isEnabled());
    }

    void loadsTheStartupOptions_data() {
        QTest::addColumn<int>("startup");
        QTest::addColumn<int>("retry");
        QTest::addColumn<bool>("retryTicked");
        QTest::addColumn<QString>("count");
        QTest::newRow("asked, no limit") << 1 << 0 << false << "1";
        QTest::newRow("asked, five tries") << 1 << 5 << true << "5";
        QTest::newRow("asked, one try") << 1 << 1 << true << "1";
        QTest::newRow("not asked") << 0 << 5 << false << "3";
        QTest::newRow("more than the box holds") << 1 << 250 << true << "99";
    }
    void loadsTheStartupOptions() {
        QFETCH(int, startup);
        QFETCH(int, retry);
        settings_.startup = static_cast<std::int16_t>(startup);
        settings_.retry = static_cast<std::int16_t>(retry);
        settings_.showToolbar = 0;
        open();
        QCOMPARE(find<QCheckBox>("chkStartup")->isChecked(), startup == 1);
        QCOMPARE(find<QCheckBox>("chkRetry")->isEnabled(), startup == 1);
        QTEST(find<QCheckBox>("chkRetry")->isChecked(), "retryTicked");
        QTEST(box("txtCount")->text(), "count");
        QCOMPARE(box("txtCount")->isEnabled(), find<QCheckBox>("chkRetry")->isChecked());
        QVERIFY(!find<QCheckBox>("chkToolbar")->isChecked());
        QVERIFY(find<QCheckBox>("chkStatusbar")->isChecked());
        QVERIFY(!okButton()->isEnabled());
    }

    void theRetryCountKeepsToItsRules() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        settings_.startup = 1;
        settings_.retry = 5;
        open();
        QLineEdit* count = box("txtCount");
        count->setFocus();
        count->clear();
        QTest::keyClicks(count, QStringLiteral("0"));
        QCOMPARE(count->text(), QStringLiteral("1"));
        count->clear();
        QTest::keyClicks(count, QStringLiteral("100"));  // two digits at most
        QCOMPARE(count->text(), QStringLiteral("10"));
        dialogs_.expectBeep();  // a letter
        dialogs_.expectBeep();  // a digit with Shift held
        dialogs_.expectBeep();  // Enter, refused as in every box of the dialog
        count->clear();
        QTest::keyClick(count, Qt::Key_A);
        QTest::keyClick(count, Qt::Key_7, Qt::ShiftModifier);
        QTest::keyClick(count, Qt::Key_Return);
        QVERIFY(dialog_->isVisible());
        QTest::keyClick(count, Qt::Key_7, Qt::KeypadModifier);
        QCOMPARE(count->text(), QStringLiteral("7"));
        count->clear();
        QCOMPARE(count->text(), QString());  // empty stays empty

        // OK does not save a limit nobody chose.
        expectWarning(QStringLiteral("パスワードの再入力回数を入力してください。"));
        tabs()->setCurrentIndex(1);
        okButton()->click();
        QVERIFY(dialog_->isVisible());
        QCOMPARE(shownPage(), 0);
        QCOMPARE(focusName(), QStringLiteral("txtCount"));

        // Unticking the password at start-up unticks the limit, which greys the count.
        find<QCheckBox>("chkStartup")->click();
        QVERIFY(!find<QCheckBox>("chkRetry")->isChecked());
        QVERIFY(!count->isEnabled());
        QCOMPARE(count->palette().color(QPalette::Disabled, QPalette::Base), QColor(192, 192, 192));
        okButton()->click();
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(stored().startup, 0);
        QCOMPARE(stored().retry, 0);
        QCOMPARE(settings_.retry, 0);
    }

    // Unticking the limit lifts it, whatever number the count still shows.
    void untickingTheLimitLiftsIt() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        settings_.startup = 1;
        settings_.retry = 5;
        QVERIFY(!saveAllSettings(*store_, kSettingsKeyPath, {{u"abcd", u"pw1", false}},
                                 {1, 1, u"5", 1, 1, u"IPAGothic", 11, false, false, u"3", 1},
                                 u"abcd"));
        QCOMPARE(stored().retry, 5);
        open();
        find<QCheckBox>("chkRetry")->click();
        QCOMPARE(box("txtCount")->text(), QStringLiteral("5"));
        okButton()->click();
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(stored().retry, 0);
        QCOMPARE(settings_.retry, 0);
        QCOMPARE(stored().startup, 1);
    }

    void namesCompleteFromTheList() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        open(2);
        typeName("ab");
        QCOMPARE(users()->currentText(), QStringLiteral("abcd"));
        QCOMPARE(users()->lineEdit()->selectedText(), QStringLiteral("cd"));
        QVERIFY(dialog_->accounts().userSelected());
        QCOMPARE(box("txtPassword")->text(), QStringLiteral("pw1"));
        QVERIFY(!box("txtPassword")->isEnabled());
        QVERIFY(box("txtNew")->isEnabled());
        QCOMPARE(box("txtPassword")->palette().color(QPalette::Disabled, QPalette::Base),
                 QColor(192, 192, 192));

        QTest::keyClicks(users(), QStringLiteral("x"));  // replaces the completed part
        QCOMPARE(users()->currentText(), QStringLiteral("abx"));
        QVERIFY(!dialog_->accounts().userSelected());
        QCOMPARE(box("txtPassword")->text(), QString());
        QVERIFY(box("txtPassword")->isEnabled());

        // Backspace leaves exactly ab, which completes again.
        QTest::keyClick(users(), Qt::Key_Backspace);
        QCOMPARE(users()->currentText(), QStringLiteral("abcd"));

        // ABCD does not complete to abcd, but it would share abcd's key in the store: refused
        // on leaving the box, which keeps the focus until the name is put right.
        users()->lineEdit()->selectAll();
        QTest::keyClick(users(), Qt::Key_Delete);
        const QString taken = QStringLiteral(
            "ユーザー名 abcd が登録されています。\r\n"
            "大文字と小文字だけが違うユーザー名は登録できません。");
        expectWarning(taken);
        typeAndLeave(users(), QStringLiteral("ABCD"));
        QCOMPARE(focusName(), QStringLiteral("cboUser"));
        QCOMPARE(users()->currentText(), QStringLiteral("ABCD"));
        expectWarning(taken);
        box("txtPassword")->setFocus();
        QCOMPARE(focusName(), QStringLiteral("cboUser"));
        QCOMPARE(users()->count(), 1);
        QCOMPARE(dialog_->accounts().editedUsers().size(), 1u);

        // Once abcd is deleted in this dialog, ABCD may take its place.
        users()->setEditText(QString());
        typeName("abcd");
        expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw1"), true);
        find<QPushButton>("cmdDelete")->click();
        registerInDialog(QStringLiteral("ABCD"), QStringLiteral("pw2"));
        QCOMPARE(users()->count(), 1);
        QCOMPARE(users()->itemText(0), QStringLiteral("ABCD"));
        okButton()->click();
        QCOMPARE(state_.userNames, (std::vector<std::u16string>{u"", u"ABCD"}));
        QCOMPARE(readPassword(*store_, kSettingsKeyPath, u"ABCD").value, std::u16string(u"pw2"));
    }

    void theNameBoxTakesLettersAndDigitsOnly() {
        open(2);
        users()->setFocus();
        for (int i = 0; i < 6; ++i) dialogs_.expectBeep();
        QTest::keyClicks(users(), QStringLiteral("a-_ b"));  // three refused
        QTest::keyClick(users(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(users(), Qt::Key_F, Qt::AltModifier);
        QTest::keyClick(users(), Qt::Key_Return);
        QCOMPARE(users()->currentText(), QStringLiteral("ab"));
        // The password boxes take the same keys.
        QLineEdit* password = box("txtPassword");
        password->setFocus();
        for (int i = 0; i < 4; ++i) dialogs_.expectBeep();
        QTest::keyClick(password, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(password, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClicks(password, QStringLiteral("x y"));
        QTest::keyClick(password, Qt::Key_Enter);
        QCOMPARE(password->text(), QStringLiteral("xy"));
        QVERIFY(dialog_->isVisible());

        // Nine characters, or any that slipped past the keys, are refused on leaving.
        for (const QString& name :
             {QStringLiteral("abcdefghi"), QStringLiteral("ａｂ"), QStringLiteral("a\\b")}) {
            users()->setFocus();
            users()->setEditText(name);
            expectWarning(QStringLiteral("ユーザー名は半角英数8文字以内を入力してください。"));
            QTest::keyClick(users(), Qt::Key_Tab);
            QCOMPARE(focusName(), QStringLiteral("cboUser"));
            QCOMPARE(users()->currentText(), name);  // the name stays to be corrected
        }
    }

    void registeringANewUser() {
        registerUsers({}, u"");
        open(2);
        typeAndLeave(users(), QStringLiteral("Annette1"));  // eight characters, the most
        QCOMPARE(focusName(), QStringLiteral("txtPassword"));
        typeAndLeave(box("txtPassword"), QStringLiteral("pw1"));
        QCOMPARE(focusName(), QStringLiteral("txtCheck"));

        // A confirmation that differs, also in letter case only: told, back in the box, nobody
        // registered.
        for (const QString& wrong : {QStringLiteral("pw2"), QStringLiteral("PW1")}) {
            expectWarning(kWrongPassword);
            box("txtCheck")->clear();
            typeAndLeave(box("txtCheck"), wrong);
            QCOMPARE(focusName(), QStringLiteral("txtCheck"));
            QCOMPARE(users()->count(), 0);
            QCOMPARE(dialog_->accounts().editedUsers().size(), 0u);
        }

        // Turning the page leaves the box too: the page stays while the confirmation differs.
        expectWarning(kWrongPassword);
        tabs()->setCurrentIndex(0);
        QCOMPARE(shownPage(), 1);
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(focusName(), QStringLiteral("txtCheck"));

        // The right one: registered, and the tab is empty again.
        box("txtCheck")->clear();
        typeAndLeave(box("txtCheck"), QStringLiteral("pw1"));
        QCOMPARE(users()->count(), 1);
        QCOMPARE(users()->currentText(), QString());
        for (const char* name : {"txtPassword", "txtCheck", "txtNew", "txtNow"}) {
            QCOMPARE(box(name)->text(), QString());
        }
        // The next Tab stop is OK, and Enter there presses it, as a person would.
        QCOMPARE(focusName(), QStringLiteral("cmdOK"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(state_.userNames, (std::vector<std::u16string>{u"", u"Annette1"}));
        QCOMPARE(readPassword(*store_, kSettingsKeyPath, u"Annette1").value,
                 std::u16string(u"pw1"));
        QVERIFY(!state_.exitRequested);

        // A password typed but not confirmed holds up OK and the tabs.
        open(2);
        typeAndLeave(users(), QStringLiteral("Bob"));
        box("txtPassword")->setFocus();
        QTest::keyClicks(box("txtPassword"), QStringLiteral("pw"));
        expectWarning(kUnconfirmed);
        okButton()->click();
        QVERIFY(dialog_->isVisible());
        QCOMPARE(focusName(), QStringLiteral("txtCheck"));
        expectWarning(kUnconfirmed);
        tabs()->setCurrentIndex(0);
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(shownPage(), 1);
        QCOMPARE(focusName(), QStringLiteral("txtCheck"));
    }

    void changingAPassword() {
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        open(2);
        typeAndLeave(users(), QStringLiteral("efgh"));
        QCOMPARE(box("txtPassword")->text(), QStringLiteral("pw2"));
        QVERIFY(!box("txtNow")->isEnabled());
        typeAndLeave(box("txtNew"), QStringLiteral("new2"));
        QVERIFY(box("txtNow")->isEnabled());
        QCOMPARE(focusName(), QStringLiteral("txtNow"));

        expectWarning(kWrongPassword);
        typeAndLeave(box("txtNow"), QStringLiteral("PW2"));
        QCOMPARE(focusName(), QStringLiteral("txtNow"));
        box("txtNow")->clear();
        typeAndLeave(box("txtNow"), QStringLiteral("pw2"));
        QCOMPARE(users()->currentText(), QString());
        QCOMPARE(dialog_->accounts().editedUsers()[1].password, std::u16string(u"new2"));

        // Deleting asks for the password as changed in this dialog.
        typeName("efgh");
        expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("new2"), false);
        find<QPushButton>("cmdDelete")->click();
        QCOMPARE(users()->count(), 2);  // No: still there
        QCOMPARE(focusName(), QStringLiteral("cboUser"));

        okButton()->click();
        QCOMPARE(readPassword(*store_, kSettingsKeyPath, u"efgh").value, std::u16string(u"new2"));
        QVERIFY(!state_.exitRequested);  // another user's password: the program goes on
    }

    void deletingUsers() {
        registerUsers(
            {{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}, {u"ijkl", u"pw3", false}},
            u"abcd");
        open(2);
        // A wrong password, then Cancel: nothing is deleted.
        typeName("efgh");
        dialogs_.expectBeep();
        dialogs_.expectExec(QStringLiteral("frmDelete"), [&](QDialog& dialog) {
            auto& prompt = static_cast<PasswordPrompt&>(dialog);
            expectWarning(kWrongPassword);
            prompt.passwordBox()->setText(QStringLiteral("nope"));
            prompt.okButton()->click();
            prompt.cancelButton()->click();
            return prompt.result();
        });
        find<QPushButton>("cmdDelete")->click();
        QCOMPARE(users()->count(), 3);
        QVERIFY(!dialog_->accounts().editedUsers()[1].deleted);

        // The password and Yes: gone from the list, and from the store once OK saves.
        expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw2"), true);
        find<QPushButton>("cmdDelete")->click();
        QCOMPARE(users()->count(), 2);
        QCOMPARE(users()->currentText(), QString());
        QCOMPARE(box("txtPassword")->text(), QString());
        QVERIFY(okButton()->isEnabled());
        // A second user in the same visit: its own password is asked for.
        typeName("ijkl");
        expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw3"), true);
        find<QPushButton>("cmdDelete")->click();
        QCOMPARE(users()->count(), 1);

        // A deleted name may come back as a new user.
        registerInDialog(QStringLiteral("efgh"), QStringLiteral("pw9"));
        QCOMPARE(dialog_->accounts().editedUsers().size(), 4u);
        okButton()->click();
        QCOMPARE(state_.userNames, (std::vector<std::u16string>{u"", u"abcd", u"efgh"}));
        QCOMPARE(readPassword(*store_, kSettingsKeyPath, u"efgh").value, std::u16string(u"pw9"));
        QVERIFY(readPassword(*store_, kSettingsKeyPath, u"ijkl").value.empty());
        QVERIFY(!state_.exitRequested);
    }

    void deletingTheOnlyUserDropsTheLogin() {
        registerUsers({{u"abcd", u"pw1", false}}, u"");
        settings_.startup = 1;
        settings_.retry = 3;
        open(2);
        typeName("abcd");
        expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw1"), true);
        find<QPushButton>("cmdDelete")->click();
        okButton()->click();
        QVERIFY(!find<QCheckBox>("chkStartup")->isChecked());
        QVERIFY(!find<QCheckBox>("chkRetry")->isChecked());
        QCOMPARE(stored().startup, 0);
        QCOMPARE(stored().retry, 0);
        QCOMPARE(settings_.startup, 0);
        QCOMPARE(state_.userNames, std::vector<std::u16string>{u""});
        QVERIFY(!readPassword(*store_, kSettingsKeyPath, u"abcd").value.size());
    }

    void theLoggedInUsersOwnChangesEndTheProgram_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("ends");
        QTest::newRow("key code 3, 4, back to 3") << "key 3-4-3" << false;
        QTest::newRow("key code 4") << "key 4" << true;
        QTest::newRow("key code 1, the first, alone") << "key 1" << true;
        QTest::newRow("key code 25, the last, alone") << "key 25" << true;
        QTest::newRow("pattern") << "pattern" << true;
        QTest::newRow("deleting the logged-in user") << "delete" << true;
        QTest::newRow("deleting another user") << "delete other" << false;
    }
    void theLoggedInUsersOwnChangesEndTheProgram() {
        QFETCH(QString, change);
        QFETCH(bool, ends);
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        state_.optionsTab = 2;
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& shown) {
            auto& dialog = static_cast<OptionsDialog&>(shown);
            dialog.show();
            auto* key = dialog.findChild<QComboBox*>(QStringLiteral("cboKey"));
            auto* user = dialog.findChild<QComboBox*>(QStringLiteral("cboUser"));
            auto* remove = dialog.findChild<QPushButton*>(QStringLiteral("cmdDelete"));
            if (change == QLatin1String("key 1") || change == QLatin1String("key 25")) {
                key->setCurrentIndex(change.mid(4).toInt() - 1);
            } else if (change.startsWith(QLatin1String("key"))) {
                key->setCurrentIndex(3);
                if (change.endsWith(QLatin1String("3"))) key->setCurrentIndex(2);
            } else if (change == QLatin1String("pattern")) {
                dialog.findChild<QRadioButton*>(QStringLiteral("optPattern0"))->setChecked(true);
            } else {
                const bool other = change.endsWith(QLatin1String("other"));
                user->setFocus();
                QTest::keyClicks(user, other ? QStringLiteral("efgh") : QStringLiteral("abcd"));
                expectPrompt(PasswordPrompt::kDeleteUser,
                             other ? QStringLiteral("pw2") : QStringLiteral("pw1"), true);
                remove->click();
            }
            if (ends) {  // once the dialog has closed
                dialogs_.expectMessage(kClosing, kTitle, Dialogs::Buttons::Ok,
                                       MessageIcon::Information);
            }
            dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            return dialog.result();
        });
        QCOMPARE(
            OptionsDialog::open(state_, settings_, *store_, dialogs_, nullptr, paneFont(settings_)),
            ends);
        QCOMPARE(state_.exitRequested, ends);
        if (change == QLatin1String("delete")) {
            QCOMPARE(state_.userNames, (std::vector<std::u16string>{u"", u"efgh"}));
            return;
        }
        const std::int16_t keyCode = readKeyCode(*store_, kSettingsKeyPath, u"abcd").value;
        const std::int16_t chosen = change.startsWith(QLatin1String("key ")) && change.size() <= 6
                                        ? change.mid(4).toShort()
                                        : 3;
        QCOMPARE(keyCode, chosen);
        QCOMPARE(readPattern(*store_, kSettingsKeyPath, u"abcd").value,
                 std::int16_t(change == QLatin1String("pattern") ? 0 : 1));
    }

    // A logged-in user's key code at either end of the list shows as its entry; OK with another
    // change leaves it stored as it was, and the program goes on. Moving it to the other end
    // stores that, and ends the program.
    void theFirstAndLastKeyCodesLoad_data() {
        QTest::addColumn<int>("loaded");
        QTest::addColumn<int>("chosen");
        QTest::newRow("1 kept") << 1 << 1;
        QTest::newRow("25 kept") << 25 << 25;
        QTest::newRow("1 to 25") << 1 << 25;
        QTest::newRow("25 to 1") << 25 << 1;
    }
    void theFirstAndLastKeyCodesLoad() {
        QFETCH(int, loaded);
        QFETCH(int, chosen);
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        OptionsValues own;
        own.keyCodeText = QString::number(loaded).toStdU16String();
        own.patternIndex = 1;
        QVERIFY(
            !saveAllSettings(*store_, kSettingsKeyPath, {{u"abcd", u"pw1", false}}, own, u"abcd"));
        state_.keyCode = static_cast<std::int16_t>(loaded);
        state_.optionsTab = 1;
        const auto storedBefore = held({u"abcd"});
        const auto memoryBefore = memory();
        const bool ends = loaded != chosen;
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            work(dialog);
            [&] {
                QCOMPARE(find<QComboBox>("cboKey")->currentIndex(), loaded - 1);
                QCOMPARE(find<QComboBox>("cboKey")->currentText(), QString::number(loaded));
            }();
            find<QCheckBox>("chkToolbar")->click();
            find<QComboBox>("cboKey")->setCurrentIndex(chosen - 1);
            if (ends) {
                dialogs_.expectMessage(kClosing, kTitle, Dialogs::Buttons::Ok,
                                       MessageIcon::Information);
            }
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        QCOMPARE(
            OptionsDialog::open(state_, settings_, *store_, dialogs_, nullptr, paneFont(settings_)),
            ends);
        QStringList stored = {"ShowToolbar: 1 -> 0"};
        QStringList inMemory = {"settings.showToolbar: 1 -> 0"};
        if (ends) {
            stored << QStringLiteral("abcd|KeyCode: %1 -> %2").arg(loaded).arg(chosen);
            inMemory << "exitRequested: 0 -> 1";
        }
        QCOMPARE(changes(storedBefore, held({u"abcd"})), sorted(stored));
        QCOMPARE(changes(memoryBefore, memory()), sorted(inMemory));
    }

    // The first and the last of the key codes and patterns are stored as chosen.
    void theFirstAndLastKeyCodesAndPatternsAreStored_data() {
        QTest::addColumn<int>("keyIndex");
        QTest::addColumn<int>("patternId");
        QTest::newRow("key code 1, pattern 1") << 0 << 0;
        QTest::newRow("key code 25, pattern 4") << 24 << 3;
    }
    void theFirstAndLastKeyCodesAndPatternsAreStored() {
        QFETCH(int, keyIndex);
        QFETCH(int, patternId);
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        state_.optionsTab = 2;
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            dialog.show();
            auto* key = dialog.findChild<QComboBox*>(QStringLiteral("cboKey"));
            key->setCurrentIndex(keyIndex);
            dialog.findChild<QRadioButton*>(QStringLiteral("optPattern%1").arg(patternId))
                ->setChecked(true);
            dialogs_.expectMessage(kClosing, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Information);
            dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            return dialog.result();
        });
        QVERIFY(OptionsDialog::open(state_, settings_, *store_, dialogs_, nullptr,
                                    paneFont(settings_)));
        QCOMPARE(readKeyCode(*store_, kSettingsKeyPath, u"abcd").value,
                 static_cast<std::int16_t>(keyIndex + 1));
        QCOMPARE(readPattern(*store_, kSettingsKeyPath, u"abcd").value,
                 static_cast<std::int16_t>(patternId));
    }

    void theCipherTabAsksForThePassword() {
        // Nobody logged in: the user tab instead.
        registerUsers({{u"abcd", u"pw1", false}}, u"");
        open();
        dialogs_.expectMessage(
            QStringLiteral("暗号化情報はログインしているユーザーの設定です。\r\n\r\n"
                           "ユーザー名が未登録の場合、暗号化情報を表示できません。"),
            kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
        tabs()->setCurrentIndex(2);
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(shownPage(), 1);
        QCOMPARE(state_.optionsTab, std::int16_t{2});

        // Logged in: a confirmation left wrong in its box is told of first; no question comes.
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        open(2);
        typeAndLeave(users(), QStringLiteral("Bob"));
        typeAndLeave(box("txtPassword"), QStringLiteral("pw2"));
        expectWarning(kWrongPassword);
        typeAndLeave(box("txtCheck"), QStringLiteral("pw3"));
        expectWarning(kWrongPassword);
        tabs()->setCurrentIndex(2);
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(shownPage(), 1);
        QCOMPARE(focusName(), QStringLiteral("txtCheck"));
        dialog_->reject();

        // No, a wrong password given up, and the right one.
        open();
        dialogs_.expectMessage(kShowCipher, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::No);
        tabs()->setCurrentIndex(2);
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(shownPage(), 0);

        dialogs_.expectMessage(kShowCipher, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::Yes);
        dialogs_.expectBeep();
        dialogs_.expectExec(QStringLiteral("frmDelete"), [&](QDialog& dialog) {
            auto& prompt = static_cast<PasswordPrompt&>(dialog);
            expectWarning(kWrongPassword);
            prompt.passwordBox()->setText(QStringLiteral("pw2"));
            prompt.okButton()->click();
            prompt.cancelButton()->click();
            return prompt.result();
        });
        tabs()->setCurrentIndex(2);
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(shownPage(), 0);
        QVERIFY(!state_.promptAccepted);

        dialogs_.expectMessage(kShowCipher, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::Yes);
        expectPrompt(PasswordPrompt::kShowCipher, QStringLiteral("pw1"));
        tabs()->setCurrentIndex(2);
        QCOMPARE(shownPage(), 2);
        QVERIFY(find<QWidget>("picOptions2")->isEnabled());
        QVERIFY(!find<QWidget>("picOptions0")->isEnabled());
        QVERIFY(!state_.promptAccepted);
        QVERIFY(!okButton()->isEnabled());  // looking changes nothing

        // The next opening is on the general tab, never straight on this one.
        dialog_->reject();
        QCOMPARE(state_.optionsTab, std::int16_t{3});
        open(state_.optionsTab);
        QCOMPARE(shownPage(), 0);
    }

    void ctrlTabTurnsThePages() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        open();
        users()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(shownPage(), 1);
        dialogs_.expectMessage(kShowCipher, kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question,
                               Dialogs::Answer::Yes);
        expectPrompt(PasswordPrompt::kShowCipher, QStringLiteral("pw1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(shownPage(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(shownPage(), 0);  // round to the first
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(shownPage(), 0);  // Ctrl+Shift+Tab is not a page key
        QVERIFY(!okButton()->isEnabled());
    }

    void choosingTheFont_data() {
        QTest::addColumn<QFont>("chosen");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("bold");
        QFont bold(QStringLiteral("IPAGothic"), 12);
        bold.setBold(true);
        QFont half(QStringLiteral("IPAGothic"));
        half.setPointSizeF(10.5);
        QFont huge(QStringLiteral("IPAGothic"), 96);
        QTest::newRow("bold 12") << bold << 12 << true;
        QTest::newRow("10.5 to the even 10") << half << 10 << false;
        QTest::newRow("96 kept to 72") << huge << 72 << false;
    }
    void choosingTheFont() {
        QFETCH(QFont, chosen);
        QFETCH(int, points);
        QFETCH(bool, bold);
        open();
        QLabel* preview = find<QLabel>("lblFont");
        QCOMPARE(preview->text(), QStringLiteral("ABあい"));
        QFont underlined = preview->font();
        underlined.setUnderline(true);
        preview->setFont(underlined);

        dialogs_.expectFont(std::nullopt);  // cancelled: nothing changes
        find<QPushButton>("cmdFont")->click();
        QVERIFY(!okButton()->isEnabled());

        dialogs_.expectFont(chosen);
        find<QPushButton>("cmdFont")->click();
        QVERIFY(okButton()->isEnabled());
        QCOMPARE(preview->font().bold(), bold);
        QVERIFY(preview->font().underline());  // not the font dialog's to change
        okButton()->click();
        QCOMPARE(settings_.fontSize, std::int16_t(points));
        QCOMPARE(settings_.fontBold, bold);
        QCOMPARE(stored().fontSize, std::int16_t(points));
        QCOMPARE(stored().fontBold, bold);  // stored as -1
        QCOMPARE(stored().fontName, std::u16string(u"IPAGothic"));
    }

    // The dialog opens on the face the panes really show, and taking it unchanged keeps the
    // stored name, which stands for that face here.
    void theFontDialogOpensOnTheFaceShown() {
        open();
        QLabel* preview = find<QLabel>("lblFont");
        const QString msGothic = QStringLiteral("ＭＳ ゴシック");
        preview->setFont(QFont(msGothic, 11));
        const QString shown = QFontInfo(preview->font()).family();
        QVERIFY(shown != msGothic);  // no such face here: another stands in
        dialogs_.expectFont(QFont(shown, 12));
        find<QPushButton>("cmdFont")->click();
        QCOMPARE(dialogs_.offeredFont().family(), shown);
        QCOMPARE(preview->font().family(), msGothic);
        QCOMPARE(preview->font().pointSize(), 12);
        okButton()->click();
        QCOMPARE(stored().fontName, msGothic.toStdU16String());
    }

    // View > ｵﾌﾟｼｮﾝ from the main window, which takes the confirmed settings over.
    void theMainWindowTakesTheNewSettings() {
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        MainWindow window(state_, settings_, *store_, dialogs_);
        window.show();
        const auto work = [&](std::function<void()> act) {
            dialogs_.expectExec(QStringLiteral("frmOptions"), [&, act](QDialog& dialog) {
                shown_ = &dialog;
                dialog.show();
                dialog.activateWindow();
                // A dialog counts as active while its owner is: wait for the dialog itself.
                [&] { QTRY_COMPARE(QApplication::activeWindow(), &dialog); }();
                act();
                shown_ = nullptr;
                return dialog.result();
            });
            window.findChild<QAction*>(QStringLiteral("mnuViewOptions"))->trigger();
        };
        work([&] {
            find<QCheckBox>("chkToolbar")->click();
            QFont bold(QStringLiteral("IPAGothic"), 14);
            bold.setBold(true);
            dialogs_.expectFont(bold);
            find<QPushButton>("cmdFont")->click();
            QTest::keyClick(find<QWidget>("cmdFont"), Qt::Key_Tab, Qt::ControlModifier);
            registerInDialog(QStringLiteral("ijkl"), QStringLiteral("pw3"));
            okButton()->click();
        });
        QVERIFY(window.isVisible());
        QVERIFY(!window.findChild<QToolBar*>(QStringLiteral("CoolBar1"))->isVisible());
        QVERIFY(!window.findChild<QAction*>(QStringLiteral("mnuViewToolBar"))->isChecked());
        for (QPlainTextEdit* pane : {window.topPane(), window.bottomPane()}) {
            QVERIFY(pane->font().bold());
            QCOMPARE(pane->font().pointSize(), 14);
        }
        auto* users = window.findChild<QComboBox*>(QStringLiteral("cboUser"));
        QCOMPARE(users->count(), 3);
        QCOMPARE(users->currentText(), QStringLiteral("abcd"));
        QVERIFY(window.findChild<QAction*>(QStringLiteral("mnuFileUserName2")));

        // Deleting the logged-in user: the closing message, and the window closes.
        work([&] {
            QCOMPARE(shownPage(), 1);  // the page last shown
            typeName("abcd");
            expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw1"), true);
            find<QPushButton>("cmdDelete")->click();
            dialogs_.expectMessage(kClosing, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Information);
            okButton()->click();
        });
        QVERIFY(!window.isVisible());
        QVERIFY(state_.exitRequested);
    }

    // The end the Options dialog demands, refused because the user kept a document: the window
    // goes on with what was saved, and the next dialog starts from it.
    void aRefusedEndKeepsTheWindowInStepWithTheStore() {
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        MainWindow window(state_, settings_, *store_, dialogs_);
        window.saveStep = [] {};  // the save question answered, the save dialog cancelled
        window.show();
        window.topPane()->setPlainText(QStringLiteral("unsaved"));
        QVERIFY(state_.topModified);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            shown_ = &dialog;
            dialog.show();
            dialog.activateWindow();
            [&] { QTRY_COMPARE(QApplication::activeWindow(), &dialog); }();
            find<QCheckBox>("chkToolbar")->click();
            tabs()->setCurrentIndex(1);
            registerInDialog(QStringLiteral("ijkl"), QStringLiteral("pw3"));
            chooseCipher(QStringLiteral("pw1"), 7, 3);
            dialogs_.expectMessage(kClosing, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Information);
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        window.findChild<QAction*>(QStringLiteral("mnuViewOptions"))->trigger();
        QVERIFY(window.isVisible());
        QCOMPARE(window.topPane()->toPlainText(), QStringLiteral("unsaved"));
        QCOMPARE(state_.keyCode, std::int16_t{8});
        QCOMPARE(state_.pattern, std::int16_t{3});
        QVERIFY(!window.findChild<QAction*>(QStringLiteral("mnuViewToolBar"))->isChecked());
        QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("cboUser"))->count(), 3);

        // The end is no longer under way: Options cancelled with nothing changed announces
        // nothing, and a handed file is opened rather than left waiting for an end that never
        // comes.
        QVERIFY(!state_.exitRequested);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [](QDialog& dialog) {
            dialog.reject();
            return dialog.result();
        });
        window.findChild<QAction*>(QStringLiteral("mnuViewOptions"))->trigger();
        QVERIFY(window.isVisible());
        window.topPane()->document()->setModified(false);
        state_.topModified = false;
        QTemporaryDir documents;
        const QString handed = documents.filePath(QStringLiteral("sent.txt"));
        {
            QFile file(handed);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("sent\r\n");
        }
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.openHandedFile(QDir::toNativeSeparators(handed).toStdU16String());
        QTRY_COMPARE(window.topPane()->toPlainText(), QStringLiteral("sent"));
    }

    // An OK whose save fails is told of, and the window goes on with what the store holds: a
    // new user not stored is not listed, the stored key code enciphers, and nothing demands the
    // end. A save that fails part-way keeps what it wrote before (the registry cannot take its
    // writes back), and the window shows that too.
    void aFailedSaveLeavesTheWindowWithWhatTheStoreHolds_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("partWay");
#ifndef Q_OS_WIN
        QTest::newRow("the store cannot grow") << QStringLiteral("full") << false;
#endif
        QTest::newRow("the store has gone") << QStringLiteral("gone") << false;
        QTest::newRow("the pattern's write fails") << QStringLiteral("pattern") << true;
    }
    void aFailedSaveLeavesTheWindowWithWhatTheStoreHolds() {
        QFETCH(QString, failure);
        QFETCH(bool, partWay);
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        // The file dialogs' folder is the window's own: what the store holds does not replace it.
        QVERIFY(!saveCurrentPath(*store_, kSettingsKeyPath, u"/stored/folder/"));
        settings_.currentPath = u"/srv/texts/";
        testing_support::FaultInjectingStore store(*store_);
        MainWindow window(state_, settings_, store, dialogs_);
        window.show();
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            shown_ = &dialog;
            dialog.show();
            dialog.activateWindow();
            [&] { QTRY_COMPARE(QApplication::activeWindow(), &dialog); }();
            find<QCheckBox>("chkToolbar")->click();
            QFont bold(QStringLiteral("IPAGothic"), 14);
            bold.setBold(true);
            dialogs_.expectFont(bold);
            find<QPushButton>("cmdFont")->click();
            tabs()->setCurrentIndex(1);
            registerInDialog(QStringLiteral("jiro"), QStringLiteral("pw3"));
            chooseCipher(QStringLiteral("pw1"), 24, 3);
            expectWarning(QStringLiteral("プログラム情報の保存に失敗しました。"));
            if (failure == QLatin1String("gone")) {
                store.breakDown();
                okButton()->click();
            } else if (failure == QLatin1String("pattern")) {
                store.failWritesOf(u"Pattern");
                okButton()->click();
            } else {
#ifndef Q_OS_WIN
                const testing_support::FilesCannotGrow full;
                okButton()->click();
#endif
            }
            shown_ = nullptr;
            return dialog.result();
        });
        window.findChild<QAction*>(QStringLiteral("mnuViewOptions"))->trigger();
        QVERIFY(window.isVisible());
        QVERIFY(!state_.exitRequested);
        // What the next start reads is what the window now works with.
        const std::vector<std::u16string> names = *loadUserNames(*store_, kSettingsKeyPath);
        QCOMPARE(names, partWay ? (std::vector<std::u16string>{u"", u"abcd", u"efgh", u"jiro"})
                                : (std::vector<std::u16string>{u"", u"abcd", u"efgh"}));
        QCOMPARE(state_.userNames, names);
        QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("cboUser"))->count(),
                 static_cast<int>(names.size() - 1));
        const std::int16_t keyCode = readKeyCode(*store_, kSettingsKeyPath, u"abcd").value;
        QCOMPARE(keyCode, std::int16_t(partWay ? 25 : 3));
        QCOMPARE(state_.keyCode, keyCode);
        QCOMPARE(state_.pattern, std::int16_t{1});
        QCOMPARE(settings_.showToolbar, std::int16_t(partWay ? 0 : 1));
        QCOMPARE(window.findChild<QAction*>(QStringLiteral("mnuViewToolBar"))->isChecked(),
                 !partWay);
        QCOMPARE(settings_.fontBold, partWay);
        QCOMPARE(window.topPane()->font().bold(), partWay);
        QCOMPARE(settings_.currentPath, std::u16string(u"/srv/texts/"));
    }

    // A save that failed after the user list was written without the logged-in user: that
    // user's deletion is stored, and the program ends as after a whole save.
    void aStoredDeletionEndsAlsoWhenALaterWriteFails() {
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        testing_support::FaultInjectingStore store(*store_);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            work(dialog);
            typeName("abcd");
            expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw1"), true);
            find<QPushButton>("cmdDelete")->click();
            registerInDialog(QStringLiteral("ijkl"), QStringLiteral("pw3"));  // written last
            expectWarning(QStringLiteral("プログラム情報の保存に失敗しました。"));
            dialogs_.expectMessage(kClosing, kTitle, Dialogs::Buttons::Ok,
                                   MessageIcon::Information);
            store.failWritesOf(u"Password");
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        state_.optionsTab = 2;
        QVERIFY(OptionsDialog::open(state_, settings_, store, dialogs_, nullptr, QFont()));
        QVERIFY(state_.exitRequested);
        QCOMPARE(state_.userNames, (std::vector<std::u16string>{u"", u"efgh", u"ijkl"}));
    }

    // A key code or pattern only a damaged store can hold shows no choice, and OK keeps it.
    void aKeyCodeOutOfRangeIsKept() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        state_.keyCode = 40;
        state_.pattern = 7;
        open();
        QCOMPARE(find<QComboBox>("cboKey")->currentIndex(), -1);
        QCOMPARE(dialog_->accounts().patterns()->checkedId(), -1);
        find<QCheckBox>("chkToolbar")->click();
        okButton()->click();
        QVERIFY(!state_.exitRequested);
        QCOMPARE(readKeyCode(*store_, kSettingsKeyPath, u"abcd").value, std::int16_t{3});
        QCOMPARE(readPattern(*store_, kSettingsKeyPath, u"abcd").value, std::int16_t{1});
    }

    // Another program holds the store while the dialog opens: two users' passwords cannot be
    // read (each read told), and the login could not read the logged-in user's key code and
    // pattern either, so the defaults stand in. Once the store is free, OK with a new user
    // writes that user and nothing that could not be read: every password still logs in, and
    // the key codes and patterns stay. Whatever waits on the store shows the hourglass.
    void valuesThatCouldNotBeReadAreNeverWrittenBack() {
        const std::vector<EditedUser> three = {
            {u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}, {u"ijkl", u"pw3", false}};
        OptionsValues efghOwn;
        efghOwn.keyCodeText = u"7";
        efghOwn.patternIndex = 2;
        QVERIFY(!saveAllSettings(*store_, kSettingsKeyPath, three, efghOwn, u"efgh"));
        registerUsers(three, u"abcd");
        state_.keyCode = 1;
        state_.pattern = 0;
        state_.optionsTab = 2;
        const std::vector<std::u16string> everyone = {u"abcd", u"efgh", u"ijkl", u"mnop"};
        const auto storedBefore = held(everyone);
        const auto memoryBefore = memory();

        testing_support::FaultInjectingStore busy(*store_);
        busy.failOpening(userKeyPath(kSettingsKeyPath, u"efgh"));
        busy.failOpening(userKeyPath(kSettingsKeyPath, u"ijkl"));
        std::vector<bool> hourglass;  // at each open of a key
        busy.beforeOpen = [&](std::u16string_view) {
            const QCursor* pointer = QApplication::overrideCursor();
            hourglass.push_back(pointer != nullptr && pointer->shape() == Qt::WaitCursor);
        };
        expectWarning(kReadFailed);
        expectWarning(kReadFailed);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            work(dialog);
            [&] { QVERIFY(QApplication::overrideCursor() == nullptr); }();  // told after it
            busy.openAgain();  // the other program is done
            registerInDialog(QStringLiteral("mnop"), QStringLiteral("pw4"));
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        QVERIFY(
            !OptionsDialog::open(state_, settings_, busy, dialogs_, nullptr, paneFont(settings_)));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(hourglass.size() >= 4);  // three reads, then the save
        QVERIFY(std::all_of(hourglass.begin(), hourglass.end(), [](bool shown) { return shown; }));

        QCOMPARE(changes(storedBefore, held(everyone)),
                 sorted({"UserCount: 3 -> 4", "User4: - -> mnop", "mnop|Password: - -> pw4"}));
        QCOMPARE(changes(memoryBefore, memory()),
                 sorted({"userNames: [][abcd][efgh][ijkl] -> [][abcd][efgh][ijkl][mnop]"}));
        const std::pair<std::u16string, std::u16string> logins[] = {
            {u"abcd", u"pw1"}, {u"efgh", u"pw2"}, {u"ijkl", u"pw3"}, {u"mnop", u"pw4"}};
        for (const auto& [user, password] : logins) {
            QCOMPARE(readPassword(*store_, kSettingsKeyPath, user).value, password);
        }
    }

#ifndef Q_OS_WIN
    // The same with the real store, held by another connection with BEGIN EXCLUSIVE while the
    // dialog opens (each read waits out the busy timeout, then fails), and released before OK.
    void aLockedStoreWhileOptionsOpensLosesNoPassword() {
        registerUsers({{u"abcd", u"pw1", false}, { u"efgh", u"pw2", false }}, u"abcd");
        state_.optionsTab = 2;
        const std::vector<std::u16string> everyone = {u"abcd", u"efgh", u"ijkl"};
        const auto storedBefore = held(everyone);
        const auto memoryBefore = memory();
        sqlite3* other = nullptr;
        const QByteArray file = folder_->filePath(QStringLiteral("settings.db")).toLocal8Bit();
        QCOMPARE(sqlite3_open(file.constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        expectWarning(kReadFailed);
        expectWarning(kReadFailed);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            work(dialog);
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(other);
            other = nullptr;
            registerInDialog(QStringLiteral("ijkl"), QStringLiteral("pw3"));
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        QVERIFY(!OptionsDialog::open(state_, settings_, *store_, dialogs_, nullptr,
                                     paneFont(settings_)));
        if (other != nullptr) sqlite3_close(other);
        QCOMPARE(changes(storedBefore, held(everyone)),
                 sorted({"UserCount: 2 -> 3", "User3: - -> ijkl", "ijkl|Password: - -> pw3"}));
        QCOMPARE(changes(memoryBefore, memory()),
                 sorted({"userNames: [][abcd][efgh] -> [][abcd][efgh][ijkl]"}));
        for (const auto& [user, password] :
             {std::pair{u"abcd", u"pw1"}, std::pair{u"efgh", u"pw2"}, std::pair {
                  u"ijkl",
                  u"pw3"
              }}) {
            QCOMPARE(readPassword(*store_, kSettingsKeyPath, user).value, std::u16string(password));
        }
    }
#endif

    // Two full copies of the program: the other registers ijkl while this dialog is open on the
    // list it read before. This OK deletes efgh and registers mnop; ijkl stays, with its
    // password, and the window lists what the store now holds.
    void aSaveFromAnOlderCopyKeepsUsersRegisteredSince() {
        registerUsers({{u"abcd", u"pw1", false}, {u"efgh", u"pw2", false}}, u"abcd");
        state_.optionsTab = 2;
        const std::vector<std::u16string> everyone = {u"abcd", u"efgh", u"ijkl", u"mnop"};
        const auto memoryBefore = memory();
        testing_support::Snapshot storedBefore;
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            work(dialog);
            const auto other = secondStore();
            const auto failure = saveAllSettings(*other, kSettingsKeyPath,
                                                 {{u"abcd", u"", false, true},
                                                  {u"efgh", u"", false, true},
                                                  {u"ijkl", u"pw3", false}},
                                                 OptionsValues{}, u"");
            [&] { QVERIFY(!failure); }();
            storedBefore = held(everyone);
            typeName("efgh");
            expectPrompt(PasswordPrompt::kDeleteUser, QStringLiteral("pw2"), true);
            find<QPushButton>("cmdDelete")->click();
            registerInDialog(QStringLiteral("mnop"), QStringLiteral("pw4"));
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        QVERIFY(!OptionsDialog::open(state_, settings_, *store_, dialogs_, nullptr,
                                     paneFont(settings_)));
        QCOMPARE(
            changes(storedBefore, held(everyone)),
            sorted({"User2: efgh -> mnop", "efgh|Password: pw2 -> -", "mnop|Password: - -> pw4"}));
        QCOMPARE(changes(memoryBefore, memory()),
                 sorted({"userNames: [][abcd][efgh] -> [][abcd][mnop][ijkl]",
                         "promptUser:  -> efgh", "promptPassword:  -> pw2"}));
    }

    // A face whose name the store cannot hold (a letter CP932 lacks, more than 32 bytes) is
    // told of at OK, and neither stored nor taken by the window: the panes keep the stored font,
    // as the next start would. Everything else is saved.
    void aFontTheStoreCannotHoldIsToldAndNotTaken_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("storable");
        QTest::newRow("a letter CP932 lacks") << QStringLiteral("Zoë Sans") << false;
        QTest::newRow("33 bytes") << QString(33, QLatin1Char('A')) << false;
        QTest::newRow("17 full-width letters, 34 bytes") << QString(17, QChar(0xFF21)) << false;
        QTest::newRow("32 bytes, the most") << QString(32, QLatin1Char('A')) << true;
        QTest::newRow("16 full-width letters, 32 bytes") << QString(16, QChar(0xFF21)) << true;
    }
    void aFontTheStoreCannotHoldIsToldAndNotTaken() {
        QFETCH(QString, name);
        QFETCH(bool, storable);
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        state_.optionsTab = 1;
        const auto storedBefore = held({u"abcd"});
        const auto memoryBefore = memory();
        QFont chosen(name, 14);
        chosen.setBold(true);
        dialogs_.expectExec(QStringLiteral("frmOptions"), [&](QDialog& dialog) {
            work(dialog);
            find<QCheckBox>("chkToolbar")->click();
            dialogs_.expectFont(chosen);
            find<QPushButton>("cmdFont")->click();
            if (!storable) expectWarning(kFontNotSaved);  // once the dialog has closed
            okButton()->click();
            shown_ = nullptr;
            return dialog.result();
        });
        QVERIFY(!OptionsDialog::open(state_, settings_, *store_, dialogs_, nullptr,
                                     paneFont(settings_)));
        QStringList stored = {"ShowToolbar: 1 -> 0"};
        QStringList inMemory = {"settings.showToolbar: 1 -> 0"};
        if (storable) {
            stored << "FontName: ＭＳ ゴシック -> " + name << "FontSize: 11 -> 14"
                   << "FontBold: 0 -> -1";
            inMemory << "settings.fontName: ＭＳ ゴシック -> " + name
                     << "settings.fontSize: 11 -> 14"
                     << "settings.fontBold: 0 -> 1";
        }
        QCOMPARE(changes(storedBefore, held({u"abcd"})), sorted(stored));
        QCOMPARE(changes(memoryBefore, memory()), sorted(inMemory));
    }

    void cancelKeepsEverything() {
        registerUsers({{u"abcd", u"pw1", false}}, u"abcd");
        open(2);
        registerInDialog(QStringLiteral("Zed"), QStringLiteral("pw3"));
        find<QCheckBox>("chkStartup")->click();
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(state_.userNames, (std::vector<std::u16string>{u"", u"abcd"}));
        QCOMPARE(settings_.startup, 0);
        QCOMPARE(*loadUserNames(*store_, kSettingsKeyPath),
                 (std::vector<std::u16string>{u"", u"abcd"}));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
