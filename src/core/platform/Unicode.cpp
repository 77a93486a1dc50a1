#include "core/platform/Unicode.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace voxilo {
namespace {

// The length of the run of ASCII bytes at the start of `p`, sixteen bytes at a time.
std::size_t asciiRun(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const int mask =
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

// The well-formed sequence that starts at `p` (at least one byte, `n` in all): its length, 1
// to 4, with its code point in `c`; or 0 when there is none, with `bad` the length of the
// longest start of a sequence that is there (at least 1), and `cut` true when the bytes ended
// inside a sequence that could still have been completed.
inline std::size_t sequenceAt(const unsigned char* p, std::size_t n, std::uint32_t& c,
                              std::size_t& bad, bool& cut) {
    const unsigned lead = p[0];
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        bad = 1;
        cut = false;
        return 0;
    }
    c = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if (k >= n) {
            bad = k;
            cut = true;
            return 0;
        }
        const unsigned b = p[k];
        if (b < low || b > high) {
            bad = k;
            cut = false;
            return 0;
        }
        low = 0x80;
        high = 0xBF;
        c = (c << 6) | (b & 0x3Fu);
    }
    return length;
}

inline char16_t* put(char16_t* o, std::uint32_t c) {
    if (c < 0x10000) {
        *o++ = static_cast<char16_t>(c);
    } else {
        *o++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        *o++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return o;
}

// Decodes until the first ill-formed sequence; returns where it is, and how long, in `bad`.
std::optional<std::size_t> decodeUntilBad(std::string_view bytes, std::u16string& out,
                                          std::size_t& bad) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    // At most one unit per byte; shrink to what was written at the end.
    const std::size_t base = out.size();
    out.resize(base + size);
    char16_t* o = out.data() + base;
    std::size_t i = 0;
    std::optional<std::size_t> failure;
    while (i < size) {
        if (in[i] < 0x80) {
            const std::size_t run = asciiRun(in + i, size - i);
            for (std::size_t k = 0; k < run; ++k) o[k] = in[i + k];
            o += run;
            i += run;
            continue;
        }
        // Japanese text is mostly three-byte sequences: those go without the general case.
        while (i + 3 <= size && (in[i] & 0xF0) == 0xE0 && (in[i + 1] & 0xC0) == 0x80 &&
               (in[i + 2] & 0xC0) == 0x80) {
            const std::uint32_t c =
                ((in[i] & 0x0Fu) << 12) | ((in[i + 1] & 0x3Fu) << 6) | (in[i + 2] & 0x3Fu);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) break;
            *o++ = static_cast<char16_t>(c);
            i += 3;
        }
        if (i >= size || in[i] < 0x80) continue;
        std::uint32_t c = 0;
        bool cut = false;
        const std::size_t length = sequenceAt(in + i, size - i, c, bad, cut);
        if (length == 0) {
            failure = i;
            break;
        }
        o = put(o, c);
        i += length;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return failure;
}

}  // namespace

namespace utf8 {

std::optional<std::size_t> decode(std::string_view bytes, std::u16string& out) {
    std::size_t bad = 0;
    return decodeUntilBad(bytes, out, bad);
}

std::size_t decodeReplacing(std::string_view bytes, std::u16string& out) {
    std::size_t replaced = 0;
    std::size_t bad = 0;
    while (const auto failure = decodeUntilBad(bytes, out, bad)) {
        out.push_back(u'\uFFFD');
        ++replaced;
        bytes.remove_prefix(*failure + bad);
    }
    return replaced;
}

Kind classify(std::string_view bytes, bool complete) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    bool multiByte = false;
    for (std::size_t i = 0; i < size;) {
        if (in[i] < 0x80) {
            i += asciiRun(in + i, size - i);
            continue;
        }
        std::uint32_t c = 0;
        std::size_t bad = 0;
        bool cut = false;
        const std::size_t length = sequenceAt(in + i, size - i, c, bad, cut);
        if (length == 0) return cut && !complete && multiByte ? Kind::Utf8 : Kind::Other;
        multiByte = true;
        i += length;
    }
    return multiByte ? Kind::Utf8 : Kind::Ascii;
}

