#pragma once

#include <memory>
#include <string>

#include "core/AppState.h"
#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "core/store/ValueStore.h"

#ifdef _WIN32
#include <windows.h>

#include "core/store/RegistryValueStore.h"
#else
#include "core/store/SqliteValueStore.h"
#endif

namespace voxilo::testing_support {

// The settings store a window test works on, empty at first, where the program itself keeps its
// settings: on Linux a SQLite file (`file`), on Windows the registry of the test run's Wine
// prefix, whose settings key is emptied first. The Windows suites run one at a time.
inline std::unique_ptr<ValueStore> freshStore([[maybe_unused]] const std::string& file) {
#ifdef _WIN32
    const std::u16string key(kSettingsKeyPath);
    RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(key.begin(), key.end()).c_str());
    return std::make_unique<RegistryValueStore>();
#else
    return std::make_unique<SqliteValueStore>(file);
#endif
}

// alice (password "Secret1"), the only user, saved with `options` and logged in with their key
// code and pattern: the state and settings her windows start from. False when the store failed.
inline bool logInAlice(ValueStore& store, const OptionsValues& options, AppState& state,
                       ProgramSettings& settings) {
    if (saveAllSettings(store, kSettingsKeyPath, {{u"alice", u"Secret1", false}}, options,
                        u"alice")) {
        return false;
    }
    const auto names = loadUserNames(store, kSettingsKeyPath);
    const auto loaded = loadProgramSettings(store, kSettingsKeyPath, u"");
    if (!names || !loaded) return false;
    state = AppState{};
    state.settingsKey = std::u16string(kSettingsKeyPath);
    state.userNames = *names;
    state.currentUser = u"alice";
    state.keyCode = readKeyCode(store, kSettingsKeyPath, u"alice").value;
    state.pattern = readPattern(store, kSettingsKeyPath, u"alice").value;
    settings = *loaded;
    return true;
}

}  // namespace voxilo::testing_support
