#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "cipher/LineConversion.h"

namespace voxilo::cli {

struct ConvertRequest {
    Direction direction = Direction::Encode;
    std::int16_t keyCode = 0;  // no user: shift 0, as in the window before anyone logs in
    std::int16_t pattern = 0;
    std::string input;   // "" or "-" for standard input
    std::string output;  // "" or "-" for standard output
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
