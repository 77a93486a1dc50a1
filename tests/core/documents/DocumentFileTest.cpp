#include "core/documents/DocumentFile.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "core/documents/DocumentFormat.h"
#include "core/documents/DocumentPaths.h"
#include "support/TempDir.h"

namespace voxilo {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// What the upper pane holds after opening a file of these bytes, and what saving it writes.
TEST(DocumentFile, OpensAndSavesAsThePanesDo) {
    TempDir dir;
    struct Case {
        const char* what;
        std::string file;
        std::u16string text;
        std::string saved;  // what saving that text writes
    };
    const std::vector<Case> cases = {
        {"empty file", "", u"", "\r\n"},
        {"leading empty lines", "\r\n\r\nx\r\n", u"x", "x\r\n"},
        {"only empty lines", "\r\n\r\n", u"", "\r\n"},
        {"LF alone stays in its line", "a\nb\n", u"a\nb\n", "a\nb\n\r\n"},
        {"lone CR ends a line", "a\rb", u"a\r\nb", "a\r\nb\r\n"},
        {"final empty line", "a\r\n\r\n", u"a\r\n", "a\r\n\r\n"},
        // Second bytes of 0x5C (ソ, 表), the fullwidth tilde and a circled digit, half-width kana.
        {"Japanese", "\x83\x5c\x95\x5c\x81\x60\x87\x40\r\n\xb1\xb2\xb3 \x8a\xbf\x8e\x9a\r\n",
         u"ソ表～①\r\nｱｲｳ 漢字",
         "\x83\x5c\x95\x5c\x81\x60\x87\x40\r\n\xb1\xb2\xb3 \x8a\xbf\x8e\x9a\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir / "doc.txt";
        writeFile(path, c.file);
        auto loaded = loadDocumentFile(path);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->text, c.text);
        EXPECT_EQ(loaded->replaced, 0u);

        const EncodedDocument encoded = encodeDocument(loaded->text);
        EXPECT_EQ(encoded.unwritable, 0u);
        EXPECT_FALSE(saveDocumentFile(path, encoded.bytes));
        EXPECT_EQ(readFile(path), c.saved);
        EXPECT_EQ(dir.entries(), 1u);  // nothing left beside it
    }
}

// A Japanese name reaches the system as it is, and so does the reason a save fails.
TEST(DocumentFile, SavesUnderJapaneseNamesAndSaysWhyASaveFails) {
    TempDir dir;
    const std::filesystem::path named = dir.path() / std::filesystem::path(u"暗号 文書①.txt");
    ASSERT_FALSE(saveDocumentFile(named, "x\r\n"));
    EXPECT_TRUE(std::filesystem::is_regular_file(named));
    EXPECT_EQ(dir.entries(), 1u);
    auto loaded = loadDocumentFile(named);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->text, u"x");

    const std::error_code missing = saveDocumentFile(dir / "no folder" / "x.txt", "x\r\n");
    ASSERT_TRUE(missing);
    EXPECT_EQ(fileErrorText(missing), "ファイルまたはフォルダーが見つかりません。");
    EXPECT_EQ(fileErrorText(loadDocumentFile(dir / "none.txt").error()),
              "ファイルまたはフォルダーが見つかりません。");
}

TEST(DocumentFile, OpensDamagedBytesAsReplacementCharacters) {
    TempDir dir;
    struct Case {
        std::string file;
        std::u16string text;
        std::size_t replaced;
        std::size_t firstLine;  // the line of the pane's text
    };
    const std::vector<Case> cases = {
        {"ok\r\n\x81", u"ok\r\n\uFFFD", 1, 2},                     // a lead byte cut off by the end
        {"\r\na\x81\r\nb\x81\x20", u"a\uFFFD\r\nb\uFFFD ", 2, 1},  // ASCII after it stays
        {"\x82\xa0\x81", u"あ\uFFFD", 1, 1},
        // A lead byte whose pair is no character: ASCII after it stays its own character, also
        // the letters a trail byte may be, and the pair of two non-ASCII bytes is one mark.
        {"x\x85"
         "Ay\x85\x40z\x85~",
         u"x\uFFFDAy\uFFFD@z\uFFFD~", 3, 1},
        {"\x85\x82\xa0", u"\uFFFD\uFFFD", 2, 1},
    };
    for (const auto& c : cases) {
        writeFile(dir / "bad.txt", c.file);
        auto loaded = loadDocumentFile(dir / "bad.txt");
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->text, c.text);
        EXPECT_EQ(loaded->replaced, c.replaced);
        EXPECT_EQ(loaded->firstReplacedLine, c.firstLine);
    }
    // The command line's reader stays strict about the same bytes.
    EXPECT_FALSE(documentTextFromBytes("ok\r\n\x81"));
}

