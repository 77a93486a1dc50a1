#include "cli/UserLogin.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "cli/Console.h"
#include "core/platform/Utf8.h"
#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"

namespace voxilo::cli {
namespace {

std::string stripLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

std::string messageOf(StoreFailure failure) { return toUtf8(storeMessage(failure).text); }

}  // namespace

Expected<UserKey, std::string> logIn(ValueStore& store, const std::string& user,
                                     const std::string& password) {
    if (password.empty()) return Unexpected{std::string("パスワードを入力してください。")};
    const std::u16string name = fromUtf8(user);
    const auto names = loadUserNames(store, kSettingsKeyPath);
    if (!names) return Unexpected{messageOf(names.error())};
    const std::string refused = "ユーザー名またはパスワードが違います。";
    if (std::find(names->begin() + 1, names->end(), name) == names->end()) {
        return Unexpected{refused};
    }
    const auto stored = readPassword(store, kSettingsKeyPath, name);
    if (stored.failure) return Unexpected{messageOf(*stored.failure)};
    if (stored.value.empty() || stored.value != fromUtf8(password)) return Unexpected{refused};
    const auto keyCode = readKeyCode(store, kSettingsKeyPath, name);
    const auto pattern = readPattern(store, kSettingsKeyPath, name);
    if (keyCode.failure || pattern.failure) return Unexpected{messageOf(StoreFailure::ReadFailed)};
    return UserKey{keyCode.value, pattern.value};
}

std::optional<std::string> askPassword(bool fromStdin) {
    std::string line;
    if (fromStdin) {
        std::getline(std::cin, line);
        return stripLineEnd(line);
    }
    const auto typed = readHiddenLine("パスワード: ");
    if (!typed) return std::nullopt;
    return stripLineEnd(*typed);
}

}  // namespace voxilo::cli
