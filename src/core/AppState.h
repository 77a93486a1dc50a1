#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/documents/TextEncoding.h"

namespace voxilo {

// What CommandLineFile holds when the command line named a file that does not exist: one
// U+0000, which no real path contains, so it stays distinct from "" (nothing named).
inline constexpr std::u16string_view kCommandLineFileMissing{u"\0", 1};

// The state of the running program that its windows share. One instance lives as long as the
// process; it starts empty, and each window is handed it by reference.
struct AppState {
    std::u16string settingsKey;  // the settings key's path, set once at start-up
    std::u16string currentUser;  // "" while nobody is logged in
    std::int16_t keyCode = 0;    // the current user's key code, 1 to 25; 0 before any login
    std::int16_t pattern = 0;    // the current user's pattern, 0 to 3
    // Registered user names at indices 1 to N; index 0 always exists and holds "".
    std::vector<std::u16string> userNames{std::u16string{}};

    std::u16string topPath;     // the source document's file; "" while untitled
    std::u16string bottomPath;  // the converted document's file; "" while untitled
    bool topHasFile = false;    // the source document is tied to its file
    bool topModified = false;
    bool bottomModified = false;
    // The encodings the panes are saved in: the source document's file's own, CP932 for a new
    // document and for the converted one, unless the user chose otherwise.
    TextEncoding topEncoding = TextEncoding::Cp932;
    TextEncoding bottomEncoding = TextEncoding::Cp932;

    std::int16_t optionsTab = 0;  // the tab the Options dialog opens on
    bool exitRequested = false;   // the logged-in user's own settings changed: close

    // Handed to the password prompt and back.
    std::u16string promptUser;
    std::u16string promptPassword;
    bool promptAccepted = false;

    // The command line taken whole as one path; "" for none, kCommandLineFileMissing when the
    // named file does not exist. Cleared once the main window has first been activated.
    std::u16string commandLineFile;
    // The command line named more than one file: only the first is opened, and the user is told.
    bool commandLineNamedOthers = false;
};

}  // namespace voxilo
