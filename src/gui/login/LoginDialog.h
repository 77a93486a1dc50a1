#pragma once

#include <QDialog>

#include <cstdint>

#include "core/AppState.h"
#include "gui/dialogs/Dialogs.h"
#include "core/store/ProgramSettings.h"
#include "core/store/ValueStore.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace voxilo {

// frmLogin: the first window. It asks for a name and a password, or, when start-up asks for
// none, logs the first registered user in by itself. It ends in loggedIn() with
// AppState.currentUser set, or in refused() when the program is to end.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    LoginDialog(AppState& state, const ProgramSettings& settings, ValueStore& store,
                Dialogs& dialogs, QWidget* parent = nullptr);

    // Whether the name and password are asked for (Startup 1; a value other than 0 too).
    bool asksForPassword() const { return asks_; }
    QLineEdit* userNameBox() const { return userName_; }
    QLineEdit* passwordBox() const { return password_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // cmdOK.
    void tryLogIn();

signals:
    void loggedIn();
    void refused();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void warn(const QString& text);
    void logInFirstUser();

    AppState& state_;
    const ProgramSettings& settings_;
    ValueStore& store_;
    Dialogs& dialogs_;
    bool asks_;
    bool done_ = false;              // logged in or refused: nothing more to do
    std::int16_t failedLogins_ = 0;  // stops growing at its 16-bit limit
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace voxilo
