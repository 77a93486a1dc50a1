#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/cipher/LineConversion.h"
#include "core/documents/DocumentFormat.h"

namespace voxilo {

// Why converting a document file stopped.
struct ConversionFailure {
    enum class Kind {
        ReadFailed,           // the input reported an error
        InvalidBytes,         // the input is not CP932 text
        Undecodable,          // a line is not ciphertext for this key code and pattern
        UnwritableCharacter,  // a converted line holds a character CP932 cannot hold
        WriteFailed,          // the output reported an error
    };
    Kind kind = Kind::ReadFailed;
    std::size_t line = 0;                         // the input file's line, counted from 1
    CipherError reason = CipherError::OddLength;  // for Undecodable
    char16_t character = 0;                       // for UnwritableCharacter
    std::error_code io;                           // for WriteFailed
};

// Takes the bytes of the output as they are ready.
using ByteSink = std::function<std::error_code(std::string_view bytes)>;

// Converts a document file to the file of its converted text, streaming: the result is, byte
// for byte, what loading the file into the upper pane, running Encode or Decode and saving the
// lower pane gives, while memory stays proportional to the longest line. On failure the sink
// has been given the converted lines before the failing one.
std::optional<ConversionFailure> convertDocument(Direction direction, std::int16_t keyCode,
                                                 std::int16_t pattern, DocumentReader::Source input,
                                                 ByteSink output);

}  // namespace voxilo
