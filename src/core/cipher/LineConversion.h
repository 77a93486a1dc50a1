#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/cipher/TextCipher.h"

namespace voxilo {

enum class Direction : std::uint8_t { Encode, Decode };

// A line that could not be converted; `line` counts from 1.
struct LineError {
    std::size_t line = 0;
    CipherError reason = CipherError::OddLength;
    friend bool operator==(const LineError&, const LineError&) = default;
};

// Converts a text one line at a time and joins the results the way the lower pane is filled:
// lines are joined with CR LF, and converted lines that come out empty while the result is
// still empty leave no trace. The pattern (0 to 3) chooses how the cipher is composed for each
// line; any other pattern copies lines unchanged. Feeding the lines of a whole text gives what
// encodeLines/decodeLines give; feeding them one by one lets a caller stream a file of any size.
class LineConverter {
public:
    LineConverter(Direction direction, std::int16_t keyCode, std::int16_t pattern) noexcept;

    // Converts one line (without its break) and appends to `out` what the joined result gains.
    // On failure `out` is left as it was.
    [[nodiscard]] std::optional<CipherError> addLine(std::u16string_view line, std::u16string& out);

    // The same for a line whose bytes are ASCII, which are then its CP932 bytes as well:
    // ciphertext read from a file is decoded without first becoming text.
    [[nodiscard]] std::optional<CipherError> addAsciiLine(std::string_view line,
                                                          std::u16string& out);

    // The same, for a caller that writes ASCII as bytes: when what the result gains is ASCII
    // without CR, as deciphered English is, it goes to `asciiOut` as bytes, which are then its
    // CP932 bytes as well, and `wroteAscii` is set; anything else goes to `out`. On failure
    // neither changes. `readableAround`: the byte before the line and the one after it may be
    // read (see hexDecipherAscii).
    [[nodiscard]] std::optional<CipherError> addAsciiLine(std::string_view line,
                                                          std::u16string& out,
                                                          std::string& asciiOut, bool& wroteAscii,
                                                          bool readableAround = false);

    // The way most lines of a ciphertext file go, for a caller that writes ASCII as bytes:
    // while the lines come out ASCII without CR, a line of ASCII ciphertext is deciphered
    // straight into `out`, which has room for a line break and hexDecipheredUnits(line.size())
    // characters. Sets `wrote` to how many bytes it wrote there (the break before the line and
    // its characters); false, with nothing changed, for a line that takes addAsciiLine.
    [[nodiscard]] bool decipherAsciiInto(std::string_view line, char* out, bool readableAround,
                                         std::size_t& wrote) noexcept;
    // Whether decipherAsciiInto tries the next line: the last line deciphered came out ASCII.
    bool expectsAscii() const noexcept { return lastWasAscii_; }

    // For a caller that writes the text of a line itself: a line of ASCII ciphertext whose
    // result has no CR, deciphered into `units` (the converter's own, valid until its next
    // call). Sets `breakBefore` when the joined result gains a line break before it. False,
    // with nothing changed, for a line that takes addAsciiLine. `readableAround` as for
    // addAsciiLine.
    [[nodiscard]] bool decipherUnits(std::string_view line, bool readableAround,
                                     std::u16string_view& units, bool& breakBefore) noexcept;

    // Encoding with patterns 0 to 3 gives ASCII without CR. Such a converter may write its
    // result as bytes, which then are the CP932 bytes of the text as well.
    bool writesAscii() const noexcept;
    // The same as the other addLine, for a converter that writesAscii().
    void addLine(std::u16string_view line, std::string& asciiOut);

    // True while nothing has been added to the result yet.
    bool resultEmpty() const noexcept { return resultEmpty_; }
    // Goes on from a part of the text that another converter took: whether the result of the
    // lines before is empty.
    void setResultEmpty(bool empty) noexcept { resultEmpty_ = empty; }

private:
    template <class Out>
    void encodeLine(std::u16string_view line, Out& out);
    template <class Char>
    [[nodiscard]] std::optional<CipherError> decodeLine(std::basic_string_view<Char> line,
                                                        std::u16string& out);
    template <class Char>
    [[nodiscard]] bool decipher(std::basic_string_view<Char> line,
                                cipher_detail::Arrangement arrangement, std::u16string& out);
    template <class Char>
    bool middlePassDropsSpaces(std::basic_string_view<Char> line) const noexcept;
    bool onePass(std::string_view line, cipher_detail::Arrangement& arrangement) const noexcept;
    const std::u16string& widened(std::string_view ascii);
    void narrowed(std::u16string_view text);
    bool addDecipheredAscii(std::string_view line, std::u16string& out, std::string& asciiOut,
                            bool& wroteAscii, bool readableAround);
    [[nodiscard]] std::optional<CipherError> decodeLinePassByPass(std::u16string_view line,
                                                                  std::u16string& out);

    Direction direction_;
    std::int16_t shift_;
    std::int16_t pattern_;
    bool resultEmpty_ = true;
    bool lastWasAscii_ = true;  // the last line deciphered came out ASCII: try bytes first
    cipher_detail::ShiftedDigits digits_;  // raised by what the pattern's passes add up to
    std::u16string stage_;                 // a line between the decoding passes
    std::u16string wide_;                  // an ASCII line as text, for the rare long way
    std::string narrow_;                   // a line of text as bytes, to decipher
    std::u16string decoded_;               // a line's result on its way to bytes
    std::u16string units_;                 // the same, deciphered in place; only ever grows
    std::optional<cipher_detail::DigitValues> values_;  // made by the first line to decode
};

// The whole source text enciphered line by line with the shift of `keyCode`. Cannot fail:
// every line is in the cipher's domain.
std::u16string encodeLines(std::u16string_view source, std::int16_t keyCode, std::int16_t pattern);

// The whole source text deciphered line by line. On failure `text` holds the lines converted
// before the one named in `error`.
struct DecodedText {
    std::u16string text;
    std::optional<LineError> error;
};
DecodedText decodeLines(std::u16string_view source, std::int16_t keyCode, std::int16_t pattern);

// Decoding a source that holds nothing but spaces does nothing at all: there is nothing there
// that could be ciphertext.
bool isBlankForDecoding(std::u16string_view source) noexcept;

}  // namespace voxilo
