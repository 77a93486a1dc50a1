#include "gui/dialogs/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace voxilo {
namespace {

QMessageBox::Icon iconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

Dialogs::FileAnswer runFileDialog(QWidget* parent, const Dialogs::FileRequest& request,
                                  QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {Dialogs::Outcome::Chosen, QDir::toNativeSeparators(dialog.selectedFiles().first())};
}

}  // namespace

Dialogs::Answer QtDialogs::message(QWidget* parent, const QString& text, const QString& title,
                                   Buttons buttons, MessageIcon icon) {
    // Message texts break their lines with CR LF; a Qt label breaks at LF alone.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(iconOf(icon), title, shown, QMessageBox::NoButton, parent);
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        default:
            return Answer::Ok;
    }
}

Dialogs::FileAnswer QtDialogs::openFile(QWidget* parent, const FileRequest& request) {
    return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

Dialogs::FileAnswer QtDialogs::saveFile(QWidget* parent, const FileRequest& request) {
    return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

std::optional<QFont> QtDialogs::chooseFont(QWidget* parent, const QFont& initial) {
    bool chosen = false;
    const QFont font = QFontDialog::getFont(&chosen, initial, parent);
    if (!chosen) return std::nullopt;
    return font;
}

void QtDialogs::beep() { QApplication::beep(); }

int QtDialogs::exec(QDialog& dialog) { return dialog.exec(); }

}  // namespace voxilo
