#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/cipher/LineConversion.h"
#include "core/documents/DocumentConversion.h"
#include "core/documents/DocumentFormat.h"
#include "core/platform/Unicode.h"
#include "support/ByteSource.h"

namespace voxilo {
namespace {

// Texts people write, each in CR LF lines.
const std::vector<std::u16string> kRealTexts = {
    // Prose: kanji, hiragana, punctuation.
    u"吾輩は猫である。名前はまだ無い。\r\n"
    u"どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所でニャーニャー泣いていた事だ"
    u"けは記憶している。吾輩はここで始めて人間というものを見た。",
    u"メロスは激怒した。必ず、かの邪智暴虐の王を除かなければならぬと決意した。\r\n"
    u"メロスには政治がわからぬ。メロスは、村の牧人である。笛を吹き、羊と遊んで暮して来た。",
    // A business note with half-width katakana, digits and ASCII.
    u"ｶﾌﾞｼｷｶﾞｲｼｬ ﾔﾏﾀﾞｼｮｳｼﾞ御中\r\n"
    u"ご請求金額: ￥12,800-（税込）\r\n"
    u"お振込先: ﾐﾂﾋﾞｼUFJ銀行 ｼﾝｼﾞｭｸ支店 普通 1234567 ﾔﾏﾀﾞ ﾀﾛｳ",
    u"ﾃﾞｰﾀ ｿｰﾄ ﾊﾞｯﾁ ｼｮﾘ ｶﾝﾘｮｳ",
    // The NEC and IBM extensions.
    u"①会議室 ②応接室 ⅰ～ⅹ №12 ㈱髙橋商店 ㍻ ∑ ∮\r\n"
    u"﨑 德 纊 褜 鍈 銈 蓜 俉 炻 昱 棈 鋹 曻 彅 丨 仡 仼 伀 伃",
    // The wave dash family, as CP932 reads it, and full-width forms.
    u"営業時間 9：00～17：00 ∥ 価格 －100円 ￠ ￡ ￢\r\nＡＢＣ　１２３　！？",
    // Mostly ASCII with a little Japanese at the end, and some at the start.
    u"Meeting notes 2026-12-11\r\nAttendees: Tanaka, Suzuki\r\nAction items: 資料作成",
    u"「はい」\r\nOK",
};

std::string bytesIn(const std::u16string& text, TextEncoding encoding) {
    auto bytes = documentBytesFromText(text, encoding);
    EXPECT_TRUE(bytes);
    return bytes ? *bytes : std::string();
}

DocumentReader::Source memory(std::string bytes, std::size_t piece = 1 << 20) {
    return testing_support::trickle(std::move(bytes), piece);
}

constexpr TextEncoding kAll[] = {TextEncoding::Cp932, TextEncoding::Utf8, TextEncoding::Utf8Bom,
                                 TextEncoding::Utf16Le, TextEncoding::Utf16Be};

TEST(TextEncoding, RealTextsAreReadInTheEncodingTheyWereWrittenIn) {
    for (const std::u16string& text : kRealTexts) {
        for (const TextEncoding encoding : kAll) {
            SCOPED_TRACE(std::string(encodingName(encoding)) + ": " +
                         std::string(bytesIn(text, TextEncoding::Utf8)));
            const std::string file = bytesIn(text, encoding);
            auto loaded = readDocumentReplacing(memory(file));
            ASSERT_TRUE(loaded);
            EXPECT_EQ(loaded->encoding, encoding);
            EXPECT_EQ(loaded->text, text);
            EXPECT_EQ(loaded->replaced, 0u);
            // Saved back unchanged, the file is the same, byte for byte.
            EXPECT_EQ(encodeDocument(loaded->text, loaded->encoding).bytes, file);
            // Streaming, in small pieces, reads the same.
            DocumentReader reader(memory(file, 3), 7);
            std::u16string line, streamed;
            for (bool first = true; reader.next(line); first = false) {
                streamed += (first ? u"" : u"\r\n") + line;
            }
            EXPECT_FALSE(reader.error());
            EXPECT_EQ(streamed, text);
            EXPECT_EQ(reader.encoding(), encoding);
        }
    }
}

TEST(TextEncoding, MarksAndAsciiDecideAsExpected) {
    struct Case {
        std::string file;
        TextEncoding encoding;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"plain ascii\r\n", TextEncoding::Cp932, u"plain ascii"},  // the same bytes either way
        {"\xEF\xBB\xBFplain\r\n", TextEncoding::Utf8Bom, u"plain"},
        {"\xEF\xBB\xBF", TextEncoding::Utf8Bom, u""},
        {std::string("\xFF\xFEo\0k\0", 6), TextEncoding::Utf16Le, u"ok"},
        {std::string("\xFE\xFF\0o\0k", 6), TextEncoding::Utf16Be, u"ok"},
        // A lone LF stays in its line, and a CR ends it, in UTF-16 as in bytes.
        {std::string("\xFF\xFE"
                     "a\0\n\0b\0\r\0c\0\r\0\n\0",
                     16),
         TextEncoding::Utf16Le, u"a\nb\r\nc"},
        {"\xE2\x80\x94 dash\r\n", TextEncoding::Utf8, u"\u2014 dash"},
        {"\xF0\x9F\x98\x80", TextEncoding::Utf8, u"😀"},
        {"", TextEncoding::Cp932, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto loaded = readDocumentReplacing(memory(c.file));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->encoding, c.encoding);
        EXPECT_EQ(loaded->text, c.text);
        EXPECT_EQ(loaded->replaced, 0u);
    }
}

TEST(TextEncoding, BadBytesInEveryEncodingAreShownAndNamedByLine) {
    struct Case {
        std::string file;
        TextEncoding encoding;
        std::u16string text;  // as the window shows it
        std::size_t replaced;
    };
    const std::vector<Case> cases = {
        // An invalid sequence, a surrogate written as UTF-8, an overlong form, a cut-off one.
        {"\xEF\xBB\xBFok\r\nb\xFFz\r\n", TextEncoding::Utf8Bom, u"ok\r\nb\uFFFDz", 1},
        {"\xEF\xBB\xBFok\r\n\xED\xA0\x80!\r\n", TextEncoding::Utf8Bom, u"ok\r\n\uFFFD\uFFFD\uFFFD!",
         3},
        {"\xEF\xBB\xBFok\r\n\xC0\xAF\r\n", TextEncoding::Utf8Bom, u"ok\r\n\uFFFD\uFFFD", 2},
        {"\xEF\xBB\xBFok\r\n\xE3\x81", TextEncoding::Utf8Bom, u"ok\r\n\uFFFD", 1},
        // An unpaired surrogate, and an odd byte at the end.
        {std::string("\xFF\xFEo\0k\0\r\0\n\0\x00\xD8x\0", 14), TextEncoding::Utf16Le,
         u"ok\r\n\uFFFDx", 1},
        {std::string("\xFE\xFF\0o\0k\0\r\0\n\0x\x41", 13), TextEncoding::Utf16Be, u"ok\r\nx\uFFFD",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto loaded = readDocumentReplacing(memory(c.file));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->encoding, c.encoding);
        EXPECT_EQ(loaded->text, c.text);
        EXPECT_EQ(loaded->replaced, c.replaced);
        EXPECT_EQ(loaded->firstReplacedLine, 2u);
        // Reading that refuses them stops at the same line, as voxilo-cli does.
        DocumentReader reader(memory(c.file));
        std::u16string line;
        while (reader.next(line)) {
        }
        ASSERT_TRUE(reader.error());
        EXPECT_EQ(*reader.error(), (DocumentError{DocumentError::Kind::InvalidBytes, 2, 0}));
        EXPECT_FALSE(reader.judged());
    }
}

TEST(TextEncoding, StreamingDecidesFromTheFirstLineThatIsNotAscii) {
    // ASCII first, longer than the lookahead: the decision waits for the Japanese.
    const std::string ascii(100, 'a');
    const std::string file = ascii + "\r\n" + ascii + "\r\n\xE6\x97\xA5\xE6\x9C\xAC\r\n";
    DocumentReader reader(memory(file, 5), 16, DocumentReader::BadBytes::Refuse, std::nullopt, 16);
    std::u16string line, text;
    while (reader.next(line)) text += line + u"|";
    EXPECT_FALSE(reader.error());
    EXPECT_EQ(text, std::u16string(100, u'a') + u"|" + std::u16string(100, u'a') + u"|日本|");
    EXPECT_EQ(reader.encoding(), TextEncoding::Utf8);
    EXPECT_TRUE(reader.judged());

    // UTF-8 in the first block, then a byte that is not: refused at its line, judged; the
    // window, which looks at the whole file, reads it as CP932 instead.
    const std::string mixed = "\xE6\x97\xA5\r\n" + ascii + "\r\n\x93\xfa\x96\x7b\r\n";
    DocumentReader streaming(memory(mixed), 16, DocumentReader::BadBytes::Refuse, std::nullopt, 16);
    while (streaming.next(line)) {
    }
    ASSERT_TRUE(streaming.error());
    EXPECT_EQ(*streaming.error(), (DocumentError{DocumentError::Kind::InvalidBytes, 3, 0}));
    EXPECT_EQ(streaming.encoding(), TextEncoding::Utf8);
    EXPECT_TRUE(streaming.judged());
    auto whole = readDocumentReplacing(memory(mixed));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->encoding, TextEncoding::Cp932);
    // However small its buffer, a reader told to look at the whole input does so.
    DocumentReader patient(memory(mixed, 5), 16, DocumentReader::BadBytes::Replace, std::nullopt,
                           DocumentReader::kWholeInput);
    while (patient.next(line)) {
    }
    EXPECT_FALSE(patient.error());
    EXPECT_EQ(patient.encoding(), TextEncoding::Cp932);
    EXPECT_EQ(patient.replaced(), 0u);

