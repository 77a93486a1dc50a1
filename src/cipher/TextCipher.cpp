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
constexpr int hexValue(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

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
                                         CipherMode mode, std::u16string& out,
                                         std::u16string& scratch) {
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

    // Hex mode: undo the rearrangement into the digits' values, then pair digits into bytes
    // and bytes into little-endian code units. An odd number of bytes leaves a last unit whose
    // high byte is zero.
    if (len % 2 != 0) return CipherError::OddLength;
    scratch.resize(len);
    for (std::size_t m = 0; 2 * m < len; ++m) {
        const int even = hexValue(unshifted(text[2 * m + 1], key));
        const int odd = hexValue(unshifted(text[2 * m], key));
        if (even < 0 || odd < 0) return CipherError::NotHexDigit;
        scratch[2 * m] = static_cast<char16_t>(even);
        scratch[len - 1 - 2 * m] = static_cast<char16_t>(odd);
    }
    const std::size_t bytes = len / 2;
    out.resize(base + (bytes + 1) / 2);
    char16_t* o = out.data() + base;
    for (std::size_t b = 0; b < bytes; ++b) {
        const unsigned value = (scratch[2 * b] << 4) | scratch[2 * b + 1];
        if (b % 2 == 0) {
            o[b / 2] = static_cast<char16_t>(value);
        } else {
            o[b / 2] = static_cast<char16_t>(o[b / 2] | (value << 8));
        }
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
    std::u16string scratch;
    if (auto error = cipher_detail::appendDecoded(text, key, mode, out, scratch)) {
        return Unexpected{*error};
    }
    return out;
}

}  // namespace voxilo
