#include "gui/options/OptionsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/BusyCursor.h"
#include "gui/dialogs/StoreAlerts.h"
#include "gui/options/AccountKeys.h"
#include "gui/options/AccountSettings.h"
#include "gui/options/FontChoice.h"
#include "gui/options/PasswordPrompt.h"

namespace voxilo {
namespace {

constexpr int kGeneralTab = 1;
constexpr int kUserTab = 2;
constexpr int kCipherTab = 3;
constexpr int kLargestCount = 99;

// The retry count as it may be saved: a whole number the box's rule has kept to 1..99.
std::optional<int> countValue(const QString& text) {
    bool number = false;
    const int count = text.trimmed().toInt(&number);
    if (!number || count < 1 || count > kLargestCount) return std::nullopt;
    return count;
}

bool isDigitKey(int key) { return key >= Qt::Key_0 && key <= Qt::Key_9; }

}  // namespace

OptionsDialog::OptionsDialog(AppState& state, ProgramSettings& settings, ValueStore& store,
                             Dialogs& dialogs, const QFont& paneFont, QWidget* parent)
    : QDialog(parent), state_(state), settings_(settings), store_(store), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("ｵﾌﾟｼｮﾝ"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    accounts_ = new AccountSettings(*this, state_, dialogs_);

    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("tbsOptions"));
    tabs_->setExpanding(false);
    const struct {
        const char* caption;
        const char* key;
        const char* tip;
    } tabs[] = {
        {"全般", "Setting", "Voxiloの基本設定"},
        {"ユーザー情報", "User", "ﾕｰｻﾞｰ名、ﾊﾟｽﾜｰﾄﾞの登録"},
        {"暗号化情報", "Code", "暗号化ｷｰ、変換ﾊﾟﾀｰﾝの設定"},
    };
    for (const auto& tab : tabs) {
        const int index = tabs_->addTab(QString::fromUtf8(tab.caption));
        tabs_->setTabData(index, QString::fromLatin1(tab.key));
        tabs_->setTabToolTip(index, QString::fromUtf8(tab.tip));
    }
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("picOptions"));
    pages_->setFrameShape(QFrame::StyledPanel);
    pages_->addWidget(makeGeneralPage());
    pages_->addWidget(accounts_->makeUserPage());
    pages_->addWidget(accounts_->makeCipherPage());

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {ok_, cancel_}) {
        button->setAutoDefault(false);  // Enter in a box presses nothing
        button->setDefault(false);
        button->installEventFilter(this);  // Enter on the button itself presses it
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(tabs_);
    layout->addWidget(pages_);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(tabs_, &QTabBar::currentChanged, this, &OptionsDialog::tabClicked);
    connect(ok_, &QPushButton::clicked, this, &OptionsDialog::confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    qApp->installEventFilter(this);  // the dialog sees Ctrl+Tab before its controls

    load(paneFont);
}

OptionsDialog::~OptionsDialog() { qApp->removeEventFilter(this); }

void OptionsDialog::load(const QFont& paneFont) {
    startup_->setChecked(settings_.startup != 0);  // the login asks for any value but 0
    if (startup_->isChecked()) {
        retry_->setChecked(settings_.retry >= 1);
        // The box holds two digits: a larger stored count shows as the rule keeps it, 99.
        count_->setText(QString::number(std::min<int>(settings_.retry, 99)));
    } else {
        retry_->setChecked(false);
        count_->setText(QStringLiteral("3"));
    }
    toolbar_->setChecked(settings_.showToolbar == 1);
    statusbar_->setChecked(settings_.showStatusbar == 1);

    QFont preview;
    preview.setFamilies(paneFont.families().isEmpty() ? QStringList{paneFont.family()}
                                                      : paneFont.families());
    preview.setPointSizeF(paneFont.pointSizeF() > 0 ? paneFont.pointSizeF() : 11);
    preview.setBold(paneFont.bold());
    preview.setItalic(paneFont.italic());
    preview_->setFont(preview);

    accounts_->load([this](const std::u16string& name) {
        StoreRead<std::u16string> password;
        {
            // A store another program holds makes each read wait up to its busy timeout.
            const BusyCursor busy;
            password = readPassword(store_, state_.settingsKey, name);
        }
        if (password.failure) showStoreFailure(dialogs_, this, *password.failure);
        return password.value;
    });

    // The dialog never opens on the encryption tab: that takes the password first.
    if (state_.optionsTab == kCipherTab) state_.optionsTab = kGeneralTab;
    if (state_.optionsTab < kGeneralTab || state_.optionsTab > kCipherTab) {
        state_.optionsTab = kGeneralTab;
    }
    selectTab(state_.optionsTab);

    applyTabOrder();
    changed_ = false;
    updateOptionControls();
    // The first keystroke goes where the page's work starts.
    if (state_.optionsTab == kUserTab) {
        accounts_->userBox()->setFocus();
    } else {
        tabs_->setFocus();
    }
}

QFont OptionsDialog::previewFont() const { return preview_->font(); }

void OptionsDialog::enableBox(QLineEdit* box, bool enabled) {
    box->setEnabled(enabled);
    QPalette palette = box->palette();
    const QColor background = enabled ? QColor(255, 255, 255) : QColor(192, 192, 192);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
    }
    // What a grey box holds stays readable: a selected user's masked password, the count.
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(96, 96, 96));
    box->setPalette(palette);
}

