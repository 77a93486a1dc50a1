#include "core/platform/Codepage.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace voxilo::cp932 {
namespace {

constexpr std::uint32_t kInvalid = 0xFFFFFFFF;
constexpr std::uint32_t kLeadByte = 0xFFFFFFFE;
// U+FFFF is no character, and CP932 has no bytes for it.
constexpr char16_t kNoPair = 0xFFFF;

// Asks the platform converter about one byte sequence: the one UTF-16 unit it stands for,
// kLeadByte when it is the start of a longer character, or kInvalid.
#ifdef _WIN32
// Code page 932 itself, whatever the system's ANSI code page is.
constexpr UINT kCodePage = 932;

class PlatformDecoder {
public:
    bool ok() const { return IsValidCodePage(kCodePage) != 0; }

    std::uint32_t decode(const unsigned char* bytes, std::size_t count) {
        if (count == 1 && IsDBCSLeadByteEx(kCodePage, bytes[0])) return kLeadByte;
        wchar_t out[2];
        const int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS,
                                          reinterpret_cast<const char*>(bytes),
                                          static_cast<int>(count), out, 2);
        return n == 1 ? static_cast<std::uint32_t>(out[0]) : kInvalid;
    }
};

// Asks the platform converter for the bytes of one character; empty when it has none or
// would only put a look-alike in its place.
std::string platformEncode(char16_t c) {
    const wchar_t in = static_cast<wchar_t>(c);
    char out[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &in, 1, out, sizeof out,
                                      nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return {};
    return std::string(out, static_cast<std::size_t>(n));
}
#else
class PlatformDecoder {
public:
    PlatformDecoder() : cd_(iconv_open("UTF-16LE", "CP932")) {}
    ~PlatformDecoder() {
        if (ok()) iconv_close(cd_);
    }
    PlatformDecoder(const PlatformDecoder&) = delete;
    PlatformDecoder& operator=(const PlatformDecoder&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::uint32_t decode(const unsigned char* bytes, std::size_t count) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char in[2];
        std::memcpy(in, bytes, count);
        char out[8];
        char* inPtr = in;
        char* outPtr = out;
        std::size_t inLeft = count;
        std::size_t outLeft = sizeof out;
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            return errno == EINVAL ? kLeadByte : kInvalid;
        }
        if (inLeft != 0 || outPtr - out != 2) return kInvalid;
        return static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8);
    }

private:
    iconv_t cd_;
};

// Asks the platform converter for the bytes of one character; empty when it has none.
std::string platformEncode(char16_t c) {
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    char out[8];
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = sizeof in;
    std::size_t outLeft = sizeof out;
    const bool converted =
        iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!converted || inLeft != 0) return {};
    return std::string(out, static_cast<std::size_t>(outPtr - out));
}
#endif

struct DecodeTable {
    std::array<std::uint32_t, 256> single{};
    // By lead byte and trail byte; kNoPair where the two are not a character.
    std::vector<char16_t> pair = std::vector<char16_t>(65536, kNoPair);
    bool asciiIsIdentity = true;

    DecodeTable() {
        PlatformDecoder converter;
        single.fill(kInvalid);
        if (!converter.ok()) return;  // no converter: every byte reads as invalid
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned char one[1] = {static_cast<unsigned char>(b)};
            single[b] = converter.decode(one, 1);
            if (single[b] != kLeadByte) continue;
            for (unsigned t = 0; t < 256; ++t) {
                const unsigned char two[2] = {static_cast<unsigned char>(b),
                                              static_cast<unsigned char>(t)};
                const std::uint32_t c = converter.decode(two, 2);
                if (c < kNoPair) pair[(b << 8) | t] = static_cast<char16_t>(c);
            }
        }
        for (unsigned b = 0; b < 0x80; ++b) asciiIsIdentity &= single[b] == b;
    }
};

const DecodeTable& decodeTable() {
    static const DecodeTable table;
    return table;
}

// Each entry: the byte of a one-byte character (below 0x100), the two bytes of a two-byte one
// (lead byte high, at least 0x8100), or kUnheld for a character CP932 cannot hold (0xFF is no
// lead byte). Two bytes an entry keep the table small enough for the cache.
constexpr std::uint16_t kUnheld = 0xFFFF;
struct EncodeTable {
    std::vector<std::uint16_t> entry = std::vector<std::uint16_t>(65536, kUnheld);

