#include "core/cipher/LineConversion.h"

#include "core/cipher/KeyShift.h"

#include <gtest/gtest.h>

#include "support/LiteralLines.h"

#include <random>
#include <string>
#include <vector>

namespace voxilo {
namespace {

constexpr std::int16_t kNoShift = 0;  // a key code outside the table

using testing_support::decodeLinesLiterally;
using testing_support::encodeLineLiterally;

TEST(LineConversion, WorkedExamplesForEachPattern) {
    const std::vector<std::u16string> expected = {
        u"063006200610",  // the hex stage, reversed and interleaved
        u"600360026001",  // each half enciphered again with shift 0
        u"117411731172",  // the whole enciphered again with shift + 1
        u"600360026001",  // the halves with the shift, which is 0 here
    };
    for (std::int16_t pattern = 0; pattern < 4; ++pattern) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(encodeLines(u"abc", kNoShift, pattern), expected[pattern]);
        const DecodedText decoded = decodeLines(expected[pattern], kNoShift, pattern);
        EXPECT_FALSE(decoded.error);
        EXPECT_EQ(decoded.text, u"abc");
    }
}

TEST(LineConversion, EachPatternComposesTheCipher) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        std::u16string line;
        // Short lines, and some long enough for the encoder to go sixteen bytes at a time.
        for (std::size_t i = rng() % 4 == 0 ? 16 + rng() % 60 : rng() % 12; i > 0; --i)
            line.push_back(static_cast<char16_t>(rng()));
        line.push_back(u'x');
        const auto keyCode = static_cast<std::int16_t>(rng() % 27);
        const std::int16_t k = keyShift(keyCode);
        for (std::int16_t pattern = 0; pattern < 4; ++pattern) {
            ASSERT_EQ(encodeLines(line, keyCode, pattern), encodeLineLiterally(line, k, pattern))
                << "pattern " << pattern << ", length " << line.size();
            // The byte form writes the same ciphertext.
            LineConverter converter(Direction::Encode, keyCode, pattern);
            std::string bytes;
            converter.addLine(line, bytes);
            EXPECT_EQ(std::u16string(bytes.begin(), bytes.end()),
                      encodeLineLiterally(line, k, pattern));
        }
    }
}

// Decoding reads each line in one pass; every line, ciphertext or not, must come out as the
// passes one after another give it, with the same error where they fail. Lines are made near
// ciphertext, so that most pass the first checks and fail late or not at all.
TEST(LineConversion, DecodingAgreesWithThePassesOneByOne) {
    std::mt19937 rng(5);
    const std::u16string alphabet = u"0123456789ABCDEFabcdef !GHIJKLMNOPQRSTUVWXYZ[\\]^_`~";
    for (int round = 0; round < 3000; ++round) {
        const auto keyCode = static_cast<std::int16_t>(rng() % 27);
        const auto pattern = static_cast<std::int16_t>(rng() % 5);
        std::u16string source;
        for (int line = static_cast<int>(rng() % 3); line >= 0; --line) {
            std::u16string plain;
            // Mostly short lines; some long enough for the decoder's table of digits.
            for (std::size_t i = rng() % 8 == 0 ? 64 + rng() % 16 : rng() % 6; i > 0; --i)
                plain.push_back(rng() % 4 == 0 ? u' ' : static_cast<char16_t>(rng()));
            std::u16string cipher = encodeLineLiterally(plain, keyShift(keyCode), pattern);
            // Damage some lines: change, add or drop a unit, or write random text.
            switch (rng() % 6) {
                case 0:
                    if (!cipher.empty())
                        cipher[rng() % cipher.size()] = alphabet[rng() % alphabet.size()];
                    break;
                case 1:
                    cipher.insert(rng() % (cipher.size() + 1), 1,
                                  alphabet[rng() % alphabet.size()]);
                    break;
                case 2:
                    cipher.resize(rng() % (cipher.size() + 1));
                    break;
                case 3:
                    cipher.clear();
                    for (std::size_t i = 2 * (rng() % 9); i > 0; --i)
                        cipher.push_back(alphabet[rng() % alphabet.size()]);
                    break;
                default:
                    break;
            }
            source += cipher + (line > 0 ? u"\r\n" : u"");
        }
        const DecodedText fast = decodeLines(source, keyCode, pattern);
        const DecodedText literal = decodeLinesLiterally(source, keyCode, pattern);
        ASSERT_EQ(fast.error, literal.error) << "key code " << keyCode << ", pattern " << pattern;
        ASSERT_EQ(fast.text, literal.text) << "key code " << keyCode << ", pattern " << pattern;
        const DecodedText bytes = testing_support::decodeLinesAsBytes(source, keyCode, pattern);
        ASSERT_EQ(bytes.error, literal.error) << "as bytes: key code " << keyCode;
        ASSERT_EQ(bytes.text, literal.text) << "as bytes: key code " << keyCode;
    }
}

