#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Documents in UTF-8 and UTF-16, beside CP932 (Codepage.h). Text in memory is UTF-16; only
// well-formed text is read as it stands, and only well-formed text is written.

namespace voxilo::utf8 {

// Appends the UTF-16 text of `bytes` to `out`. Returns the offset of the first byte that does
// not begin a well-formed UTF-8 sequence (a sequence cut off at the end included); `out` then
// holds the text before it.
std::optional<std::size_t> decode(std::string_view bytes, std::u16string& out);

// As decode, but each ill-formed stretch (the longest start of a sequence that cannot be
// completed, or a single byte) becomes one U+FFFD. Returns how many were replaced.
std::size_t decodeReplacing(std::string_view bytes, std::u16string& out);

// What a stretch of bytes is: all ASCII, well-formed UTF-8 with at least one multi-byte
// sequence, or anything else. When `complete` is false the bytes are the start of something
// longer, and a sequence cut off at their end does not count against them.
enum class Kind { Ascii, Utf8, Other };
Kind classify(std::string_view bytes, bool complete = true);

// Appends the UTF-8 bytes of `text` to `out`. Returns how many code units it wrote: all of them,
// or those before the first lone surrogate, which has no UTF-8 form.
std::size_t encodeUpTo(std::u16string_view text, std::string& out);
// The same, returning the index of the first lone surrogate (inline, as cp932::encode is).
inline std::optional<std::size_t> encode(std::u16string_view text, std::string& out) {
    const std::size_t written = encodeUpTo(text, out);
    if (written == text.size()) return std::nullopt;
    return written;
}

}  // namespace voxilo::utf8

namespace voxilo::utf16 {

// Appends the UTF-16 bytes of `text` to `out`, little- or big-endian, as utf8::encodeUpTo and
// utf8::encode do.
std::size_t encodeUpTo(std::u16string_view text, std::string& out, bool bigEndian);
inline std::optional<std::size_t> encode(std::u16string_view text, std::string& out,
                                         bool bigEndian) {
    const std::size_t written = encodeUpTo(text, out, bigEndian);
    if (written == text.size()) return std::nullopt;
    return written;
}

// Turns UTF-16 bytes that arrive in pieces into UTF-8, so that they can be read as UTF-8 text.
// What is not text (a lone surrogate, an odd byte left at the end) becomes the byte 0xFF, which
// UTF-8 never holds, so that the reader finds it where it was.
class ToUtf8 {
public:
    explicit ToUtf8(bool bigEndian) : bigEndian_(bigEndian) {}
    // Appends the UTF-8 of `bytes` to `out`; `last` when nothing follows.
    void feed(std::string_view bytes, bool last, std::string& out);

private:
    void unit(char16_t u, std::string& out);

    bool bigEndian_;
    int oddByte_ = -1;            // a byte waiting for its partner
    char16_t highSurrogate_ = 0;  // a high surrogate waiting for its low one
};

}  // namespace voxilo::utf16
