#include "gui/help/AboutDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "gui/dialogs/AppInfo.h"

// The picture is compiled into the library; a static library has to ask for it.
static void loadProgramPicture() { Q_INIT_RESOURCE(help); }

namespace voxilo {

QIcon programIcon() {
    loadProgramPicture();
    return QIcon::fromTheme(QStringLiteral("voxilo"),
                            QIcon(QStringLiteral(":/voxilo/voxilo." VOXILO_ICON_FORMAT)));
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picIcon"));
    picture->setPixmap(programIcon().pixmap(64, 64));
    picture->setAlignment(Qt::AlignTop);
    picture->setAccessibleName(AppInfo::title() + QStringLiteral("のアイコン"));

    version_ = new QLabel(QStringLiteral("Version ") + AppInfo::version(), this);
    version_->setObjectName(QStringLiteral("lblVersion"));
    company_ = new QLabel(QStringLiteral("Produced by ") + AppInfo::companyName(), this);
    company_->setObjectName(QStringLiteral("lblCompany"));
    copyright_ = new QLabel(AppInfo::legalNotice(), this);
    copyright_->setObjectName(QStringLiteral("lblCopyright"));
    for (QLabel* label : {version_, company_, copyright_}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(picture, 0, 0, 4, 1);
    layout->addWidget(version_, 0, 1);
    layout->addWidget(company_, 1, 1);
    layout->addWidget(copyright_, 2, 1);
    layout->addWidget(ok_, 3, 2, Qt::AlignRight | Qt::AlignBottom);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok_->setFocus();
}

}  // namespace voxilo
