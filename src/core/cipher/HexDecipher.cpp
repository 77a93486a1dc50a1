#include "core/cipher/HexDecipher.h"

#include <algorithm>
#include <array>
#include <bit>
#include <tuple>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 is chosen at run time, so it is compiled for whatever the build's baseline is.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VOXILO_HAS_AVX2_KERNEL 1
#include <immintrin.h>
#endif

namespace voxilo::cipher_detail {
namespace {

// One digit at a time, straight from the definition of where each digit sits.
template <class Source>
bool plainInto(std::string_view text, std::uint16_t shift, Source source, char16_t* out) {
    const std::size_t len = text.size();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const auto digitAt = [&](std::size_t x) {
        return hexDigitValue(static_cast<char16_t>(in[source(x)] - shift));
    };
    const std::size_t bytes = len / 2;
    int invalid = 0;  // any digit's value is negative: checked once at the end
    for (std::size_t t = 0; t < bytes / 2; ++t) {
        const int a = digitAt(4 * t), b = digitAt(4 * t + 1);
        const int c = digitAt(4 * t + 2), d = digitAt(4 * t + 3);
        invalid |= a | b | c | d;
        out[t] = static_cast<char16_t>((unsigned(a) << 4) | unsigned(b) | (unsigned(c) << 12) |
                                       (unsigned(d) << 8));
    }
    if (bytes % 2 != 0) {
        const int a = digitAt(len - 2), b = digitAt(len - 1);
        invalid |= a | b;
        out[bytes / 2] = static_cast<char16_t>(((unsigned(a) << 4) | unsigned(b)) & 0xFF);
    }
    return invalid >= 0;
}

bool plainDecipher(std::string_view text, std::uint16_t shift, Arrangement arrangement,
                   char16_t* out) {
    const std::size_t len = text.size();
    switch (arrangement) {
        case Arrangement::Single:
            return plainInto(text, shift, SingleSource{len}, out);
        case Arrangement::Whole:
            return plainInto(text, shift, WholeSource{len}, out);
        case Arrangement::Halves:
            return plainInto(text, shift, HalvesSource{len}, out);
    }
    return false;
}

#if defined(__SSE2__)

// Byte j of the UTF-16LE stream is made of hex-stage digits 2j (high nibble) and 2j + 1 (low
// nibble), and each arrangement reads them from the ciphertext in runs of every other position:
// the high digit of byte j from base + dir * 2j, the low digit likewise from a run of its own.
// Halves switches its high run halfway through. So a block of bytes is two strided loads, the
// descending ones reversed, made nibbles and joined.
struct DigitRun {
    std::ptrdiff_t base;
    int dir;  // +1 or -1
};

struct RunLayout {
    DigitRun high;       // for bytes before `middle`
    DigitRun highLater;  // for bytes from `middle` on
    DigitRun low;
    std::size_t middle;
};

RunLayout layoutOf(Arrangement arrangement, std::size_t len) {
    const auto n = static_cast<std::ptrdiff_t>(len);
    const auto h = n / 2;
    const std::size_t bytes = len / 2;
    switch (arrangement) {
        case Arrangement::Single:
            return {{1, +1}, {1, +1}, {n - 2, -1}, bytes};
        case Arrangement::Whole:
            return {{n - 2, -1}, {n - 2, -1}, {n - 1, -1}, bytes};
        case Arrangement::Halves:
            break;
    }
    return {{h - 2, -1}, {3 * h - 2, -1}, {n - 1, -1}, bytes / 2};
}

// Where the `width` bytes of a run for the block at byte j0 can be read as one window of
// 2 * width bytes: its start, and whether the wanted bytes sit at its odd offsets. False when
// the window would reach outside the text, near its ends.
bool windowOf(std::ptrdiff_t len, DigitRun run, std::ptrdiff_t j0, std::ptrdiff_t width,
              std::ptrdiff_t& start, bool& odd) {
    const std::ptrdiff_t span = 2 * (width - 1);  // from the first wanted byte to the last
    const std::ptrdiff_t lowest = run.dir > 0 ? run.base + 2 * j0 : run.base - 2 * j0 - span;
    if (lowest < 0 || lowest + span >= len) return false;
    odd = lowest + span + 1 >= len;  // the window ends one byte before the wanted ones do
    start = odd ? lowest - 1 : lowest;
    return start >= 0;
}

// Sixteen ciphertext bytes lowered by `shift` made digit values, as the byte's high or low
// nibble; `bad` gains 0xFF for each that is not a hex digit. Byte-wise arithmetic gives the
// 16-bit one here as long as the shift is small (see hexDecipherBytes).
[[gnu::always_inline]] inline __m128i nibbles16(__m128i raw, __m128i shift, __m128i& bad) {
    const __m128i v = _mm_sub_epi8(raw, shift);
    const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
    const __m128i l = _mm_sub_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(l, _mm_set1_epi8(5)), l);
    bad = _mm_or_si128(bad, _mm_andnot_si128(_mm_or_si128(isDigit, isLetter), _mm_set1_epi8(-1)));
    return _mm_or_si128(_mm_and_si128(isDigit, d),
                        _mm_and_si128(isLetter, _mm_add_epi8(l, _mm_set1_epi8(10))));
}

// Sixteen bytes of a run in the run's order; false near the text's ends.
[[gnu::always_inline]] inline bool loadRun16(const char* in, std::ptrdiff_t len, DigitRun run,
                                             std::ptrdiff_t j0, __m128i& out) {
    std::ptrdiff_t start = 0;
    bool odd = false;
    if (!windowOf(len, run, j0, 16, start, odd)) return false;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + start));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + start + 16));
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    __m128i v = odd ? _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8))
                    : _mm_packus_epi16(_mm_and_si128(a, lowBytes), _mm_and_si128(b, lowBytes));
    if (run.dir < 0) {
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        v = _mm_shufflelo_epi16(v, 0x1B);
        v = _mm_shufflehi_epi16(v, 0x1B);
        v = _mm_shuffle_epi32(v, 0x4E);
    }
    out = v;
    return true;
}