void OptionsDialog::markChanged() {
    changed_ = true;
    updateOptionControls();
}

void OptionsDialog::updateOptionControls() {
    if (ok_ == nullptr) return;  // still being made
    retry_->setEnabled(startup_->isChecked());
    enableBox(count_, retry_->isChecked());
    accounts_->updateControls();
    ok_->setEnabled(changed_);
}

// The box that still waits: a new user's confirmation, or the current password for a new one.
QLineEdit* OptionsDialog::unconfirmedBox() const {
    if (!accounts_->userSelected()) {
        const bool waiting =
            !accounts_->passwordBox()->text().isEmpty() && accounts_->checkBox()->text().isEmpty();
        return waiting ? accounts_->checkBox() : nullptr;
    }
    const bool waiting =
        !accounts_->newBox()->text().isEmpty() && accounts_->nowBox()->text().isEmpty();
    return waiting ? accounts_->nowBox() : nullptr;
}

bool OptionsDialog::passwordEntriesConfirmed() {
    QLineEdit* waiting = unconfirmedBox();
    if (waiting == nullptr) return true;
    dialogs_.message(this, QStringLiteral("入力したパスワードの確認がされていません。"),
                     AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Exclamation);
    waiting->setFocus();
    return false;
}

// Selecting a tab from code raises the tab's handling as a click does.
void OptionsDialog::selectTab(int tab) {
    if (tabs_->currentIndex() == tab - 1) {
        tabClicked();
    } else {
        tabs_->setCurrentIndex(tab - 1);
    }
}

void OptionsDialog::tabClicked() {
    if (reselecting_) {
        reselecting_ = false;
        switchPages();
        return;
    }
    // A click on a tab takes the focus first: leaving a box does its work (registering a user,
    // checking a name) before anything the tab asks for, and a fault found there keeps the page.
    if (!leavePage()) return;
    if (!passwordEntriesConfirmed()) {
        reselecting_ = true;
        selectTab(kUserTab);  // back to the unfinished entry
        if (QLineEdit* waiting = unconfirmedBox()) waiting->setFocus();
        return;
    }
    if (tabs_->currentIndex() != kCipherTab - 1) {
        switchPages();
        return;
    }
    if (state_.currentUser.empty()) {
        dialogs_.message(this,
                         QStringLiteral("暗号化情報はログインしているユーザーの設定です。\r\n\r\n"
                                        "ユーザー名が未登録の場合、暗号化情報を表示できません。"),
                         AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Information);
        reselecting_ = true;
        selectTab(kUserTab);
        return;
    }
    const auto answer = dialogs_.message(
        this,
        QStringLiteral("暗号化情報は現在ログインしているユーザーの設定です。\r\n"
                       "ほかのユーザーの暗号化情報を設定する場合は、ログインし直す必要があります。"
                       "\r\n\r\n暗号化情報を表示しますか。"),
        AppInfo::title(), Dialogs::Buttons::YesNo, MessageIcon::Question);
    // The key code shows only to whoever gives the logged-in user's password (as changed in
    // this dialog, if it was).
    if (answer == Dialogs::Answer::Yes &&
        PasswordPrompt::confirm(state_, dialogs_, this, PasswordPrompt::kShowCipher,
                                state_.currentUser, accounts_->passwordOf(state_.currentUser))) {
        state_.promptAccepted = false;
        switchPages();
        return;
    }
    reselecting_ = true;
    selectTab(kGeneralTab);
}