    // The bytes looked at end inside a character of the next line: still UTF-8.
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\r\n";
    DocumentReader cut(memory(japanese + japanese, 16), 16, DocumentReader::BadBytes::Refuse,
                       std::nullopt, 16);
    text.clear();
    while (cut.next(line)) text += line + u"|";
    EXPECT_FALSE(cut.error());
    EXPECT_EQ(text, u"日本語|日本語|");
    EXPECT_EQ(cut.encoding(), TextEncoding::Utf8);

    // A given encoding is not judged, and skips only its own mark.
    DocumentReader given(memory("\xEF\xBB\xBFx\r\n"), 1 << 20, DocumentReader::BadBytes::Refuse,
                         TextEncoding::Utf8);
    ASSERT_TRUE(given.next(line));
    EXPECT_EQ(line, u"x");
    EXPECT_EQ(given.encoding(), TextEncoding::Utf8Bom);
    EXPECT_FALSE(given.judged());
    DocumentReader unmarked(memory(std::string("o\0k\0", 4)), 1 << 20,
                            DocumentReader::BadBytes::Refuse, TextEncoding::Utf16Le);
    ASSERT_TRUE(unmarked.next(line));
    EXPECT_EQ(line, u"ok");
    // Another encoding's mark is bytes of the given one: FF is no UTF-8.
    DocumentReader otherMark(memory(std::string("\xFF\xFEo\0k\0", 6)), 1 << 20,
                             DocumentReader::BadBytes::Refuse, TextEncoding::Utf8);
    EXPECT_FALSE(otherMark.next(line));
    ASSERT_TRUE(otherMark.error());
    EXPECT_EQ(otherMark.error()->kind, DocumentError::Kind::InvalidBytes);
}