    // The exact table with the characters a document may also hold as their look-alikes' codes.
    EncodeTable(const EncodeTable& exact, const DecodeTable& d) : entry(exact.entry) {
        struct Kin {
            char16_t character;
            std::uint16_t code;
        };
        static constexpr Kin kKin[] = {{u'\u301C', 0x8160}, {u'\u2016', 0x8161},
                                       {u'\u2212', 0x817C}, {u'\u00A2', 0x8191},
                                       {u'\u00A3', 0x8192}, {u'\u00AC', 0x81CA}};
        for (const Kin& kin : kKin) {
            // Only where the converter has the look-alike at that code, and nothing of its own.
            if (entry[kin.character] == kUnheld && d.pair[kin.code] != kNoPair) {
                entry[kin.character] = kin.code;
            }
        }
    }

    explicit EncodeTable(const DecodeTable& d) {
        // The inverse of the decode table; where several byte sequences read as the same
        // character (the NEC and IBM duplicates), the platform converter chooses.
        std::vector<std::uint8_t> seen(65536, 0);
        auto offer = [&](std::uint32_t c, unsigned code) {
            if (seen[c]++ == 0) entry[c] = static_cast<std::uint16_t>(code);
        };
        for (unsigned b = 0; b < 256; ++b) {
            if (d.single[b] < 0x10000) offer(d.single[b], b);
        }
        for (unsigned seq = 0; seq < 65536; ++seq) {
            if (d.pair[seq] != kNoPair) offer(d.pair[seq], seq);
        }
        for (unsigned c = 0; c < 65536; ++c) {
            if (seen[c] < 2) continue;
            const std::string bytes = platformEncode(static_cast<char16_t>(c));
            if (bytes.size() == 1) {
                entry[c] = static_cast<unsigned char>(bytes[0]);
            } else if (bytes.size() == 2) {
                const unsigned seq = (static_cast<unsigned char>(bytes[0]) << 8) |
                                     static_cast<unsigned char>(bytes[1]);
                if (d.pair[seq] == c) entry[c] = static_cast<std::uint16_t>(seq);
            }
        }
    }
};

const EncodeTable& encodeTable(Mapping mapping) {
    static const EncodeTable exact(decodeTable());
    if (mapping == Mapping::Exact) return exact;
    static const EncodeTable document(exact, decodeTable());
    return document;
}

}  // namespace

// Asked of every line of a ciphertext file: answered from the 128 bytes alone, without the
// tables, which a document of ASCII never needs.
bool asciiIsIdentity() {
    static const bool identity = [] {
        PlatformDecoder converter;
        if (!converter.ok()) return false;
        for (unsigned b = 0; b < 0x80; ++b) {
            const unsigned char one[1] = {static_cast<unsigned char>(b)};
            if (converter.decode(one, 1) != b) return false;
        }
        return true;
    }();
    return identity;
}

bool isAscii(std::string_view bytes) noexcept {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
#if defined(__SSE2__)
    for (; n >= 16; p += 16, n -= 16) {
        if (_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) != 0)
            return false;
    }
#endif
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) return false;
    }
    for (; n > 0; ++p, --n) {
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    }
    return true;
}

std::optional<std::size_t> decode(std::string_view bytes, std::u16string& out) {
    const DecodeTable& table = decodeTable();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    // At most one unit per byte; shrink to what was written at the end.
    const std::size_t base = out.size();
    out.resize(base + size);
    char16_t* o = out.data() + base;
    std::size_t i = 0;
    std::optional<std::size_t> failure;
    const bool asciiIsIdentity = table.asciiIsIdentity;
    const std::uint32_t* single = table.single.data();
    const char16_t* pair = table.pair.data();
    while (i < size) {
        const unsigned b = in[i];
        if (b < 0x80 && asciiIsIdentity) {
            // Runs of ASCII, the whole of ciphertext, go eight bytes at a time.
            while (i + 8 <= size) {
                std::uint64_t word;
                std::memcpy(&word, in + i, 8);
                if (word & 0x8080808080808080ull) break;
                for (int k = 0; k < 8; ++k) o[k] = in[i + k];
                o += 8;
                i += 8;
            }
            while (i < size && in[i] < 0x80) *o++ = in[i++];
            continue;
        }
        // Two-byte characters first: the pair table holds characters only after lead bytes.
        if (i + 1 < size) {
            const char16_t d = pair[(b << 8) | in[i + 1]];
            if (d != kNoPair) {
                *o++ = d;
                i += 2;
                continue;
            }
        }
        const std::uint32_t c = single[b];
        if (c < 0x10000) {
            *o++ = static_cast<char16_t>(c);
            ++i;
            continue;
        }
        failure = i;
        break;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return failure;
}

std::size_t encodeUpTo(std::u16string_view text, std::string& out, Mapping mapping) {
    const DecodeTable& dtable = decodeTable();
    const std::size_t size = text.size();
    const std::size_t base = out.size();
    out.resize(base + 2 * size);
    char* o = out.data() + base;
    const char16_t* in = text.data();
    std::size_t i = 0;
    std::optional<std::size_t> failure;
    const EncodeTable* etable = nullptr;  // built only once text goes beyond ASCII
    while (i < size) {
        if (dtable.asciiIsIdentity) {
#if defined(__SSE2__)
            // Runs of ASCII, the whole of deciphered English, go eight units at a time.
            const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
            while (i + 8 <= size) {
                const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
                if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, high),
                                                      _mm_setzero_si128())) != 0xFFFF) {
                    break;
                }
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(units, units));
                o += 8;
                i += 8;
            }
