#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/documents/TextEncoding.h"
#include "core/platform/Expected.h"

namespace voxilo {

// Document files are text in CP932, or in UTF-8 or UTF-16 (TextEncoding.h). Reading, a line ends at
// CR and an LF right after that CR belongs to the break (an LF anywhere else is part of its line);
// a last line without a break is still a line, and a break at the very end adds no empty line.
// Empty lines before the first non-empty one are not part of the document. Writing, every line gets
// CR LF, the last one included, so an empty document is written as a single CR LF.

namespace document_detail {

// The ways of looking for a line's end: a byte at a time, sixteen (SSE2, which every x86-64
// processor has), thirty-two (AVX2) or sixty-four (AVX-512) bytes at a time, where the processor
// has them.
enum class ScanKernel : std::uint8_t { Plain, Sse2, Avx2, Avx512 };
// The kernels this build can run on this processor, Plain first and the fastest last.
const std::vector<ScanKernel>& availableScanKernels();
ScanKernel fastestScanKernel() noexcept;

// Where the first CR in `bytes` is (their size when there is none), and whether every byte
// before it is ASCII: one pass that does both.
struct LineScan {
    std::size_t cr = 0;
    bool ascii = true;
    friend bool operator==(const LineScan&, const LineScan&) = default;
};
LineScan scanLine(std::string_view bytes, ScanKernel kernel) noexcept;

}  // namespace document_detail

// Bytes to read into: unlike a string's, new room is not zeroed first, since reading fills it,
// and only the pages that reading reaches are ever touched.
class ReadBuffer {
public:
    explicit ReadBuffer(std::size_t size = 0) { resize(size); }
    ReadBuffer(ReadBuffer&& other) noexcept { swap(*this, other); }
    ReadBuffer& operator=(ReadBuffer&& other) noexcept {
        ReadBuffer taken(std::move(other));
        swap(*this, taken);
        return *this;
    }
    char* data() noexcept { return bytes_.get(); }
    const char* data() const noexcept { return bytes_.get(); }
    std::size_t size() const noexcept { return size_; }
    // Keeps the bytes held; the room after them is not set.
    void resize(std::size_t size);
    friend void swap(ReadBuffer& a, ReadBuffer& b) noexcept {
        std::swap(a.bytes_, b.bytes_);
        std::swap(a.size_, b.size_);
        std::swap(a.capacity_, b.capacity_);
    }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

struct DocumentError {
    enum class Kind {
        ReadFailed,           // the source reported an error
        InvalidBytes,         // bytes that are not text in the document's encoding
        UnwritableCharacter,  // a character the encoding written cannot hold
    };
    Kind kind = Kind::ReadFailed;
    std::size_t line = 0;    // 1-based: the file's line when reading, the text's when writing
    char16_t character = 0;  // the character, for UnwritableCharacter
    friend bool operator==(const DocumentError&, const DocumentError&) = default;
};

// Reads a document a line at a time from a byte source, so a file of any size is read in
// memory proportional to its longest line.
class DocumentReader {
public:
    // Fills `buffer` with up to `capacity` bytes; returns how many, 0 at the end, -1 on error.
    using Source = std::function<std::ptrdiff_t(char* buffer, std::size_t capacity)>;
    // What bytes that are not text in the document's encoding do: stop the reading with
    // InvalidBytes, or read as U+FFFD each, as the window shows a damaged file.
    enum class BadBytes { Refuse, Replace };
    // Reads until the whole input has been seen before deciding between UTF-8 and CP932.
    static constexpr std::size_t kWholeInput = static_cast<std::size_t>(-1);

    // `encoding` is the encoding to read in; without one it is found from the bytes. A
    // byte-order mark decides (EF BB BF UTF-8, FF FE UTF-16 LE, FE FF UTF-16 BE), and a given
    // encoding skips its own mark. Otherwise the document is CP932 unless the bytes from its
    // first line that is not ASCII on, `lookahead` of them at most, are well-formed UTF-8 (a
    // sequence cut off at the end of those bytes aside). Until such a line, every line is
    // ASCII, which reads the same in both.
    explicit DocumentReader(Source source, std::size_t chunkSize = 1 << 20,
                            BadBytes badBytes = BadBytes::Refuse,
                            std::optional<TextEncoding> encoding = std::nullopt,
                            std::size_t lookahead = 1 << 20);
    ~DocumentReader();
    DocumentReader(const DocumentReader&) = delete;
    DocumentReader& operator=(const DocumentReader&) = delete;

