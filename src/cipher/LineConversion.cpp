#include "cipher/LineConversion.h"

#include "cipher/KeyShift.h"
#include "cipher/TextLines.h"

#include <bit>
#include <type_traits>

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
    : direction_(direction), shift_(keyShift(keyCode)), pattern_(pattern) {
    // The shift the pattern's passes add up to, and the digits of each byte raised by it.
    std::uint16_t total = static_cast<std::uint16_t>(shift_);
    if (pattern_ == 2) total = static_cast<std::uint16_t>(total + nextShift(shift_));
    if (pattern_ == 3) total = static_cast<std::uint16_t>(total + total);
    for (unsigned b = 0; b < 256; ++b) {
        for (auto [nibble, table] :
             {std::pair{b >> 4, &digits_.high}, std::pair{b & 0xF, &digits_.low}}) {
            const unsigned ascii = nibble < 10 ? u'0' + nibble : u'A' + nibble - 10;
            (*table)[b] = static_cast<char16_t>(ascii + total);
        }
    }
}

bool LineConverter::writesAscii() const noexcept {
    return direction_ == Direction::Encode && isCipherPattern(pattern_);
}

void LineConverter::addLine(std::u16string_view line, std::string& asciiOut) {
    if (!resultEmpty_) asciiOut.append("\r\n");
    const std::size_t start = asciiOut.size();
    encodeLine(line, asciiOut);
    if (asciiOut.size() > start) resultEmpty_ = false;
}

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

namespace {

// Every pattern enciphers the hex stage s of the line (two hex digits, high nibble first, for
// each byte B[0..2n) of its UTF-16LE form) and then rearranges and shifts it once more, so
// each output unit is one digit of s raised by the sum of the shifts. Working the rules
// through, with output pairs counted by m:
// - pattern 0: pair m is (low digit of B[2n-1-m], high digit of B[m]), raised by k;
// - pattern 2: pair m is both digits of B[2n-1-m], raised by k + (k+1);
// - patterns 1 and 3: with X = B[n-1-m] and Y = B[2n-1-m] for m < n, left-half pair m is
//   (high digit of X, low digit of Y) and right-half pair m is (high digit of Y, low digit
//   of X), raised by k, or by k + k for pattern 3.
// So a line is enciphered in one pass that writes each output unit once, looking the shifted
// digits up by byte.
template <class Out>
void appendEnciphered(std::u16string_view line, const CipherDigits& digits, std::int16_t pattern,
                      Out& out) {
    using Unit = typename Out::value_type;
    const char16_t* high = digits.high.data();
    const char16_t* low = digits.low.data();

    const std::size_t n = line.size();
    const std::size_t bytes = 2 * n;
    const char16_t* in = line.data();
    const auto byteAt = [in](std::size_t j) -> unsigned {
        if constexpr (std::endian::native == std::endian::little) {
            return reinterpret_cast<const unsigned char*>(in)[j];
        } else {
            return (in[j >> 1] >> ((j & 1) * 8)) & 0xFF;
        }
    };
    const std::size_t base = out.size();
    out.resize(base + 2 * bytes);
    Unit* o = out.data() + base;
    switch (pattern) {
        case 0:
            for (std::size_t m = 0; m < bytes; ++m) {
                o[2 * m] = static_cast<Unit>(low[byteAt(bytes - 1 - m)]);
                o[2 * m + 1] = static_cast<Unit>(high[byteAt(m)]);
            }
            break;
        case 2:
            for (std::size_t m = 0; m < bytes; ++m) {
                const unsigned b = byteAt(bytes - 1 - m);
                o[2 * m] = static_cast<Unit>(high[b]);
                o[2 * m + 1] = static_cast<Unit>(low[b]);
            }
            break;
        default:
            for (std::size_t m = 0; m < n; ++m) {
                const unsigned x = byteAt(n - 1 - m);
                const unsigned y = byteAt(bytes - 1 - m);
                o[2 * m] = static_cast<Unit>(high[x]);
                o[2 * m + 1] = static_cast<Unit>(low[y]);
                o[bytes + 2 * m] = static_cast<Unit>(high[y]);
                o[bytes + 2 * m + 1] = static_cast<Unit>(low[x]);
            }
            break;
    }
}

}  // namespace

template <class Out>
void LineConverter::encodeLine(std::u16string_view line, Out& out) {
    if (isCipherPattern(pattern_)) {
        appendEnciphered(line, digits_, pattern_, out);
    } else if constexpr (std::is_same_v<Out, std::u16string>) {
        out.append(line);
    }
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
    if (pattern_ == 0) return appendDecoded(line, shift_, CipherMode::Hex, out);

    stage_.clear();
    if (pattern_ == 2) {
        if (auto e = appendDecoded(line, nextShift(shift_), CipherMode::Plain, stage_)) {
            return e;
        }
    } else {
        const std::int16_t halfKey = pattern_ == 1 ? 0 : shift_;
        const std::size_t half = line.size() / 2;
        for (std::u16string_view part : {line.substr(0, half), line.substr(half)}) {
            if (auto e = appendDecoded(part, halfKey, CipherMode::Plain, stage_)) {
                return e;
            }
        }
    }
    return appendDecoded(stage_, shift_, CipherMode::Hex, out);
}

std::u16string encodeLines(std::u16string_view source, std::int16_t keyCode, std::int16_t pattern) {
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
