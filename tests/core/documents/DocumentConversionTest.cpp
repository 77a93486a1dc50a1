#include "core/documents/DocumentConversion.h"

#include <gtest/gtest.h>

#include "support/ByteSource.h"

#include <string>
#include <vector>

namespace voxilo {
namespace {

struct Outcome {
    std::string bytes;
    std::optional<ConversionFailure> failure;
};

// Streams `file` through convertDocument, handing it out three bytes at a time.
Outcome convert(Direction direction, std::int16_t keyCode, std::int16_t pattern,
                const std::string& file) {
    Outcome outcome;
    auto sink = [&](std::string_view bytes) {
        outcome.bytes += bytes;
        return std::error_code{};
    };
    outcome.failure =
        convertDocument(direction, keyCode, pattern, testing_support::trickle(file, 3), sink);
    return outcome;
}

// What the window gives: open the file, convert the upper pane, save the lower pane. Decoding
// an upper pane of nothing but spaces leaves the lower pane empty.
std::string throughTheWindow(Direction direction, std::int16_t keyCode, std::int16_t pattern,
                             const std::string& file) {
    const std::u16string top = *documentTextFromBytes(file);
    std::u16string bottom;
    if (direction == Direction::Encode) {
        bottom = encodeLines(top, keyCode, pattern);
    } else if (!isBlankForDecoding(top)) {
        DecodedText decoded = decodeLines(top, keyCode, pattern);
        EXPECT_FALSE(decoded.error);
        bottom = decoded.text;
    }
    return *documentBytesFromText(bottom);
}

const std::vector<std::string> kFiles = {
    "",
    "\r\n\r\n",
    "\r\n\r\n\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\n\r\nline  \r\n",
    "a\rb\nc\r\n",
    "   ",
    "   \r\n  ",
    "last line without a break",
};

TEST(DocumentConversion, GivesWhatTheWindowSavesByteForByte) {
    for (std::int16_t pattern : std::initializer_list<std::int16_t>{0, 1, 2, 3, 9}) {
        for (std::int16_t keyCode : std::initializer_list<std::int16_t>{0, 5, 25}) {
            for (const std::string& file : kFiles) {
                SCOPED_TRACE(testing::Message() << pattern << "/" << keyCode << " " << file);
                const Outcome encoded = convert(Direction::Encode, keyCode, pattern, file);
                ASSERT_FALSE(encoded.failure);
                EXPECT_EQ(encoded.bytes,
                          throughTheWindow(Direction::Encode, keyCode, pattern, file));

                const Outcome decoded = convert(Direction::Decode, keyCode, pattern, encoded.bytes);
                ASSERT_FALSE(decoded.failure);
                EXPECT_EQ(decoded.bytes,
                          throughTheWindow(Direction::Decode, keyCode, pattern, encoded.bytes));
            }
        }
    }
}

// Deciphered lines of ASCII go out as bytes, others as text made CP932: interleaved, in the
// file's order, and a CR that a line deciphers to still becomes a line break with its LF, as in
// the window. Only ciphertext made by hand holds a CR inside a line.
TEST(DocumentConversion, DecodesLinesOfAsciiAndOfOtherTextInOrder) {
    LineConverter encoder(Direction::Encode, 7, 3);
    std::string cipher;
    for (std::u16string_view line : {u"plain English", u"日本語の行", u"a\rb\nc", u"", u"x\r",
                                     u"\nafter a CR", u"最後 last"}) {
        encoder.addLine(line, cipher);
    }
    cipher += "\r\n";
    const Outcome decoded = convert(Direction::Decode, 7, 3, cipher);
    ASSERT_FALSE(decoded.failure);
    EXPECT_EQ(decoded.bytes, throughTheWindow(Direction::Decode, 7, 3, cipher));
    EXPECT_EQ(decoded.bytes,
              "plain English\r\n\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8d\x73\r\na\r\nb\nc\r\n\r\nx\r\n"
              "\r\n\nafter a CR\r\n\x8d\xc5\x8c\xe3 last\r\n");
}

TEST(DocumentConversion, DecodingABlankDocumentWritesAnEmptyOne) {
    for (std::string blank : {"", "   ", "\r\n  \r\n"}) {
        const Outcome decoded = convert(Direction::Decode, 3, 0, blank);
        ASSERT_FALSE(decoded.failure);
        EXPECT_EQ(decoded.bytes, "\r\n");
    }
    // Spaces followed by another line are not blank, and not ciphertext either.
    const Outcome notBlank = convert(Direction::Decode, 3, 0, "   \r\n0630");
    ASSERT_TRUE(notBlank.failure);
    EXPECT_EQ(notBlank.failure->line, 1u);
    EXPECT_EQ(notBlank.bytes, "");  // nothing went out, so no line break either
}

TEST(DocumentConversion, FailuresNameTheFileLine) {
    using Kind = ConversionFailure::Kind;
    // Line numbers count the file's own lines, the leading empty ones too.
    const Outcome notCipher =
        convert(Direction::Decode, 0, 0, "\r\n\r\n063006200610\r\n0630062\r\n063006200610\r\n");
    ASSERT_TRUE(notCipher.failure);
    EXPECT_EQ(notCipher.failure->kind, Kind::Undecodable);
    EXPECT_EQ(notCipher.failure->line, 4u);
    EXPECT_EQ(notCipher.failure->reason, CipherError::OddLength);

    const Outcome badBytes = convert(Direction::Encode, 0, 0, "ok\r\nok\r\n\x81\x0a");
    ASSERT_TRUE(badBytes.failure);
    EXPECT_EQ(badBytes.failure->kind, Kind::InvalidBytes);
    EXPECT_EQ(badBytes.failure->line, 3u);
    EXPECT_EQ(badBytes.bytes, throughTheWindow(Direction::Encode, 0, 0, "ok\r\nok\r\n"));

    // Ciphertext of a character that CP932 cannot hold decodes, but cannot be written.
    const std::u16string cipher = encodeLines(u"ok\r\n\u00e9", 4, 2);
    const Outcome unwritable = convert(Direction::Decode, 4, 2, *documentBytesFromText(cipher));
    ASSERT_TRUE(unwritable.failure);
    EXPECT_EQ(unwritable.failure->kind, Kind::UnwritableCharacter);
    EXPECT_EQ(unwritable.failure->line, 2u);
    EXPECT_EQ(unwritable.failure->character, u'\u00e9');
    EXPECT_EQ(unwritable.bytes, "ok\r\n");
    // Writing runs behind the conversion: a line that cannot be written still counts before a
    // later line that cannot be decoded.
    const Outcome both =
        convert(Direction::Decode, 4, 2, *documentBytesFromText(cipher + u"\r\nxyz!"));
    ASSERT_TRUE(both.failure);
    EXPECT_EQ(both.failure->kind, Kind::UnwritableCharacter);
    EXPECT_EQ(both.failure->line, 2u);
    EXPECT_EQ(both.bytes, "ok\r\n");
}

TEST(DocumentConversion, LargeDocumentsStreamAndStopAtTheFailingLine) {
    // Enough lines for the reading to run several batches ahead of the conversion.
    std::u16string text;
    for (int i = 0; i < 120000; ++i)
        text += u"行 " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u"\r\n";
    const std::string cipher = *documentBytesFromText(encodeLines(text, 21, 1));
    const Outcome whole = convert(Direction::Decode, 21, 1, cipher);
    ASSERT_FALSE(whole.failure);
    EXPECT_EQ(whole.bytes, throughTheWindow(Direction::Decode, 21, 1, cipher));

    // A broken line far into the file: the lines before it are written, and nothing after.
    std::string broken = cipher;
    const std::size_t line100k = [&] {
        std::size_t pos = 0;
        for (int i = 1; i < 100000; ++i) pos = broken.find("\r\n", pos) + 2;
        return pos;
    }();
    broken[line100k] = '!';
    const Outcome failed = convert(Direction::Decode, 21, 1, broken);
    ASSERT_TRUE(failed.failure);
    EXPECT_EQ(failed.failure->line, 100000u);
    // Exactly the 99,999 lines before it, each ending with CR LF as in a whole file.
    std::size_t end = 0;
    for (int i = 1; i < 100000; ++i) end = whole.bytes.find("\r\n", end) + 2;
    EXPECT_EQ(failed.bytes, whole.bytes.substr(0, end));
}

TEST(DocumentConversion, ReportsAFailingOutput) {
    auto source = [](char*, std::size_t) -> std::ptrdiff_t { return 0; };
    auto full = [](std::string_view) {
        return std::make_error_code(std::errc::no_space_on_device);
    };
    auto failure = convertDocument(Direction::Encode, 1, 0, source, full);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, ConversionFailure::Kind::WriteFailed);
    EXPECT_EQ(failure->io, std::errc::no_space_on_device);
}

}  // namespace
}  // namespace voxilo
