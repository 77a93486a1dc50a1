#include "core/platform/Codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace voxilo {
namespace {

TEST(Codepage, ConvertsCharactersEveryConverterAgreesOn) {
    const std::u16string text = u"Voxilo 日本語の文書、ｶﾀｶﾅ、ABC~\\";
    const std::string bytes =
        "Voxilo \x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\x91\x81\x41\xb6\xc0\xb6\xc5\x81\x41"
        "ABC~\\";
    std::string encoded;
    EXPECT_FALSE(cp932::encode(text, encoded));
    EXPECT_EQ(encoded, bytes);
    std::u16string decoded;
    EXPECT_FALSE(cp932::decode(bytes, decoded));
    EXPECT_EQ(decoded, text);
}

TEST(Codepage, EveryCharacterReadReadsBackAfterWriting) {
    // The NEC and IBM duplicates read as one character; whichever bytes it is written as must
    // read back as that character.
    std::size_t characters = 0;
    for (unsigned seq = 0; seq < 0x10000; ++seq) {
        const std::string bytes =
            seq < 0x100 ? std::string(1, char(seq)) : std::string{char(seq >> 8), char(seq & 0xFF)};
        std::u16string text;
        if (cp932::decode(bytes, text) || text.size() != 1) continue;
        ++characters;
        std::string written;
        ASSERT_FALSE(cp932::encode(text, written)) << std::hex << seq;
        std::u16string again;
        ASSERT_FALSE(cp932::decode(written, again));
        ASSERT_EQ(again, text) << std::hex << seq;
    }
    EXPECT_GT(characters, 7000u);  // CP932 has about 7,900 characters
}

// Several characters have two or three codes (NEC's and IBM's extensions). Files written on
// Windows use the codes its converter chooses; ours must be the same bytes.
TEST(Codepage, WritesTheNecAndIbmDuplicatesAsWindowsDoes) {
    const std::u16string text = u"纊∵￢ⅰⅠ≒";
    const std::string bytes = "\xfa\x5c\x81\xe6\x81\xca\xfa\x40\x87\x54\x81\xe0";
    std::string encoded;
    EXPECT_FALSE(cp932::encode(text, encoded));
    EXPECT_EQ(encoded, bytes);
    std::u16string decoded;
    EXPECT_FALSE(cp932::decode(bytes, decoded));
    EXPECT_EQ(decoded, text);
    // Their other codes read as the same characters.
    decoded.clear();
    EXPECT_FALSE(
        cp932::decode("\xed\x40\x87\x9a\xfa\x5b\xee\xf9\xfa\x54\xee\xef\xfa\x4a\x87\x90", decoded));
    EXPECT_EQ(decoded, u"纊∵∵￢￢ⅰⅠ≒");
}

// Text from other systems holds the wave dash and its kin where CP932 has fullwidth look-alikes.
// A document takes them at the codes Japanese Windows writes for them; a stored value, which
// must read back as written, does not.
TEST(Codepage, DocumentsTakeTheWaveDashAndItsKin) {
    const std::u16string text = u"1\u301c2\u2016\u2212\u00a2\u00a3\u00ac";
    const std::string bytes =
        "1\x81\x60"
        "2\x81\x61\x81\x7c\x81\x91\x81\x92\x81\xca";
    std::string encoded;
    EXPECT_FALSE(cp932::encode(text, encoded, cp932::Mapping::Document));
    EXPECT_EQ(encoded, bytes);
    std::u16string decoded;
    EXPECT_FALSE(cp932::decode(bytes, decoded));
    EXPECT_EQ(decoded, u"1\uff5e2\u2225\uff0d\uffe0\uffe1\uffe2");
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == u'2') continue;
        std::string exact;
        EXPECT_EQ(cp932::encode(text.substr(i, 1), exact), 0u) << i;
    }
    // What CP932 truly cannot hold stays refused.
    std::string out;
    EXPECT_EQ(
        cp932::encodeReplacing(u"\u301c\u00e9\u00a5", out, '?', nullptr, cp932::Mapping::Document),
        2u);
    EXPECT_EQ(out, "\x81\x60??");
}

TEST(Codepage, RefusesInsteadOfReplacing) {
    for (std::u16string text : {u"ab\u301c", u"ab\u00a5", u"ab\U0001F600", u"ab\xd800"}) {
        std::string out;
        EXPECT_EQ(cp932::encode(text, out), 2u);
        EXPECT_EQ(out, "ab");
    }
    for (std::string bytes : {"ab\x81", "ab\x81\x7f", "ab\x81\r"}) {
        std::u16string out;
        EXPECT_EQ(cp932::decode(bytes, out), 2u);
        EXPECT_EQ(out, u"ab");
    }
}

}  // namespace
// Characters in runs, as a text holds them, give the bytes each gives alone: runs of two-byte
// characters, broken by one-byte ones (ASCII, half-width kana) at every place, and a character
// CP932 cannot hold at every place of a run, where the writing stops.
TEST(Codepage, WritesRunsAsItWritesEachCharacter) {
    std::u16string every;
    std::string expected;
    for (unsigned seq = 0x20; seq < 0x10000; ++seq) {
        const std::string bytes =
            seq < 0x100 ? std::string(1, char(seq)) : std::string{char(seq >> 8), char(seq & 0xFF)};
        std::u16string text;
        if (cp932::decode(bytes, text) || text.size() != 1 || text[0] == u'\r') continue;
        std::string alone;
        ASSERT_FALSE(cp932::encode(text, alone, cp932::Mapping::Document));
        every += text;
        expected += alone;
    }
    std::string written;
    ASSERT_FALSE(cp932::encode(every, written, cp932::Mapping::Document));
    EXPECT_EQ(written, expected);

    const std::u16string kanji = u"吾輩猫名前無見当薄暗泣記憶事所何";
    for (std::size_t at = 0; at <= kanji.size(); ++at) {
        for (char16_t other : {u'a', u'\uff71', u'\u00a5'}) {
            std::u16string text = kanji;
            text.insert(at, 1, other);
            std::string out;
            const auto failure = cp932::encode(text, out, cp932::Mapping::Document);
            std::string before;
            ASSERT_FALSE(cp932::encode(kanji.substr(0, at), before));
            if (other == u'\u00a5') {
                ASSERT_EQ(failure, at);
                EXPECT_EQ(out, before);
            } else {
                ASSERT_FALSE(failure);
                std::string after, one;
                ASSERT_FALSE(cp932::encode(kanji.substr(at), after));
                ASSERT_FALSE(cp932::encode(std::u16string(1, other), one));
                EXPECT_EQ(out, before + one + after) << at;
            }
        }
    }
}

}  // namespace voxilo