struct Sse2Blocks {
    static constexpr std::ptrdiff_t kWidth = 16;
    const char* in;
    std::ptrdiff_t len;
    unsigned char* out;
    __m128i shift;
    __m128i bad = _mm_setzero_si128();

    Sse2Blocks(std::string_view text, std::uint16_t by, unsigned char* o)
        : in(text.data()),
          len(static_cast<std::ptrdiff_t>(text.size())),
          out(o),
          shift(_mm_set1_epi8(static_cast<char>(by & 0xFF))) {}

    bool block(std::ptrdiff_t j0, DigitRun highRun, DigitRun lowRun) {
        __m128i hi, lo;
        if (!loadRun16(in, len, highRun, j0, hi) || !loadRun16(in, len, lowRun, j0, lo))
            return false;
        const __m128i high = nibbles16(hi, shift, bad);
        const __m128i low = nibbles16(lo, shift, bad);
        const __m128i joined = _mm_or_si128(
            _mm_and_si128(_mm_slli_epi16(high, 4), _mm_set1_epi8(static_cast<char>(0xF0))), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j0), joined);
        return true;
    }
    bool anyBad() const { return _mm_movemask_epi8(bad) != 0; }
};

#endif

#if defined(VOXILO_HAS_AVX2_KERNEL)

#define VOXILO_AVX2 [[gnu::target("avx2")]]

// The tables of the vector kernels' digit values, by the top four bits of a lowered digit
// (3 for 0-9, 4 and 6 for A-F and a-f) and by its low four: a digit is hexadecimal when the
// classes of both have a bit in common, and its value is its low four bits plus the offset of
// its top four.
alignas(16) constexpr std::uint8_t kClassOfTop[16] = {0, 0, 0, 1, 2, 0, 2, 0,
                                                      0, 0, 0, 0, 0, 0, 0, 0};
alignas(16) constexpr std::uint8_t kClassOfLow[16] = {1, 3, 3, 3, 3, 3, 3, 1,
                                                      1, 1, 0, 0, 0, 0, 0, 0};
alignas(16) constexpr std::uint8_t kOffsetOfTop[16] = {0, 0, 0, 0, 9, 0, 9, 0,
                                                       0, 0, 0, 0, 0, 0, 0, 0};

// The AVX2 kernel goes in two steps, a piece of the line at a time through a buffer on the
// stack. First it puts the hex-stage digits back in their order, 32 at a time: every
// arrangement reads its digits from one or two stretches of the ciphertext, one of them
// backwards, and takes every other digit from each, which is a load or two, a blend and a
// byte reversal. Then it reads the digits in order, as any hex decoder does: 32 digits make
// 16 bytes of the UTF-16LE stream, or, when the result is ASCII, 8 characters.
namespace avx2 {

constexpr std::size_t kPiece = 2048;  // digits put in order at a time: a multiple of 128

VOXILO_AVX2 inline __m256i load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The bytes of `v`, last first.
VOXILO_AVX2 inline __m256i backwards(__m256i v) {
    const __m256i eachHalfBackwards =
        _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,  //
                         15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, eachHalfBackwards), 0x4E);
}

// Takes `odd`'s bytes at odd offsets and `even`'s at even ones.
VOXILO_AVX2 inline __m256i interleave(__m256i even, __m256i odd) {
    return _mm256_blendv_epi8(even, odd, _mm256_set1_epi16(static_cast<short>(0xFF00)));
}

// Digits x to x + 31 of the hex stage, for x even. Each arrangement has its own blocks, and
// says where in the line they may start without reading outside the text.
struct SingleBlock {  // even x from c[x + 1] onwards, odd x from c[len - 1 - x] backwards
    const unsigned char* c;
    std::size_t len;
    VOXILO_AVX2 __m256i operator()(std::size_t x) const {
        return interleave(load(c + x + 1), backwards(load(c + len - 32 - x)));
    }
};
struct WholeBlock {  // c backwards, each two digits swapped
    const unsigned char* c;
    std::size_t len;
    VOXILO_AVX2 __m256i operator()(std::size_t x) const {
        const __m256i pairsSwappedBackwards =
            _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,  //
                             14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
        return _mm256_shuffle_epi8(_mm256_permute4x64_epi64(load(c + len - 32 - x), 0x4E),
                                   pairsSwappedBackwards);
    }
};
// Even x from c[top - x] and odd x from c[len - x], both backwards: top is h - 2 in the first
// half of the hex stage and 3h - 2 in the second. Blended first, so one reversal does both.
struct HalvesBlock {
    const unsigned char* c;
    std::size_t len;
    std::size_t top;
    VOXILO_AVX2 __m256i operator()(std::size_t x) const {
        return backwards(interleave(load(c + len - 31 - x), load(c + top - 31 - x)));
    }
};

template <class Block>
VOXILO_AVX2 inline void storeBlock(unsigned char* to, Block block, std::ptrdiff_t x) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), block(static_cast<std::size_t>(x)));
}

