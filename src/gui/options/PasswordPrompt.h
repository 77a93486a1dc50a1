#pragma once

#include <QDialog>

#include "core/AppState.h"
#include "gui/dialogs/Dialogs.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace voxilo {

// frmDelete: the one password prompt of the program. It compares what is typed with
// AppState.promptPassword and reports through AppState.promptAccepted. Its caption, set by the
// caller, chooses the mode; deleting a user also asks whether to go ahead.
class PasswordPrompt : public QDialog {
    Q_OBJECT
public:
    static const QString kDeleteUser;  // "ユーザーの削除"
    static const QString kShowCipher;  // "暗号化情報の表示"
    static const QString kLogIn;       // "ログイン"

    PasswordPrompt(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);

    // The whole exchange, as every caller makes it: hands over the user and the password,
    // beeps, shows the prompt with `caption` modally, and tells whether it was accepted.
    static bool confirm(AppState& state, Dialogs& dialogs, QWidget* parent, const QString& caption,
                        const std::u16string& user, const std::u16string& password);

    QLineEdit* passwordBox() const { return password_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void accepted();

    AppState& state_;
    Dialogs& dialogs_;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace voxilo
