#include "gui/options/AccountSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/QtText.h"
#include "gui/options/AccountKeys.h"
#include "gui/options/OptionsDialog.h"
#include "gui/options/PasswordPrompt.h"

namespace voxilo {
namespace {

const QString kWrongPassword = QStringLiteral("パスワードが違います。");
const QString kBadName = QStringLiteral("ユーザー名は半角英数8文字以内を入力してください。");
// Names are stored under keys that ignore letter case: abcd and ABCD would share one.
QString takenNameText(const std::u16string& registered) {
    return QStringLiteral(
               "ユーザー名 %1 が登録されています。\r\n"
               "大文字と小文字だけが違うユーザー名は登録できません。")
        .arg(qtext(registered));
}
constexpr int kLongestName = 8;

// A name is what the key filter lets through: one to eight half-width letters and digits. A
// name becomes part of its user's key path, so nothing else may slip in, not even by pasting.
bool isValidUserName(const QString& name) {
    if (name.isEmpty() || name.size() > kLongestName) return false;
    return std::all_of(name.begin(), name.end(), isAsciiLetterOrDigit);
}

}  // namespace

AccountSettings::AccountSettings(OptionsDialog& dialog, AppState& state, Dialogs& dialogs)
    : QObject(&dialog), dialog_(dialog), state_(state), dialogs_(dialogs) {}

void AccountSettings::load(
    const std::function<std::u16string(const std::u16string&)>& storedPassword) {
    users_.assign(1, EditedUser{});
    {
        const QSignalBlocker quiet(user_);
        user_->clear();
    }
    for (std::size_t k = 1; k < state_.userNames.size(); ++k) {
        const std::u16string& name = state_.userNames[k];
        // The stored password stays as it is unless it is changed here: one that could not be
        // read is "" in the copy, and must not become "" in the store.
        users_.push_back({name, storedPassword(name), false, true});
        const QSignalBlocker quiet(user_);
        user_->addItem(qtext(name), static_cast<int>(k));
    }
    setListIndex(-1);
    user_->setEditText(QString());
    selectionChanged();

    currentUser_->setText(QStringLiteral("現在のユーザー : ") + qtext(state_.currentUser));
    // A key code or pattern out of range (a damaged store) shows no choice at all.
    key_->setCurrentIndex(state_.keyCode >= 1 && state_.keyCode <= kKeyCodes ? state_.keyCode - 1
                                                                             : -1);
    if (state_.pattern >= 0 && state_.pattern < kPatterns) {
        pattern_->button(state_.pattern)->setChecked(true);
    }
}

void AccountSettings::updateControls() {
    const bool selected = userSelected();
    const bool typed = !user_->currentText().trimmed().isEmpty();
    OptionsDialog::enableBox(password_, !selected && typed);
    OptionsDialog::enableBox(check_, !selected && typed && !password_->text().trimmed().isEmpty());
    OptionsDialog::enableBox(new_, selected);
    delete_->setEnabled(selected);
    OptionsDialog::enableBox(now_, !new_->text().trimmed().isEmpty());
}

std::vector<EditedUser> AccountSettings::editedUsers() const {
    return {users_.begin() + 1, users_.end()};
}

std::u16string AccountSettings::passwordOf(const std::u16string& user) const {
    for (const EditedUser& entry : users_) {
        if (entry.user == user) return entry.password;
    }
    return {};
}

bool AccountSettings::currentUserDeleted() const {
    for (std::size_t k = 1; k < users_.size(); ++k) {
        if (users_[k].user == state_.currentUser) return users_[k].deleted;
    }
    return false;
}

// Only a choice that differs from the logged-in user's is saved: the dialog shows the key code
// 1 and pattern 0 also when the user's could not be read at login, and those must not be stored
// over the real ones.
std::u16string AccountSettings::keyCodeText() const {
    const int key = key_->currentIndex();
    return key >= 0 && key != state_.keyCode - 1 ? key_->currentText().toStdU16String()
                                                 : std::u16string();
}

std::int16_t AccountSettings::patternIndex() const {
    const int pattern = pattern_->checkedId();
    return static_cast<std::int16_t>(pattern >= 0 && pattern != state_.pattern ? pattern : -1);
}

bool AccountSettings::cipherChanged() const {
    return !keyCodeText().empty() || patternIndex() >= 0;
}

// The list's selection, set by the program without raising its handling; with no entry the
// typed text stays in the box.
void AccountSettings::setListIndex(int index) {
    listIndex_ = index;
    const QSignalBlocker quiet(user_);
    if (index >= 0) {
        user_->setCurrentIndex(index);
        user_->setEditText(user_->itemText(index));
        return;
    }
    const QString typed = user_->lineEdit()->text();
    const int caret = user_->lineEdit()->cursorPosition();
    user_->setCurrentIndex(-1);
    user_->setEditText(typed);
    user_->lineEdit()->setCursorPosition(caret);
}

// Typing a name completes it from the list: with abcd registered, ab shows abcd with cd
// selected, so typing on replaces the completed part.
void AccountSettings::userTextChanged() {
    if (completing_) return;
    const QString typed = user_->lineEdit()->text();
    if (!typed.trimmed().isEmpty()) {
        for (int i = 0; i < user_->count(); ++i) {
            const QString name = user_->itemText(i);
            if (!name.startsWith(typed, Qt::CaseSensitive)) continue;
            completing_ = true;
            setListIndex(i);
            selectionChanged();
            completing_ = false;
            user_->lineEdit()->setSelection(static_cast<int>(typed.size()),
                                            static_cast<int>(name.size() - typed.size()));
            return;
        }
    }
    setListIndex(-1);
    for (QLineEdit* box : {password_, check_, new_, now_}) box->clear();
    dialog_.markChanged();
}

void AccountSettings::userChosen(int index) {
    setListIndex(index);
    selectionChanged();
}

// A selected user's password goes, masked, into the (disabled) password box: it is what the
// current password is checked against.
void AccountSettings::selectionChanged() {
    if (listIndex_ < 0) {
        password_->clear();
    } else {
        const int entry = user_->itemData(listIndex_).toInt();
        password_->setText(qtext(users_[static_cast<std::size_t>(entry)].password));
    }
    for (QLineEdit* box : {check_, new_, now_}) box->clear();
    dialog_.updateOptionControls();
}

void AccountSettings::clearUserText() {
    setListIndex(-1);
    user_->setEditText(QString());
    userTextChanged();
}

// The registered user, not deleted in this dialog, whose name differs from `name` in letter
// case only; nullptr when there is none.
const EditedUser* AccountSettings::sameKeyAs(const QString& name) const {
    const std::u16string typed = name.toStdU16String();
    for (std::size_t k = 1; k < users_.size(); ++k) {
        const EditedUser& entry = users_[k];
        if (!entry.deleted && entry.user != typed && sameIgnoringCase(entry.user, typed)) {
            return &entry;
        }
    }
    return nullptr;
}

// False, after telling the user why, when `name` cannot be a new user's name.
bool AccountSettings::acceptNewName(const QString& name) {
    if (!isValidUserName(name)) {
        warn(kBadName);
    } else if (const EditedUser* registered = sameKeyAs(name)) {
        warn(takenNameText(registered->user));
    } else {
        return true;
    }
    user_->setFocus();
    return false;
}

void AccountSettings::userBoxLeft() {
    const QString typed = user_->currentText();
    if (typed.isEmpty()) return;
    const int listed = user_->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (listed >= 0 && listed != listIndex_) userChosen(listed);
    if (!userSelected()) acceptNewName(typed);
}

void AccountSettings::registerUser() {
    if (check_->text().isEmpty()) return;
    if (check_->text() != password_->text()) {
        warn(kWrongPassword);
        check_->setFocus();
        return;
    }
    // The name was checked on leaving its box; it is checked again, as whatever reached the
    // box since then must not become a user's key.
    const QString name = user_->currentText();
    if (userSelected()) {
        warn(kBadName);
        user_->setFocus();
        return;
    }
    if (!acceptNewName(name)) return;
    users_.push_back({name.toStdU16String(), password_->text().toStdU16String(), false});
    {
        const QSignalBlocker quiet(user_);
        user_->addItem(name, static_cast<int>(users_.size() - 1));
    }
    clearUserText();
}

void AccountSettings::changePassword() {
    if (now_->text().isEmpty()) return;
    if (now_->text() != password_->text()) {
        warn(kWrongPassword);
        now_->setFocus();
        return;
    }
    if (!userSelected()) return;
    EditedUser& entry = users_[static_cast<std::size_t>(user_->itemData(listIndex_).toInt())];
    entry.password = new_->text().toStdU16String();
    entry.deleted = false;
    entry.keepStoredPassword = false;
    clearUserText();
}

void AccountSettings::deleteUser() {
    if (userSelected()) {
        const auto entry = static_cast<std::size_t>(user_->itemData(listIndex_).toInt());
        const EditedUser chosen = users_[entry];
        if (PasswordPrompt::confirm(state_, dialogs_, &dialog_, PasswordPrompt::kDeleteUser,
                                    chosen.user, chosen.password)) {
            users_[entry].deleted = true;
            {
                const QSignalBlocker quiet(user_);
                user_->removeItem(listIndex_);
            }
            setListIndex(-1);
            user_->setEditText(QString());
            password_->clear();
            dialog_.markChanged();
        }
        state_.promptAccepted = false;
        user_->setFocus();
    }
    dialog_.updateOptionControls();
}

void AccountSettings::warn(const QString& text) {
    dialogs_.message(&dialog_, text, AppInfo::title(), Dialogs::Buttons::Ok,
                     MessageIcon::Exclamation);
}

bool AccountSettings::filterKey(QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (isModifierAlone(key->key())) return false;
    switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
            return false;  // the dialog's own keys: moving between controls, Cancel
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Refused like any other key the boxes do not take; in the name box the list would
            // otherwise pick an entry by its own, case-blind rule.
            dialogs_.beep();
            return true;
        default:
            break;
    }
    if (!isAccountKeyPress(*key, true)) {
        dialogs_.beep();
        return true;  // discarded
    }
    return false;
}

bool AccountSettings::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return filterKey(event);
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            // No pasting the selection with the middle button: typed keys only.
            return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
        case QEvent::FocusIn:
            if (watched == password_ || watched == check_ || watched == new_ || watched == now_) {
                auto* box = static_cast<QLineEdit*>(watched);
                QTimer::singleShot(0, box, [box] { box->selectAll(); });
            }
            break;
        case QEvent::FocusOut: {
            // Leaving a box counts when the focus moves within the dialog, not when another
            // window (a message box, say) comes to the front.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
            if (watched == user_ || watched == user_->lineEdit()) {
                QWidget* next = QApplication::focusWidget();
                if (next != user_ && next != user_->lineEdit()) userBoxLeft();
            } else if (watched == check_) {
                registerUser();
            } else if (watched == now_) {
                changePassword();
            }
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace voxilo
