#pragma once

class QComboBox;
class QString;

namespace voxilo {

// Names a combo box for screen readers by its label, caption or tool tip. Qt on Linux speaks a
// combo box by its current value and leaves its label to a relation, which a combo box framed
// by a caption or shown alone in a toolbar does not have; one named here is spoken by `name`,
// and its value stays its value, also offered as its text, and told of again when it changes.
// Call it as soon as the box is made: a screen reader may
// look at the box from its first change on.
void setSpokenName(QComboBox& box, const QString& name);

}  // namespace voxilo
