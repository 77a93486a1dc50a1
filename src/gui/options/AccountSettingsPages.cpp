// The widgets of the user and encryption tabs, and how their signals reach AccountSettings.

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/dialogs/AccessibleComboBox.h"
#include "gui/dialogs/InputMethod.h"
#include "gui/options/AccountSettings.h"
#include "gui/options/OptionsDialog.h"

namespace voxilo {
namespace {

constexpr int kLongestPassword = 8;

QGroupBox* frame(const char* name, const QString& caption, QWidget* content) {
    auto* box = new QGroupBox(caption);
    box->setObjectName(QLatin1String(name));
    // Qt names a frame inside another after the outer one's caption; each is its own.
    box->setAccessibleName(caption);
    // A box alone in its frame is spoken by the frame's caption.
    if (content->focusPolicy() != Qt::NoFocus && content->accessibleName().isEmpty()) {
        content->setAccessibleName(caption);
    }
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

}  // namespace

QLineEdit* AccountSettings::makePasswordBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setEchoMode(QLineEdit::Password);
    box->setMaxLength(kLongestPassword);
    keepConverterOut(*box);
    box->setContextMenuPolicy(Qt::NoContextMenu);  // typing only, through the key filter
    box->setAcceptDrops(false);
    box->installEventFilter(this);
    return box;
}

QWidget* AccountSettings::makeUserPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("picOptions1"));

    user_ = new QComboBox(page);
    user_->setObjectName(QStringLiteral("cboUser"));
    setSpokenName(*user_, QStringLiteral("ユーザー名"));
    user_->setEditable(true);
    user_->setInsertPolicy(QComboBox::NoInsert);
    user_->setCompleter(nullptr);  // completing is ours, and exact as to letter case
    user_->lineEdit()->setAccessibleName(user_->accessibleName());
    keepConverterOut(*user_);
    user_->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
    user_->lineEdit()->setAcceptDrops(false);
    user_->setContextMenuPolicy(Qt::NoContextMenu);
    user_->installEventFilter(this);
    user_->lineEdit()->installEventFilter(this);

    auto* remove = new QPushButton(page);
    remove->setObjectName(QStringLiteral("cmdDelete"));
    remove->setIcon(QIcon::fromTheme(QStringLiteral("edit-delete"),
                                     page->style()->standardIcon(QStyle::SP_TrashIcon)));
    remove->setIconSize(QSize(16, 16));
    remove->setAutoDefault(false);
    remove->setToolTip(QStringLiteral("ﾕｰｻﾞｰ名の削除"));
    remove->setAccessibleName(remove->toolTip());  // it shows a picture only
    delete_ = remove;

    password_ = makePasswordBox(page, "txtPassword");
    check_ = makePasswordBox(page, "txtCheck");
    new_ = makePasswordBox(page, "txtNew");
    now_ = makePasswordBox(page, "txtNow");

    auto* nameRow = new QWidget;
    auto* nameLayout = new QHBoxLayout(nameRow);
    nameLayout->setContentsMargins(0, 0, 0, 0);
    nameLayout->addWidget(user_, 1);
    nameLayout->addWidget(remove);

    auto* change = new QGroupBox(QStringLiteral("パスワードの変更"));
    change->setObjectName(QStringLiteral("fraChange"));
    auto* changeLayout = new QVBoxLayout(change);
    changeLayout->addWidget(frame("fraNew", QStringLiteral("新しいパスワード"), new_));
    changeLayout->addWidget(frame("fraNow", QStringLiteral("現在のパスワード"), now_));
    changeLayout->addStretch();

    auto* layout = new QGridLayout(page);
    layout->addWidget(frame("fraUser", QStringLiteral("ユーザー名"), nameRow), 0, 0);
    layout->addWidget(frame("fraPassword", QStringLiteral("パスワード"), password_), 1, 0);
    layout->addWidget(frame("fraCheck", QStringLiteral("確認用パスワード"), check_), 2, 0);
    layout->addWidget(change, 0, 1, 3, 1);
    layout->setRowStretch(3, 1);

    connect(user_->lineEdit(), &QLineEdit::textEdited, this, &AccountSettings::userTextChanged);
    connect(user_, &QComboBox::activated, this, &AccountSettings::userChosen);
    for (QLineEdit* box : {password_, new_, now_}) {
        connect(box, &QLineEdit::textChanged, &dialog_, &OptionsDialog::markChanged);
    }
    // Typing the confirmation alone changes nothing yet: leaving the box registers the user.
    connect(check_, &QLineEdit::textChanged, &dialog_, &OptionsDialog::updateOptionControls);
    connect(remove, &QPushButton::clicked, this, &AccountSettings::deleteUser);
    return page;
}

QWidget* AccountSettings::makeCipherPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("picOptions2"));

    key_ = new QComboBox(page);
    key_->setObjectName(QStringLiteral("cboKey"));
    setSpokenName(*key_, QStringLiteral("暗号化キー"));  // before a screen reader sees it
    for (int code = 1; code <= kKeyCodes; ++code) key_->addItem(QString::number(code));
    key_->setCurrentIndex(-1);

    auto* patterns = new QWidget;
    auto* patternLayout = new QVBoxLayout(patterns);
    patternLayout->setContentsMargins(0, 0, 0, 0);
    pattern_ = new QButtonGroup(this);
    for (int p = 0; p < kPatterns; ++p) {
        auto* option = new QRadioButton(QStringLiteral("パターン%1").arg(p + 1), patterns);
        option->setObjectName(QStringLiteral("optPattern%1").arg(p));
        pattern_->addButton(option, p);
        patternLayout->addWidget(option);
    }

    currentUser_ = new QLabel(page);
    currentUser_->setObjectName(QStringLiteral("lblCurrentUser"));

    auto* layout = new QGridLayout(page);
    layout->addWidget(frame("fraKey", QStringLiteral("暗号化キー"), key_), 0, 0, Qt::AlignTop);
    layout->addWidget(frame("fraPattern", QStringLiteral("暗号化パターン"), patterns), 0, 1);
    layout->addWidget(currentUser_, 1, 0, 1, 2);
    layout->setRowStretch(2, 1);

    connect(key_, &QComboBox::currentIndexChanged, &dialog_, &OptionsDialog::markChanged);
    connect(pattern_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) dialog_.markChanged();
    });
    return page;
}

}  // namespace voxilo
