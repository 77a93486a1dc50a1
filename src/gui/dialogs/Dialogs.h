#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

#include "core/platform/MessageIcon.h"

class QDialog;
class QWidget;

namespace voxilo {

// The one way a window reaches the user outside itself: message boxes, the file and font
// dialogs, the beep, and running the program's own modal dialogs. The program shows them
// through QtDialogs; tests put a scripted stand-in in its place.
class Dialogs {
public:
    // YesNoOther: はい, いいえ and a third answer of the question's own, which must be chosen;
    // its caption comes with the message.
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoOther };
    enum class Answer { Ok, Cancel, Yes, No, Other };

    // How a file dialog ended.
    enum class Outcome { Chosen, Cancelled, Failed };
    struct FileRequest {
        QString title;
        QString folder;       // where the dialog opens
        QString fileName;     // the name it starts with
        QStringList filters;  // "ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)", ...
        QString defaultSuffix;
    };
    struct FileAnswer {
        Outcome outcome = Outcome::Cancelled;
        QString path;  // with Chosen
    };

    virtual ~Dialogs() = default;

    // `other` is the third button's caption, with its access key, for Buttons::YesNoOther.
    virtual Answer message(QWidget* parent, const QString& text, const QString& title,
                           Buttons buttons, MessageIcon icon, const QString& other = {}) = 0;
    // Opening asks for an existing file; saving asks before an existing file is replaced.
    virtual FileAnswer openFile(QWidget* parent, const FileRequest& request) = 0;
    virtual FileAnswer saveFile(QWidget* parent, const FileRequest& request) = 0;
    // The chosen font, or nothing when the dialog was cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
    virtual void beep() = 0;
    // Runs one of the program's own dialogs modally and returns its result.
    virtual int exec(QDialog& dialog) = 0;
};

}  // namespace voxilo
