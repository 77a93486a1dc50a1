#pragma once

class QApplication;

namespace voxilo {

// What makes Qt look like a Japanese program of its own: Qt's own texts (button captions,
// context menus, file and font dialogs) in Japanese whatever the system's locale, password
// boxes that show "*" for each character, and the default pane font "ＭＳ ゴシック" standing
// for a fixed-width Japanese font where it is not installed.
void applyProgramLook(QApplication& application);

}  // namespace voxilo
