#include "core/cipher/TextCipher.h"

#include "core/cipher/HexDecipher.h"

#include <array>
#include <bit>
#include <cstddef>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

constexpr int hexValue(char16_t c) noexcept { return cipher_detail::hexDigitValue(c); }

void trimTrailingSpaces(std::u16string& out, std::size_t from) {
    std::size_t end = out.size();
    while (end > from && out[end - 1] == u' ') --end;
    out.resize(end);
}

// Encoding is "reverse and shift, then interleave": the character at 1-based position i stays
// when i is odd and goes to L - i + 2 when i is even. Worked through for 0-based output
// positions, output[2m] = s[L-1-2m] + key and output[2m+1] = s[2m] + key, so each output unit
// is written once, straight from its source.
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

ShiftedDigits::ShiftedDigits(std::uint16_t by) noexcept : shift(by) {
    for (unsigned b = 0; b < 256; ++b) {
        high[b] = static_cast<char16_t>(kHexDigits[b >> 4] + by);
        low[b] = static_cast<char16_t>(kHexDigits[b & 0xF] + by);
    }
}

namespace {

#if defined(__SSE2__)

// Sixteen bytes of `in`, reversed.
[[gnu::always_inline]] inline __m128i reversed(__m128i v) {
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    v = _mm_shufflelo_epi16(v, 0x1B);
    v = _mm_shufflehi_epi16(v, 0x1B);
    return _mm_shuffle_epi32(v, 0x4E);
}

// The hex digit of each nibble (values 0 to 15), raised by the shift.
[[gnu::always_inline]] inline __m128i digitsOf(__m128i nibbles, __m128i shifted0) {
    const __m128i letters =
        _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
    return _mm_add_epi8(_mm_add_epi8(nibbles, shifted0), letters);
}

#endif

// The pairs worked out below, sixteen at a time while whole blocks of sixteen remain, when
// every shifted digit is ASCII. Returns how many pairs it wrote (for Halves, pairs of each half);
// the rest goes the plain way.
template <class Unit>
std::size_t hexEncipherAsciiBlocks(std::u16string_view text, const ShiftedDigits& digits,
                                   Arrangement arrangement, Unit* o) {
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        // Every shifted digit must stay ASCII, as those of every key code and pattern do.
        const auto shift = static_cast<std::int16_t>(digits.shift);
        if (shift < -'0' || shift > 0x7F - 'F') return 0;
        const auto* in = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t n = text.size();
        const std::size_t bytes = 2 * n;
        const std::size_t pairs = arrangement == Arrangement::Halves ? n : bytes;
        const __m128i shifted0 = _mm_set1_epi8(static_cast<char>('0' + shift));
        const __m128i nibble = _mm_set1_epi8(0x0F);
        // B[last - m] for sixteen m from m0 on.
        const auto backwards = [&](std::size_t last, std::size_t m0) {
            return reversed(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + last - m0 - 15)));
        };
        const auto highOf = [&](__m128i v) {
            return digitsOf(_mm_and_si128(_mm_srli_epi16(v, 4), nibble), shifted0);
        };
        const auto lowOf = [&](__m128i v) { return digitsOf(_mm_and_si128(v, nibble), shifted0); };
        // Sixteen pairs of digits, as bytes or as UTF-16 units.
        const auto store = [](Unit* at, __m128i first, __m128i second) {
            const __m128i low = _mm_unpacklo_epi8(first, second);
            const __m128i high = _mm_unpackhi_epi8(first, second);
            if constexpr (sizeof(Unit) == 1) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at), low);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 16), high);
            } else {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_unpacklo_epi8(low, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 8), _mm_unpackhi_epi8(low, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 16),
                                 _mm_unpacklo_epi8(high, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 24),
                                 _mm_unpackhi_epi8(high, zero));
            }
        };
        std::size_t m = 0;
        for (; m + 16 <= pairs; m += 16) {
            switch (arrangement) {
                case Arrangement::Single: {
                    const __m128i back = backwards(bytes - 1, m);
                    const __m128i ahead = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + m));
                    store(o + 2 * m, lowOf(back), highOf(ahead));
                    break;
                }
                case Arrangement::Whole: {
                    const __m128i back = backwards(bytes - 1, m);
                    store(o + 2 * m, highOf(back), lowOf(back));
                    break;
                }
                case Arrangement::Halves: {
                    const __m128i x = backwards(n - 1, m);
                    const __m128i y = backwards(bytes - 1, m);
                    store(o + 2 * m, highOf(x), lowOf(y));
                    store(o + bytes + 2 * m, highOf(y), lowOf(x));
                    break;
                }
            }
        }
        return m;
    }
#endif
    (void)text, (void)digits, (void)arrangement, (void)o;
    return 0;
}