    // From the first line on, a thread of the reader's own calls the source, a few chunks
    // ahead, and hands over the buffers it filled: the lines stay where they were read. Only
    // when the source's first read filled the buffer, as a file's does.
    void readAhead() noexcept { wantReadAhead_ = true; }

    // The byte-order mark that starts `head` and decides its encoding, as reading takes it:
    // any mark when no encoding is given, else only the given encoding's own (UTF-8's for UTF-8
    // with or without one).
    static std::optional<TextEncoding> markOf(std::string_view head,
                                              std::optional<TextEncoding> given) noexcept;

    // Reads the source as the rest of a document from the start of one of its lines on: the
    // `lines` lines before it were ASCII (so nothing was found of the encoding from them), some
    // of them not empty when `started`, and the document began with a UTF-8 byte-order mark
    // when `utf8Marked`. Call before the first line.
    void resumeAfter(std::size_t lines, bool started, bool utf8Marked) noexcept;

    // Replaces `line` with the next line of the document. Returns false at the end of the
    // document or on failure; error() tells which.
    bool next(std::u16string& line);
    // The same, appending the line to `text`; or, when `ascii` is given and the line's bytes
    // are ASCII (which are then its text too), appending them to `*ascii` instead, which
    // lastWasAscii() then tells.
    bool appendNext(std::u16string& text, std::string* ascii = nullptr);
    // The same without a copy: a line of ASCII bytes is left in the reader's buffer, and
    // `ascii` shows it until the next call; any other line replaces `text`.
    bool nextView(std::u16string& text, std::string_view& ascii);
    bool lastWasAscii() const noexcept { return lastWasAscii_; }

    // The encoding the document is read in so far: the one given, or found; CP932 while
    // nothing has been found. A UTF-8 file with a mark is Utf8Bom.
    TextEncoding encoding() const noexcept { return encoding_; }
    // True when the encoding was judged from the bytes, neither given nor marked: a later byte
    // can still contradict it.
    bool judged() const noexcept { return judged_; }

    const std::optional<DocumentError>& error() const noexcept { return error_; }
    // The file's line number of the line last returned, or of the failure.
    std::size_t fileLine() const noexcept { return fileLine_; }
    // With BadBytes::Replace: how many stretches of bad bytes were replaced, and the line of the
    // document (counted as returned, from 1) where the first one was; 0 when there was none.
    std::size_t replaced() const noexcept { return replaced_; }
    std::size_t firstReplacedLine() const noexcept { return firstReplacedLine_; }

private:
    enum class Decoding { Undecided, Cp932, Utf8 };

    bool readLine(std::u16string& text, std::string_view* ascii);
    bool refill();
    bool begin();
    void readUtf16(bool bigEndian);

    // The first read asks for at most this much: a small document takes no more memory.
    static constexpr std::size_t kFirstRead = 1 << 16;

    Source source_;
    std::size_t chunkSize_;
    ReadBuffer buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t scan_ = 0;   // where the search for the next CR goes on
    bool highSeen_ = false;  // a byte from begin_ to scan_ is not ASCII
    bool atEnd_ = false;
    bool started_ = false;  // a non-empty line has been returned
    BadBytes badBytes_;
    std::optional<TextEncoding> given_;
    std::size_t lookahead_;
    bool begun_ = false;
    Decoding decoding_ = Decoding::Undecided;
    TextEncoding encoding_ = TextEncoding::Cp932;
    bool judged_ = false;
    bool lastWasAscii_ = false;
    std::size_t fileLine_ = 0;
    std::size_t linesReturned_ = 0;
    std::size_t replaced_ = 0;
    std::size_t firstReplacedLine_ = 0;
    std::optional<DocumentError> error_;
    bool wantReadAhead_ = false;
    bool lastReadFull_ = false;  // the source gave all the bytes it was asked for
    class ReadAhead;
    std::unique_ptr<ReadAhead> readAhead_;  // last: its thread ends before the rest goes
};

// Turns a document's text into the bytes of its file, a stretch at a time. Feed it the text in
// order, call finish() once at the end, and take bytes() away as they grow. The bytes start
// with the encoding's byte-order mark.
class DocumentWriter {
public:
    explicit DocumentWriter(TextEncoding encoding = TextEncoding::Cp932);

