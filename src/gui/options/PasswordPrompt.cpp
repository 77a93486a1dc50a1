#include "gui/options/PasswordPrompt.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/InputMethod.h"
#include "gui/options/AccountKeys.h"

namespace voxilo {

const QString PasswordPrompt::kDeleteUser = QStringLiteral("ユーザーの削除");
const QString PasswordPrompt::kShowCipher = QStringLiteral("暗号化情報の表示");
const QString PasswordPrompt::kLogIn = QStringLiteral("ログイン");

PasswordPrompt::PasswordPrompt(AppState& state, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), state_(state), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmDelete"));
    setWindowTitle(QStringLiteral("ユーザー名の削除"));  // every caller sets its own
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* label = new QLabel(QStringLiteral("パスワードを入力してください。"), this);
    label->setObjectName(QStringLiteral("Label1"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("txtPassword"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setAccessibleName(QStringLiteral("パスワード"));
    label->setBuddy(password_);
    keepConverterOut(*password_);
    password_->setContextMenuPolicy(Qt::NoContextMenu);  // typing only, through the filter
    password_->setAcceptDrops(false);
    password_->installEventFilter(this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    ok_->setEnabled(false);
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(password_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed border: it cannot be resized
    setTabOrder(password_, ok_);
    setTabOrder(ok_, cancel_);

    connect(password_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, &PasswordPrompt::accepted);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        state_.promptAccepted = false;
        reject();
    });
    // Escape presses Cancel; the close box leaves PromptAccepted as the caller set it (false).
}

bool PasswordPrompt::confirm(AppState& state, Dialogs& dialogs, QWidget* parent,
                             const QString& caption, const std::u16string& user,
                             const std::u16string& password) {
    state.promptAccepted = false;
    state.promptUser = user;
    state.promptPassword = password;
    PasswordPrompt prompt(state, dialogs, parent);
    dialogs.beep();
    prompt.setWindowTitle(caption);
    // The caption does not say whose password is asked for; a screen reader tells it aside.
    const QString whose = QStringLiteral("ユーザー : ") + QString::fromStdU16String(user);
    prompt.setAccessibleDescription(whose);
    prompt.passwordBox()->setAccessibleDescription(whose);
    dialogs.exec(prompt);
    return state.promptAccepted;
}

void PasswordPrompt::accepted() {
    if (password_->text().toStdU16String() != state_.promptPassword) {
        dialogs_.message(this, QStringLiteral("パスワードが違います。"), AppInfo::title(),
                         Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        password_->setFocus();
        password_->selectAll();
        return;
    }
    if (windowTitle() == kDeleteUser) {
        const QString question = QStringLiteral("ユーザー : ") +
                                 QString::fromStdU16String(state_.promptUser) +
                                 QStringLiteral(" を削除してよろしいですか。");
        state_.promptAccepted =
            dialogs_.message(this, question, AppInfo::title(), Dialogs::Buttons::YesNo,
                             MessageIcon::Question) == Dialogs::Answer::Yes;
    } else {
        state_.promptAccepted = true;
    }
    accept();
}

bool PasswordPrompt::eventFilter(QObject* watched, QEvent* event) {
    if (watched == password_ && event->type() == QEvent::FocusIn) {
        // Select the whole text once the focus has settled in the box.
        QTimer::singleShot(0, password_, [box = password_] { box->selectAll(); });
    }
    if (watched != password_ || event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (isModifierAlone(key->key())) return true;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
        key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
        key->key() == Qt::Key_Backtab) {
        return false;  // the dialog's own keys: OK, Cancel, moving between controls
    }
    if (!isAccountKeyPress(*key, false)) {
        dialogs_.beep();
        return true;  // discarded
    }
    return false;
}

}  // namespace voxilo
