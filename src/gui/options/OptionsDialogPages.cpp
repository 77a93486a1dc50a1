// The widgets of the general tab, and the tab order across the dialog's three pages.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "gui/dialogs/InputMethod.h"
#include "gui/options/AccountSettings.h"
#include "gui/options/FontChoice.h"
#include "gui/options/OptionsDialog.h"

namespace voxilo {

QWidget* OptionsDialog::makeGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("picOptions0"));

    startup_ = new QCheckBox(QStringLiteral("起動時にパスワードを入力"), page);
    startup_->setObjectName(QStringLiteral("chkStartup"));
    retry_ = new QCheckBox(QStringLiteral("パスワードの再入力回数を設定"), page);
    retry_->setObjectName(QStringLiteral("chkRetry"));
    count_ = new QLineEdit(page);
    count_->setObjectName(QStringLiteral("txtCount"));
    count_->setMaxLength(2);
    count_->setAccessibleName(QStringLiteral("パスワードの再入力回数"));
    keepConverterOut(*count_);
    count_->setContextMenuPolicy(Qt::NoContextMenu);
    count_->setAcceptDrops(false);
    count_->setFixedWidth(count_->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    count_->installEventFilter(this);
    auto* times = new QLabel(QStringLiteral("回まで"), page);
    times->setObjectName(QStringLiteral("Label1"));
    auto* startupFrame = new QGroupBox(QStringLiteral("起動"), page);
    startupFrame->setObjectName(QStringLiteral("fraStartup"));
    auto* countRow = new QHBoxLayout;
    countRow->addSpacing(20);
    countRow->addWidget(count_);
    countRow->addWidget(times);
    countRow->addStretch();
    auto* startupLayout = new QVBoxLayout(startupFrame);
    startupLayout->addWidget(startup_);
    startupLayout->addWidget(retry_);
    startupLayout->addLayout(countRow);

    toolbar_ = new QCheckBox(QStringLiteral("ツールバー"), page);
    toolbar_->setObjectName(QStringLiteral("chkToolbar"));
    statusbar_ = new QCheckBox(QStringLiteral("ステータスバー"), page);
    statusbar_->setObjectName(QStringLiteral("chkStatusbar"));
    auto* viewFrame = new QGroupBox(QStringLiteral("表示"), page);
    viewFrame->setObjectName(QStringLiteral("fraView"));
    auto* viewLayout = new QVBoxLayout(viewFrame);
    viewLayout->addWidget(toolbar_);
    viewLayout->addWidget(statusbar_);
    viewLayout->addStretch();

    // The preview shows the chosen font centred in its box, cut off where it does not fit.
    auto* sample = new QFrame(page);
    sample->setObjectName(QStringLiteral("picFont"));
    sample->setFrameShape(QFrame::StyledPanel);
    sample->setFrameShadow(QFrame::Sunken);
    sample->setFixedSize(180, 56);
    preview_ = new QLabel(QStringLiteral("ABあい"), sample);
    preview_->setObjectName(QStringLiteral("lblFont"));
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* sampleLayout = new QVBoxLayout(sample);
    sampleLayout->setContentsMargins(2, 2, 2, 2);
    sampleLayout->addWidget(preview_);
    font_ = new QPushButton(QStringLiteral("フォント"), page);
    font_->setObjectName(QStringLiteral("cmdFont"));
    font_->setAutoDefault(false);
    auto* fontFrame = new QGroupBox(QStringLiteral("フォント"), page);
    fontFrame->setObjectName(QStringLiteral("fraFont"));
    auto* fontLayout = new QHBoxLayout(fontFrame);
    fontLayout->addWidget(sample);
    fontLayout->addStretch();
    fontLayout->addWidget(font_, 0, Qt::AlignVCenter);

    auto* layout = new QGridLayout(page);
    layout->addWidget(startupFrame, 0, 0);
    layout->addWidget(viewFrame, 0, 1);
    layout->addWidget(fontFrame, 1, 0, 1, 2);
    layout->setRowStretch(2, 1);

    connect(startup_, &QCheckBox::toggled, this, [this](bool ticked) {
        if (!ticked) retry_->setChecked(false);  // no limit on attempts nobody is asked for
        markChanged();
    });
    for (QCheckBox* box : {retry_, toolbar_, statusbar_}) {
        connect(box, &QCheckBox::toggled, this, &OptionsDialog::markChanged);
    }
    connect(count_, &QLineEdit::textChanged, this, &OptionsDialog::countChanged);
    connect(font_, &QPushButton::clicked, this, &OptionsDialog::chooseFont);
    speakFontOf(*preview_, *font_);
    return page;
}

void OptionsDialog::applyTabOrder() {
    QButtonGroup* patterns = accounts_->patterns();
    const QList<QWidget*> order = {tabs_,
                                   startup_,
                                   retry_,
                                   count_,
                                   toolbar_,
                                   statusbar_,
                                   font_,
                                   accounts_->userBox(),
                                   accounts_->deleteButton(),
                                   accounts_->passwordBox(),
                                   accounts_->checkBox(),
                                   accounts_->newBox(),
                                   accounts_->nowBox(),
                                   accounts_->keyBox(),
                                   patterns->button(0),
                                   patterns->button(1),
                                   patterns->button(2),
                                   patterns->button(3),
                                   ok_,
                                   cancel_};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

}  // namespace voxilo
