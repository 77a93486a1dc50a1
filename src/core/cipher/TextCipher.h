#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Expected.h"

namespace voxilo {

// Hex mode first turns the text into the hex digits of its UTF-16LE bytes, so any text,
// Japanese included, becomes ASCII before it is shifted and rearranged.
enum class CipherMode : std::uint8_t { Plain, Hex };

// Callers and stored values carry the mode as a 16-bit Boolean. Only True (-1) selects hex
// mode; 1 or any other number means plain mode.
constexpr CipherMode cipherModeFromFlag(std::int16_t flag) noexcept {
    return flag == -1 ? CipherMode::Hex : CipherMode::Plain;
}

// Why a text could not be put through the cipher. The rearrangement is a permutation only for
// even lengths and length 1, and hex-mode ciphertext must unshift to hex digits; anything else
// is not ciphertext this program made, and we say so rather than return garbage.
enum class CipherError : std::uint8_t {
    OddLength,    // an odd number of characters (3 or more; in hex mode, any odd number)
    NotHexDigit,  // hex-mode ciphertext that does not unshift to hexadecimal digits
    OddHalves,    // a line of even length whose halves, deciphered each on its own, are odd
};

// Enciphers `text`: optional hex stage, then reversal with every code raised by `key`
// (16-bit wrap-around), then the position interleave. There is no length limit.
Expected<std::u16string, CipherError> encodeText(std::u16string_view text, std::int16_t key,
                                                 CipherMode mode);

// The inverse of encodeText, which also drops the trailing spaces of the result.
Expected<std::u16string, CipherError> decodeText(std::u16string_view text, std::int16_t key,
                                                 CipherMode mode);

namespace cipher_detail {

// The two hex digits of each byte value, raised by a shift.
struct ShiftedDigits {
    explicit ShiftedDigits(std::uint16_t by) noexcept;
    std::uint16_t shift;
    std::array<char16_t, 256> high{};
    std::array<char16_t, 256> low{};
};

// How the hex digits of a text are laid out: as encodeText's hex mode does (Single), or as a
// second plain-mode pass over that result does, over the whole of it (Whole) or over each of
// its halves (Halves). The digits carry the sum of the shifts.
enum class Arrangement : std::uint8_t { Single, Whole, Halves };

// Appends the hex-stage ciphertext of `text` in one pass. The byte form is for digits that
// stay within ASCII, as those of every shift of the key table do.
void appendHexEnciphered(std::u16string_view text, const ShiftedDigits& digits,
                         Arrangement arrangement, std::u16string& out);
void appendHexEnciphered(std::u16string_view text, const ShiftedDigits& digits,
                         Arrangement arrangement, std::string& out);

// The value of each ciphertext unit as a hex digit lowered by a shift, -1 where it is none:
// one look-up a digit when deciphering long texts.
struct DigitValues {
    explicit DigitValues(std::uint16_t shift);
    std::vector<std::int8_t> value;
};

// The inverse of appendHexEnciphered with the arrangement's passes composed, in one pass: the
// hex digits are read straight from the ciphertext, lowered by the sum of the passes' keys. The
// text's length must be even, and for Halves a multiple of four. Returns false, leaving `out` as it
// was, when a digit is not hexadecimal. Unlike the composed passes it does not drop trailing spaces
// between them: callers use it where the passes in between have none.
[[nodiscard]] bool appendHexDeciphered(std::u16string_view text, const DigitValues& digits,
                                       Arrangement arrangement, std::u16string& out);
// The same for short texts, which do not repay making the table.
[[nodiscard]] bool appendHexDeciphered(std::u16string_view text, std::uint16_t shift,
                                       Arrangement arrangement, std::u16string& out);
// The same for ciphertext given as the bytes of ASCII text, with the fastest kernel of
// HexDecipher.h: sixteen or thirty-two bytes of the result at a time where the processor allows.
[[nodiscard]] bool appendHexDeciphered(std::string_view asciiText, std::uint16_t shift,
                                       Arrangement arrangement, std::u16string& out);

// The appending form of decodeText, for the line conversion, which composes it without
// building temporaries. On failure `out` is left as it was.
[[nodiscard]] std::optional<CipherError> appendDecoded(std::u16string_view text, std::int16_t key,
                                                       CipherMode mode, std::u16string& out);

}  // namespace cipher_detail

}  // namespace voxilo
