#include "core/documents/DocumentConversion.h"

#include <gtest/gtest.h>

#include "support/ByteSource.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace voxilo {
namespace {

using Kind = ConversionFailure::Kind;

struct Outcome {
    std::string bytes;
    std::optional<ConversionFailure> failure;
};

void expectSame(const Outcome& got, const Outcome& expected) {
    EXPECT_EQ(got.bytes, expected.bytes);
    ASSERT_EQ(got.failure.has_value(), expected.failure.has_value());
    if (!got.failure) return;
    EXPECT_EQ(got.failure->kind, expected.failure->kind);
    EXPECT_EQ(got.failure->line, expected.failure->line);
    EXPECT_EQ(got.failure->reason, expected.failure->reason);
    EXPECT_EQ(got.failure->character, expected.failure->character);
    EXPECT_EQ(got.failure->encoding, expected.failure->encoding);
    EXPECT_EQ(got.failure->judged, expected.failure->judged);
}

// The file handed out seven bytes at a time, as standard input is read, line by line.
Outcome lineByLine(const std::string& file, std::int16_t keyCode, std::int16_t pattern,
                   ConversionEncodings encodings) {
    Outcome outcome;
    auto sink = [&](std::string_view bytes) {
        outcome.bytes += bytes;
        return std::error_code{};
    };
    outcome.failure = convertDocument(Direction::Decode, keyCode, pattern,
                                      testing_support::trickle(file, 7), sink, encodings);
    return outcome;
}

// The file read anywhere, from two threads; reads at or after `failAt` fail.
Outcome inPieces(const std::string& file, std::int16_t keyCode, std::int16_t pattern,
                 ConversionEncodings encodings, std::size_t pieceSize,
                 std::size_t failAt = std::string::npos) {
    Outcome outcome;
    std::mutex mutex;  // the sink is only ever called by one thread at a time: a race shows here
    auto sink = [&](std::string_view bytes) {
        std::unique_lock lock(mutex, std::try_to_lock);
        EXPECT_TRUE(lock.owns_lock());
        outcome.bytes += bytes;
        return std::error_code{};
    };
    outcome.failure =
        convertDocumentFile(Direction::Decode, keyCode, pattern,
                            testing_support::anywhere(file, failAt), sink, encodings, pieceSize);
    return outcome;
}

// Ciphertext of `lines`, each followed by CR LF unless `lastBreak` is false; beyond the four
// patterns, the lines themselves.
std::string cipherOf(const std::vector<std::u16string>& lines, std::int16_t keyCode,
                     std::int16_t pattern, bool lastBreak = true) {
    std::string cipher;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineConverter encoder(Direction::Encode, keyCode, pattern);
        if (encoder.writesAscii()) {
            encoder.addLine(lines[i], cipher);
        } else {
            cipher.append(lines[i].begin(), lines[i].end());  // copied as it is: ASCII here
        }
        if (i + 1 < lines.size() || lastBreak) cipher += "\r\n";
    }
    return cipher;
}

std::vector<std::u16string> englishLines(std::size_t count) {
    std::vector<std::u16string> lines;
    const std::u16string words = u"It was the best of times, it was the worst of times. ";
    for (std::size_t i = 0; i < count; ++i) {
        lines.push_back(words.substr(0, (i * 7) % words.size()));
        if (i % 9 == 4) lines.back() += u"   ";  // trailing spaces, which decoding drops
    }
    return lines;
}

