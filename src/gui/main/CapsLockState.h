#pragma once

#include <optional>

namespace voxilo {

// Whether Caps Lock is on, as the keyboard's own indicator says: X11's indicator state through
// the display Qt uses, GetKeyState on Windows. Nothing where the platform cannot tell (Qt's
// offscreen platform, Wayland).
std::optional<bool> readCapsLock();

}  // namespace voxilo
