// Encoding any text and decoding the result gives the text back, less what the conversion is
// documented to drop: the trailing spaces of each line, and the empty lines before the first
// line that keeps anything. Line breaks come back as CR LF. A file of the ciphertext decoded in
// pieces, as voxilo-cli decodes a file on disk, gives what decoding it line by line gives.

#include "FuzzInput.h"
#include "core/cipher/LineConversion.h"
#include "core/cipher/TextLines.h"
#include "support/LiteralLines.h"

namespace {

std::u16string expectedBack(std::u16string_view source, bool ciphered) {
    std::u16string back;
    voxilo::TextLines lines(source);
    std::u16string_view line;
    while (lines.next(line)) {
        if (ciphered) {
            while (!line.empty() && line.back() == u' ') line.remove_suffix(1);
        }
        if (back.empty() && line.empty()) continue;
        if (!back.empty()) back += u"\r\n";
        back += line;
    }
    return back;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxilo;
    if (size < 2) return 0;
    const fuzzing::Setting setting = fuzzing::settingFrom(data);
    const std::u16string source = fuzzing::unitsFrom(data + 2, size - 2);
    const bool ciphered = setting.pattern >= 0 && setting.pattern <= 3;

    const std::u16string cipher = encodeLines(source, setting.keyCode, setting.pattern);
    if (cipher != testing_support::encodeLinesLiterally(source, setting.keyCode, setting.pattern))
        fuzzing::fail("the ciphertext differs from the passes'");
    // Files are encoded straight into bytes.
    LineConverter converter(Direction::Encode, setting.keyCode, setting.pattern);
    if (converter.writesAscii()) {
        std::string bytes;
        TextLines lines(source);
        std::u16string_view line;
        while (lines.next(line)) converter.addLine(line, bytes);
        if (std::u16string(bytes.begin(), bytes.end()) != cipher)
            fuzzing::fail("the ciphertext as bytes differs");
    }
    if (ciphered) {
        for (char16_t c : cipher) {
            if (c != u'\r' && c != u'\n' && (c <= u' ' || c >= 0x7F))
                fuzzing::fail("the ciphertext is not printable ASCII");
        }
    }
    const DecodedText back = decodeLines(cipher, setting.keyCode, setting.pattern);
    if (back.error) fuzzing::fail("the ciphertext does not decode");
    if (back.text != expectedBack(source, ciphered)) fuzzing::fail("the text did not come back");
    // Files are decoded from the bytes of their lines, lines of ASCII going out as bytes.
    const DecodedText fromBytes =
        testing_support::decodeLinesAsBytes(cipher, setting.keyCode, setting.pattern);
    if (fromBytes.error || fromBytes.text != back.text)
        fuzzing::fail("decoding the ciphertext as bytes differs");
    // A file of that ciphertext, decoded in pieces as voxilo-cli decodes a file on disk.
    if (converter.writesAscii()) {
        fuzzing::decodeFileBothWays(std::string(cipher.begin(), cipher.end()), setting,
                                    16 + data[1] % 48);
    }
    return 0;
}