std::size_t encodeUpTo(std::u16string_view text, std::string& out) {
    const std::size_t size = text.size();
    const std::size_t base = out.size();
    out.resize(base + 3 * size);
    auto* o = reinterpret_cast<unsigned char*>(out.data() + base);
    const char16_t* in = text.data();
    std::optional<std::size_t> failure;
    for (std::size_t i = 0; i < size;) {
#if defined(__SSE2__)
        // Runs of ASCII go eight units at a time.
        const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (i + 8 <= size) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(
                    _mm_cmpeq_epi16(_mm_and_si128(units, high), _mm_setzero_si128())) != 0xFFFF) {
                break;
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(units, units));
            o += 8;
            i += 8;
        }
        if (i >= size) break;
#endif
        // A run of other characters, up to the next ASCII one.
        while (i < size) {
            std::uint32_t c = in[i];
            if (c < 0x80) {
                *o++ = static_cast<unsigned char>(c);
                ++i;
                break;
            }
            if (c < 0x800) {
                *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
                *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
                ++i;
            } else if (c < 0xD800 || c > 0xDFFF) {
                *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
                *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
                *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
                ++i;
            } else if (c <= 0xDBFF && i + 1 < size && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00u);
                *o++ = static_cast<unsigned char>(0xF0 | (c >> 18));
                *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
                *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
                *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
                i += 2;
            } else {
                failure = i;
                break;
            }
        }
        if (failure) break;
    }
    out.resize(static_cast<std::size_t>(reinterpret_cast<char*>(o) - out.data()));
    return failure ? *failure : text.size();
}

}  // namespace utf8

namespace utf16 {

std::size_t encodeUpTo(std::u16string_view text, std::string& out, bool bigEndian) {
    const std::size_t size = text.size();
    std::size_t end = size;
    std::optional<std::size_t> failure;
    for (std::size_t i = 0; i < size; ++i) {
        const char16_t c = text[i];
        if (c < 0xD800 || c > 0xDFFF) continue;
        if (c <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        failure = end = i;
        break;
    }
    const std::size_t base = out.size();
    out.resize(base + 2 * end);
    char* o = out.data() + base;
    for (std::size_t i = 0; i < end; ++i) {
        const char16_t c = text[i];
        const char low = static_cast<char>(c & 0xFF);
        const char high = static_cast<char>(c >> 8);
        *o++ = bigEndian ? high : low;
        *o++ = bigEndian ? low : high;
    }
    return failure ? *failure : text.size();
}

void ToUtf8::unit(char16_t u, std::string& out) {
    if (highSurrogate_ != 0) {
        const char16_t high = highSurrogate_;
        highSurrogate_ = 0;
        if (u >= 0xDC00 && u <= 0xDFFF) {
            const std::uint32_t c = 0x10000 + ((high - 0xD800u) << 10) + (u - 0xDC00u);
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            return;
        }
        out.push_back('\xFF');  // the high surrogate stood alone
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
        highSurrogate_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
        out.push_back('\xFF');
    } else if (u < 0x80) {
        out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (u >> 6)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (u >> 12)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
}

void ToUtf8::feed(std::string_view bytes, bool last, std::string& out) {
    out.reserve(out.size() + bytes.size() / 2 * 3 + 4);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    const auto assemble = [this](unsigned first, unsigned second) {
        return static_cast<char16_t>(bigEndian_ ? (first << 8) | second : (second << 8) | first);
    };
    if (oddByte_ >= 0 && !bytes.empty()) {
        unit(assemble(static_cast<unsigned>(oddByte_), in[0]), out);
        oddByte_ = -1;
        i = 1;
    }
    for (; i + 2 <= bytes.size(); i += 2) unit(assemble(in[i], in[i + 1]), out);
    if (i < bytes.size()) oddByte_ = in[i];
    if (last) {
        if (highSurrogate_ != 0) out.push_back('\xFF');
        if (oddByte_ >= 0) out.push_back('\xFF');
        highSurrogate_ = 0;
        oddByte_ = -1;
    }
}

}  // namespace utf16
}  // namespace voxilo
