#include "core/cipher/HexDecipher.h"

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

VOXILO_AVX2 inline __m256i nibbles32(__m256i raw, __m256i shift, __m256i& bad) {
    const __m256i v = _mm256_sub_epi8(raw, shift);
    const __m256i d = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
    const __m256i isDigit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d);
    const __m256i l =
        _mm256_sub_epi8(_mm256_or_si256(v, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
    const __m256i isLetter = _mm256_cmpeq_epi8(_mm256_min_epu8(l, _mm256_set1_epi8(5)), l);
    bad = _mm256_or_si256(
        bad, _mm256_andnot_si256(_mm256_or_si256(isDigit, isLetter), _mm256_set1_epi8(-1)));
    return _mm256_or_si256(_mm256_and_si256(isDigit, d),
                           _mm256_and_si256(isLetter, _mm256_add_epi8(l, _mm256_set1_epi8(10))));
}

// Thirty-two bytes of a run in the run's order; false near the text's ends. Packing works
// within each half of the register, which leaves the four quarters in the order a0 b0 a1 b1;
// one permutation puts them right, and for a descending run, with each quarter reversed
// first, backwards.
VOXILO_AVX2 inline bool loadRun32(const char* in, std::ptrdiff_t len, DigitRun run,
                                  std::ptrdiff_t j0, __m256i& out) {
    std::ptrdiff_t start = 0;
    bool odd = false;
    if (!windowOf(len, run, j0, 32, start, odd)) return false;
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + start));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + start + 32));
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i v =
        odd ? _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8))
            : _mm256_packus_epi16(_mm256_and_si256(a, lowBytes), _mm256_and_si256(b, lowBytes));
    if (run.dir > 0) {
        out = _mm256_permute4x64_epi64(v, 0xD8);  // a0 a1 b0 b1
    } else {
        const __m256i eachQuarterBackwards =
            _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,  //
                             7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
        out = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, eachQuarterBackwards),
                                       0x27);  // b1 b0 a1 a0
    }
    return true;
}

struct Avx2Blocks {
    static constexpr std::ptrdiff_t kWidth = 32;
    const char* in;
    std::ptrdiff_t len;
    unsigned char* out;
    __m256i shift;
    __m256i bad;

    VOXILO_AVX2 Avx2Blocks(std::string_view text, std::uint16_t by, unsigned char* o)
        : in(text.data()),
          len(static_cast<std::ptrdiff_t>(text.size())),
          out(o),
          shift(_mm256_set1_epi8(static_cast<char>(by & 0xFF))),
          bad(_mm256_setzero_si256()) {}

    VOXILO_AVX2 bool block(std::ptrdiff_t j0, DigitRun highRun, DigitRun lowRun) {
        __m256i hi, lo;
        if (!loadRun32(in, len, highRun, j0, hi) || !loadRun32(in, len, lowRun, j0, lo))
            return false;
        const __m256i high = nibbles32(hi, shift, bad);
        const __m256i low = nibbles32(lo, shift, bad);
        const __m256i joined = _mm256_or_si256(
            _mm256_and_si256(_mm256_slli_epi16(high, 4), _mm256_set1_epi8(static_cast<char>(0xF0))),
            low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j0), joined);
        return true;
    }
    VOXILO_AVX2 bool anyBad() const { return _mm256_movemask_epi8(bad) != 0; }
};

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
// The blocks' code is inlined here, where the AVX2 instructions are allowed.
VOXILO_AVX2 bool avx2Decipher(std::string_view text, std::uint16_t shift, Arrangement arrangement,
                              char16_t* out) {
    const std::size_t len = text.size();
    switch (arrangement) {
        case Arrangement::Single:
            return vectorInto<Avx2Blocks>(text, shift, arrangement, SingleSource{len}, out);
        case Arrangement::Whole:
            return vectorInto<Avx2Blocks>(text, shift, arrangement, WholeSource{len}, out);
        case Arrangement::Halves:
            return vectorInto<Avx2Blocks>(text, shift, arrangement, HalvesSource{len}, out);
    }
    return false;
}

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
                return avx2Decipher(text, shift, arrangement, out);
#else
                break;
#endif
        }
    }
    return plainDecipher(text, shift, arrangement, out);
}

}  // namespace voxilo::cipher_detail