// The focus leaves the shown page before another tab's work, so that leaving a box does its
// work now. When that work finds a fault, it puts the focus back into the box: the shown page's
// tab is selected again and false returned.
bool OptionsDialog::leavePage() {
    const int shown = pages_->currentIndex();
    QWidget* focused = focusWidget();
    if (focused == nullptr || tabs_->currentIndex() == shown ||
        !pages_->currentWidget()->isAncestorOf(focused)) {
        return true;
    }
    tabs_->setFocus(Qt::TabFocusReason);
    QWidget* back = focusWidget();
    if (back != nullptr && pages_->currentWidget()->isAncestorOf(back)) {
        reselecting_ = true;
        selectTab(shown + 1);
        return false;
    }
    return true;
}

// Exactly the selected tab's page is shown and enabled.
void OptionsDialog::switchPages() {
    const int selected = tabs_->currentIndex();
    if (!leavePage()) return;
    for (int page = 0; page < pages_->count(); ++page) {
        pages_->widget(page)->setEnabled(page == selected);
    }
    pages_->setCurrentIndex(selected);
    state_.optionsTab = static_cast<std::int16_t>(selected + 1);
}

// The count is a number from 1 to 99: 0 becomes 1. An empty box stays empty.
void OptionsDialog::countChanged() {
    bool number = false;
    const long long count = count_->text().trimmed().toLongLong(&number);
    if (number && count <= 0) {
        count_->setText(QStringLiteral("1"));
    } else if (number && count > kLargestCount) {
        count_->setText(QString::number(kLargestCount));
    }
    markChanged();
}

