#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/cipher/TextCipher.h"

namespace voxilo::cipher_detail {

// Value of a hex digit of either case, or -1.
inline constexpr std::array<std::int8_t, 128> kHexDigitValues = [] {
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
constexpr int hexDigitValue(char16_t c) noexcept { return c < 128 ? kHexDigitValues[c] : -1; }

// Where hex-stage digit x (0-based) of a text of even length `len` sits in the ciphertext,
// for each arrangement. Single undoes the interleave and the reversal: x + 1 for even x and
// len - 1 - x for odd x. Whole undoes them twice more over the whole text; Halves undoes them
// once more over each half of length h = len / 2, which is even.
struct SingleSource {
    std::size_t len;
    std::size_t operator()(std::size_t x) const noexcept {
        return x % 2 == 0 ? x + 1 : len - 1 - x;
    }
};
struct WholeSource {
    std::size_t len;
    std::size_t operator()(std::size_t x) const noexcept {
        return x % 2 == 0 ? len - 2 - x : len - x;
    }
};
struct HalvesSource {
    std::size_t len;
    std::size_t operator()(std::size_t x) const noexcept {
        const std::size_t h = len / 2;
        if (x % 2 != 0) return len - x;
        return x + 1 < h ? h - 2 - x : 3 * h - 2 - x;
    }
};

// The ways of deciphering ciphertext held as bytes: one digit at a time, or sixteen (SSE2,
// which every x86-64 processor has), thirty-two (AVX2) or sixty-four (AVX-512 with its byte
// permutations) digits at a time, where the processor has them.
enum class HexKernel : std::uint8_t { Plain, Sse2, Avx2, Avx512 };

// The kernels this build can run on this processor, Plain first and the fastest last.
const std::vector<HexKernel>& availableHexKernels();
HexKernel fastestHexKernel();

// How many UTF-16 units ciphertext of `len` bytes deciphers to: one for each two bytes of the
// UTF-16LE stream, and a last unit of one byte when their number is odd.
constexpr std::size_t hexDecipheredUnits(std::size_t len) noexcept { return (len / 2 + 1) / 2; }

// Deciphers hex-mode ciphertext given as the bytes of ASCII text into
// out[0, hexDecipheredUnits(size)): each digit is read where the arrangement put it and lowered
// by `shift`, and every two digits give a byte of the UTF-16LE stream. The text's length must be
// even, and for Halves a multiple of four. Returns false when a digit is not hexadecimal; `out`
// then holds whatever was made. The vector kernels go the plain way for shifts beyond what their
// byte-wise arithmetic covers (no key code gives one) and for what lies near the text's ends.
[[nodiscard]] bool hexDecipherBytes(std::string_view text, std::uint16_t shift,
                                    Arrangement arrangement, char16_t* out,
                                    HexKernel kernel) noexcept;

// What a deciphered line holds: whether every digit was hexadecimal, and, only meaningful
// then, whether every unit is below 0x80, whether one is CR, and how many units there are up
// to the last that is not a space. (Small enough to come back in registers: a caller reading
// what a call had just stored waits for the store.)
struct DecipheredLine {
    static constexpr std::uint32_t kValid = 1, kAscii = 2, kCr = 4;
    std::size_t spaceless = 0;
    std::uint32_t flags = 0;
    bool valid() const noexcept { return (flags & kValid) != 0; }
    bool ascii() const noexcept { return (flags & kAscii) != 0; }
    bool cr() const noexcept { return (flags & kCr) != 0; }
};

// Deciphers as hexDecipherBytes does, and tells what the result holds: the AVX-512 kernel finds
// it in its registers, without reading the units back. `readableAround` as for
// hexDecipherAscii.
[[nodiscard]] DecipheredLine hexDecipherUnits(std::string_view text, std::uint16_t shift,
                                              Arrangement arrangement, char16_t* out,
                                              HexKernel kernel, bool readableAround) noexcept;

// What hexDecipherAscii made of a line.
enum class AsciiDecipher : std::uint8_t {
    Ascii,     // the result is ASCII without CR, and went to `ascii` as bytes
    NotAscii,  // the result is other text, and went to `units`
    NotHex,    // a digit is not hexadecimal
};

// Deciphers as hexDecipherBytes does, for the lines whose result is most often ASCII, as
// deciphered English is: the AVX2 and AVX-512 kernels then make the characters as bytes
// straight away, into ascii[0, hexDecipheredUnits(size)). A result that is not ASCII is made
// again as units, into units[0, hexDecipheredUnits(size)). `readableAround` tells that the byte
// before the text and the byte after it may be read too, as a line inside a buffer of the file
// allows: the AVX2 kernel then never goes a digit at a time near the text's ends. For an ASCII
// result, `spaceless` (when given) gets how many characters there are up to the last that is
// not a space, found without reading the characters back.
[[nodiscard]] AsciiDecipher hexDecipherAscii(std::string_view text, std::uint16_t shift,
                                             Arrangement arrangement, char* ascii,
                                             char16_t* units, HexKernel kernel,
                                             bool readableAround = false,
                                             std::size_t* spaceless = nullptr) noexcept;

}  // namespace voxilo::cipher_detail