TEST(TextEncoding, WritesEveryCharacterButALoneSurrogate) {
    const auto lone = [](char16_t unit) { return std::u16string(1, unit); };
    struct Case {
        TextEncoding encoding;
        std::u16string text;
        std::string file;
        std::size_t unwritable, line, column;
    };
    const std::vector<Case> cases = {
        // The wave dash is written as it is outside CP932.
        {TextEncoding::Utf8, u"〜😀\r\nx", "\xE3\x80\x9C\xF0\x9F\x98\x80\r\nx\r\n", 0, 0, 0},
        {TextEncoding::Utf8Bom, u"", "\xEF\xBB\xBF\r\n", 0, 0, 0},
        {TextEncoding::Utf16Le, std::u16string(u"a\r\n") += lone(0xD83D),
         std::string("\xFF\xFE"
                     "a\0\r\0\n\0?\0\r\0\n\0",
                     14),
         1, 2, 1},
        {TextEncoding::Utf16Be, (std::u16string(u"😀") += lone(0xDC00)) += u"b",
         std::string("\xFE\xFF\xD8\x3D\xDE\x00\0?\0b\0\r\0\n", 14), 1, 1, 2},
        {TextEncoding::Utf8, std::u16string(u"\uFFFD") += lone(0xDFFF), "\xEF\xBF\xBD?\r\n", 1, 1,
         2},
        {TextEncoding::Cp932, u"〜\uFFFD", "\x81\x60?\r\n", 1, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(encodingName(c.encoding)));
        const EncodedDocument encoded = encodeDocument(c.text, c.encoding);
        EXPECT_EQ(encoded.bytes, c.file);
        EXPECT_EQ(encoded.unwritable, c.unwritable);
        EXPECT_EQ(encoded.firstLine, c.line);
        EXPECT_EQ(encoded.firstColumn, c.column);
        // The streaming writer stops at the same character.
        DocumentWriter writer(c.encoding);
        const auto bad = writer.write(c.text);
        EXPECT_EQ(bad.has_value(), c.unwritable > 0);
    }
}

