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
// it be flushed back later; a composition open when the focus moves lands, once, only where it
// was composed, never in the widget that has the focus now.
void guardCompositions(QApplication& application);

}  // namespace voxilo
