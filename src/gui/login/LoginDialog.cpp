#include "gui/login/LoginDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "core/store/UserRecords.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/BusyCursor.h"
#include "gui/dialogs/InputMethod.h"
#include "gui/dialogs/StoreAlerts.h"

namespace voxilo {

LoginDialog::LoginDialog(AppState& state, const ProgramSettings& settings, ValueStore& store,
                         Dialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      state_(state),
      settings_(settings),
      store_(store),
      dialogs_(dialogs),
      asks_(settings.startup != 0) {
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(AppInfo::title());
    setModal(false);

    auto* nameLabel = new QLabel(QStringLiteral("ﾕｰｻﾞｰ名 :"), this);
    nameLabel->setObjectName(QStringLiteral("lblUserName"));
    auto* passwordLabel = new QLabel(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ :"), this);
    passwordLabel->setObjectName(QStringLiteral("lblpassword"));
    userName_ = new QLineEdit(this);
    userName_->setObjectName(QStringLiteral("txtUserName"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("txtPassword"));
    password_->setEchoMode(QLineEdit::Password);
    // Names and passwords are half-width letters and digits: no converter to toggle off first.
    keepConverterOut(*userName_);
    keepConverterOut(*password_);
    // Each box is spoken by its label's words.
    nameLabel->setBuddy(userName_);
    passwordLabel->setBuddy(password_);
    userName_->setAccessibleName(QStringLiteral("ﾕｰｻﾞｰ名"));
    password_->setAccessibleName(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ"));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    auto* company = new QLabel(QStringLiteral("Produced by ") + AppInfo::companyName(), this);
    company->setObjectName(QStringLiteral("lblCompanyName"));
    auto* copyright = new QLabel(AppInfo::legalNotice(), this);
    copyright->setObjectName(QStringLiteral("lblCopyright"));

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(userName_, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(password_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(company);
    layout->addWidget(copyright);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setTabOrder(userName_, password_);
    setTabOrder(password_, ok_);
    setTabOrder(ok_, cancel_);

    // Without a password to ask for, only the version information shows.
    for (QWidget* input : std::initializer_list<QWidget*>{nameLabel, passwordLabel, userName_,
                                                          password_, ok_, cancel_}) {
        input->setVisible(asks_);
    }
    for (QLineEdit* box : {userName_, password_}) box->installEventFilter(this);
    connect(ok_, &QPushButton::clicked, this, &LoginDialog::tryLogIn);
    connect(cancel_, &QPushButton::clicked, this, &LoginDialog::reject);
}

// Logging in by itself happens once the dialog has been drawn: right after its first paint,
// or a moment after it was shown if no paint comes (a minimised window is not painted).
void LoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!asks_ && !done_) QTimer::singleShot(250, this, &LoginDialog::logInFirstUser);
}

void LoginDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!asks_ && !done_) QTimer::singleShot(0, this, &LoginDialog::logInFirstUser);
}

// The first registered user, or nobody when none is (the main window then takes the first-run
// path).
void LoginDialog::logInFirstUser() {
    if (done_) return;
    done_ = true;
    state_.currentUser = state_.userNames.size() > 1 ? state_.userNames[1] : u"";
    emit loggedIn();
}

void LoginDialog::warn(const QString& text) {
    dialogs_.message(this, text, AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Exclamation);
    userName_->setFocus();
    userName_->selectAll();
}

void LoginDialog::tryLogIn() {
    if (done_) return;
    if (userName_->text().isEmpty()) {
        warn(QStringLiteral("ユーザー名を入力してください。"));
        return;
    }
    if (password_->text().isEmpty()) {
        warn(QStringLiteral("パスワードを入力してください。"));
        return;
    }
    const std::u16string name = userName_->text().toStdU16String();
    const auto& names = state_.userNames;
    bool matches = false;
    if (std::find(names.begin() + 1, names.end(), name) != names.end()) {
        // A user key that cannot be read is told of, and the password then reads as "".
        StoreRead<std::u16string> stored;
        {
            const BusyCursor busy;  // a store another program holds is waited for
            stored = readPassword(store_, state_.settingsKey, name);
        }
        if (stored.failure) showStoreFailure(dialogs_, this, *stored.failure);
        matches = stored.value == password_->text().toStdU16String();
    }
    if (matches) {
        done_ = true;
        state_.currentUser = name;
        emit loggedIn();
        return;
    }
    if (failedLogins_ < std::numeric_limits<std::int16_t>::max()) ++failedLogins_;
    if (settings_.retry > 0 && failedLogins_ >= settings_.retry) {
        done_ = true;
        dialogs_.message(
            this,
            QStringLiteral("Voxiloの利用は拒否されました。\r\n\r\nアプリケーションを終了します。"),
            AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        emit refused();
        return;
    }
    warn(QStringLiteral("ユーザー名またはパスワードが違います。"));
}

// Cancel, Escape and the close box all end the program.
void LoginDialog::reject() {
    if (!done_) {
        done_ = true;
        emit refused();
    }
    QDialog::reject();
}

void LoginDialog::closeEvent(QCloseEvent* event) {
    reject();
    event->accept();
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched)) {
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace voxilo
