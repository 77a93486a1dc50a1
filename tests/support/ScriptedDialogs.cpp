#include "support/ScriptedDialogs.h"

#include <QDialog>

namespace voxilo::testing_support {
namespace {

const char* nameOf(int kind) {
    static const char* const names[] = {"a message box",   "the open dialog", "the save dialog",
                                        "the font dialog", "a beep",          "a dialog"};
    return names[kind];
}

}  // namespace

void ScriptedDialogs::expectMessage(const QString& text, const QString& title, Buttons buttons,
                                    MessageIcon icon, Answer answer, const QString& other) {
    Step step{Kind::Message, text, title, buttons, icon, answer, {}, {}, {}, other};
    script_.push_back(step);
}
void ScriptedDialogs::expectOpenFile(FileAnswer answer) {
    script_.push_back({Kind::OpenFile, {}, {}, {}, {}, {}, answer, {}, {}, {}});
}
void ScriptedDialogs::expectSaveFile(FileAnswer answer) {
    script_.push_back({Kind::SaveFile, {}, {}, {}, {}, {}, answer, {}, {}, {}});
}
void ScriptedDialogs::expectFont(std::optional<QFont> answer) {
    script_.push_back({Kind::Font, {}, {}, {}, {}, {}, {}, answer, {}, {}});
}
void ScriptedDialogs::expectBeep() {
    script_.push_back({Kind::Beep, {}, {}, {}, {}, {}, {}, {}, {}, {}});
}
void ScriptedDialogs::expectExec(const QString& dialogName, std::function<int(QDialog&)> act) {
    script_.push_back({Kind::Exec, dialogName, {}, {}, {}, {}, {}, {}, std::move(act), {}});
}

QStringList ScriptedDialogs::takeProblems() {
    QStringList problems = problems_;
    for (const Step& step : script_) {
        problems << QStringLiteral("expected %1 that never came %2")
                        .arg(QLatin1String(nameOf(static_cast<int>(step.kind))), step.text);
    }
    problems_.clear();
    script_.clear();
    return problems;
}

std::optional<ScriptedDialogs::Step> ScriptedDialogs::next(Kind kind, const QString& what) {
    if (script_.empty() || script_.front().kind != kind) {
        problems_ << QStringLiteral("unexpected %1 %2")
                         .arg(QLatin1String(nameOf(static_cast<int>(kind))), what);
        return std::nullopt;
    }
    Step step = std::move(script_.front());
    script_.pop_front();
    return step;
}

Dialogs::Answer ScriptedDialogs::message(QWidget*, const QString& text, const QString& title,
                                         Buttons buttons, MessageIcon icon, const QString& other) {
    const auto step = next(Kind::Message, QStringLiteral("\"%1\"").arg(text));
    if (!step) return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    if (step->text != text || step->title != title || step->buttons != buttons ||
        step->icon != icon || step->other != other) {
        problems_ << QStringLiteral(
                         "message \"%1\" (title \"%2\", buttons %3, icon %4, other \"%5\"), "
                         "expected \"%6\" (title \"%7\", buttons %8, icon %9, other \"%10\")")
                         .arg(text, title)
                         .arg(static_cast<int>(buttons))
                         .arg(static_cast<int>(icon))
                         .arg(other, step->text, step->title)
                         .arg(static_cast<int>(step->buttons))
                         .arg(static_cast<int>(step->icon))
                         .arg(step->other);
    }
    return step->answer;
}

Dialogs::FileAnswer ScriptedDialogs::openFile(QWidget*, const FileRequest& request) {
    fileRequests_ << request;
    const auto step = next(Kind::OpenFile, request.title);
    return step ? step->file : FileAnswer{};
}

Dialogs::FileAnswer ScriptedDialogs::saveFile(QWidget*, const FileRequest& request) {
    fileRequests_ << request;
    const auto step = next(Kind::SaveFile, request.title);
    return step ? step->file : FileAnswer{};
}

std::optional<QFont> ScriptedDialogs::chooseFont(QWidget*, const QFont& initial) {
    offeredFont_ = initial;
    const auto step = next(Kind::Font, {});
    return step ? step->font : std::nullopt;
}

void ScriptedDialogs::beep() { next(Kind::Beep, {}); }

int ScriptedDialogs::exec(QDialog& dialog) {
    const auto step = next(Kind::Exec, dialog.objectName());
    if (!step) return QDialog::Rejected;
    if (step->text != dialog.objectName()) {
        problems_
            << QStringLiteral("dialog %1 shown, expected %2").arg(dialog.objectName(), step->text);
    }
    return step->act ? step->act(dialog) : QDialog::Rejected;
}

}  // namespace voxilo::testing_support
