// Reading a document file of any bytes: no crash, no undefined behaviour; reading it in pieces
// of any size gives what reading it whole gives; and a document that was read is written and
// read back to the same text.

#include <algorithm>
#include <cstring>

#include "FuzzInput.h"
#include "core/documents/DocumentFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxilo;
    if (size < 1) return 0;
    // The first byte sets the size of the reads and of the reader's buffer.
    const std::size_t piece = data[0] % 7 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto whole = documentTextFromBytes(bytes);
    std::string_view rest = bytes;
    DocumentReader reader(
        [&](char* buffer, std::size_t capacity) {
            const std::size_t n = std::min({piece, capacity, rest.size()});
            std::memcpy(buffer, rest.data(), n);
            rest.remove_prefix(n);
            return static_cast<std::ptrdiff_t>(n);
        },
        piece);
    std::u16string pieces, line;
    for (bool first = true; reader.next(line); first = false) {
        if (!first) pieces += u"\r\n";
        pieces += line;
    }
    if (whole.operator bool() == reader.error().has_value())
        fuzzing::fail("reading in pieces succeeds or fails otherwise");
    if (!whole) {
        if (whole.error() != *reader.error()) fuzzing::fail("reading in pieces fails elsewhere");
        return 0;
    }
    if (pieces != *whole) fuzzing::fail("reading in pieces gives another text");

    const auto written = documentBytesFromText(*whole);
    if (!written) fuzzing::fail("a document that was read cannot be written");
    const auto again = documentTextFromBytes(*written);
    if (!again || *again != *whole) fuzzing::fail("the written document reads otherwise");
    return 0;
}
