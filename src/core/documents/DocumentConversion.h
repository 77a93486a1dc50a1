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
        InvalidBytes,         // the input is not text in its encoding
        Undecodable,          // a line is not ciphertext for this key code and pattern
        UnwritableCharacter,  // a converted line holds a character the output cannot hold
        WriteFailed,          // the output reported an error
    };
    Kind kind = Kind::ReadFailed;
    std::size_t line = 0;                         // the input file's line, counted from 1
    CipherError reason = CipherError::OddLength;  // for Undecodable
    char16_t character = 0;                       // for UnwritableCharacter
    std::error_code io;                           // for WriteFailed
    // The input's encoding for InvalidBytes, the output's for UnwritableCharacter.
    TextEncoding encoding = TextEncoding::Cp932;
    // For InvalidBytes: the input's encoding was judged from its first lines, not given or
    // marked, and this later byte contradicts it.
    bool judged = false;
};

// The encodings of a conversion: the input's, found from its bytes when not given (see
// DocumentReader), and the output's.
struct ConversionEncodings {
    std::optional<TextEncoding> input;
    TextEncoding output = TextEncoding::Cp932;
};

// Takes the bytes of the output as they are ready.
using ByteSink = std::function<std::error_code(std::string_view bytes)>;

// Converts a document file to the file of its converted text, streaming: the result is, byte
// for byte, what loading the file into the upper pane, running Encode or Decode and saving the
// lower pane in the output's encoding gives, while memory stays proportional to the longest
// line. On failure the sink
// has been given the converted lines before the failing one.
std::optional<ConversionFailure> convertDocument(Direction direction, std::int16_t keyCode,
                                                 std::int16_t pattern, DocumentReader::Source input,
                                                 ByteSink output,
                                                 ConversionEncodings encodings = {});

}  // namespace voxilo
