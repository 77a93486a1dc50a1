#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/documents/DocumentConversion.h"
#include "support/ByteSource.h"

namespace voxilo::fuzzing {

// The fuzzers' text: each byte below 0xFF is the code unit of that value, and 0xFF takes the
// next two bytes as one code unit, low byte first. Ciphertext, which is ASCII, costs a byte a
// unit, and every unit can still be reached.
inline std::u16string unitsFrom(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0xFF) {
            text.push_back(data[i]);
        } else if (i + 2 < size) {
            text.push_back(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        }
    }
    return text;
}

// The key code and pattern from the first two bytes: key codes 0 to 27 (the table's 1 to 25
// and no shift on either side), patterns -1 to 4 (the four ciphers and copying).
struct Setting {
    std::int16_t keyCode;
    std::int16_t pattern;
};
inline Setting settingFrom(const std::uint8_t* data) {
    return {static_cast<std::int16_t>(data[0] % 28), static_cast<std::int16_t>(data[1] % 6 - 1)};
}

// A property that does not hold: libFuzzer keeps the input that showed it.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Decodes `file` as voxilo-cli decodes a file on disk, in pieces of `pieceSize` bytes on two
// threads, and as it decodes standard input, line by line; fails unless both give the same
// bytes and the same failure.
inline void decodeFileBothWays(const std::string& file, Setting setting, std::size_t pieceSize) {
    struct Outcome {
        std::string bytes;
        std::optional<ConversionFailure> failure;
    };
    const auto sinkInto = [](Outcome& outcome) {
        return [&outcome](std::string_view bytes) {
            outcome.bytes += bytes;
            return std::error_code{};
        };
    };
    Outcome inOrder, inPieces;
    inOrder.failure = convertDocument(Direction::Decode, setting.keyCode, setting.pattern,
                                      testing_support::trickle(file), sinkInto(inOrder));
    inPieces.failure = convertDocumentFile(Direction::Decode, setting.keyCode, setting.pattern,
                                           testing_support::anywhere(file), sinkInto(inPieces),
                                           {}, pieceSize);
    if (inPieces.bytes != inOrder.bytes) fail("decoding a file in pieces gives other bytes");
    if (inPieces.failure.has_value() != inOrder.failure.has_value()) {
        fail("decoding a file in pieces fails otherwise");
    }
    if (inOrder.failure) {
        const ConversionFailure& a = *inOrder.failure;
        const ConversionFailure& b = *inPieces.failure;
        if (a.kind != b.kind || a.line != b.line || a.reason != b.reason ||
            a.character != b.character || a.encoding != b.encoding || a.judged != b.judged) {
            fail("decoding a file in pieces reports another failure");
        }
    }
}

}  // namespace voxilo::fuzzing