TEST(LineConversion, SplitsAtCarriageReturnsAndJoinsWithCrLf) {
    // Pattern 5 copies each line, which shows the splitting and joining alone.
    struct Case {
        std::u16string source;
        std::u16string joined;
    };
    const std::vector<Case> cases = {
        {u"a\r\nb", u"a\r\nb"},
        {u"a\rb", u"a\r\nb"},                    // a lone CR breaks the line too
        {u"a\nb", u"a\nb"},                      // a lone LF belongs to its line
        {u"\r\n\r\nabc", u"abc"},                // leading empty lines leave no trace
        {u"a\r\n\r\n\r\nb", u"a\r\n\r\n\r\nb"},  // inner ones stay
        {u"a\r\n", u"a\r\n"},                    // so does the break at the end
        {u"a\r\r\nb", u"a\r\n\r\nb"},
        {u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeLines(c.source, 3, 5), c.joined);
        const DecodedText decoded = decodeLines(c.source, 3, 5);
        EXPECT_FALSE(decoded.error);
        EXPECT_EQ(decoded.text, c.joined);
    }
    EXPECT_EQ(encodeLines(u"\r\nabc\rabc\r\n", kNoShift, 0), u"063006200610\r\n063006200610\r\n");
}

TEST(LineConversion, EveryKeyCodeAndPatternRoundTrips) {
    struct Case {
        std::u16string source;
        std::u16string back;  // what decoding the ciphertext gives
    };
    const std::vector<Case> cases = {
        {u"吾輩は猫である。\r\n名前はまだ無い。", u"吾輩は猫である。\r\n名前はまだ無い。"},
        {u"絵文字\U0001F600です", u"絵文字\U0001F600です"},
        {u"a\nb\r\nc", u"a\nb\r\nc"},
        {u"a\rb", u"a\r\nb"},
        {u"x\r\n\r\n\r\ny", u"x\r\n\r\n\r\ny"},
        {u"end\r\n", u"end\r\n"},
        {u"\r\n\r\nhead  \r\n tail ", u"head\r\n tail"},
    };
    for (std::int16_t keyCode = 1; keyCode <= 25; ++keyCode) {
        for (std::int16_t pattern = 0; pattern < 4; ++pattern) {
            for (const auto& c : cases) {
                const std::u16string cipher = encodeLines(c.source, keyCode, pattern);
                for (char16_t ch : cipher) {
                    ASSERT_TRUE(ch == u'\r' || ch == u'\n' || (ch > u' ' && ch < 0x7F))
                        << "ciphertext is printable ASCII";
                }
                const DecodedText decoded = decodeLines(cipher, keyCode, pattern);
                ASSERT_FALSE(decoded.error) << keyCode << "/" << pattern;
                EXPECT_EQ(decoded.text, c.back) << keyCode << "/" << pattern;
            }
        }
    }
}