// Fills `s` with digits [from, to) of the hex stage, those of the region [begin, end) of it:
// in blocks where one may start (at even x from `first` to `last`, where it reads nothing
// outside the text), the rest a digit at a time.
template <class Block, class Source>
VOXILO_AVX2 inline void fillRegion(unsigned char* s, std::size_t from, std::size_t to,
                                   std::size_t begin, std::size_t end, std::ptrdiff_t first,
                                   std::ptrdiff_t last, Block block, Source source,
                                   const unsigned char* c) {
    const auto a = static_cast<std::ptrdiff_t>(std::max(from, begin));
    const auto b = static_cast<std::ptrdiff_t>(std::min(to, end));
    const auto base = static_cast<std::ptrdiff_t>(from);
    const auto oneByOne = [&](std::ptrdiff_t x, std::ptrdiff_t stop) {
        for (; x < stop; ++x) s[x - base] = c[source(static_cast<std::size_t>(x))];
    };
    const std::ptrdiff_t start = std::max(a, first);
    const std::ptrdiff_t lastStart = std::min(last, b - 32);
    if (start > lastStart) {
        oneByOne(a, b);
        return;
    }
    oneByOne(a, start);
    std::ptrdiff_t x = start;
    for (; x <= lastStart; x += 32) storeBlock(s + (x - base), block, x);
    if (x < b && lastStart + 32 > x) {  // one more block, overlapping the one before
        storeBlock(s + (lastStart - base), block, lastStart);
        x = std::max(x, lastStart + 32);
    }
    oneByOne(x, b);
}

// Digits [from, to) of the hex stage of ciphertext c, in order. Blocks that would read the
// byte before the text or the one after it start a digit pair further in, unless `around` says
// those bytes may be read.
VOXILO_AVX2 inline void fillDigits(unsigned char* s, std::size_t from, std::size_t to,
                                   const unsigned char* c, std::size_t len,
                                   Arrangement arrangement, bool around) {
    const auto n = static_cast<std::ptrdiff_t>(len);
    const std::ptrdiff_t inward = around ? 0 : 2;
    switch (arrangement) {
        case Arrangement::Single:
            fillRegion(s, from, to, 0, len, 0, n - 32 - inward, SingleBlock{c, len},
                       SingleSource{len}, c);
            return;
        case Arrangement::Whole:
            fillRegion(s, from, to, 0, len, 0, n - 32, WholeBlock{c, len}, WholeSource{len}, c);
            return;
        case Arrangement::Halves: {
            const std::size_t h = len / 2;
            const auto hs = static_cast<std::ptrdiff_t>(h);
            fillRegion(s, from, to, 0, h, inward, hs - 32 - inward, HalvesBlock{c, len, h - 2},
                       HalvesSource{len}, c);
            fillRegion(s, from, to, h, len, hs, n - 32, HalvesBlock{c, len, 3 * h - 2},
                       HalvesSource{len}, c);
            return;
        }
    }
}

// Digit values of 32 hex digits raised by `shift`; `valid` keeps a zero byte for any that is
// not a hex digit. The tables (kClassOfTop and its kin) in each 128-bit lane.
struct Nibbles {
    __m256i shift, classOfTop, classOfLow, offsetOfTop, valid;
    VOXILO_AVX2 static __m256i table(const std::uint8_t* bytes) {
        const __m128i lane = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
        return _mm256_broadcastsi128_si256(lane);
    }
    VOXILO_AVX2 explicit Nibbles(std::uint16_t by)
        : shift(_mm256_set1_epi8(static_cast<char>(by & 0xFF))),
          classOfTop(table(kClassOfTop)),
          classOfLow(table(kClassOfLow)),
          offsetOfTop(table(kOffsetOfTop)),
          valid(_mm256_set1_epi8(-1)) {}
    VOXILO_AVX2 __m256i operator()(__m256i digits) {
        const __m256i v = _mm256_sub_epi8(digits, shift);
        const __m256i fours = _mm256_set1_epi8(0x0F);
        const __m256i top = _mm256_and_si256(_mm256_srli_epi16(v, 4), fours);
        const __m256i low = _mm256_and_si256(v, fours);
        valid = _mm256_min_epu8(valid, _mm256_and_si256(_mm256_shuffle_epi8(classOfTop, top),
                                                        _mm256_shuffle_epi8(classOfLow, low)));
        return _mm256_add_epi8(low, _mm256_shuffle_epi8(offsetOfTop, top));
    }
    VOXILO_AVX2 bool allValid() const {
        return _mm256_movemask_epi8(_mm256_cmpeq_epi8(valid, _mm256_setzero_si256())) == 0;
    }
};

// 32 digits in order as 16 bytes of the stream, each in a 16-bit lane: high digit times 16
// plus low digit.
VOXILO_AVX2 inline __m256i streamBytes(Nibbles& nibbles, const unsigned char* s) {
    return _mm256_maddubs_epi16(nibbles(load(s)), _mm256_set1_epi16(0x0110));
}

// `count` digits in order (a multiple of 4; room for 64 more) as units.
VOXILO_AVX2 inline void unitsOf(Nibbles& nibbles, const unsigned char* s, std::size_t count,
                                char16_t* out) {
    std::size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m256i packed = _mm256_packus_epi16(streamBytes(nibbles, s + i),
                                                   streamBytes(nibbles, s + i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i / 4),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    if (i < count) {
        alignas(32) char16_t last[16];
        const __m256i packed = _mm256_packus_epi16(streamBytes(nibbles, s + i),
                                                   streamBytes(nibbles, s + i + 32));
        _mm256_store_si256(reinterpret_cast<__m256i*>(last), _mm256_permute4x64_epi64(packed, 0xD8));
        std::copy_n(last, (count - i) / 4, out + i / 4);
    }
}

// 128 digits in order as 32 ASCII characters; `refused` gains the top bit of each that is not
// ASCII, and of each CR. Two saturating packs take each unit's low byte, and make 0xFF of a unit
// with a high byte.
VOXILO_AVX2 inline __m256i charsOf(Nibbles& nibbles, const unsigned char* d, __m256i& refused) {
    const __m256i inOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const __m256i a = _mm256_packs_epi32(streamBytes(nibbles, d), streamBytes(nibbles, d + 32));
    const __m256i b = _mm256_packs_epi32(streamBytes(nibbles, d + 64), streamBytes(nibbles, d + 96));
    const __m256i v = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a, b), inOrder);
    refused = _mm256_or_si256(refused, _mm256_or_si256(v, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r'))));
    return v;
}

// `count` digits in order (a multiple of 4; room for 128 more) as ASCII characters; false when
// a unit is not ASCII or is CR.
VOXILO_AVX2 inline bool asciiOf(Nibbles& nibbles, const unsigned char* s, std::size_t count,
                                char* out) {
    __m256i refused = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 128 <= count; i += 128) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i / 4), charsOf(nibbles, s + i, refused));
    }
    if (i < count) {
        alignas(32) char last[32];
        _mm256_store_si256(reinterpret_cast<__m256i*>(last), charsOf(nibbles, s + i, refused));
        // The digits past `count` are zeros, which make NUL: ASCII, and not kept.
        std::copy_n(last, (count - i) / 4, out + i / 4);
    }
    return _mm256_movemask_epi8(refused) == 0;
}