bool OptionsDialog::filterCountKey(QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (isModifierAlone(key->key())) return false;
    switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
            return false;  // the dialog's own keys (Enter is refused, as in every box here)
        default:
            break;
    }
    const bool chord =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool allowed = isDigitKey(key->key()) || isCaretOrDeleteKey(key->key());
    const QString typed = key->text();
    const bool allowedText = typed.isEmpty() || key->key() == Qt::Key_Backspace ||
                             key->key() == Qt::Key_Delete ||
                             (typed.size() == 1 && typed[0] >= u'0' && typed[0] <= u'9');
    if (chord || !allowed || !allowedText) {
        dialogs_.beep();
        return true;
    }
    return false;
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        // Ctrl+Tab, with Ctrl alone held, anywhere in the dialog: the next tab, round to the
        // first.
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier &&
            widget != nullptr && widget->window() == this) {
            selectTab((tabs_->currentIndex() + 1) % tabs_->count() + 1);
            return true;
        }
        if (watched == count_) return filterCountKey(event);
        if ((watched == ok_ || watched == cancel_) &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    if (watched == count_) {
        if (event->type() == QEvent::FocusIn) {
            QTimer::singleShot(0, count_, [box = count_] { box->selectAll(); });
        } else if (event->type() == QEvent::MouseButtonRelease ||
                   event->type() == QEvent::MouseButtonPress) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OptionsDialog::chooseFont() {
    const std::optional<QFont> chosen = pickFont(dialogs_, this, preview_->font());
    if (!chosen) return;  // cancelled: nothing changes
    preview_->setFont(*chosen);
    markChanged();
}

void OptionsDialog::confirm() {
    if (!passwordEntriesConfirmed()) return;
    const std::vector<EditedUser> users = accounts_->editedUsers();
    if (std::none_of(users.begin(), users.end(), [](const EditedUser& u) { return !u.deleted; })) {
        // Nobody would be left to log in.
        startup_->setChecked(false);
        retry_->setChecked(false);
        count_->setText(QStringLiteral("0"));
    }
    const std::optional<int> count = countValue(count_->text());
    if (retry_->isChecked() && !count) {
        // A limit nobody chose is not saved: the box is to be filled in.
        if (tabs_->currentIndex() != kGeneralTab - 1) selectTab(kGeneralTab);
        dialogs_.message(this, QStringLiteral("パスワードの再入力回数を入力してください。"),
                         AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        count_->setFocus();
        return;
    }

    const QFont font = preview_->font();
    OptionsValues values;
    values.startup = startup_->isChecked() ? 1 : 0;
    values.retryLimited = retry_->isChecked() ? 1 : 0;
    values.retryCount = count_->text().toStdU16String();
    values.showToolbar = toolbar_->isChecked() ? 1 : 0;
    values.showStatusbar = statusbar_->isChecked() ? 1 : 0;
    values.fontName = font.family().toStdU16String();
    values.fontSize = font.pointSizeF();
    values.fontBold = font.bold();
    values.fontItalic = font.italic();
    values.keyCodeText = accounts_->keyCodeText();
    values.patternIndex = accounts_->patternIndex();
    std::vector<std::u16string> savedNames;
    std::optional<StoreFailure> failure;
    {
        const BusyCursor busy;  // a busy store is waited for, and read back after a failure
        failure = saveAllSettings(store_, state_.settingsKey, users, values, state_.currentUser,
                                  &savedNames);
        // The window goes on with what the store holds, not with what was asked of it: a
        // change that was not kept is neither shown nor a reason to end.
        if (failure == StoreFailure::SaveFailed) takeStoredSettings();
    }
    saveFailure_ = failure;
    if (failure == StoreFailure::SaveFailed) {
        accept();
        return;
    }

    settings_.startup = values.startup;
    settings_.retry = static_cast<std::int16_t>(retry_->isChecked() ? *count : 0);
    // The list as stored: users another copy of the program registered meanwhile included.
    state_.userNames = std::move(savedNames);
    settings_.showToolbar = values.showToolbar;
    settings_.showStatusbar = values.showStatusbar;
    // A font the store could not take stays out of the window too: the next start would not
    // have it.
    if (failure != StoreFailure::FontNotSaved) {
        settings_.fontName = values.fontName;
        settings_.fontSize = wholePoints(values.fontSize);
        settings_.fontBold = values.fontBold;
        settings_.fontItalic = values.fontItalic;
    }
    // The logged-in user's own key code, pattern or existence changed: the program must end.
    if (accounts_->currentUserDeleted() || accounts_->cipherChanged()) {
        state_.exitRequested = true;
    }
    accept();
}

// After a save that failed part-way or was not kept at all: the users, the program-wide
// settings and the logged-in user's key code and pattern as the store now holds them. What
// cannot be read stays as it was before the dialog opened.
void OptionsDialog::takeStoredSettings() {
    auto names = loadUserNames(store_, state_.settingsKey);
    if (names) state_.userNames = std::move(*names);
    if (auto stored = loadProgramSettings(store_, state_.settingsKey, settings_.currentPath)) {
        stored->currentPath = settings_.currentPath;  // the file dialogs' own, not the dialog's
        settings_ = std::move(*stored);
    }
    if (state_.currentUser.empty()) return;  // the first run: nobody is logged in yet
    const bool stillListed = std::find(state_.userNames.begin() + 1, state_.userNames.end(),
                                       state_.currentUser) != state_.userNames.end();
    if (names && !stillListed) {
        // The user's deletion was stored before the failure: the program ends as after a
        // deletion that was saved whole.
        state_.exitRequested = true;
        return;
    }
    const auto keyCode = readKeyCode(store_, state_.settingsKey, state_.currentUser);
    const auto pattern = readPattern(store_, state_.settingsKey, state_.currentUser);
    if (!keyCode.failure) state_.keyCode = keyCode.value;
    if (!pattern.failure) state_.pattern = pattern.value;
}

bool OptionsDialog::open(AppState& state, ProgramSettings& settings, ValueStore& store,
                         Dialogs& dialogs, QWidget* parent, const QFont& paneFont) {
    std::optional<StoreFailure> saveFailure;
    {
        OptionsDialog dialog(state, settings, store, dialogs, paneFont, parent);
        dialogs.exec(dialog);
        saveFailure = dialog.saveFailure_;
    }
    // Told over the window the dialog returns to: the keyboard is back there once it is
    // answered.
    if (saveFailure) showStoreFailure(dialogs, parent, *saveFailure);
    if (!state.exitRequested) return false;
    dialogs.message(parent,
                    QStringLiteral("現在ログインしているユーザーの設定が変更されました。\r\n"
                                   "設定を有効にするためアプリケーションを終了します。"),
                    AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Information);
    return true;
}

}  // namespace voxilo
