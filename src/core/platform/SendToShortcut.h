#pragma once

#include <filesystem>
#include <string>

namespace voxilo {

// Offers Voxilo for text files where the desktop offers programs for a file: on Windows a
// shortcut named "Voxilo" in the user's SendTo folder, pointing at `executable`; elsewhere a
// desktop entry that file managers list under "Open With" for text files. True when it was
// made.
bool createSendToShortcut(const std::filesystem::path& executable);

#ifndef _WIN32
// Where the desktop entry goes: $XDG_DATA_HOME/applications/voxilo.desktop (by default under
// ~/.local/share), and what it says.
std::filesystem::path desktopEntryPath();
std::string desktopEntry(const std::filesystem::path& executable);
#endif

}  // namespace voxilo
