#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Expected.h"
#include "core/store/StoreMessages.h"
#include "core/store/UserRecords.h"
#include "core/store/ValueStore.h"

namespace voxilo {

// The settings key, under the current user's part of the store.
inline constexpr std::u16string_view kSettingsKeyPath =
    u"Software\\Quorvel Software\\Voxilo\\Settings";
inline constexpr std::u16string_view kDefaultFontName = u"ＭＳ ゴシック";

// Folders end in this when they are stored: the separator of the system's paths.
#ifdef _WIN32
inline constexpr char16_t kFolderSeparator = u'\\';
#else
inline constexpr char16_t kFolderSeparator = u'/';
#endif

// The program-wide settings, as loaded at start-up and kept for the whole run.
struct ProgramSettings {
    std::u16string currentPath;    // the file dialogs' folder, ending in the separator
    std::int16_t startup = 0;      // 1: ask for name and password at start-up
    std::int16_t retry = 0;        // failed logins allowed; 0 or less: no limit
    std::int16_t showToolbar = 1;  // check-box states, 1 = shown
    std::int16_t showStatusbar = 1;
    std::u16string fontName{kDefaultFontName};
    std::int16_t fontSize = 11;  // whole points
    bool fontBold = false;
    bool fontItalic = false;
};

// What the Options dialog hands to saveAllSettings when it is confirmed.
struct OptionsValues {
    std::int16_t startup = 0;       // check-box state
    std::int16_t retryLimited = 0;  // check-box state, 1 = ticked
    std::u16string retryCount;      // the retry-count box, at most two digits
    std::int16_t showToolbar = 1;
    std::int16_t showStatusbar = 1;
    std::u16string fontName{kDefaultFontName};
    double fontSize = 11;
    bool fontBold = false;
    bool fontItalic = false;
    // The chosen entry of the key code list, and the chosen pattern, 0 to 3. "" and -1 when
    // nothing is chosen: the user's stored value is then left as it is.
    std::u16string keyCodeText;
    std::int16_t patternIndex = 0;
};

// Fails with SettingsUnavailable when the key cannot be opened (the program then ends).
// `programFolder` is the default of currentPath.
Expected<ProgramSettings, StoreFailure> loadProgramSettings(ValueStore& store,
                                                            std::u16string_view keyPath,
                                                            std::u16string_view programFolder);

[[nodiscard]] std::optional<StoreFailure> saveCurrentPath(ValueStore& store,
                                                          std::u16string_view keyPath,
                                                          std::u16string_view currentPath);

// -1 once the SendTo shortcut has been made; 0 when nothing is stored, and after a failure.
StoreRead<std::int16_t> readSendToFlag(ValueStore& store, std::u16string_view keyPath);
// Records that the shortcut has been made; false when that could not be written.
bool writeSendToFlag(ValueStore& store, std::u16string_view keyPath);

// Whether the store can hold `name` as the panes' font: CP932 has every character of it, and
// it fits the value's read buffer. Any other name would be lost by the next start.
bool fontNameStorable(std::u16string_view name);

// Writes the confirmed Options dialog: the program-wide values, the user list, then each user's
// key, in that order, stopping at the first open or write that fails (SaveFailed). `users` are
// the dialog's working list in order; only the user named `currentUser` gets a key code and
// pattern. The user list is merged with the one the store holds when the save begins, so that
// a user registered meanwhile by another copy of the program stays; `savedNames`, when given,
// receives the list as stored (index 0 empty), once the save went through.
// A font whose name the store cannot hold leaves the four stored font values as they were;
// the rest is saved, and the result is FontNotSaved.
[[nodiscard]] std::optional<StoreFailure> saveAllSettings(
    ValueStore& store, std::u16string_view keyPath, const std::vector<EditedUser>& users,
    const OptionsValues& options, std::u16string_view currentUser,
    std::vector<std::u16string>* savedNames = nullptr);

}  // namespace voxilo
