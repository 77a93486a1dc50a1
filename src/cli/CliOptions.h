#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/cipher/LineConversion.h"
#include "core/documents/TextEncoding.h"

namespace voxilo::cli {

struct ConvertRequest {
    Direction direction = Direction::Encode;
    std::int16_t keyCode = 0;  // no user: shift 0, as in the window before anyone logs in
    std::int16_t pattern = 0;
    std::string input;   // "" or "-" for standard input
    std::string output;  // "" or "-" for standard output
    // A registered user whose key code and pattern to use, after their password.
    std::optional<std::string> user;
    bool passwordFromStdin = false;             // else from the terminal, not echoed
    std::optional<TextEncoding> inputEncoding;  // none: found from the input's bytes
    TextEncoding outputEncoding = TextEncoding::Cp932;
};
struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
    std::string message;
};

using Command = std::variant<ConvertRequest, ShowHelp, ShowVersion, UsageError>;

// Reads the arguments after the program name.
Command parseArguments(const std::vector<std::string>& args);

}  // namespace voxilo::cli
