#include "core/cipher/TextCipher.h"

#include <gtest/gtest.h>

#include <random>

namespace voxilo {
namespace {

// The cipher written out step by step, the slow and obvious way, to check the one-pass kernels
// against.
std::u16string interleaved(const std::u16string& s) {
    const std::size_t len = s.size();
    std::u16string out(len, u'\0');
    for (std::size_t i = 1; i <= len; ++i) {
        const std::size_t to = i % 2 == 1 ? i : len - i + 2;
        out[to - 1] = s[i - 1];
    }
    return out;
}

std::u16string referenceEncode(const std::u16string& text, std::int16_t key, CipherMode mode) {
    std::u16string s;
    if (mode == CipherMode::Hex) {
        const char* digits = "0123456789ABCDEF";
        for (char16_t c : text) {
            for (unsigned byte : {c & 0xFFu, unsigned(c) >> 8}) {
                s.push_back(static_cast<char16_t>(digits[byte >> 4]));
                s.push_back(static_cast<char16_t>(digits[byte & 0xF]));
            }
        }
    } else {
        s = text;
    }
    std::u16string r;
    for (auto it = s.rbegin(); it != s.rend(); ++it) r.push_back(static_cast<char16_t>(*it + key));
    return interleaved(r);
}

std::u16string random16(std::mt19937& rng, std::size_t len) {
    std::u16string s;
    for (std::size_t i = 0; i < len; ++i) s.push_back(static_cast<char16_t>(rng()));
    return s;
}

struct CipherCase {
    std::u16string input;
    std::int16_t key;
    CipherMode mode;
    std::u16string expected;
};

TEST(TextCipher, EncodesTheWorkedExamples) {
    const std::vector<CipherCase> cases = {
        {u"abc", 0, CipherMode::Hex, u"063006200610"},
        {u"abc", 3, CipherMode::Hex, u"396339533943"},
        {u"abcdef", 0, CipherMode::Plain, u"fadcbe"},
        {u"あ", 0, CipherMode::Hex, u"0423"},  // hex stage "4230"
        {u"a", 5, CipherMode::Plain, u"f"},    // a single character is only shifted
        {u"", 7, CipherMode::Hex, u""},
        {u"", 7, CipherMode::Plain, u""},
    };
    for (const auto& c : cases) {
        auto result = encodeText(c.input, c.key, c.mode);
        ASSERT_TRUE(result) << "input size " << c.input.size();
        EXPECT_EQ(*result, c.expected);
    }
}

TEST(TextCipher, DecodesTheWorkedExamples) {
    const std::vector<CipherCase> cases = {
        {u"063006200610", 0, CipherMode::Hex, u"abc"},
        {u"396339533943", 3, CipherMode::Hex, u"abc"},
        {u"0423", 0, CipherMode::Hex, u"あ"},
        {u"fadcbe", 0, CipherMode::Plain, u"abcdef"},
        // interleaved to " cba", reversed to "abc ", then the trailing space goes
        {u" abc", 0, CipherMode::Plain, u"abc"},
        {u"f", 5, CipherMode::Plain, u"a"},
        {u"", 7, CipherMode::Hex, u""},
        {u"", 7, CipherMode::Plain, u""},
    };
    for (const auto& c : cases) {
        auto result = decodeText(c.input, c.key, c.mode);
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, c.expected);
    }
}

TEST(TextCipher, OnlyMinusOneSelectsHexMode) {
    EXPECT_EQ(cipherModeFromFlag(-1), CipherMode::Hex);
    EXPECT_EQ(cipherModeFromFlag(0), CipherMode::Plain);
    EXPECT_EQ(cipherModeFromFlag(1), CipherMode::Plain);
    EXPECT_EQ(*encodeText(u"abcdef", 0, cipherModeFromFlag(1)), u"fadcbe");
}

TEST(TextCipher, MatchesTheStepByStepAlgorithmAndRoundTrips) {
    std::mt19937 rng(42);
    for (int round = 0; round < 400; ++round) {
        const auto key = static_cast<std::int16_t>(rng());  // the whole 16-bit range wraps
        const std::size_t len = rng() % 40;
        const std::u16string text = random16(rng, len);
        for (CipherMode mode : {CipherMode::Hex, CipherMode::Plain}) {
            if (mode == CipherMode::Plain && len % 2 == 1 && len >= 3) continue;
            auto encoded = encodeText(text, key, mode);
            ASSERT_TRUE(encoded);
            ASSERT_EQ(*encoded, referenceEncode(text, key, mode));
            auto decoded = decodeText(*encoded, key, mode);
            ASSERT_TRUE(decoded);
            std::u16string expected = text;
            while (!expected.empty() && expected.back() == u' ') expected.pop_back();
            EXPECT_EQ(*decoded, expected);
        }
    }
}

TEST(TextCipher, DropsTrailingSpacesOnlyAndReadsLowerCaseHex) {
    auto encoded = encodeText(u"  a b  ", 4, CipherMode::Hex);
    EXPECT_EQ(*decodeText(*encoded, 4, CipherMode::Hex), u"  a b");
    // A line of nothing but spaces comes back as nothing at all, whatever its length.
    for (CipherMode mode : {CipherMode::Hex, CipherMode::Plain}) {
        for (std::u16string_view blanks : {u" ", u"  ", u"    "}) {
            EXPECT_EQ(*decodeText(*encodeText(blanks, 4, mode), 4, mode), u"")
                << blanks.size() << " spaces, " << (mode == CipherMode::Hex ? "hex" : "plain");
        }
    }

    // U+00FF has the hex stage "FF00": its ciphertext holds letters, which may come back in
    // lower case.
    std::u16string lower = *encodeText(u"\u00ff", 0, CipherMode::Hex);
    for (auto& c : lower) c = static_cast<char16_t>(std::tolower(c));
    EXPECT_EQ(*decodeText(lower, 0, CipherMode::Hex), u"\u00ff");
}

TEST(TextCipher, DecodingWithAnotherKeyDoesNotGiveTheText) {
    const auto encoded = *encodeText(u"秘密のメモ", 9, CipherMode::Hex);
    for (std::int16_t other : std::initializer_list<std::int16_t>{8, 10, 0}) {
        auto decoded = decodeText(encoded, other, CipherMode::Hex);
        EXPECT_TRUE(!decoded || *decoded != u"秘密のメモ") << other;
    }
}

TEST(TextCipher, LinesOfAnyLengthRoundTrip) {
    std::mt19937 rng(7);
    for (std::size_t len : {std::size_t{8191}, std::size_t{8192}, std::size_t{1'000'000}}) {
        std::u16string text = random16(rng, len);
        text.back() = u'x';  // no trailing space to lose
        auto encoded = encodeText(text, 20, CipherMode::Hex);
        ASSERT_EQ(encoded->size(), 4 * len);
        EXPECT_EQ(*decodeText(*encoded, 20, CipherMode::Hex), text);
    }
}

TEST(TextCipher, RefusesTextOutsideItsDomain) {
    struct Refusal {
        bool encode;
        std::u16string input;
        CipherMode mode;
        CipherError error;
    };
    const std::vector<Refusal> refusals = {
        {true, u"abc", CipherMode::Plain, CipherError::OddLength},
        {false, u"abc", CipherMode::Plain, CipherError::OddLength},
        {false, u"0", CipherMode::Hex, CipherError::OddLength},
        {false, u"06300", CipherMode::Hex, CipherError::OddLength},
        {false, u"06300G", CipherMode::Hex, CipherError::NotHexDigit},
        {false, u"あいうえ", CipherMode::Hex, CipherError::NotHexDigit},
    };
    for (const auto& r : refusals) {
        auto result = r.encode ? encodeText(r.input, 0, r.mode) : decodeText(r.input, 0, r.mode);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), r.error);
    }
}

}  // namespace
}  // namespace voxilo
