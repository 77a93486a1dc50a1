#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/AppState.h"
#include "core/store/UserRecords.h"
#include "gui/dialogs/Dialogs.h"

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace voxilo {

class OptionsDialog;

// The Options dialog's user tab and encryption tab: registering users, changing passwords,
// deleting users, and the logged-in user's key code and pattern. Everything is edited in a
// working copy of the user list, which only the dialog's OK saves.
class AccountSettings : public QObject {
    Q_OBJECT
public:
    static constexpr int kKeyCodes = 25;  // key codes 1 to 25
    static constexpr int kPatterns = 4;   // patterns 0 to 3

    AccountSettings(OptionsDialog& dialog, AppState& state, Dialogs& dialogs);

    // The two pages, made once, with their controls.
    QWidget* makeUserPage();
    QWidget* makeCipherPage();

    // Loading: the registered users with their stored passwords, the key code and pattern.
    void load(const std::function<std::u16string(const std::u16string&)>& storedPassword);
    // Enables and colours this part's controls.
    void updateControls();

    // An entry of the user list is selected (not merely a name typed).
    bool userSelected() const { return listIndex_ >= 0; }
    // The working copy of the users, in order, without the empty entry 0.
    std::vector<EditedUser> editedUsers() const;
    // The working copy's password of the first entry named `user`; "" when there is none.
    std::u16string passwordOf(const std::u16string& user) const;
    bool currentUserDeleted() const;
    // The chosen key code as text, and the chosen pattern, where they differ from the logged-in
    // user's; "" and -1 when none is chosen or the choice is the user's own.
    std::u16string keyCodeText() const;
    std::int16_t patternIndex() const;
    // The chosen key code or pattern differs from the logged-in user's.
    bool cipherChanged() const;

    // The user tab's controls, for the tab order and for tests.
    QComboBox* userBox() const { return user_; }
    QAbstractButton* deleteButton() const { return delete_; }
    QLineEdit* passwordBox() const { return password_; }
    QLineEdit* checkBox() const { return check_; }
    QLineEdit* newBox() const { return new_; }
    QLineEdit* nowBox() const { return now_; }
    QComboBox* keyBox() const { return key_; }
    QButtonGroup* patterns() const { return pattern_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // AccountSettingsPages.cpp: the widgets.
    QLineEdit* makePasswordBox(QWidget* parent, const char* name);
    bool filterKey(QEvent* event);
    void userTextChanged();
    void userChosen(int index);
    void selectionChanged();
    void setListIndex(int index);
    void clearUserText();
    void userBoxLeft();
    const EditedUser* sameKeyAs(const QString& name) const;
    bool acceptNewName(const QString& name);
    void registerUser();
    void changePassword();
    void deleteUser();
    void warn(const QString& text);

    OptionsDialog& dialog_;
    AppState& state_;
    Dialogs& dialogs_;
    // Entry 0 exists and stays empty; the list's item data are indices into it.
    std::vector<EditedUser> users_{EditedUser{}};
    int listIndex_ = -1;       // the selected entry of the user list, -1 for none
    bool completing_ = false;  // the name is being completed by the program

    QComboBox* user_ = nullptr;
    QAbstractButton* delete_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* check_ = nullptr;
    QLineEdit* new_ = nullptr;
    QLineEdit* now_ = nullptr;
    QComboBox* key_ = nullptr;
    QButtonGroup* pattern_ = nullptr;
    QLabel* currentUser_ = nullptr;
};

}  // namespace voxilo