    // Returns the index within `text` of a character that the encoding cannot hold; what came
    // before it has been written. CP932 writes the wave dash and its kin as Japanese Windows
    // does (cp932::Mapping::Document); UTF-8 and UTF-16 write every character as it is, and
    // refuse only a lone surrogate.
    [[nodiscard]] std::optional<std::size_t> write(std::u16string_view text);
    // The same for a line of text that has no CR, after a line break when `breakBefore`: what
    // write gives for the break and the line together, with the index within `line`. (Inline,
    // so that the optional is made where it is used: GCC returns one through memory, and its
    // caller then waits for the store.)
    [[nodiscard]] std::optional<std::size_t> writeLine(std::u16string_view line, bool breakBefore) {
        const std::size_t written = writeLineUpTo(line, breakBefore);
        if (written == line.size()) return std::nullopt;
        return written;
    }
    // As writeLine: how many code units of `line` it wrote, all of them or those before the
    // first the encoding cannot hold.
    std::size_t writeLineUpTo(std::u16string_view line, bool breakBefore);
    // Bytes already in file form for an ASCII-compatible encoding (ASCII text with its CR LF
    // breaks): appended as they are, or widened for UTF-16.
    void writeAscii(std::string_view ascii);
    void finish();
    // How many bytes the writer started with: its byte-order mark.
    std::size_t markSize() const noexcept { return byteOrderMark(encoding_).size(); }
    TextEncoding encoding() const noexcept { return encoding_; }
    // ASCII is written as it stands (not UTF-16).
    bool asciiAsIs() const noexcept { return !isUtf16(encoding_); }

    std::string& bytes() noexcept { return bytes_; }
    // The 1-based line of the text that the writer has reached.
    std::size_t line() const noexcept { return line_; }

private:
    std::size_t encodePart(std::u16string_view text);  // as writeLineUpTo
    void appendBreak();

    TextEncoding encoding_;
    std::string bytes_;
    bool skipLineFeed_ = false;  // the last stretch ended with a CR whose LF may follow
    std::size_t line_ = 1;
};

// The text a pane holds after loading the document that `source` gives.
Expected<std::u16string, DocumentError> readDocument(DocumentReader::Source source,
                                                     std::size_t chunkSize = 1 << 20);

// A document as the window loads it: its encoding found from the whole file, and bytes that
// are not text in it read as U+FFFD.
struct LoadedDocument {
    std::u16string text;
    TextEncoding encoding = TextEncoding::Cp932;
    std::size_t replaced = 0;           // stretches of bad bytes shown as U+FFFD
    std::size_t firstReplacedLine = 0;  // the document's line of the first; 0 for none
};
Expected<LoadedDocument, DocumentError> readDocumentReplacing(DocumentReader::Source source);

// A pane's text as the bytes of its file in `encoding`, each character it cannot hold written
// as "?": for CP932 a character the converter would only best-fit, a lone surrogate, U+FFFD;
// for UTF-8 and UTF-16 a lone surrogate.
struct EncodedDocument {
    std::string bytes;
    std::size_t unwritable = 0;   // how many characters became "?"
    std::size_t firstLine = 0;    // where the first of them is: its line, from 1 ...
    std::size_t firstColumn = 0;  // ... and its character in that line, from 1
};
EncodedDocument encodeDocument(std::u16string_view text,
                               TextEncoding encoding = TextEncoding::Cp932);

// The text a pane holds after loading a file of these bytes.
Expected<std::u16string, DocumentError> documentTextFromBytes(std::string_view bytes);

// The bytes a pane's text is saved as.
Expected<std::string, DocumentError> documentBytesFromText(
    std::u16string_view text, TextEncoding encoding = TextEncoding::Cp932);

}  // namespace voxilo
