#include "cipher/TextCipher.h"

#include <array>

namespace voxilo {
namespace {

// Character codes are 16-bit and shifting wraps around, so every shift can be undone.
constexpr char16_t shifted(char16_t c, std::int16_t key) noexcept {
    return static_cast<char16_t>(c + static_cast<std::uint16_t>(key));
}
constexpr char16_t unshifted(char16_t c, std::int16_t key) noexcept {
    return static_cast<char16_t>(c - static_cast<std::uint16_t>(key));
}

constexpr std::array<char16_t, 16> kHexDigits = {u'0', u'1', u'2', u'3', u'4', u'5', u'6', u'7',
                                                 u'8', u'9', u'A', u'B', u'C', u'D', u'E', u'F'};

// Value of a hex digit of either case, or -1.
constexpr std::array<std::int8_t, 128> kHexValues = [] {
    std::array<std::int8_t, 128> values{};
    values.fill(-1);
    for (int i = 0; i < 10; ++i)
        values[static_cast<std::size_t>('0' + i)] = static_cast<std::int8_t>(i);
    for (int i = 0; i < 6; ++i) {
        values[static_cast<std::size_t>('A' + i)] = static_cast<std::int8_t>(10 + i);
        values[static_cast<std::size_t>('a' + i)] = static_cast<std::int8_t>(10 + i);
    }
    return values;
}();
constexpr int hexValue(char16_t c) noexcept { return c < 128 ? kHexValues[c] : -1; }

void trimTrailingSpaces(std::u16string& out, std::size_t from) {
    std::size_t end = out.size();
    while (end > from && out[end - 1] == u' ') --end;
    out.resize(end);
}

// Encoding is "reverse and shift, then interleave": the character at 1-based position i stays
// when i is odd and goes to L - i + 2 when i is even. Worked through for 0-based output
// positions, output[2m] = s[L-1-2m] + key and output[2m+1] = s[2m] + key, so each output unit
// is written once, straight from its source.
void appendHexEncoded(std::u16string_view text, std::int16_t key, std::u16string& out) {
    // The hex stage s holds four digits per code unit c: (c>>4), c, (c>>12), (c>>8), each
    // masked to a nibble (low byte first, high nibble first). Substituting that into the rule
    // above, code unit t of the text and unit n-1-t together fill output units 4t..4t+3.
    std::array<char16_t, 16> digit{};
    for (std::size_t i = 0; i < digit.size(); ++i) digit[i] = shifted(kHexDigits[i], key);

    const std::size_t n = text.size();
    const std::size_t base = out.size();
    out.resize(base + 4 * n);
    char16_t* o = out.data() + base;
    const char16_t* in = text.data();
    for (std::size_t t = 0; t < n; ++t) {
        const char16_t front = in[t];
        const char16_t back = in[n - 1 - t];
        o[4 * t] = digit[(back >> 8) & 0xF];
        o[4 * t + 1] = digit[(front >> 4) & 0xF];
        o[4 * t + 2] = digit[back & 0xF];
        o[4 * t + 3] = digit[(front >> 12) & 0xF];
    }
}

void appendPlainEncoded(std::u16string_view text, std::int16_t key, std::u16string& out) {
    const std::size_t len = text.size();
    const std::size_t base = out.size();
    out.resize(base + len);
    char16_t* o = out.data() + base;
    if (len == 1) {
        o[0] = shifted(text[0], key);
        return;
    }
    for (std::size_t m = 0; 2 * m < len; ++m) {
        o[2 * m] = shifted(text[len - 1 - 2 * m], key);
        o[2 * m + 1] = shifted(text[2 * m], key);
    }
}

}  // namespace

namespace cipher_detail {

std::optional<CipherError> appendDecoded(std::u16string_view text, std::int16_t key,
                                         CipherMode mode, std::u16string& out) {
    const std::size_t len = text.size();
    const std::size_t base = out.size();
    if (mode == CipherMode::Plain) {
        if (len % 2 != 0 && len >= 3) return CipherError::OddLength;
        out.resize(base + len);
        char16_t* o = out.data() + base;
        if (len == 1) {
            o[0] = unshifted(text[0], key);
        } else {
            for (std::size_t m = 0; 2 * m < len; ++m) {
                o[2 * m] = unshifted(text[2 * m + 1], key);
                o[len - 1 - 2 * m] = unshifted(text[2 * m], key);
            }
        }
        trimTrailingSpaces(out, base);
        return std::nullopt;
    }

    // Hex mode. Undoing the rearrangement, the hex stage is s[x] = text[x+1] - key for even x
    // and text[len-1-x] - key for odd x; code unit t is made of the digits s[4t..4t+3] (low
    // byte first), so each unit is read straight from the ciphertext. An odd number of bytes
    // leaves a last unit whose high byte is zero.
    if (len % 2 != 0) return CipherError::OddLength;
    const auto digitAt = [&](std::size_t x) {
        return hexValue(unshifted(x % 2 == 0 ? text[x + 1] : text[len - 1 - x], key));
    };
    const std::size_t bytes = len / 2;
    const std::size_t units = (bytes + 1) / 2;
    out.resize(base + units);
    char16_t* o = out.data() + base;
    int invalid = 0;  // any digit's value is negative: checked once at the end
    for (std::size_t t = 0; t < bytes / 2; ++t) {
        const int a = digitAt(4 * t), b = digitAt(4 * t + 1);
        const int c = digitAt(4 * t + 2), d = digitAt(4 * t + 3);
        invalid |= a | b | c | d;
        o[t] = static_cast<char16_t>((unsigned(a) << 4) | unsigned(b) | (unsigned(c) << 12) |
                                     (unsigned(d) << 8));
    }
    if (bytes % 2 != 0) {
        const int a = digitAt(len - 2), b = digitAt(len - 1);
        invalid |= a | b;
        o[units - 1] = static_cast<char16_t>((unsigned(a) << 4) | unsigned(b));
    }
    if (invalid < 0) {
        out.resize(base);
        return CipherError::NotHexDigit;
    }
    trimTrailingSpaces(out, base);
    return std::nullopt;
}

}  // namespace cipher_detail

Expected<std::u16string, CipherError> encodeText(std::u16string_view text, std::int16_t key,
                                                 CipherMode mode) {
    std::u16string out;
    if (mode == CipherMode::Hex) {
        appendHexEncoded(text, key, out);
    } else {
        if (text.size() % 2 != 0 && text.size() >= 3) return Unexpected{CipherError::OddLength};
        appendPlainEncoded(text, key, out);
    }
    return out;
}

Expected<std::u16string, CipherError> decodeText(std::u16string_view text, std::int16_t key,
                                                 CipherMode mode) {
    std::u16string out;
    if (auto error = cipher_detail::appendDecoded(text, key, mode, out)) {
        return Unexpected{*error};
    }
    return out;
}

}  // namespace voxilo