TEST(LineConversion, NamesTheLineThatCannotBeDecoded) {
    const DecodedText notHex =
        decodeLines(u"063006200610\r\n\r\n063006200610\r\nxyzw\r\n063006200610", kNoShift, 0);
    EXPECT_EQ(notHex.error, (LineError{4, CipherError::NotHexDigit}));
    EXPECT_EQ(notHex.text, u"abc\r\n\r\nabc");  // the lines before it stay

    for (std::int16_t pattern = 0; pattern < 4; ++pattern) {
        SCOPED_TRACE(pattern);
        const std::u16string good = encodeLines(u"abc", 11, pattern);
        for (std::u16string odd : {u"0", u"06300", u"0630062"}) {
            const DecodedText decoded = decodeLines(good + u"\r\n" + odd, 11, pattern);
            EXPECT_EQ(decoded.error, (LineError{2, CipherError::OddLength}));
            EXPECT_EQ(decoded.text, u"abc");
        }
        // An even line whose halves are odd: patterns 1 and 3 decipher each half on its own.
        const DecodedText halves = decodeLines(good + u"\r\n063006", 11, pattern);
        const bool byHalves = pattern == 1 || pattern == 3;
        EXPECT_EQ(halves.error,
                  (LineError{2, byHalves ? CipherError::OddHalves : CipherError::NotHexDigit}));
    }
}

TEST(LineConversion, BlankSourceIsNotDecoded) {
    EXPECT_TRUE(isBlankForDecoding(u""));
    EXPECT_TRUE(isBlankForDecoding(u"    "));
    EXPECT_FALSE(isBlankForDecoding(u"  a "));
    EXPECT_FALSE(isBlankForDecoding(u" \r\n "));
}

TEST(LineConversion, FeedingLinesOneByOneMatchesTheWholeText) {
    LineConverter converter(Direction::Encode, 14, 3);
    std::u16string streamed;
    for (std::u16string_view line : {u"", u"", u"一行目", u"", u"three"}) {
        ASSERT_FALSE(converter.addLine(line, streamed));
    }
    EXPECT_EQ(streamed, encodeLines(u"\r\n\r\n一行目\r\n\r\nthree", 14, 3));
}

// Decoding for a file, a line whose result is ASCII without CR goes out as bytes, with the CR LF
// before it; any other line goes out as text, its break with it. Each step's whole effect.
TEST(LineConversion, DecodedLinesOfAsciiComeOutAsBytes) {
    struct Step {
        std::u16string plain;
        bool asBytes;
        std::string bytes;
        std::u16string text;
    };
    const std::vector<Step> steps = {
        {u"", true, "", u""},  // an empty first line leaves no trace
        {u"ab", true, "ab", u""},
        {u"", true, "\r\n", u""},
        {u"あ", false, "", u"\r\nあ"},
        {u"x\ry", false, "", u"\r\nx\ry"},  // a CR of its own: the file writes it as a break
        {u"x\ny", true, "\r\nx\ny", u""},
        {u"\u007f~", true, "\r\n\x7f~", u""},
        {u"\u0080", false, "", u"\r\n\u0080"},
    };
    for (std::int16_t pattern = 0; pattern < 4; ++pattern) {
        LineConverter decoder(Direction::Decode, 12, pattern);
        for (const Step& step : steps) {
            SCOPED_TRACE(testing::Message()
                         << "pattern " << pattern << ", line of " << step.plain.size() << " units");
            const std::u16string cipher = encodeLineLiterally(step.plain, keyShift(12), pattern);
            std::string bytes;
            std::u16string text;
            bool asBytes = !step.asBytes;
            ASSERT_FALSE(decoder.addAsciiLine(std::string(cipher.begin(), cipher.end()), text,
                                              bytes, asBytes));
            EXPECT_EQ(asBytes, step.asBytes);
            EXPECT_EQ(bytes, step.bytes);
            EXPECT_EQ(text, step.text);
        }
    }
}

}  // namespace
}  // namespace voxilo
