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

// Reads up to `capacity` bytes of a file from `offset` on into `buffer`, as a file on disk can be
// read anywhere; returns how many, 0 at the file's end, -1 on error. Called from two threads.
using RandomAccessSource =
    std::function<std::ptrdiff_t(char* buffer, std::size_t capacity, std::uint64_t offset)>;

// How much of the file convertDocumentFile's decoding takes at a time.
inline constexpr std::size_t kDecodePiece = 1 << 18;

// convertDocument for a file that can be read anywhere, with the same result byte for byte.
// Decoding then runs on two threads, each taking the next piece of `pieceSize` bytes that no
// thread has taken: it reads the piece and converts the lines that begin in it, and whichever
// thread finds the output free writes the pieces that are ready, in the file's order. A document
// that is not ASCII ciphertext from start to end goes on line by line from its first such line;
// one in UTF-16 is converted line by line from the start.
std::optional<ConversionFailure> convertDocumentFile(Direction direction, std::int16_t keyCode,
                                                     std::int16_t pattern, RandomAccessSource input,
                                                     ByteSink output,
                                                     ConversionEncodings encodings = {},
                                                     std::size_t pieceSize = kDecodePiece);

namespace conversion_detail {

// Where a decoding goes on from: the start of a line inside a document whose lines before were
// ASCII, and what they came to.
struct DecodeResume {
    std::size_t linesBefore = 0;  // the file's lines before it
    bool started = false;         // some of them were not empty
    bool resultEmpty = true;      // what they were converted to is empty
    bool wrote = false;           // bytes have gone to the output, its byte-order mark first
    bool utf8Marked = false;      // the document begins with a UTF-8 byte-order mark
};

// Decodes the rest of a document, line by line, as convertDocument does: `input` gives the
// bytes from the line on.
std::optional<ConversionFailure> decodeFrom(std::int16_t keyCode, std::int16_t pattern,
                                            DocumentReader::Source input, ByteSink output,
                                            ConversionEncodings encodings,
                                            const DecodeResume& resume);

}  // namespace conversion_detail

}  // namespace voxilo
