#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/AppState.h"
#include "core/cipher/TextCipher.h"
#include "core/platform/Codepage.h"
#include "core/platform/Utf8.h"
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

// What a test compares: names with values, "" standing for nothing stored.
using Snapshot = std::map<std::string, std::string>;

// Everything the program keeps in the settings key, and each value of the users named (the
// ones a test deals with, listed or not), user values deciphered: "Startup", "User2",
// "bob|Password". Values that are not stored are left out.
inline Snapshot storeContents(ValueStore& store, const std::vector<std::u16string>& users) {
    Snapshot held;
    const auto read = [&](std::u16string_view path, const std::string& prefix, bool userKey) {
        const auto key = store.openKey(path);
        if (!key) {
            held[prefix + "(key)"] = "cannot be opened";
            return;
        }
        const auto text = [&](std::u16string_view name) {
            if (const auto bytes = store.readText(*key, name, 1000)) {
                std::u16string decoded;
                std::string value =
                    cp932::decode(*bytes, decoded) ? "not CP932 " + *bytes : toUtf8(decoded);
                if (userKey && !value.empty()) {
                    const auto plain = decodeText(fromUtf8(value), kStoreKey, CipherMode::Hex);
                    value = plain ? toUtf8(*plain) : "undecipherable " + value;
                }
                held[prefix + toUtf8(name)] = value;
            }
        };
        const auto integer = [&](std::u16string_view name) {
            if (const auto value = store.readInteger(*key, name)) {
                held[prefix + toUtf8(name)] = std::to_string(*value);
            }
        };
        if (userKey) {
            for (const auto* name : {u"Password", u"KeyCode", u"Pattern"}) text(name);
        } else {
            for (const auto* name :
                 {u"Startup", u"Retry", u"ShowToolbar", u"ShowStatusbar", u"FontSize", u"FontBold",
                  u"FontItalic", u"UserCount", u"SendTo"}) {
                integer(name);
            }
            text(u"CurrentPath");
            text(u"FontName");
            for (int i = 1; i <= 12; ++i) text(u"User" + fromUtf8(std::to_string(i)));
        }
        store.closeKey(*key);
    };
    read(kSettingsKeyPath, "", false);
    for (const std::u16string& user : users) {
        read(userKeyPath(kSettingsKeyPath, user), toUtf8(user) + "|", true);
    }
    return held;
}

// Every field of the shared state and of the program settings.
inline Snapshot stateContents(const AppState& state, const ProgramSettings& settings) {
    std::string names;
    for (const auto& name : state.userNames) {
        names.push_back('[');
        names += toUtf8(name);
        names.push_back(']');
    }
    return {
        {"settingsKey", toUtf8(state.settingsKey)},
        {"currentUser", toUtf8(state.currentUser)},
        {"keyCode", std::to_string(state.keyCode)},
        {"pattern", std::to_string(state.pattern)},
        {"userNames", names},
        {"topPath", toUtf8(state.topPath)},
        {"bottomPath", toUtf8(state.bottomPath)},
        {"topHasFile", std::to_string(state.topHasFile)},
        {"topModified", std::to_string(state.topModified)},
        {"bottomModified", std::to_string(state.bottomModified)},
        {"optionsTab", std::to_string(state.optionsTab)},
        {"exitRequested", std::to_string(state.exitRequested)},
        {"promptUser", toUtf8(state.promptUser)},
        {"promptPassword", toUtf8(state.promptPassword)},
        {"promptAccepted", std::to_string(state.promptAccepted)},
        {"commandLineFile", toUtf8(state.commandLineFile)},
        {"commandLineNamedOthers", std::to_string(state.commandLineNamedOthers)},
        {"settings.currentPath", toUtf8(settings.currentPath)},
        {"settings.startup", std::to_string(settings.startup)},
        {"settings.retry", std::to_string(settings.retry)},
        {"settings.showToolbar", std::to_string(settings.showToolbar)},
        {"settings.showStatusbar", std::to_string(settings.showStatusbar)},
        {"settings.fontName", toUtf8(settings.fontName)},
        {"settings.fontSize", std::to_string(settings.fontSize)},
        {"settings.fontBold", std::to_string(settings.fontBold)},
        {"settings.fontItalic", std::to_string(settings.fontItalic)},
    };
}

// What differs between two snapshots, one line each: "name: before -> after", "-" for a value
// that is not there. A test lists the lines it expects; anything else is a slip.
inline std::vector<std::string> differences(const Snapshot& before, const Snapshot& after) {
    std::vector<std::string> lines;
    const auto valueIn = [](const Snapshot& snapshot, const std::string& name) {
        const auto found = snapshot.find(name);
        return found == snapshot.end() ? std::string("-") : found->second;
    };
    Snapshot all = before;
    all.insert(after.begin(), after.end());
    for (const auto& [name, value] : all) {
        const std::string was = valueIn(before, name);
        const std::string is = valueIn(after, name);
        if (was != is) lines.push_back(name + ": " + was + " -> " + is);
    }
    return lines;
}

}  // namespace voxilo::testing_support