TEST(TextEncoding, TellsUtf8FromAsciiAndFromOtherBytes) {
    struct Case {
        std::string bytes;
        bool complete;
        utf8::Kind kind;
    };
    const std::vector<Case> cases = {
        {"", true, utf8::Kind::Ascii},
        {"plain\r\n", true, utf8::Kind::Ascii},
        {"a\xC2\xA9", true, utf8::Kind::Utf8},
        {"\xE6\x97\xA5\xE6\x9C", false, utf8::Kind::Utf8},  // cut off where the bytes end
        {"\xE6\x97\xA5\xE6\x9C", true, utf8::Kind::Other},  // cut off at the end of the file
        {"\xE6\x9C", false, utf8::Kind::Other},             // nothing whole before the cut
        {"\x93\xfa\x96\x7b", true, utf8::Kind::Other},      // CP932
        {"\xC3\xA9\x80", true, utf8::Kind::Other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(utf8::classify(c.bytes, c.complete), c.kind);
    }
}

// Large enough for many batches: every one of them is widened, not only the first.
TEST(TextEncoding, LongCiphertextWrittenInUtf16IsWidenedThroughout) {
    std::u16string text;
    for (int i = 0; i < 3000; ++i) text += kRealTexts[i % 2] + u"\r\n";
    const auto encode = [&](TextEncoding output) {
        std::string cipher;
        EXPECT_FALSE(convertDocument(Direction::Encode, 3, 1,
                                     memory(bytesIn(text, TextEncoding::Cp932)),
                                     [&](std::string_view bytes) {
                                         cipher.append(bytes);
                                         return std::error_code();
                                     },
                                     {std::nullopt, output}));
        return cipher;
    };
    const std::string narrow = encode(TextEncoding::Cp932);
    ASSERT_GT(narrow.size(), 1u << 19);  // a few batches
    std::string wide = "\xFF\xFE";
    for (const char c : narrow) wide += std::string{c, '\0'};
    EXPECT_TRUE(encode(TextEncoding::Utf16Le) == wide);
}

TEST(TextEncoding, UndecodableUtf8IsReplacedOneStretchAtATime) {
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    // The longest start of a sequence that cannot go on is one replacement; a byte that
    // cannot start anything is one of its own.
    const std::vector<Case> cases = {
        {"a\x80\x80z", u"a\uFFFD\uFFFDz"},
        {"\xE3\x81z", u"\uFFFDz"},
        {"\xF0\x9F\x98z", u"\uFFFDz"},
        {"\xF5\x80", u"\uFFFD\uFFFD"},
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xC2\xA9\xE3\x81\x82\xF0\x9F\x98\x80", u"©あ😀"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::u16string out;
        utf8::decodeReplacing(c.bytes, out);
        EXPECT_EQ(out, c.text);
    }
}

TEST(TextEncoding, TheCipherIsTheSameWhateverTheFilesEncoding) {
    const std::u16string text =
        kRealTexts[0] + u"\r\n" + kRealTexts[4] + u"\r\nASCII alone\r\n" + kRealTexts[7];
    std::string expected;
    for (const TextEncoding encoding : kAll) {
        SCOPED_TRACE(std::string(encodingName(encoding)));
        std::string cipher;
        const auto failure = convertDocument(
            Direction::Encode, 7, 2, memory(bytesIn(text, encoding)), [&](std::string_view bytes) {
                cipher.append(bytes);
                return std::error_code();
            });
        EXPECT_FALSE(failure);
        if (expected.empty()) expected = cipher;
        EXPECT_EQ(cipher, expected);

        // Decoded into each encoding, the text comes back as that encoding writes it.
        std::string plain;
        EXPECT_FALSE(convertDocument(Direction::Decode, 7, 2, memory(cipher),
                                     [&](std::string_view bytes) {
                                         plain.append(bytes);
                                         return std::error_code();
                                     },
                                     {std::nullopt, encoding}));
        EXPECT_EQ(plain, bytesIn(text, encoding));
        // Ciphertext itself, written in UTF-16, is widened.
        std::string wide;
        EXPECT_FALSE(convertDocument(Direction::Encode, 7, 2, memory(bytesIn(text, encoding)),
                                     [&](std::string_view bytes) {
                                         wide.append(bytes);
                                         return std::error_code();
                                     },
                                     {std::nullopt, TextEncoding::Utf16Be}));
        auto back = readDocumentReplacing(memory(wide));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->encoding, TextEncoding::Utf16Be);
        EXPECT_EQ(encodeDocument(back->text).bytes, expected);
    }
}

}  // namespace
}  // namespace voxilo
