#pragma once

#include <QObject>

#include "gui/dialogs/Dialogs.h"

namespace voxilo {

// Dialogs as the program shows them, with Qt's own boxes and dialogs.
class QtDialogs final : public Dialogs {
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Buttons buttons,
                   MessageIcon icon, const QString& other = {}) override;
    FileAnswer openFile(QWidget* parent, const FileRequest& request) override;
    FileAnswer saveFile(QWidget* parent, const FileRequest& request) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
    void beep() override;
    int exec(QDialog& dialog) override;

    // How long a question ignores the keyboard after it appears: keys typed meanwhile were
    // meant for what was there before it, and must not answer it.
    static constexpr int kSettleMilliseconds = 400;

private:
    // Keeps a Yes/No question open until it is answered: no Escape, no closing.
    class AnswerRequired : public QObject {
    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;
    };
    AnswerRequired answerRequired_;

    enum class Escape { Answers, Refused };
    Answer ask(QWidget* parent, const QString& text, const QString& title, Buttons buttons,
               MessageIcon icon, Answer preferred, Escape escape, const QString& other = {});
};

}  // namespace voxilo