// The hex stage s of a text holds two digits, high nibble first, for each byte B[0..2n) of its
// UTF-16LE form. Putting s through the rule above, and for Whole and Halves through it once
// more, output pair m (counting pairs from 0) is:
// - Single: (low digit of B[2n-1-m], high digit of B[m]);
// - Whole: both digits of B[2n-1-m];
// - Halves: with X = B[n-1-m] and Y = B[2n-1-m] for m < n, (high digit of X, low digit of Y) in
//   the left half and (high digit of Y, low digit of X) in the right half.
template <class Out>
void hexEncipherInto(std::u16string_view text, const ShiftedDigits& digits, Arrangement arrangement,
                     Out& out) {
    using Unit = typename Out::value_type;
    const char16_t* high = digits.high.data();
    const char16_t* low = digits.low.data();
    const std::size_t n = text.size();
    const std::size_t bytes = 2 * n;
    const char16_t* in = text.data();
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
    // The pairs before m are written.
    std::size_t m = hexEncipherAsciiBlocks(text, digits, arrangement, o);
    switch (arrangement) {
        case Arrangement::Single:
            for (; m < bytes; ++m) {
                o[2 * m] = static_cast<Unit>(low[byteAt(bytes - 1 - m)]);
                o[2 * m + 1] = static_cast<Unit>(high[byteAt(m)]);
            }
            break;
        case Arrangement::Whole:
            for (; m < bytes; ++m) {
                const unsigned b = byteAt(bytes - 1 - m);
                o[2 * m] = static_cast<Unit>(high[b]);
                o[2 * m + 1] = static_cast<Unit>(low[b]);
            }
            break;
        case Arrangement::Halves:
            for (; m < n; ++m) {
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

void appendHexEnciphered(std::u16string_view text, const ShiftedDigits& digits,
                         Arrangement arrangement, std::u16string& out) {
    hexEncipherInto(text, digits, arrangement, out);
}
void appendHexEnciphered(std::u16string_view text, const ShiftedDigits& digits,
                         Arrangement arrangement, std::string& out) {
    hexEncipherInto(text, digits, arrangement, out);
}

namespace {

// A unit of ciphertext given as text.
constexpr char16_t unitOf(char16_t c) noexcept { return c; }

template <class Char, class Source, class DigitOf>
bool hexDecipherInto(std::basic_string_view<Char> text, DigitOf digitOf, Source source,
                     std::u16string& out) {
    const std::size_t len = text.size();
    const Char* in = text.data();
    const auto digitAt = [&](std::size_t x) -> int { return digitOf(unitOf(in[source(x)])); };
    const std::size_t bytes = len / 2;
    const std::size_t units = (bytes + 1) / 2;
    const std::size_t base = out.size();
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
        return false;
    }
    trimTrailingSpaces(out, base);
    return true;
}

}  // namespace

DigitValues::DigitValues(std::uint16_t shift) : value(65536) {
    for (unsigned c = 0; c < 65536; ++c) {
        value[c] = static_cast<std::int8_t>(hexValue(static_cast<char16_t>(c - shift)));
    }
}

namespace {

template <class Char, class DigitOf>
bool hexDecipherArranged(std::basic_string_view<Char> text, DigitOf digitOf,
                         Arrangement arrangement, std::u16string& out) {
    const std::size_t len = text.size();
    switch (arrangement) {
        case Arrangement::Single:
            return hexDecipherInto(text, digitOf, SingleSource{len}, out);
        case Arrangement::Whole:
            return hexDecipherInto(text, digitOf, WholeSource{len}, out);
        case Arrangement::Halves:
            return hexDecipherInto(text, digitOf, HalvesSource{len}, out);
    }
    return false;
}

}  // namespace

namespace {

template <class Char>
bool hexDecipherWithTable(std::basic_string_view<Char> text, const DigitValues& digits,
                          Arrangement arrangement, std::u16string& out) {
    const auto digitOf = [table = digits.value.data()](char16_t c) -> int { return table[c]; };
    return hexDecipherArranged(text, digitOf, arrangement, out);
}

template <class Char>
bool hexDecipherWithShift(std::basic_string_view<Char> text, std::uint16_t shift,
                          Arrangement arrangement, std::u16string& out) {
    const auto digitOf = [shift](char16_t c) { return hexValue(static_cast<char16_t>(c - shift)); };
    return hexDecipherArranged(text, digitOf, arrangement, out);
}

}  // namespace

bool appendHexDeciphered(std::u16string_view text, const DigitValues& digits,
                         Arrangement arrangement, std::u16string& out) {
    return hexDecipherWithTable(text, digits, arrangement, out);
}
bool appendHexDeciphered(std::u16string_view text, std::uint16_t shift, Arrangement arrangement,
                         std::u16string& out) {
    return hexDecipherWithShift(text, shift, arrangement, out);
}
bool appendHexDeciphered(std::string_view asciiText, std::uint16_t shift, Arrangement arrangement,
                         std::u16string& out) {
    const std::size_t base = out.size();
    out.resize(base + hexDecipheredUnits(asciiText.size()));
    char16_t* o = out.data() + base;
    // A vector kernel only tells that some digit of the line is wrong; the plain one, which
    // reads it digit by digit, has the last word on it.
    if (!hexDecipherBytes(asciiText, shift, arrangement, o, fastestHexKernel()) &&
        !hexDecipherBytes(asciiText, shift, arrangement, o, HexKernel::Plain)) {
        out.resize(base);
        return false;
    }
    trimTrailingSpaces(out, base);
    return true;
}

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

    // Hex mode: the digits are read straight from the ciphertext, so each unit is built once.
    if (len % 2 != 0) return CipherError::OddLength;
    if (!appendHexDeciphered(text, static_cast<std::uint16_t>(key), Arrangement::Single, out)) {
        return CipherError::NotHexDigit;
    }
    return std::nullopt;
}

}  // namespace cipher_detail

Expected<std::u16string, CipherError> encodeText(std::u16string_view text, std::int16_t key,
                                                 CipherMode mode) {
    std::u16string out;
    if (mode == CipherMode::Hex) {
        cipher_detail::appendHexEnciphered(
            text, cipher_detail::ShiftedDigits(static_cast<std::uint16_t>(key)),
            cipher_detail::Arrangement::Single, out);
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
