// Reading a document file of any bytes, in any encoding or with the encoding found: no crash,
// no undefined behaviour; reading it in pieces of any size gives what reading it whole gives;
// and a document that was read is written in its encoding and read back to the same text.

#include <algorithm>
#include <cstring>
#include <optional>

#include "FuzzInput.h"
#include "core/documents/DocumentFormat.h"

namespace {

using namespace voxilo;

struct Read {
    std::u16string text;
    std::optional<DocumentError> error;
    TextEncoding encoding;
};

// With `views`, lines are taken as decoding takes them: ASCII ones as the reader's own bytes.
Read read(std::string_view bytes, std::size_t piece, std::size_t chunk,
          std::optional<TextEncoding> given, bool views = false) {
    DocumentReader reader(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t n = std::min({piece, capacity, bytes.size()});
            std::memcpy(buffer, bytes.data(), n);
            bytes.remove_prefix(n);
            return static_cast<std::ptrdiff_t>(n);
        },
        chunk, DocumentReader::BadBytes::Refuse, given);
    Read result;
    std::u16string line;
    std::string_view ascii;
    const auto next = [&] {
        if (!views) return reader.next(line);
        if (!reader.nextView(line, ascii)) return false;
        if (reader.lastWasAscii()) {
            if (!line.empty()) fuzzing::fail("an ASCII line also gives text");
            for (const char c : ascii) {
                if (static_cast<unsigned char>(c) >= 0x80)
                    fuzzing::fail("a line called ASCII is not");
                line.push_back(static_cast<char16_t>(c));
            }
        }
        return true;
    };
    for (bool first = true; next(); first = false) {
        if (!first) result.text += u"\r\n";
        result.text += line;
    }
    result.error = reader.error();
    result.encoding = reader.encoding();
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte sets the size of the reads and of the reader's buffer, and the encoding
    // given, if any.
    const std::size_t piece = data[0] % 7 + 1;
    const TextEncoding encodings[] = {TextEncoding::Cp932, TextEncoding::Utf8,
                                      TextEncoding::Utf16Le, TextEncoding::Utf16Be};
    const unsigned choice = data[0] / 7 % 5;
    const std::optional<TextEncoding> given =
        choice == 0 ? std::nullopt : std::optional<TextEncoding>(encodings[choice - 1]);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const Read whole = read(bytes, bytes.size() + 1, bytes.size() + 1, given);
    const Read pieces = read(bytes, piece, piece, given);
    if (whole.error != pieces.error) fuzzing::fail("reading in pieces fails otherwise");
    if (whole.error) return 0;
    if (pieces.text != whole.text) fuzzing::fail("reading in pieces gives another text");
    if (pieces.encoding != whole.encoding)
        fuzzing::fail("reading in pieces finds another encoding");
    const Read viewed = read(bytes, piece, piece, given, true);
    if (viewed.error || viewed.text != whole.text || viewed.encoding != whole.encoding)
        fuzzing::fail("reading ASCII lines where they lie gives another text");
    if (!given) {
        const auto plain = documentTextFromBytes(bytes);
        if (!plain || *plain != whole.text) fuzzing::fail("reading from memory gives another text");
    }

    // A zero-width no-break space opening an unmarked UTF-8 text is written as the bytes of a
    // mark, and read back as one: that is what the mark is.
    if (whole.encoding == TextEncoding::Utf8 && !whole.text.empty() && whole.text[0] == u'\uFEFF') {
        return 0;
    }
    const auto written = documentBytesFromText(whole.text, whole.encoding);
    if (!written) fuzzing::fail("a document that was read cannot be written in its encoding");
    const Read again = read(*written, written->size() + 1, written->size() + 1, whole.encoding);
    if (again.error || again.text != whole.text)
        fuzzing::fail("the written document reads otherwise");
    if (again.encoding != whole.encoding) fuzzing::fail("the written document has another mark");
    return 0;
}
