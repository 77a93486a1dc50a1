#pragma once

#include <QObject>

#include "gui/dialogs/Dialogs.h"

namespace voxilo {

// Dialogs as the program shows them, with Qt's own boxes and dialogs.
class QtDialogs final : public Dialogs {
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Buttons buttons,
                   MessageIcon icon) override;
    FileAnswer openFile(QWidget* parent, const FileRequest& request) override;
    FileAnswer saveFile(QWidget* parent, const FileRequest& request) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
    void beep() override;
    int exec(QDialog& dialog) override;

private:
    // Keeps a Yes/No question open until it is answered: no Escape, no closing.
    class AnswerRequired : public QObject {
    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;
    };
    AnswerRequired answerRequired_;
};

}  // namespace voxilo
