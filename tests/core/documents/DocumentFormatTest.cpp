#include "core/documents/DocumentFormat.h"

#include <gtest/gtest.h>

#include "support/ByteSource.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace voxilo {
namespace {

using testing_support::trickle;

std::u16string readInPieces(const std::string& bytes, std::size_t piece, std::size_t chunk) {
    DocumentReader reader(trickle(bytes, piece), chunk);
    std::u16string text, line;
    for (bool first = true; reader.next(line); first = false) {
        if (!first) text += u"\r\n";
        text += line;
    }
    EXPECT_FALSE(reader.error());
    return text;
}

TEST(DocumentFormat, ReadsLinesAsTheUpperPaneHoldsThem) {
    struct Case {
        std::string file;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\r\n", u"a\r\nb"},
        {"", u""},
        {"\r\n\r\nx", u"x"},  // leading empty lines are dropped
        {"\r\n\r\n\r\n", u""},
        {"a\nb\n", u"a\nb\n"},    // LF alone does not end a line
        {"a\r\n\r\n", u"a\r\n"},  // an empty last line stays, the final break adds none
        {"a\rb\r", u"a\r\nb"},    // CR alone ends a line
        {"a\r\r\n\nb", u"a\r\n\r\n\nb"},
        {"\x82\xa0\x8a\xbf \xba\xcb\xdf\xb0", u"あ漢 ｺﾋﾟｰ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto text = documentTextFromBytes(c.file);
        ASSERT_TRUE(text);
        EXPECT_EQ(*text, c.text);
        // However the bytes arrive, and however small the buffer, the lines are the same.
        for (std::size_t piece : {1, 2, 3}) EXPECT_EQ(readInPieces(c.file, piece, 1), c.text);
    }
}

TEST(DocumentFormat, WritesCrLfAfterEveryLine) {
    struct Case {
        std::u16string text;
        std::string file;
    };
    const std::vector<Case> cases = {
        {u"", "\r\n"},           {u"a\r\nb", "a\r\nb\r\n"}, {u"a\rb", "a\r\nb\r\n"},
        {u"a\nb", "a\nb\r\n"},   {u"a\r\n", "a\r\n\r\n"},   {u"\r\n\r\n", "\r\n\r\n\r\n"},
        {u"あ", "\x82\xa0\r\n"},
    };
    for (const auto& c : cases) {
        auto bytes = documentBytesFromText(c.text);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, c.file);
        // Written in stretches split anywhere, even between CR and LF, the bytes are the same.
        for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
            DocumentWriter writer;
            ASSERT_FALSE(writer.write(std::u16string_view(c.text).substr(0, cut)));
            ASSERT_FALSE(writer.write(std::u16string_view(c.text).substr(cut)));
            writer.finish();
            EXPECT_EQ(writer.bytes(), c.file) << cut;
        }
    }
}

// A line written after a break (or none) gives what the break and the line written together
// give, in the bytes, the line reached and the character refused, whatever came before: even a
// CR whose LF may follow.
TEST(DocumentFormat, WritesALineAfterABreakAsTheBreakAndTheLineTogether) {
    for (TextEncoding encoding : {TextEncoding::Cp932, TextEncoding::Utf8, TextEncoding::Utf16Be}) {
        for (std::u16string_view before : {u"", u"a", u"a\r", u"a\r\n"}) {
            for (std::u16string_view line : {u"", u"\n", u"b\nc", u"あ漢", u"x\u00e9y\xd800"}) {
                for (bool breakBefore : {true, false}) {
                    SCOPED_TRACE(std::string(before.begin(), before.end()) + "|" +
                                 std::string(line.begin(), line.end()) + "|" +
                                 std::to_string(breakBefore));
                    const std::u16string joined =
                        (breakBefore ? u"\r\n" : u"") + std::u16string(line);
                    DocumentWriter together(encoding), apart(encoding);
                    ASSERT_FALSE(together.write(before));
                    ASSERT_FALSE(apart.write(before));
                    const auto bad = together.write(joined);
                    const auto badInLine = apart.writeLine(line, breakBefore);
                    const std::size_t breakSize = joined.size() - line.size();
                    EXPECT_EQ(badInLine,
                              bad ? std::optional<std::size_t>(*bad - breakSize) : std::nullopt);
                    if (bad) continue;
                    EXPECT_EQ(apart.line(), together.line());
                    ASSERT_FALSE(together.write(u"\nd"));
                    ASSERT_FALSE(apart.write(u"\nd"));
                    EXPECT_EQ(apart.bytes(), together.bytes());
                }
            }
        }
    }
}

TEST(DocumentFormat, ReportsBytesAndCharactersOutsideCp932ByLine) {
    using Kind = DocumentError::Kind;
    const std::vector<std::pair<std::string, std::size_t>> badFiles = {
        {"ok\r\n\x81", 2},           // a lead byte cut off by the end of the file
        {"\r\nok\r\n\x81\r\nx", 3},  // ... or by the end of its line
        {"\x81\x20", 1},             // a lead byte with an impossible trail byte
    };
    for (const auto& [file, line] : badFiles) {
        auto text = documentTextFromBytes(file);
        ASSERT_FALSE(text);
        EXPECT_EQ(text.error(), (DocumentError{Kind::InvalidBytes, line, 0}));
    }

    auto bytes = documentBytesFromText(u"a\r\nb\u00e9");  // no CP932 code has an accent
    ASSERT_FALSE(bytes);
    EXPECT_EQ(bytes.error(), (DocumentError{Kind::UnwritableCharacter, 2, u'\u00e9'}));

    DocumentReader failing([](char*, std::size_t) -> std::ptrdiff_t { return -1; });
    std::u16string line;
    EXPECT_FALSE(failing.next(line));
    ASSERT_TRUE(failing.error());
    EXPECT_EQ(failing.error()->kind, Kind::ReadFailed);
}

}  // namespace
}  // namespace voxilo