TEST(DocumentFile, MarksCharactersCp932CannotHold) {
    struct Case {
        std::u16string text;
        std::string bytes;
        std::size_t count, line, column;
    };
    const std::vector<Case> cases = {
        {u"あ\r\nｱ", "\x82\xa0\r\n\xb1\r\n", 0, 0, 0},
        {u"ab\r\ncd\u00e9\U0001F600", "ab\r\ncd??\r\n", 2, 2, 3},  // é, an emoji (a pair)
        {u"\U00020BB7野家", "?\x96\xec\x89\xc6\r\n", 1, 1, 1},     // 𠮷 outside the BMP
        {std::u16string(u"x\xD800y"), "x?y\r\n", 1, 1, 2},         // a lone surrogate
        {u"\r\n\uFFFD", "\r\n?\r\n", 1, 2, 1},                     // from a damaged file
        // On several lines, the first and the last among them: all are counted, the first
        // one named.
        {u"\u00e9a\r\nok\r\nb\u00e9\u00e9", "?a\r\nok\r\nb??\r\n", 3, 1, 1},
        {u"ok\r\n\r\nx\U0001F600\r\n\u00e9", "ok\r\n\r\nx?\r\n?\r\n", 2, 3, 2},
        {u"a\u301c\u00a5", "a\x81\x60?\r\n", 1, 1, 3},  // WAVE DASH as Windows writes it; YEN
    };
    for (const auto& c : cases) {
        const EncodedDocument encoded = encodeDocument(c.text);
        EXPECT_EQ(encoded.bytes, c.bytes);
        EXPECT_EQ(encoded.unwritable, c.count);
        EXPECT_EQ(encoded.firstLine, c.line);
        EXPECT_EQ(encoded.firstColumn, c.column);
    }
}

TEST(DocumentFile, NamesThePartsOfAPath) {
    struct Case {
        std::u16string path;
        char16_t separator;
        std::u16string name, folder;
    };
    const std::vector<Case> cases = {
        {u"C:\\docs\\memo.txt", u'\\', u"memo.txt", u"C:\\docs"},
        {u"/home/ann/memo.txt", u'/', u"memo.txt", u"/home/ann"},
        {u"/memo.txt", u'/', u"memo.txt", u""},
        {u"memo.txt", u'/', u"", u""},
        {u"", u'\\', u"", u""},
        {u"C:\\docs\\", u'\\', u"", u"C:\\docs"},
        {u"/home/ann/memo.txt", u'\\', u"", u""},  // the other platform's separator is a character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileNamePart(c.path, c.separator), c.name);
        EXPECT_EQ(folderPart(c.path, c.separator), c.folder);
    }
}

TEST(DocumentFile, ReportsFilesThatCannotBeReadOrWritten) {
    TempDir dir;
    auto missing = loadDocumentFile(dir / "missing.txt");
    ASSERT_FALSE(missing);
    EXPECT_EQ(fileErrorText(missing.error()), "ファイルまたはフォルダーが見つかりません。");
    auto folder = loadDocumentFile(dir.path());
    ASSERT_FALSE(folder);
    EXPECT_EQ(fileErrorText(folder.error()), "フォルダーはファイルとして開けません。");

    EXPECT_TRUE(saveDocumentFile(dir / "no folder" / "x.txt", "x\r\n"));
    EXPECT_TRUE(saveDocumentFile(dir.path(), "x\r\n"));
    EXPECT_TRUE(saveDocumentFile({}, "x\r\n"));
    EXPECT_EQ(dir.entries(), 0u);
}

