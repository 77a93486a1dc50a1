#include "core/cipher/LineConversion.h"

#include "core/cipher/KeyShift.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace voxilo {
namespace {

constexpr std::int16_t kNoShift = 0;  // a key code outside the table

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

// Each pattern composed literally from the cipher's two operations, as a check on the one-pass
// encoder of the line conversion.
std::u16string composed(std::u16string_view line, std::int16_t k, std::int16_t pattern) {
    const std::u16string c = *encodeText(line, k, CipherMode::Hex);
    const std::u16string_view whole = c;
    const std::u16string_view a = whole.substr(0, whole.size() / 2);
    const std::u16string_view b = whole.substr(whole.size() / 2);
    switch (pattern) {
        case 0:
            return c;
        case 1:
            return *encodeText(a, 0, CipherMode::Plain) + *encodeText(b, 0, CipherMode::Plain);
        case 2:
            return *encodeText(c, static_cast<std::int16_t>(k + 1), CipherMode::Plain);
        default:
            return *encodeText(a, k, CipherMode::Plain) + *encodeText(b, k, CipherMode::Plain);
    }
}

TEST(LineConversion, EachPatternComposesTheCipher) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        std::u16string line;
        for (std::size_t i = rng() % 12; i > 0; --i) line.push_back(static_cast<char16_t>(rng()));
        line.push_back(u'x');
        const auto keyCode = static_cast<std::int16_t>(rng() % 27);
        const std::int16_t k = keyShift(keyCode);
        for (std::int16_t pattern = 0; pattern < 4; ++pattern) {
            ASSERT_EQ(encodeLines(line, keyCode, pattern), composed(line, k, pattern))
                << "pattern " << pattern << ", length " << line.size();
            // The byte form writes the same ciphertext.
            LineConverter converter(Direction::Encode, keyCode, pattern);
            std::string bytes;
            converter.addLine(line, bytes);
            EXPECT_EQ(std::u16string(bytes.begin(), bytes.end()), composed(line, k, pattern));
        }
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

}  // namespace
}  // namespace voxilo