// Deciphers `text` a piece at a time into units, or ASCII characters when `ascii` is given.
// Returns false when a digit is not hexadecimal; with `ascii`, `isAscii` tells whether the
// result was ASCII without CR, and is only meaningful when it is hexadecimal.
VOXILO_AVX2 bool decipher(std::string_view text, std::uint16_t shift, Arrangement arrangement,
                          char16_t* units, char* ascii, bool& isAscii, bool around) {
    const auto* c = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t len = text.size();
    alignas(32) unsigned char s[kPiece + 128];
    Nibbles nibbles(shift);
    isAscii = true;
    const auto zero = static_cast<unsigned char>('0' + shift);
    for (std::size_t from = 0; from < len; from += kPiece) {
        const std::size_t to = std::min(len, from + kPiece);
        fillDigits(s, from, to, c, len, arrangement, around);
        // A last unit of one byte has a high byte of zero; the digits after the end make
        // zeros too, which nothing keeps.
        const std::size_t count = (to - from + 3) / 4 * 4;
        std::fill(s + (to - from), s + count + 128, zero);
        if (ascii != nullptr) {
            isAscii = asciiOf(nibbles, s, count, ascii + from / 4) && isAscii;
        } else {
            unitsOf(nibbles, s, count, units + from / 4);
        }
    }
    return nibbles.allValid();
}

}  // namespace avx2

#define VOXILO_AVX512 [[gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi")]]

// The AVX-512 kernel goes in one step, 64 digits a block: one permutation of one or two loads
// puts them in order, and their values make 32 bytes of the UTF-16LE stream, or, when the
// result is ASCII, 16 characters. Loads near the text's ends are masked to the text's bytes,
// which never fault beyond it, so no digit is taken one at a time. (Each intrinsic that has a
// form with a mask of lanes to zero is called in that form: the others make GCC 12 warn of the
// undefined vector they start from.)
namespace avx512 {

// A table of 64 byte indexes for a permutation: byte i of the result is byte index(i) of the
// first load, or of the second from 64 on.
template <class Index>
constexpr std::array<unsigned char, 64> indexes(Index index) {
    std::array<unsigned char, 64> bytes{};
    for (std::size_t i = 0; i < 64; ++i) {
        bytes[i] = static_cast<unsigned char>(index(static_cast<int>(i)));
    }
    return bytes;
}
// even x from c[x + 1] on, odd x from c[len - 1 - x] back
alignas(64) constexpr auto kSingleOrder =
    indexes([](int i) { return i % 2 == 0 ? i : 64 + 63 - i; });
// even x from c[len - 2 - x] back, odd x from c[len - x] back
alignas(64) constexpr auto kWholeOrder = indexes([](int i) { return 63 - (i ^ 1); });
// even x from c[top - x] back, odd x from c[len - x] back
alignas(64) constexpr auto kHalvesOrder =
    indexes([](int i) { return i % 2 == 0 ? 63 - i : 64 + 63 - i; });

// The 64 bytes from `at` (which may lie before the text or reach past it), those outside the
// text zero and unread.
VOXILO_AVX512 inline __m512i loadWithin(const unsigned char* c, std::ptrdiff_t at,
                                        std::ptrdiff_t len) {
    const auto* p = reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(c) +
                                                  static_cast<std::uintptr_t>(at));
    if (at >= 0 && at + 64 <= len) return _mm512_loadu_si512(p);
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, -at);
    const std::ptrdiff_t to = std::min<std::ptrdiff_t>(64, len - at);
    if (to <= from) return _mm512_setzero_si512();
    const std::uint64_t below = to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1;
    return _mm512_maskz_loadu_epi8(below & (~std::uint64_t{0} << from), p);
}

// The permutations that put 64 digits in order, from one or two loads.
struct Orders {
    __m512i single, whole, halves;
    VOXILO_AVX512 Orders()
        : single(_mm512_load_si512(kSingleOrder.data())),
          whole(_mm512_load_si512(kWholeOrder.data())),
          halves(_mm512_load_si512(kHalvesOrder.data())) {}
};

// Digit values as in the AVX2 kernel, with its tables in each 128-bit lane.
struct Nibbles {
    __m512i shift, classOfTop, classOfLow, offsetOfTop, valid;
    VOXILO_AVX512 static __m512i table(const std::uint8_t* bytes) {
        const __m128i lane = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
        return _mm512_maskz_broadcast_i32x4(0xFFFF, lane);
    }
    VOXILO_AVX512 explicit Nibbles(std::uint16_t by)
        : shift(_mm512_set1_epi8(static_cast<char>(by & 0xFF))),
          classOfTop(table(kClassOfTop)),
          classOfLow(table(kClassOfLow)),
          offsetOfTop(table(kOffsetOfTop)),
          valid(_mm512_set1_epi8(-1)) {}
    VOXILO_AVX512 __m512i operator()(__m512i digits) {
        const __m512i v = _mm512_sub_epi8(digits, shift);
        const __m512i fours = _mm512_set1_epi8(0x0F);
        const __m512i top = _mm512_and_si512(_mm512_srli_epi16(v, 4), fours);
        const __m512i low = _mm512_and_si512(v, fours);
        valid = _mm512_min_epu8(valid, _mm512_and_si512(_mm512_shuffle_epi8(classOfTop, top),
                                                        _mm512_shuffle_epi8(classOfLow, low)));
        return _mm512_add_epi8(low, _mm512_shuffle_epi8(offsetOfTop, top));
    }
    // Only the digits in `lanes` count: the others are taken for zeros.
    VOXILO_AVX512 __m512i operator()(__m512i digits, __mmask64 lanes) {
        return (*this)(_mm512_mask_blend_epi8(lanes, _mm512_add_epi8(shift, _mm512_set1_epi8('0')),
                                              digits));
    }
    VOXILO_AVX512 bool allValid() const {
        return _mm512_cmpeq_epi8_mask(valid, _mm512_setzero_si512()) == 0;
    }
};

