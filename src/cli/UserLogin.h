#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/platform/Expected.h"
#include "core/store/ValueStore.h"

namespace voxilo::cli {

struct UserKey {
    std::int16_t keyCode = 0;
    std::int16_t pattern = 0;
};

// The key code and pattern of a registered user, once their password matches, by the login
// dialog's rules: the name and the password compare exactly, and neither may be empty. On
// failure, the message for the user.
Expected<UserKey, std::string> logIn(ValueStore& store, const std::string& user,
                                     const std::string& password);

// The password: the first line of standard input, or typed at the terminal without echo.
// Nothing when there is no terminal to ask at.
std::optional<std::string> askPassword(bool fromStdin);

}  // namespace voxilo::cli
