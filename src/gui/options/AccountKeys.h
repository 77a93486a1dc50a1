#pragma once

#include <QChar>
#include <QKeyEvent>

namespace voxilo {

// The key rules of the boxes that take only some characters: names and passwords (half-width
// letters and digits) and the retry count (digits).

// A modifier pressed alone is not yet a key for the box: the key pressed with it is.
inline bool isModifierAlone(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_AltGr || key == Qt::Key_Meta;
}

// The keys that move the caret along the line or delete.
inline bool isCaretOrDeleteKey(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home ||
           key == Qt::Key_End || key == Qt::Key_Delete || key == Qt::Key_Backspace;
}

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
    const bool allowed = (code >= Qt::Key_A && code <= Qt::Key_Z) ||
                         (code >= Qt::Key_0 && code <= Qt::Key_9) || isCaretOrDeleteKey(code) ||
                         code == Qt::Key_Shift ||
                         (arrowsUpDown && (code == Qt::Key_Up || code == Qt::Key_Down));
    const QString typed = key.text();
    const bool allowedText =
        typed.isEmpty() ||
        (typed.size() == 1 &&
         (isAsciiLetterOrDigit(typed[0]) || code == Qt::Key_Backspace || code == Qt::Key_Delete));
    return allowed && allowedText;
}

}  // namespace voxilo
