#pragma once

class QApplication;
class QWidget;

namespace voxilo {

// Keeps the input method's converter out of a box that takes typed keys only (names, passwords,
// the retry count): composing never starts there, and no text the converter sends reaches it,
// not even a composition that the platform flushes into whatever has the focus. An editable
// combo box is covered together with its line edit.
void keepConverterOut(QWidget& box);

// Once for the application: text the user did not commit never lands anywhere. A composition
// the user cancelled is forgotten by the platform's input context too, and is dropped should
// it be flushed back later. A composition still open when the focus leaves its widget, by
// mouse or keyboard, into a menu, a dialog or another window, is committed there, once,
// before the focus goes; it never lands in the widget that has the focus then.
void guardCompositions(QApplication& application);

}  // namespace voxilo