// Deciphers a text of one arrangement into units, or, with `kAscii`, into each unit's low byte,
// which is its ASCII character when the result is ASCII (it tells whether it is). The blocks whose loads lie within the text go in a
// tight loop of their own; the few near the text's ends and, for Halves, the one across its
// middle, take masked loads.
template <Arrangement kArrangement, bool kAscii>
class Decipherer {
public:
    VOXILO_AVX512 Decipherer(std::string_view text, std::uint16_t shift, void* out, bool around)
        : c_(reinterpret_cast<const unsigned char*>(text.data())),
          len_(static_cast<std::ptrdiff_t>(text.size())),
          h_(len_ / 2),
          out_(static_cast<unsigned char*>(out)),
          shift_(shift),
          around_(around),
          nibbles_(shift) {}

    // Whether every digit is hexadecimal, and what the result holds. What the blocks add up
    // to is kept in locals, in registers: a member would go through memory after every store
    // of characters, which may alias it.
    VOXILO_AVX512 DecipheredLine run() {
        if constexpr (kArrangement == Arrangement::Halves) {
            if (around_ && h_ >= 68) return runHalvesAround();
        }
        Nibbles nibbles = nibbles_;
        Tally tally{_mm512_setzero_si512(), _mm512_set1_epi32(-1), _mm512_setzero_si512(), 0, 0};
        for (std::ptrdiff_t x = 0; x < len_;) {
            const std::ptrdiff_t end = insideUntil(x);
            if (end > x) {
                inside(x, end, nibbles, tally);
                x = end;
                continue;
            }
            const std::ptrdiff_t digits = std::min<std::ptrdiff_t>(64, len_ - x);
            const __mmask64 lanes =
                digits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << digits) - 1;
            // A last unit of one byte gets a zero high byte from the digits taken for zeros.
            const auto count = static_cast<unsigned>((digits / 2 + 1) / 2);
            const __m512i stream = streamOf(nibbles(nearEnds(x), lanes));
            put(out_ + (kAscii ? x / 4 : x / 2), stream, count, tally);
            tally.last = stream;
            tally.lastAt = x / 4;
            tally.lastCount = count;
            x += 64;
        }
        return lineOf(tally, nibbles.allValid());
    }