#endif
            while (i < size && in[i] < 0x80) *o++ = static_cast<char>(in[i++]);
            if (i >= size) break;
        }
        if (etable == nullptr) etable = &encodeTable(mapping);
        // A run of other characters, each looked up in the table, up to the next ASCII.
        const std::uint16_t* entries = etable->entry.data();
        // Eight two-byte characters at a time, as most of a Japanese text is: their loads do
        // not wait for each other, and sixteen bytes go out at once.
        while (i + 8 <= size) {
            std::uint16_t bytes[8];
            bool twoByte = true;
            for (std::size_t k = 0; k < 8; ++k) {
                const unsigned e = entries[in[i + k]];
                twoByte &= in[i + k] >= 0x80 && e >= 0x100 && e != kUnheld;
                bytes[k] = static_cast<std::uint16_t>((e >> 8) | (e << 8));  // lead byte first
            }
            if (!twoByte) break;
            std::memcpy(o, bytes, sizeof bytes);
            o += sizeof bytes;
            i += 8;
        }
        if (i >= size) break;
        do {
            const unsigned e = entries[in[i]];
            if (e == kUnheld) {
                failure = i;
                break;
            }
            // Both bytes of a two-byte character, lead byte first, or a one-byte character and
            // a byte the next one writes over: each character has two bytes of room.
            const bool two = e >= 0x100;
            o[0] = static_cast<char>(two ? e >> 8 : e);
            o[1] = static_cast<char>(e & 0xFF);
            o += two ? 2 : 1;
            ++i;
        } while (i < size && (in[i] >= 0x80 || !dtable.asciiIsIdentity));
        if (failure) break;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return failure ? *failure : size;
}

// The strict converters do the work; each stop is one replacement, and the work goes on after
// it, so damaged text costs no more than its damage.
std::size_t decodeReplacing(std::string_view bytes, std::u16string& out, char16_t replacement) {
    const std::uint32_t* single = decodeTable().single.data();
    std::size_t replaced = 0;
    while (const auto failure = decode(bytes, out)) {
        const std::size_t at = *failure;
        // A lead byte takes a following non-ASCII byte with it, as other readers of Shift-JIS
        // do; an ASCII byte after it stays a character of its own.
        const bool lead = single[static_cast<unsigned char>(bytes[at])] == kLeadByte;
        const bool pair =
            lead && at + 1 < bytes.size() && static_cast<unsigned char>(bytes[at + 1]) >= 0x80;
        out.push_back(replacement);
        ++replaced;
        bytes.remove_prefix(at + (pair ? 2 : 1));
    }
    return replaced;
}

std::size_t encodeReplacing(std::u16string_view text, std::string& out, char replacement,
                            std::size_t* first, Mapping mapping) {
    std::size_t replaced = 0;
    std::size_t offset = 0;  // of `text` in the whole
    while (const auto failure = encode(text, out, mapping)) {
        const std::size_t at = *failure;
        if (replaced == 0 && first != nullptr) *first = offset + at;
        ++replaced;
        out.push_back(replacement);
        const bool pair = text[at] >= 0xD800 && text[at] < 0xDC00 && at + 1 < text.size() &&
                          text[at + 1] >= 0xDC00 && text[at + 1] < 0xE000;
        const std::size_t skip = at + (pair ? 2 : 1);
        text.remove_prefix(skip);
        offset += skip;
    }
    return replaced;
}

}  // namespace voxilo::cp932
