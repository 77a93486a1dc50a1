#include "core/documents/DocumentFormat.h"

#include <gtest/gtest.h>

#include "support/ByteSource.h"

#include <random>
#include <string>
#include <vector>

namespace voxilo {
namespace {

using document_detail::availableScanKernels;
using document_detail::LineScan;
using document_detail::ScanKernel;
using document_detail::scanLine;

// What a line scan must find, straight from its definition.
LineScan expectedScan(std::string_view bytes) {
    const std::size_t cr = std::min(bytes.find('\r'), bytes.size());
    bool ascii = true;
    for (std::size_t i = 0; i < cr; ++i) ascii &= static_cast<unsigned char>(bytes[i]) < 0x80;
    return {cr, ascii};
}

// Every kernel, the plain one included, on every length up to a few hundred and every
// alignment, with the CR and a byte beyond ASCII before it, after it, or nowhere.
TEST(LineScan, EveryKernelFindsTheBreakAndTellsAsciiOnEveryLengthAndAlignment) {
    std::mt19937 rng(5);
    std::string storage(400 + 32, '\0');
    for (std::size_t len = 0; len <= 300; ++len) {
        for (std::size_t offset = 0; offset < 32; ++offset) {
            char* p = storage.data() + offset;
            for (std::size_t i = 0; i < len; ++i) p[i] = static_cast<char>(' ' + rng() % 90);
            const std::size_t cr = len == 0 ? 0 : rng() % (len + len / 2 + 1);
            const std::size_t high = len == 0 ? 0 : rng() % (len + len / 2 + 1);
            if (cr < len) p[cr] = '\r';
            if (high < len && high != cr) p[high] = static_cast<char>(0x80 + rng() % 128);
            const std::string_view bytes(p, len);
            const LineScan expected = expectedScan(bytes);
            for (ScanKernel kernel : availableScanKernels()) {
                ASSERT_EQ(scanLine(bytes, kernel), expected)
                    << "kernel " << int(kernel) << ", length " << len << ", offset " << offset
                    << ", CR at " << cr << ", high byte at " << high;
            }
        }
    }
}

// A line's bytes arrive in pieces as small as one byte: a byte beyond ASCII in an earlier piece
// than the line's break still makes the line text, and an ASCII line is shown where it lies.
TEST(LineScan, TheReaderTellsAsciiLinesWhateverPiecesTheyArriveIn) {
    // CP932: "あ" is 82 A0; the lines after the first are judged by it.
    const std::string file = "abc\r\n\x82\xa0xyz\r\nplain\r\nxy\x82\xa0\r\n\r\nlast";
    struct Line {
        bool ascii;
        std::string bytes;
        std::u16string text;
    };
    const std::vector<Line> expected = {{true, "abc", u""},   {false, "", u"\u3042xyz"},
                                        {true, "plain", u""}, {false, "", u"xy\u3042"},
                                        {true, "", u""},      {true, "last", u""}};
    for (std::size_t piece = 1; piece <= 8; ++piece) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{16}}) {
            DocumentReader reader(testing_support::trickle(file, piece), chunk);
            std::vector<Line> got;
            std::u16string text;
            std::string_view ascii;
            while (reader.nextView(text, ascii)) {
                got.push_back({reader.lastWasAscii(), std::string(ascii), text});
            }
            EXPECT_FALSE(reader.error());
            EXPECT_EQ(reader.encoding(), TextEncoding::Cp932);
            ASSERT_EQ(got.size(), expected.size()) << "pieces of " << piece << ", chunk " << chunk;
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].ascii, expected[i].ascii)
                    << "line " << i + 1 << ", pieces of " << piece << ", chunk " << chunk;
                EXPECT_EQ(got[i].bytes, expected[i].bytes) << "line " << i + 1;
                EXPECT_TRUE(got[i].text == expected[i].text) << "line " << i + 1;
            }
        }
    }
}

// Everything a reader tells, line by line and at the end.
std::string transcript(DocumentReader& reader) {
    std::string out;
    std::u16string text;
    std::string_view ascii;
    while (reader.nextView(text, ascii)) {
        out += std::to_string(reader.fileLine()) + (reader.lastWasAscii() ? " ascii " : " text ");
        out += reader.lastWasAscii() ? std::string(ascii) : std::string(text.begin(), text.end());
        out += '\n';
    }
    const auto& error = reader.error();
    out += "error " + (error ? std::to_string(int(error->kind)) + "@" + std::to_string(error->line)
                             : std::string("none"));
    out += " encoding " + std::to_string(int(reader.encoding())) + " judged " +
           std::to_string(reader.judged());
    return out;
}

// A source that gives `bytes` in pieces and then fails, when `fails`.
DocumentReader::Source failingAfter(std::string bytes, std::size_t piece, bool fails) {
    return [inner = testing_support::trickle(std::move(bytes), piece), fails](
               char* buffer, std::size_t capacity) mutable -> std::ptrdiff_t {
        const std::ptrdiff_t got = inner(buffer, capacity);
        return got == 0 && fails ? -1 : got;
    };
}

// Reading ahead on a thread of its own changes nothing the reader tells: lines, their numbers
// and kinds, the encoding found, and a read that fails, whatever the pieces, and with lines
// longer than the room kept in front of each buffer.
TEST(DocumentReader, ReadingAheadTellsWhatReadingInTurnTells) {
    const std::string longLine(100000, 'x');
    const std::string documents[] = {
        "abc\r\n\x82\xa0xyz\r\nplain\r\n\r\nlast",
        "\r\n\r\nfirst\rsecond\n\r\n" + longLine + "\r\nend\r\n",
        "ascii\r\n\xe3\x81\x82\r\n" + longLine + "\r\n\xe3\x81\x82",  // judged UTF-8
        "\xff\xfe"
        "a\0\r\0\n\0b\0",      // UTF-16 LE
        "ok\r\nbad \x82\r\n",  // not CP932
    };
    for (const std::string& document : documents) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{70000}}) {
            for (std::size_t chunk : {std::size_t{3}, std::size_t{4096}}) {
                // Large documents in small pieces are slow, and say no more.
                if (document.size() > 1000 && (piece < 100 || chunk < 100)) continue;
                for (bool fails : {false, true}) {
                    DocumentReader inTurn(failingAfter(document, piece, fails), chunk);
                    DocumentReader ahead(failingAfter(document, piece, fails), chunk);
                    ahead.readAhead();
                    EXPECT_EQ(transcript(ahead), transcript(inTurn))
                        << "document of " << document.size() << " bytes, pieces of " << piece
                        << ", chunk " << chunk << (fails ? ", failing at the end" : "");
                }
            }
        }
    }
}

}  // namespace
}  // namespace voxilo