private:
    struct Tally {
        __m512i high;   // every unit's bits, or-ed together
        __m512i notCr;  // zero in a lane where some unit was CR
        __m512i last;   // the last block's units
        std::ptrdiff_t lastAt;
        unsigned lastCount;
    };

    // Halves, where the byte before the text and the one after it may be read: every block
    // is whole and within reach. Each half goes in blocks from its start, the last one
    // overlapping the one before so as to end where the half's whole units do; a unit with
    // two digits in each half (when a half holds an odd number of digit pairs) goes alone.
    VOXILO_AVX512 DecipheredLine runHalvesAround() {
        Nibbles nibbles = nibbles_;
        Tally tally{_mm512_setzero_si512(), _mm512_set1_epi32(-1), _mm512_setzero_si512(), 0, 0};
        const std::ptrdiff_t firstEnd = h_ - h_ % 4;
        const std::ptrdiff_t secondStart = firstEnd == h_ ? h_ : h_ + 2;
        halvesBlocks(0, firstEnd, h_ - 2, nibbles, tally);
        halvesBlocks(secondStart, len_, 3 * h_ - 2, nibbles, tally);
        tally.lastAt = (len_ - 64) / 4;
        tally.lastCount = 16;
        bool straddlesWell = true;
        if (firstEnd != h_) straddlesWell = straddle(firstEnd, tally);
        return lineOf(tally, nibbles.allValid() && straddlesWell);
    }
    // Digits [from, to) of a half whose even digits run back from `top`, in whole blocks.
    VOXILO_AVX512 [[gnu::always_inline]] void halvesBlocks(std::ptrdiff_t from, std::ptrdiff_t to,
                                                           std::ptrdiff_t top, Nibbles& nibbles,
                                                           Tally& tally) const {
        for (std::ptrdiff_t x = from;; x += 64) {
            if (x + 64 > to) x = to - 64;
            const __m512i digits = _mm512_permutex2var_epi8(
                _mm512_loadu_si512(c_ + top - 63 - x), orders_.halves,
                _mm512_loadu_si512(c_ + len_ - 63 - x));
            const __m512i stream = streamOf(nibbles(digits));
            put(out_ + (kAscii ? x / 4 : x / 2), stream, 16, tally);
            tally.last = stream;
            if (x + 64 == to) break;
        }
    }
    // The unit of digits x to x + 3, two in each half, as the plain way makes it; false when a
    // digit is not hexadecimal.
    VOXILO_AVX512 bool straddle(std::ptrdiff_t x, Tally& tally) const {
        const HalvesSource source{static_cast<std::size_t>(len_)};
        int d[4];
        for (int k = 0; k < 4; ++k) {
            d[k] = hexDigitValue(static_cast<char16_t>(
                c_[source(static_cast<std::size_t>(x + k))] - shift_));
        }
        if ((d[0] | d[1] | d[2] | d[3]) < 0) return false;
        const auto unit = static_cast<unsigned>((d[0] << 4) | d[1] | (d[2] << 12) | (d[3] << 8));
        // Into the tally as a block of that one unit would go.
        const __m512i one = _mm512_maskz_set1_epi32(1, static_cast<int>(unit));
        tally.high = _mm512_or_si512(tally.high, one);
        tally.notCr = _mm512_maskz_min_epu32(0xFFFF, tally.notCr,
                                             _mm512_xor_si512(one, _mm512_set1_epi32('\r')));
        if constexpr (kAscii) {
            out_[x / 4] = static_cast<unsigned char>(unit);
        } else {
            const auto at = static_cast<std::size_t>(x / 4);
            reinterpret_cast<char16_t*>(out_)[at] = static_cast<char16_t>(unit);
        }
        return true;
    }

    // The end of the blocks from x on whose loads lie within the text, or x when the block at
    // x is not one.
    std::ptrdiff_t insideUntil(std::ptrdiff_t x) const {
        const auto blocksUpTo = [](std::ptrdiff_t lastStart) { return lastStart / 64 * 64 + 64; };
        switch (kArrangement) {
            case Arrangement::Single:
                return x + 65 <= len_ ? blocksUpTo(len_ - 65) : x;
            case Arrangement::Whole:
                return x + 64 <= len_ ? blocksUpTo(len_ - 64) : x;
            case Arrangement::Halves:
                break;
        }
        if (x >= 64 && x + 65 <= h_) return blocksUpTo(h_ - 65);
        if (x >= h_ && x + 64 <= len_) return blocksUpTo(len_ - 64);
        return x;
    }

    // The blocks [x, end), each wholly within the text.
    VOXILO_AVX512 void inside(std::ptrdiff_t x, std::ptrdiff_t end, Nibbles& nibbles,
                              Tally& tally) const {
        // Where the first block's loads start, and which way they go (Whole has one load).
        std::ptrdiff_t first = 0;
        if constexpr (kArrangement == Arrangement::Single) first = x + 1;
        if constexpr (kArrangement == Arrangement::Halves) first = (x < h_ ? h_ : 3 * h_) - 65 - x;
        const std::ptrdiff_t firstStep = kArrangement == Arrangement::Single ? 64 : -64;
        std::ptrdiff_t second = len_ - (kArrangement == Arrangement::Halves ? 63 : 64) - x;
        unsigned char* out = out_ + (kAscii ? x / 4 : x / 2);
        __m512i stream = _mm512_setzero_si512();
        for (std::ptrdiff_t n = (end - x) / 64; n > 0; --n) {
            __m512i digits;
            if constexpr (kArrangement == Arrangement::Whole) {
                digits = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, orders_.whole,
                                                       _mm512_loadu_si512(c_ + second));
            } else {
                digits = _mm512_permutex2var_epi8(
                    _mm512_loadu_si512(c_ + first),
                    kArrangement == Arrangement::Single ? orders_.single : orders_.halves,
                    _mm512_loadu_si512(c_ + second));
                first += firstStep;
            }
            stream = streamOf(nibbles(digits));
            put(out, stream, 16, tally);
            second -= 64;
            out += kAscii ? 16 : 32;
        }
        tally.last = stream;
        tally.lastAt = (end - 64) / 4;
        tally.lastCount = 16;
    }

    // The 64 digits from x, where a load reaches outside the text: masked to the text's bytes.
    VOXILO_AVX512 __m512i nearEnds(std::ptrdiff_t x) const {
        switch (kArrangement) {
            case Arrangement::Single:
                return _mm512_permutex2var_epi8(loadWithin(c_, x + 1, len_), orders_.single,
                                                loadWithin(c_, len_ - 64 - x, len_));
            case Arrangement::Whole:
                return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, orders_.whole,
                                                     loadWithin(c_, len_ - 64 - x, len_));
            case Arrangement::Halves:
                break;
        }
        // The top of the even digits' run is h - 2 in the first half and 3h - 2 in the second;
        // the block across the middle takes each digit from its own.
        const __m512i odd = loadWithin(c_, len_ - 63 - x, len_);
        if (x + 64 <= h_) return halvesFrom(h_ - 2, x, odd);
        if (x >= h_) return halvesFrom(3 * h_ - 2, x, odd);
        return _mm512_mask_blend_epi8(~std::uint64_t{0} << (h_ - x), halvesFrom(h_ - 2, x, odd),
                                      halvesFrom(3 * h_ - 2, x, odd));
    }
    VOXILO_AVX512 __m512i halvesFrom(std::ptrdiff_t top, std::ptrdiff_t x, __m512i odd) const {
        return _mm512_permutex2var_epi8(loadWithin(c_, top - 63 - x, len_), orders_.halves, odd);
    }

    // 32 bytes of the stream in 16-bit lanes: high digit times 16, plus low digit.
    VOXILO_AVX512 static __m512i streamOf(__m512i values) {
        return _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x0110));
    }

    // Puts `count` units of the stream at `out`.
    VOXILO_AVX512 [[gnu::always_inline]] static void put(unsigned char* out, __m512i stream,
                                                         unsigned count, Tally& tally) {
        // Each unit in a 32-bit lane: ASCII when below 0x80, CR when 13. Lanes past the text
        // hold zeros, which are neither.
        tally.high = _mm512_or_si512(tally.high, stream);
        tally.notCr = _mm512_maskz_min_epu32(0xFFFF, tally.notCr,
                                             _mm512_xor_si512(stream, _mm512_set1_epi32('\r')));
        if constexpr (kAscii) {
            const __m128i chars = _mm512_maskz_cvtepi32_epi8(0xFFFF, stream);
            if (count == 16) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chars);
            } else {
                _mm_mask_storeu_epi8(out, static_cast<__mmask16>((1u << count) - 1), chars);
            }
        } else {
            const __m256i bytes = _mm512_maskz_cvtepi16_epi8(~__mmask32{0}, stream);
            if (count == 16) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
            } else {
                const auto wanted = static_cast<__mmask32>((std::uint64_t{1} << (2 * count)) - 1);
                _mm256_mask_storeu_epi8(out, wanted, bytes);
            }
        }
    }

    VOXILO_AVX512 DecipheredLine lineOf(const Tally& tally, bool valid) const {
        const bool ascii = _mm512_test_epi32_mask(tally.high, _mm512_set1_epi32(~0x7F)) == 0;
        const bool cr = _mm512_cmpeq_epi32_mask(tally.notCr, _mm512_setzero_si512()) != 0;
        return {spacelessOf(tally), (valid ? DecipheredLine::kValid : 0u) |
                                        (ascii ? DecipheredLine::kAscii : 0u) |
                                        (cr ? DecipheredLine::kCr : 0u)};
    }
    // The units up to the last that is not a space, found in the last block's units: the units
    // just stored may not be read back until their stores are done. A last block of spaces
    // only has the units before it read.
    VOXILO_AVX512 std::size_t spacelessOf(const Tally& tally) const {
        if (len_ == 0) return 0;
        const auto text = static_cast<unsigned>(_mm512_mask_cmpneq_epu32_mask(
            static_cast<__mmask16>((1u << tally.lastCount) - 1), tally.last,
            _mm512_set1_epi32(' ')));
        if (text != 0) return static_cast<std::size_t>(tally.lastAt) + std::bit_width(text);
        auto kept = static_cast<std::size_t>(tally.lastAt);
        if constexpr (kAscii) {
            while (kept > 0 && out_[kept - 1] == ' ') --kept;
        } else {
            const auto* units = reinterpret_cast<const char16_t*>(out_);
            while (kept > 0 && units[kept - 1] == u' ') --kept;
        }
        return kept;
    }

    const unsigned char* c_;
    std::ptrdiff_t len_;
    std::ptrdiff_t h_;
    unsigned char* out_;
    std::uint16_t shift_;
    bool around_;
    Nibbles nibbles_;
    Orders orders_;
};

