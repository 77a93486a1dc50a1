#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace voxilo::cp932 {

// Files and stored text values are in CP932 (Shift-JIS as Windows has it); text in memory is
// UTF-16. The mapping is the platform's own converter's, captured once per process in lookup
// tables, so converting large documents costs a table look-up per character.

// Appends the UTF-16 text of `bytes` to `out`. Returns the offset of the first byte that does
// not start a valid CP932 character (a lead byte cut off at the end included); `out` then
// holds the text before it.
std::optional<std::size_t> decode(std::string_view bytes, std::u16string& out);

// True when every byte below 0x80 reads as the character of that code, as it does in CP932:
// ASCII bytes are then their own text.
bool asciiIsIdentity();

// True when all of `bytes` are below 0x80.
bool isAscii(std::string_view bytes) noexcept;

// As decode, but every byte that does not start a valid character (with the byte after it
// when that cannot start one either) becomes `replacement`. Returns how many were replaced.
std::size_t decodeReplacing(std::string_view bytes, std::u16string& out,
                            char16_t replacement = u'\uFFFD');

// How text is written.
enum class Mapping {
    // A character counts as held only when its bytes read back as the same character: the
    // converter's best-fit replacements are refused, not made silently. For stored values,
    // which must read back as they were written (a folder's name, a font's).
    Exact,
    // Exact, and the six characters that other systems' Shift-JIS has where CP932 has their
    // fullwidth look-alikes are written as Japanese Windows writes them: the wave dash U+301C
    // as 0x8160 (read back as U+FF5E), the double vertical line U+2016 as 0x8161, the minus
    // sign U+2212 as 0x817C, and the cent, pound and not signs U+00A2, U+00A3, U+00AC as 0x8191,
    // 0x8192 and 0x81CA. For documents, where text pasted from elsewhere holds them.
    Document,
};

// Appends the CP932 bytes of `text` to `out`. Returns how many code units it wrote: all of them,
// or those before the first that CP932 cannot hold, and `out` then holds their bytes.
std::size_t encodeUpTo(std::u16string_view text, std::string& out,
                       Mapping mapping = Mapping::Exact);
// The same, returning the index of the first code unit that CP932 cannot hold. (Inline, so that
// the optional is made where it is used: GCC returns one through memory, and its caller then
// waits for the store.)
inline std::optional<std::size_t> encode(std::u16string_view text, std::string& out,
                                         Mapping mapping = Mapping::Exact) {
    const std::size_t written = encodeUpTo(text, out, mapping);
    if (written == text.size()) return std::nullopt;
    return written;
}

// As encode, but every character CP932 cannot hold (a surrogate pair being one character)
// becomes one `replacement` byte. Returns how many were replaced; `first`, when given, gets
// the index in `text` of the first of them.
std::size_t encodeReplacing(std::u16string_view text, std::string& out, char replacement = '?',
                            std::size_t* first = nullptr, Mapping mapping = Mapping::Exact);

}  // namespace voxilo::cp932
