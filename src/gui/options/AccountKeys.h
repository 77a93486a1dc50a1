#pragma once

#include <QChar>
#include <QKeyEvent>

namespace voxilo {

// Names and passwords are half-width letters and digits: the keys their boxes take.

inline bool isAsciiLetterOrDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// Whether a key press (outside the dialog's own keys) may reach the box: letters, digits (main
// keys and keypad), Left, Right, Home, End, deleting and Shift, and Up and Down where the box
// is a list; never a Ctrl or Alt chord, and never a character other than a letter or digit.
inline bool isAccountKeyPress(const QKeyEvent& key, bool arrowsUpDown) {
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    const int code = key.key();
    bool allowed =
        (code >= Qt::Key_A && code <= Qt::Key_Z) || (code >= Qt::Key_0 && code <= Qt::Key_9);
    switch (code) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            allowed = arrowsUpDown;
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
        case Qt::Key_Shift:
            allowed = true;
            break;
        default:
            break;
    }
    const QString typed = key.text();
    const bool allowedText =
        typed.isEmpty() ||
        (typed.size() == 1 &&
         (isAsciiLetterOrDigit(typed[0]) || code == Qt::Key_Backspace || code == Qt::Key_Delete));
    return allowed && allowedText;
}

}  // namespace voxilo