template <Arrangement kArrangement>
VOXILO_AVX512 DecipheredLine decipherAs(std::string_view text, std::uint16_t shift,
                                        char16_t* units, char* ascii, bool around) {
    if (ascii != nullptr) return Decipherer<kArrangement, true>(text, shift, ascii, around).run();
    return Decipherer<kArrangement, false>(text, shift, units, around).run();
}

// Deciphers `text` into units, or, with `ascii`, into ASCII characters; `around` tells that the
// byte before the text and the one after it may be read. Tells whether every digit is
// hexadecimal, and what the result holds, which is only meaningful when they are.
VOXILO_AVX512 DecipheredLine decipher(std::string_view text, std::uint16_t shift,
                                      Arrangement arrangement, char16_t* units, char* ascii,
                                      bool around) {
    switch (arrangement) {
        case Arrangement::Single:
            return decipherAs<Arrangement::Single>(text, shift, units, ascii, around);
        case Arrangement::Whole:
            return decipherAs<Arrangement::Whole>(text, shift, units, ascii, around);
        case Arrangement::Halves:
            break;
    }
    return decipherAs<Arrangement::Halves>(text, shift, units, ascii, around);
}

bool processorHasIt() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
}

}  // namespace avx512

#endif

#if defined(__SSE2__)

// The bytes of the UTF-16LE stream a block at a time, each stretch (Halves has two) ending
// with a block that may overlap the one before; what blocks cannot reach, near the text's ends
// or in a stretch shorter than a block, goes one digit at a time. x86 is little-endian, so the
// stream's bytes are the units' bytes in memory.
template <class Blocks, class Source>
[[gnu::always_inline]] inline bool vectorInto(std::string_view text, std::uint16_t shift,
                                              Arrangement arrangement, Source source,
                                              char16_t* units) {
    const std::size_t len = text.size();
    const std::size_t bytes = len / 2;
    auto* out = reinterpret_cast<unsigned char*>(units);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const RunLayout layout = layoutOf(arrangement, len);
    constexpr auto width = static_cast<std::size_t>(Blocks::kWidth);
    Blocks blocks(text, shift, out);
    int invalid = 0;
    const auto oneByOne = [&](std::size_t from, std::size_t to) {
        for (std::size_t j = from; j < to; ++j) {
            const int a = hexDigitValue(static_cast<char16_t>(in[source(2 * j)] - shift));
            const int b = hexDigitValue(static_cast<char16_t>(in[source(2 * j + 1)] - shift));
            invalid |= a | b;
            out[j] = static_cast<unsigned char>((a << 4) | b);
        }
    };
    for (const auto& [from, to, highRun] : {std::tuple{std::size_t{0}, layout.middle, layout.high},
                                            std::tuple{layout.middle, bytes, layout.highLater}}) {
        std::size_t at = from;
        while (to - at >= width &&
               blocks.block(static_cast<std::ptrdiff_t>(at), highRun, layout.low)) {
            at += width;
        }
        if (at < to && to - from >= width && to - at < width &&
            blocks.block(static_cast<std::ptrdiff_t>(to - width), highRun, layout.low)) {
            at = to;
        }
        oneByOne(at, to);
    }
    if (bytes % 2 != 0) out[bytes] = 0;  // a last unit of one byte
    return invalid >= 0 && !blocks.anyBad();
}

bool sse2Decipher(std::string_view text, std::uint16_t shift, Arrangement arrangement,
                  char16_t* out) {
    const std::size_t len = text.size();
    switch (arrangement) {
        case Arrangement::Single:
            return vectorInto<Sse2Blocks>(text, shift, arrangement, SingleSource{len}, out);
        case Arrangement::Whole:
            return vectorInto<Sse2Blocks>(text, shift, arrangement, WholeSource{len}, out);
        case Arrangement::Halves:
            return vectorInto<Sse2Blocks>(text, shift, arrangement, HalvesSource{len}, out);
    }
    return false;
}

