#include "cipher/LineConversion.h"

#include "cipher/KeyShift.h"
#include "cipher/TextLines.h"

namespace voxilo {
namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";

bool isCipherPattern(std::int16_t pattern) noexcept { return pattern >= 0 && pattern <= 3; }

std::int16_t nextShift(std::int16_t shift) noexcept {
    return static_cast<std::int16_t>(shift + 1);  // 16-bit wrap-around, like every shift
}

}  // namespace

LineConverter::LineConverter(Direction direction, std::int16_t keyCode,
                             std::int16_t pattern) noexcept
    : direction_(direction), shift_(keyShift(keyCode)), pattern_(pattern) {}

std::optional<CipherError> LineConverter::addLine(std::u16string_view line, std::u16string& out) {
    const std::size_t before = out.size();
    if (!resultEmpty_) out.append(kLineBreak);
    const std::size_t start = out.size();
    if (direction_ == Direction::Encode) {
        encodeLine(line, out);
    } else if (auto error = decodeLine(line, out)) {
        out.resize(before);
        return error;
    }
    if (out.size() > start) resultEmpty_ = false;
    return std::nullopt;
}

// Patterns 1 and 3 encipher the two halves of the hex-stage ciphertext separately. That
// ciphertext has a length divisible by four, so the halves are exact.
void LineConverter::encodeLine(std::u16string_view line, std::u16string& out) {
    using namespace cipher_detail;
    if (!isCipherPattern(pattern_)) {
        out.append(line);
        return;
    }
    if (pattern_ == 0) {
        appendHexEncoded(line, shift_, out);
        return;
    }
    stage_.clear();
    appendHexEncoded(line, shift_, stage_);
    const std::u16string_view whole = stage_;
    if (pattern_ == 2) {
        appendPlainEncoded(whole, nextShift(shift_), out);
        return;
    }
    const std::int16_t halfKey = pattern_ == 1 ? 0 : shift_;
    const std::size_t half = whole.size() / 2;
    appendPlainEncoded(whole.substr(0, half), halfKey, out);
    appendPlainEncoded(whole.substr(half), halfKey, out);
}

// Every line this program enciphers has an even length (a multiple of four). An odd-length line
// is refused up front for every pattern: its halves would drop or repeat a character, and a
// lone character would silently decode to nothing.
std::optional<CipherError> LineConverter::decodeLine(std::u16string_view line,
                                                     std::u16string& out) {
    using namespace cipher_detail;
    if (!isCipherPattern(pattern_)) {
        out.append(line);
        return std::nullopt;
    }
    if (line.size() % 2 != 0) return CipherError::OddLength;
    if (pattern_ == 0) return appendDecoded(line, shift_, CipherMode::Hex, out, scratch_);

    stage_.clear();
    if (pattern_ == 2) {
        if (auto e = appendDecoded(line, nextShift(shift_), CipherMode::Plain, stage_, scratch_)) {
            return e;
        }
    } else {
        const std::int16_t halfKey = pattern_ == 1 ? 0 : shift_;
        const std::size_t half = line.size() / 2;
        for (std::u16string_view part : {line.substr(0, half), line.substr(half)}) {
            if (auto e = appendDecoded(part, halfKey, CipherMode::Plain, stage_, scratch_)) {
                return e;
            }
        }
    }
    return appendDecoded(stage_, shift_, CipherMode::Hex, out, scratch_);
}

std::u16string encodeLines(std::u16string_view source, std::int16_t keyCode,
                           std::int16_t pattern) {
    LineConverter converter(Direction::Encode, keyCode, pattern);
    std::u16string result;
    // Hex stage plus line breaks: about four units per source unit.
    result.reserve(source.size() * 4 + 16);
    TextLines lines(source);
    std::u16string_view line;
    while (lines.next(line)) {
        // Encoding accepts every line.
        (void)converter.addLine(line, result);
    }
    return result;
}

DecodedText decodeLines(std::u16string_view source, std::int16_t keyCode, std::int16_t pattern) {
    LineConverter converter(Direction::Decode, keyCode, pattern);
    DecodedText decoded;
    decoded.text.reserve(source.size() / 4 + 16);
    TextLines lines(source);
    std::u16string_view line;
    for (std::size_t number = 1; lines.next(line); ++number) {
        if (auto reason = converter.addLine(line, decoded.text)) {
            decoded.error = LineError{number, *reason};
            break;
        }
    }
    return decoded;
}

bool isBlankForDecoding(std::u16string_view source) noexcept {
    return source.find_first_not_of(u' ') == std::u16string_view::npos;
}

}  // namespace voxilo
