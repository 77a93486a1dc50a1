#pragma once

#include <filesystem>
#include <string>

namespace voxilo {

// Offers Voxilo for text files where the desktop offers programs for a file: on Windows a
// shortcut named "Voxilo" in the user's SendTo folder, pointing at `executable`; elsewhere a
// desktop entry that file managers list under "Open With" for text files. True when it was
// made, or when the system's own entry (installed with the program) already starts this very
// executable: a user's copy would only shadow that one, so none is written.
bool createSendToShortcut(const std::filesystem::path& executable);

// Whether the user's shortcut (or desktop entry) is there but starts another program than
// `executable`: one left behind when Voxilo was moved, reinstalled elsewhere or removed.
bool sendToShortcutIsStale(const std::filesystem::path& executable);

#ifdef _WIN32
// Where the shortcut goes: Voxilo.lnk in the user's SendTo folder; empty when the system does
// not say where that folder is.
std::filesystem::path sendToShortcutPath();
#else
// Where the desktop entry goes: $XDG_DATA_HOME/applications/voxilo.desktop (by default under
// ~/.local/share), and what it says.
std::filesystem::path desktopEntryPath();
std::string desktopEntry(const std::filesystem::path& executable);
// The system's desktop entry voxilo.desktop that starts `executable`, if one is installed in
// the data folders of $XDG_DATA_DIRS (by default /usr/local/share and /usr/share).
std::filesystem::path installedDesktopEntry(const std::filesystem::path& executable);
#endif

}  // namespace voxilo