#endif

#if defined(VOXILO_HAS_AVX2_KERNEL)
bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

const std::vector<HexKernel>& availableHexKernels() {
    static const std::vector<HexKernel> kernels = [] {
        std::vector<HexKernel> found{HexKernel::Plain};
#if defined(__SSE2__)
        found.push_back(HexKernel::Sse2);
#endif
#if defined(VOXILO_HAS_AVX2_KERNEL)
        if (processorHasAvx2()) found.push_back(HexKernel::Avx2);
        if (avx512::processorHasIt()) found.push_back(HexKernel::Avx512);
#endif
        return found;
    }();
    return kernels;
}

HexKernel fastestHexKernel() {
    static const HexKernel fastest = availableHexKernels().back();
    return fastest;
}

bool hexDecipherBytes(std::string_view text, std::uint16_t shift, Arrangement arrangement,
                      char16_t* out, HexKernel kernel) noexcept {
    // Byte-wise arithmetic gives the 16-bit one for ASCII as long as the shift is small, as the
    // shifts of every key code and pattern are: a byte lowered out of 0..255 wraps onto values
    // no hex digit has, just as the unit does.
    const auto signedShift = static_cast<std::int16_t>(shift);
    const bool byteWise = signedShift >= -32 && signedShift <= 64;
    if constexpr (std::endian::native == std::endian::little) {
        switch (byteWise ? kernel : HexKernel::Plain) {
            case HexKernel::Plain:
                break;
            case HexKernel::Sse2:
#if defined(__SSE2__)
                return sse2Decipher(text, shift, arrangement, out);
#else
                break;
#endif
            case HexKernel::Avx2:
#if defined(VOXILO_HAS_AVX2_KERNEL)
            {
                bool ascii = false;
                return avx2::decipher(text, shift, arrangement, out, nullptr, ascii, false);
            }
#else
                break;
#endif
            case HexKernel::Avx512:
#if defined(VOXILO_HAS_AVX2_KERNEL)
            {
                return avx512::decipher(text, shift, arrangement, out, nullptr, false).valid();
            }
#else
                break;
#endif
        }
    }
    return plainDecipher(text, shift, arrangement, out);
}

}  // namespace voxilo::cipher_detail

namespace voxilo::cipher_detail {

DecipheredLine hexDecipherUnits(std::string_view text, std::uint16_t shift,
                                Arrangement arrangement, char16_t* out, HexKernel kernel,
                                bool readableAround) noexcept {
    const auto signedShift = static_cast<std::int16_t>(shift);
#if defined(VOXILO_HAS_AVX2_KERNEL)
    if (kernel == HexKernel::Avx512 && signedShift >= -32 && signedShift <= 64 &&
        std::endian::native == std::endian::little) {
        return avx512::decipher(text, shift, arrangement, out, nullptr, readableAround);
    }
#else
    (void)signedShift;
    (void)readableAround;
#endif
    if (!hexDecipherBytes(text, shift, arrangement, out, kernel)) return {};
    const std::size_t n = hexDecipheredUnits(text.size());
    std::uint32_t flags = DecipheredLine::kValid | DecipheredLine::kAscii;
    for (std::size_t i = 0; i < n; ++i) {
        if (out[i] >= 0x80) flags &= ~DecipheredLine::kAscii;
        if (out[i] == u'\r') flags |= DecipheredLine::kCr;
    }
    std::size_t spaceless = n;
    while (spaceless > 0 && out[spaceless - 1] == u' ') --spaceless;
    return {spaceless, flags};
}

AsciiDecipher hexDecipherAscii(std::string_view text, std::uint16_t shift,
                               Arrangement arrangement, char* ascii, char16_t* units,
                               HexKernel kernel, bool readableAround,
                               std::size_t* spaceless) noexcept {
    const auto signedShift = static_cast<std::int16_t>(shift);
    const std::size_t n = hexDecipheredUnits(text.size());
    std::size_t kept = n;
    const auto trimmed = [&] {
        while (kept > 0 && ascii[kept - 1] == ' ') --kept;
        if (spaceless != nullptr) *spaceless = kept;
        return AsciiDecipher::Ascii;
    };
#if defined(VOXILO_HAS_AVX2_KERNEL)
    if (kernel == HexKernel::Avx512 && signedShift >= -32 && signedShift <= 64 &&
        std::endian::native == std::endian::little) {
        const DecipheredLine outcome =
            avx512::decipher(text, shift, arrangement, nullptr, ascii, readableAround);
        if (!outcome.valid()) return AsciiDecipher::NotHex;
        if (outcome.ascii() && !outcome.cr()) {
            if (spaceless != nullptr) *spaceless = outcome.spaceless;
            return AsciiDecipher::Ascii;
        }
        (void)avx512::decipher(text, shift, arrangement, units, nullptr, readableAround);
        return AsciiDecipher::NotAscii;
    }
    if (kernel == HexKernel::Avx2 && signedShift >= -32 && signedShift <= 64 &&
        std::endian::native == std::endian::little) {
        bool isAscii = false;
        if (!avx2::decipher(text, shift, arrangement, nullptr, ascii, isAscii, readableAround)) {
            return AsciiDecipher::NotHex;
        }
        if (isAscii) return trimmed();
    }
#else
    (void)signedShift;
    (void)readableAround;
#endif
    if (!hexDecipherBytes(text, shift, arrangement, units, kernel)) return AsciiDecipher::NotHex;
    for (std::size_t i = 0; i < n; ++i) {
        if (units[i] >= 0x80 || units[i] == u'\r') return AsciiDecipher::NotAscii;
    }
    for (std::size_t i = 0; i < n; ++i) ascii[i] = static_cast<char>(units[i]);
    return trimmed();
}

}  // namespace voxilo::cipher_detail
