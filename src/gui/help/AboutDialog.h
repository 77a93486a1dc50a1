#pragma once

#include <QDialog>

#include <QIcon>

class QLabel;
class QPushButton;

namespace voxilo {

// The program's icon: the desktop theme's when Voxilo is installed, else the built-in picture.
QIcon programIcon();

// バージョン情報: the program's picture, its version, its maker and its copyright, all from the
// version information. Made anew each time it is opened.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }
    QLabel* companyLabel() const { return company_; }
    QLabel* copyrightLabel() const { return copyright_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLabel* version_ = nullptr;
    QLabel* company_ = nullptr;
    QLabel* copyright_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace voxilo
