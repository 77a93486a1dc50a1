// Decoding any text with any key code and pattern: no crash, no undefined behaviour, and the
// one-pass decoder, given text or ASCII bytes, gives what the cipher's passes one after another
// give, results and errors alike. The input's bytes, taken as ciphertext as they are, also go
// through each decipher kernel the processor has, which must agree with the plain one, and as a
// file through the decoding in pieces, which must agree with decoding it line by line.

#include "FuzzInput.h"

#include <algorithm>

#include "core/cipher/HexDecipher.h"
#include "core/cipher/KeyShift.h"
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

    using namespace cipher_detail;
    const std::string_view raw(reinterpret_cast<const char*>(data + 2), size - 2);
    // The shifts the patterns add up to, from this key code.
    const std::int16_t k = keyShift(setting.keyCode);
    const auto shift = static_cast<std::uint16_t>(setting.pattern == 2   ? 2 * k + 1
                                                  : setting.pattern == 3 ? 2 * k
                                                                         : k);
    for (Arrangement arrangement : {Arrangement::Single, Arrangement::Whole, Arrangement::Halves}) {
        const std::string_view text =
            raw.substr(0, raw.size() & ~std::size_t{arrangement == Arrangement::Halves ? 3u : 1u});
        std::u16string plain(hexDecipheredUnits(text.size()), u'\0');
        const bool plainOk =
            hexDecipherBytes(text, shift, arrangement, plain.data(), HexKernel::Plain);
        for (HexKernel kernel : availableHexKernels()) {
            std::u16string out(hexDecipheredUnits(text.size()), u'\0');
            const bool ok = hexDecipherBytes(text, shift, arrangement, out.data(), kernel);
            if (ok != plainOk)
                fuzzing::fail("a kernel finds a bad digit where the plain one does not");
            if (ok && out != plain)
                fuzzing::fail("a kernel deciphers otherwise than the plain one");
            // Straight to ASCII, with the bytes around the text readable (as inside the input)
            // or not.
            const bool around = raw.size() > text.size() + 1;
            for (const std::string_view at : {text, around ? raw.substr(1, text.size()) : text}) {
                std::u16string expected(hexDecipheredUnits(at.size()), u'\0');
                const bool expectedOk =
                    hexDecipherBytes(at, shift, arrangement, expected.data(), HexKernel::Plain);
                const bool expectedAscii =
                    expectedOk && std::all_of(expected.begin(), expected.end(), [](char16_t c) {
                        return c < 0x80 && c != u'\r';
                    });
                std::string ascii(expected.size(), '\0');
                std::u16string units(expected.size(), u'\0');
                const AsciiDecipher got = hexDecipherAscii(at, shift, arrangement, ascii.data(),
                                                           units.data(), kernel, at != text);
                if (!expectedOk ? got != AsciiDecipher::NotHex
                    : expectedAscii
                        ? got != AsciiDecipher::Ascii ||
                              std::u16string(ascii.begin(), ascii.end()) != expected
                        : got != AsciiDecipher::NotAscii || units != expected) {
                    fuzzing::fail("deciphering straight to ASCII differs from the plain kernel");
                }
                // Into units, with what they hold.
                const DecipheredLine line =
                    hexDecipherUnits(at, shift, arrangement, units.data(), kernel, at != text);
                const bool unitsOk = line.valid();
                if (unitsOk != expectedOk) {
                    fuzzing::fail("deciphering into units finds a bad digit otherwise");
                }
                const std::size_t last = expected.find_last_not_of(u' ');
                if (unitsOk &&
                    (units != expected ||
                     line.spaceless != (last == expected.npos ? 0 : last + 1) ||
                     line.cr() != (expected.find(u'\r') != expected.npos) ||
                     line.ascii() != std::all_of(expected.begin(), expected.end(),
                                               [](char16_t c) { return c < 0x80; }))) {
                    fuzzing::fail("deciphering into units tells otherwise what they hold");
                }
            }
        }
    }

    // The bytes as a file, decoded in pieces as voxilo-cli decodes a file on disk.
    fuzzing::decodeFileBothWays(std::string(raw), setting, 16 + data[0] % 48);
    return 0;
}