#ifndef _WIN32
// A named pipe with nobody at its other end would block the reader, or the writer, for good: it
// is refused unread and unwritten, and so is a device; saving onto a folder is refused as
// opening it is. The reason reads as Open gives it, before the save failure's own words.
TEST(DocumentFile, RefusesWhatIsNotARegularFile) {
    TempDir dir;
    const auto pipe = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string notAFile = "通常のファイルではありません (パイプやデバイスは開けません)。";
    ::alarm(20);  // a read or write that waits ends the suite rather than hanging it
    for (const std::filesystem::path& path : {pipe, std::filesystem::path("/dev/zero")}) {
        auto loaded = loadDocumentFile(path);
        ASSERT_FALSE(loaded) << path;
        EXPECT_EQ(loaded.error(), FileRefusal::NotARegularFile);
        EXPECT_EQ(fileErrorText(loaded.error()), notAFile);
    }
    for (const std::filesystem::path& path : {pipe, std::filesystem::path("/dev/null")}) {
        const std::error_code saved = saveDocumentFile(path, "x\r\n");
        EXPECT_EQ(saved, FileRefusal::NotARegularFile) << path;
        EXPECT_EQ(fileErrorText(saved), notAFile);
    }
    ::alarm(0);
    const std::error_code folder = saveDocumentFile(dir.path(), "x\r\n");
    EXPECT_EQ(folder, std::errc::is_a_directory);
    EXPECT_EQ(fileErrorText(folder), "フォルダーはファイルとして開けません。");
    EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
    EXPECT_EQ(dir.entries(), 1u);
}
#endif

// Each error a file can meet has its own words, the same on every system; a full disk says so.
TEST(DocumentFile, NamesEachErrorInItsOwnWords) {
    struct Case {
        std::errc error;
        std::string text;
    };
    const std::vector<Case> cases = {
        {std::errc::no_such_file_or_directory, "ファイルまたはフォルダーが見つかりません。"},
        {std::errc::permission_denied, "アクセスが拒否されました。"},
        {std::errc::operation_not_permitted, "アクセスが拒否されました。"},
        {std::errc::read_only_file_system, "書き込みが禁止されたドライブです。"},
        {std::errc::is_a_directory, "フォルダーはファイルとして開けません。"},
        {std::errc::not_a_directory, "パスの途中にフォルダーでないものがあります。"},
        {std::errc::no_space_on_device, "ディスクの空き領域が足りません。"},
        {std::errc::file_too_large, "ファイルが大きすぎます。"},
        {std::errc::filename_too_long, "ファイル名が長すぎます。"},
        {std::errc::too_many_symbolic_link_levels, "リンクの参照が多すぎます。"},
        {std::errc::device_or_resource_busy, "ファイルは他のプログラムが使用中です。"},
        {std::errc::text_file_busy, "ファイルは他のプログラムが使用中です。"},
        {std::errc::too_many_files_open, "開いているファイルが多すぎます。"},
        {std::errc::too_many_files_open_in_system, "開いているファイルが多すぎます。"},
        {std::errc::not_enough_memory, "メモリが足りません。"},
        {std::errc::io_error, "デバイスの入出力エラーです。"},
        {std::errc::connection_reset, "ファイルの読み書きでエラーが発生しました (エラー番号 " +
                                          std::to_string(ECONNRESET) + ")。"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileErrorText(std::make_error_code(c.error)), c.text)
            << std::make_error_code(c.error).message();
    }
#ifdef EDQUOT
    EXPECT_EQ(fileErrorText({EDQUOT, std::generic_category()}),
              "ディスクの使用量の上限を超えています。");
#endif
}

// The windows speak Japanese: no error of the system comes out in its English words.
TEST(DocumentFile, NamesEveryErrorInJapanese) {
    for (int code = 1; code < 140; ++code) {
        const std::string text = fileErrorText({code, std::generic_category()});
        EXPECT_EQ(text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
                  std::string::npos)
            << code << ": " << text;
    }
}

}  // namespace
}  // namespace voxilo
