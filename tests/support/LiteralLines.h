#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/cipher/KeyShift.h"
#include "core/cipher/LineConversion.h"
#include "core/cipher/TextCipher.h"
#include "core/cipher/TextLines.h"

namespace voxilo::testing_support {

// The line conversion composed literally from the cipher's two operations, one pass after
// another, the way the patterns are defined. The converter does each line in one pass; this is
// what it must agree with, results and errors alike.

inline std::u16string encodeLineLiterally(std::u16string_view line, std::int16_t k,
                                          std::int16_t pattern) {
    if (pattern < 0 || pattern > 3) return std::u16string(line);
    const std::u16string c = *encodeText(line, k, CipherMode::Hex);
    const std::u16string_view whole = c;
    const std::u16string_view a = whole.substr(0, whole.size() / 2);
    const std::u16string_view b = whole.substr(whole.size() / 2);
    switch (pattern) {
        case 0:
            return c;
        case 1:
            return *encodeText(a, 0, CipherMode::Plain) + *encodeText(b, 0, CipherMode::Plain);
        case 2:
            return *encodeText(c, static_cast<std::int16_t>(k + 1), CipherMode::Plain);
        default:
            return *encodeText(a, k, CipherMode::Plain) + *encodeText(b, k, CipherMode::Plain);
    }
}

inline Expected<std::u16string, CipherError> decodeLineLiterally(std::u16string_view line,
                                                                 std::int16_t k,
                                                                 std::int16_t pattern) {
    if (pattern < 0 || pattern > 3) return std::u16string(line);
    // No line this program writes has an odd length; none is taken as ciphertext.
    if (line.size() % 2 != 0) return Unexpected{CipherError::OddLength};
    if (pattern == 0) return decodeText(line, k, CipherMode::Hex);
    std::u16string middle;
    if (pattern == 2) {
        auto m = decodeText(line, static_cast<std::int16_t>(k + 1), CipherMode::Plain);
        if (!m) return m;
        middle = *m;
    } else {
        const std::int16_t halfKey = pattern == 1 ? 0 : k;
        const std::size_t half = line.size() / 2;
        for (std::u16string_view part : {line.substr(0, half), line.substr(half)}) {
            auto m = decodeText(part, halfKey, CipherMode::Plain);
            if (!m) {
                return Unexpected{m.error() == CipherError::OddLength ? CipherError::OddHalves
                                                                      : m.error()};
            }
            middle += *m;
        }
    }
    return decodeText(middle, k, CipherMode::Hex);
}

// Joins converted lines as the lower pane is filled: CR LF between lines, and nothing for
// converted lines that come out empty while the result is still empty.
template <class ConvertLine>
DecodedText convertLinesLiterally(std::u16string_view source, ConvertLine convertLine) {
    DecodedText result;
    TextLines lines(source);
    std::u16string_view line;
    for (std::size_t number = 1; lines.next(line); ++number) {
        Expected<std::u16string, CipherError> converted = convertLine(line);
        if (!converted) {
            result.error = LineError{number, converted.error()};
            break;
        }
        if (!result.text.empty()) result.text += u"\r\n";
        result.text += *converted;
    }
    return result;
}

inline std::u16string encodeLinesLiterally(std::u16string_view source, std::int16_t keyCode,
                                           std::int16_t pattern) {
    const std::int16_t k = keyShift(keyCode);
    return convertLinesLiterally(source,
                                 [&](std::u16string_view line) {
                                     return Expected<std::u16string, CipherError>(
                                         encodeLineLiterally(line, k, pattern));
                                 })
        .text;
}

inline DecodedText decodeLinesLiterally(std::u16string_view source, std::int16_t keyCode,
                                        std::int16_t pattern) {
    const std::int16_t k = keyShift(keyCode);
    return convertLinesLiterally(
        source, [&](std::u16string_view line) { return decodeLineLiterally(line, k, pattern); });
}

// Decoding as files are decoded: each line of ASCII goes to the converter as bytes, and what
// comes back as bytes is taken as the text it stands for.
inline DecodedText decodeLinesAsBytes(std::u16string_view source, std::int16_t keyCode,
                                      std::int16_t pattern) {
    LineConverter converter(Direction::Decode, keyCode, pattern);
    DecodedText decoded;
    TextLines lines(source);
    std::u16string_view line;
    std::string bytes;
    for (std::size_t number = 1; lines.next(line); ++number) {
        bool ascii = true;
        for (char16_t c : line) ascii = ascii && c < 0x80;
        bytes.assign(line.begin(), line.end());
        std::optional<CipherError> reason;
        if (ascii) {
            std::string asciiOut;
            bool wroteAscii = false;
            reason = converter.addAsciiLine(bytes, decoded.text, asciiOut, wroteAscii);
            if (!wroteAscii && !asciiOut.empty()) {
                decoded.text += u"(bytes written without saying so)";
            }
            decoded.text.append(asciiOut.begin(), asciiOut.end());
        } else {
            reason = converter.addLine(line, decoded.text);
        }
        if (reason) {
            decoded.error = LineError{number, *reason};
            break;
        }
    }
    return decoded;
}

}  // namespace voxilo::testing_support
