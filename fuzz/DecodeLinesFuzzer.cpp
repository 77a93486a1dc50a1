// Decoding any text with any key code and pattern: no crash, no undefined behaviour, and the
// one-pass decoder, given text or ASCII bytes, gives what the cipher's passes one after another
// give, results and errors alike.

#include "FuzzInput.h"
#include "core/cipher/LineConversion.h"
#include "support/LiteralLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxilo;
    if (size < 2) return 0;
    const fuzzing::Setting setting = fuzzing::settingFrom(data);
    const std::u16string source = fuzzing::unitsFrom(data + 2, size - 2);

    const DecodedText fast = decodeLines(source, setting.keyCode, setting.pattern);
    const DecodedText literal =
        testing_support::decodeLinesLiterally(source, setting.keyCode, setting.pattern);
    if (fast.error != literal.error) fuzzing::fail("the error differs from the passes'");
    if (fast.text != literal.text) fuzzing::fail("the text differs from the passes'");
    // Files are decoded with their ASCII lines as bytes.
    const DecodedText bytes =
        testing_support::decodeLinesAsBytes(source, setting.keyCode, setting.pattern);
    if (bytes.error != literal.error || bytes.text != literal.text)
        fuzzing::fail("decoding bytes differs from decoding text");
    return 0;
}
