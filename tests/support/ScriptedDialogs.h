#pragma once

#include <QStringList>

#include <deque>
#include <functional>

#include "gui/dialogs/Dialogs.h"

namespace voxilo::testing_support {

// Dialogs for tests: a queue of the calls a test expects, each with its answer. A call that
// is not the next one expected, or that differs from it, is a problem; so is an expectation
// left over at the end. Tests check problems() is empty when they are done.
class ScriptedDialogs final : public Dialogs {
public:
    void expectMessage(const QString& text, const QString& title, Buttons buttons, MessageIcon icon,
                       Answer answer = Answer::Ok, const QString& other = {});
    void expectOpenFile(FileAnswer answer);
    void expectSaveFile(FileAnswer answer);
    void expectFont(std::optional<QFont> answer);
    void expectBeep();
    // `act` works the real dialog while it is shown and returns its result.
    void expectExec(const QString& dialogName, std::function<int(QDialog&)> act);

    // How many expected calls have not come yet.
    std::size_t pending() const { return script_.size(); }
    // What went wrong so far, the expectations still waiting included; clears the script.
    QStringList takeProblems();

    Answer message(QWidget* parent, const QString& text, const QString& title, Buttons buttons,
                   MessageIcon icon, const QString& other = {}) override;
    FileAnswer openFile(QWidget* parent, const FileRequest& request) override;
    FileAnswer saveFile(QWidget* parent, const FileRequest& request) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
    void beep() override;
    int exec(QDialog& dialog) override;

    // The requests the file dialogs were shown with, latest last.
    const QList<FileRequest>& fileRequests() const { return fileRequests_; }
    // The font the font dialog was last opened on.
    const QFont& offeredFont() const { return offeredFont_; }

private:
    QFont offeredFont_;
    enum class Kind { Message, OpenFile, SaveFile, Font, Beep, Exec };
    struct Step {
        Kind kind;
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        MessageIcon icon = MessageIcon::Exclamation;
        Answer answer = Answer::Ok;
        FileAnswer file;
        std::optional<QFont> font;
        std::function<int(QDialog&)> act;
        QString other;  // the third button's caption
    };
    // The next step if it is of `kind`; otherwise records the problem.
    std::optional<Step> next(Kind kind, const QString& what);

    std::deque<Step> script_;
    QStringList problems_;
    QList<FileRequest> fileRequests_;
};

}  // namespace voxilo::testing_support