// The documents: each decoded in pieces of several sizes, some a few bytes, so that lines and
// their breaks fall across pieces in every way, against the same file decoded line by line.
TEST(DocumentFileDecoding, GivesWhatLineByLineDecodingGives) {
    struct Document {
        const char* name;
        std::string file;
        std::int16_t pattern = 3;
    };
    std::vector<Document> documents;
    for (std::int16_t pattern : std::initializer_list<std::int16_t>{0, 1, 2, 3, 9}) {
        documents.push_back({"English", cipherOf(englishLines(60), 9, pattern), pattern});
    }
    const std::string english = cipherOf(englishLines(40), 9, 3);
    documents.push_back({"no last break", cipherOf(englishLines(40), 9, 3, false)});
    documents.push_back({"empty", ""});
    documents.push_back({"only breaks", "\r\n\r\n\r\n"});
    documents.push_back({"leading empty lines", "\r\n\r\n\r\n" + english});
    documents.push_back({"blank first line", "    \r\n" + english});
    documents.push_back({"only spaces", "      "});
    documents.push_back({"spaces, then a break", "      \r\n"});
    // Lines that decode to nothing leave the result empty for a while.
    documents.push_back({"empty results first", cipherOf(std::vector<std::u16string>(30, u"  "), 9, 3) + english});
    // A long line whose result is empty, and pieces within it.
    documents.push_back({"a long line of spaces first",
                         cipherOf({std::u16string(300, u' '), u"after", u""}, 9, 3)});
    documents.push_back({"Japanese", cipherOf({u"吾輩は猫である。", u"名前はまだ無い。 ASCII too",
                                               u"plain", u"どこで生れたか", u""}, 9, 3)});
    documents.push_back({"a CR inside a deciphered line",
                         cipherOf({u"before", u"a\rb\nc", u"x\r", u"\nafter", u"end"}, 9, 3)});
    documents.push_back({"breaks of every kind", "\r" + english + "\n\r\r\n\r" + english});
    documents.push_back({"one long line", cipherOf({std::u16string(700, u'w') + u"end"}, 9, 3)});
    documents.push_back({"a line that is no ciphertext", english + "0630062\r\n" + english});
    documents.push_back({"a character CP932 cannot hold",
                         english + cipherOf({u"caf\u00e9"}, 9, 3) + english});
    documents.push_back({"a line of other bytes", english + "caf\xc3\xa9\r\n" + english});
    documents.push_back({"a CP932 line", english + "\x93\xfa\x96\x7b\r\n" + english});
    // Copied as they are (a pattern beyond the four), lines of other text go through too: the
    // rest of the file, line by line, goes on from what the pieces before came to.
    const std::string copied = cipherOf(englishLines(40), 9, 9);
    documents.push_back({"a CP932 line, copied", copied + "\x93\xfa\x96\x7b\r\n" + copied, 9});
    documents.push_back({"a UTF-8 line, copied", copied + "caf\xc3\xa9\r\n" + copied, 9});
    documents.push_back({"UTF-8 mark", "\xef\xbb\xbf" + english});
    documents.push_back({"UTF-16 mark", std::string("\xff\xfe" "0\0" "6\0", 6)});

    for (const Document& document : documents) {
        for (ConversionEncodings encodings :
             {ConversionEncodings{}, ConversionEncodings{std::nullopt, TextEncoding::Utf16Be},
              ConversionEncodings{TextEncoding::Utf8, TextEncoding::Utf8Bom},
              ConversionEncodings{TextEncoding::Cp932, TextEncoding::Utf8}}) {
            const Outcome expected = lineByLine(document.file, 9, document.pattern, encodings);
            for (std::size_t pieceSize : {16, 17, 40, 333, 1 << 18}) {
                SCOPED_TRACE(testing::Message()
                             << document.name << ", output " << encodingName(encodings.output)
                             << ", pieces of " << pieceSize);
                expectSame(inPieces(document.file, 9, document.pattern, encodings, pieceSize),
                           expected);
            }
        }
    }
}

// A failing read stops the conversion at the line it was reading: what went out is exactly what
// the lines before that one decode to, each with its break, and nothing when none did.
TEST(DocumentFileDecoding, AFailingReadStopsAtTheLineItWasReading) {
    const std::string file = cipherOf(englishLines(80), 9, 3);
    for (std::size_t failAt : {0, 100, 1000, 3000, 7000}) {
        SCOPED_TRACE(failAt);
        const Outcome got = inPieces(file, 9, 3, {}, 256, failAt);
        ASSERT_TRUE(got.failure);
        EXPECT_EQ(got.failure->kind, Kind::ReadFailed);
        // The file up to the line named, decoded line by line.
        std::size_t lineStart = 0;
        for (std::size_t line = 1; line < got.failure->line; ++line) {
            lineStart = file.find("\r\n", lineStart) + 2;
        }
        ASSERT_LE(lineStart, failAt);
        const std::string before = lineByLine(file.substr(0, lineStart), 9, 3, {}).bytes;
        EXPECT_EQ(got.bytes, before == "\r\n" ? "" : before);  // an empty document writes nothing
    }
}

TEST(DocumentFileDecoding, AFailingOutputIsReported) {
    const std::string file = cipherOf(englishLines(80), 9, 3);
    int calls = 0;
    auto full = [&](std::string_view) {
        return ++calls == 2 ? std::make_error_code(std::errc::no_space_on_device) : std::error_code{};
    };
    const auto failure = convertDocumentFile(Direction::Decode, 9, 3,
                                             testing_support::anywhere(file), full, {}, 64);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, Kind::WriteFailed);
    EXPECT_EQ(failure->io, std::make_error_code(std::errc::no_space_on_device));
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace voxilo
