#include "core/documents/DocumentFormat.h"

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "core/platform/Codepage.h"
#include "core/platform/Unicode.h"

namespace voxilo {

namespace document_detail {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VOXILO_HAS_AVX2_SCAN 1
namespace {

// Thirty-two bytes a step; the bytes after the last whole step go the plain way.
[[gnu::target("avx2")]] LineScan avx2Scan(const unsigned char* p, std::size_t n, std::size_t& i,
                                          unsigned& high, bool& found) {
    const __m256i cr = _mm256_set1_epi8('\r');
    __m256i seen = _mm256_setzero_si256();
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        const auto crs = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr)));
        if (crs != 0) {
            const unsigned at = static_cast<unsigned>(std::countr_zero(crs));
            const unsigned before = at == 0 ? 0u : (~0u >> (32 - at));
            const unsigned tops = static_cast<unsigned>(_mm256_movemask_epi8(seen)) |
                                  (static_cast<unsigned>(_mm256_movemask_epi8(v)) & before);
            found = true;
            return {i + at, tops == 0};
        }
        seen = _mm256_or_si256(seen, v);
    }
    high = static_cast<unsigned>(_mm256_movemask_epi8(seen));
    return {};
}

bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// Sixty-four bytes a step, the last step masked to the bytes there are, which never reads
// beyond them.
[[gnu::target("avx512f,avx512bw")]] LineScan avx512Scan(const unsigned char* p, std::size_t n) {
    const __m512i cr = _mm512_set1_epi8('\r');
    std::uint64_t high = 0;  // the top bits of the bytes passed so far
    for (std::size_t i = 0; i < n; i += 64) {
        const __m512i v = n - i >= 64 ? _mm512_loadu_si512(p + i)
                                      : _mm512_maskz_loadu_epi8((std::uint64_t{1} << (n - i)) - 1,
                                                                p + i);
        const std::uint64_t crs = _mm512_cmpeq_epi8_mask(v, cr);
        const std::uint64_t tops = _mm512_movepi8_mask(v);
        if (crs != 0) {
            const auto at = static_cast<unsigned>(std::countr_zero(crs));
            const std::uint64_t before = (std::uint64_t{1} << at) - 1;
            return {i + at, (high | (tops & before)) == 0};
        }
        high |= tops;
    }
    return {n, high == 0};
}

bool processorHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

}  // namespace
#endif

const std::vector<ScanKernel>& availableScanKernels() {
    static const std::vector<ScanKernel> kernels = [] {
        std::vector<ScanKernel> found{ScanKernel::Plain};
#if defined(__SSE2__)
        found.push_back(ScanKernel::Sse2);
#endif
#if defined(VOXILO_HAS_AVX2_SCAN)
        if (processorHasAvx2()) found.push_back(ScanKernel::Avx2);
        if (processorHasAvx512()) found.push_back(ScanKernel::Avx512);
#endif
        return found;
    }();
    return kernels;
}

ScanKernel fastestScanKernel() noexcept {
    static const ScanKernel fastest = availableScanKernels().back();
    return fastest;
}

LineScan scanLine(std::string_view bytes, ScanKernel kernel) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    unsigned high = 0;  // the top bits of the bytes passed so far
#if defined(VOXILO_HAS_AVX2_SCAN)
    if (kernel == ScanKernel::Avx512) return avx512Scan(p, n);
    if (kernel == ScanKernel::Avx2) {
        bool found = false;
        const LineScan scan = avx2Scan(p, n, i, high, found);
        if (found) return scan;
    }
#endif
#if defined(__SSE2__)
    if (kernel != ScanKernel::Plain) {  // and what AVX2 left
        const __m128i cr = _mm_set1_epi8('\r');
        __m128i seen = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)));
            if (crs != 0) {
                const unsigned before = (1u << std::countr_zero(crs)) - 1;
                const unsigned tops = high | static_cast<unsigned>(_mm_movemask_epi8(seen)) |
                                      (static_cast<unsigned>(_mm_movemask_epi8(v)) & before);
                return {i + static_cast<std::size_t>(std::countr_zero(crs)), tops == 0};
            }
            seen = _mm_or_si128(seen, v);
        }
        high |= static_cast<unsigned>(_mm_movemask_epi8(seen));
    }
#else
    (void)kernel;
#endif
    for (; i < n; ++i) {
        if (p[i] == '\r') break;
        high |= p[i] & 0x80u;
    }
    return {i, high == 0};
}

namespace {
const ScanKernel kScanKernel = fastestScanKernel();
}

}  // namespace document_detail

void ReadBuffer::resize(std::size_t size) {
    if (size > capacity_) {
        auto grown = std::make_unique_for_overwrite<char[]>(size);
        if (size_ > 0) std::memcpy(grown.get(), bytes_.get(), size_);
        bytes_ = std::move(grown);
        capacity_ = size;
    }
    size_ = size;
}

DocumentReader::DocumentReader(Source source, std::size_t chunkSize, BadBytes badBytes,
                               std::optional<TextEncoding> encoding, std::size_t lookahead)
    : source_(std::move(source)),
      chunkSize_(chunkSize > 0 ? chunkSize : 1),
      buffer_(std::min(chunkSize_, kFirstRead)),
      badBytes_(badBytes),
      given_(encoding),
      lookahead_(lookahead > 0 ? lookahead : 1) {}

// Calls the source on a thread of its own into buffers that go round between it and the
// reader. Each buffer keeps room in front of its bytes, where the reader puts the start of a
// line that the buffer before it cut off: the line then lies in one piece without moving the
// rest.
class DocumentReader::ReadAhead {
public:
    static constexpr std::size_t kHeadroom = 1 << 16;
    static constexpr std::size_t kAhead = 2;  // filled buffers waiting at most

    struct Chunk {
        ReadBuffer buffer;  // the bytes from kHeadroom on
        std::ptrdiff_t got = 0;
    };

    ReadAhead(Source source, std::size_t capacity)
        : source_(std::move(source)), capacity_(capacity), thread_([this] { run(); }) {}
    ~ReadAhead() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    Chunk next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !full_.empty(); });
        Chunk chunk = std::move(full_.front());
        full_.pop_front();
        changed_.notify_all();
        return chunk;
    }
    void giveBack(ReadBuffer buffer) {
        std::lock_guard lock(mutex_);
        spare_.push_back(std::move(buffer));
    }

private:
    void run() {
        for (;;) {
            ReadBuffer buffer;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || full_.size() < kAhead; });
                if (stop_) return;
                if (!spare_.empty()) {
                    buffer = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            if (buffer.size() < kHeadroom + capacity_) buffer.resize(kHeadroom + capacity_);
            const std::ptrdiff_t got = source_(buffer.data() + kHeadroom, capacity_);
            {
                std::lock_guard lock(mutex_);
                full_.push_back({std::move(buffer), got});
            }
            changed_.notify_all();
            if (got <= 0) return;  // the end, or the source's error: nothing more to read
        }
    }

    Source source_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> full_;
    std::vector<ReadBuffer> spare_;
    bool stop_ = false;
    std::thread thread_;
};

DocumentReader::~DocumentReader() = default;

namespace {

// The source of a UTF-16 document as UTF-8, starting with the bytes already read (`first`).
class Utf16Source {
public:
    Utf16Source(DocumentReader::Source inner, bool bigEndian, std::string first, bool innerEnded)
        : state_(
              std::make_shared<State>(std::move(inner), bigEndian, std::move(first), innerEnded)) {}

    std::ptrdiff_t operator()(char* buffer, std::size_t capacity) {
        State& s = *state_;
        while (s.position == s.ready.size() && !s.ended) {
            s.ready.clear();
            s.position = 0;
            if (!s.first.empty()) {
                s.decoder.feed(s.first, false, s.ready);
                s.first.clear();
                continue;
            }
            std::ptrdiff_t got = 0;
            if (!s.innerEnded) {
                s.raw.resize(capacity > 2 ? capacity : 2);
                got = s.inner(s.raw.data(), s.raw.size());
                if (got < 0) return -1;
            }
            if (got == 0) {
                s.ended = true;
                s.decoder.feed({}, true, s.ready);
            } else {
                s.decoder.feed(std::string_view(s.raw.data(), static_cast<std::size_t>(got)), false,
                               s.ready);
            }
        }
        const std::size_t n = std::min(capacity, s.ready.size() - s.position);
        std::memcpy(buffer, s.ready.data() + s.position, n);
        s.position += n;
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    struct State {
        State(DocumentReader::Source in, bool bigEndian, std::string bytes, bool done)
            : inner(std::move(in)), decoder(bigEndian), first(std::move(bytes)), innerEnded(done) {}
        DocumentReader::Source inner;
        utf16::ToUtf8 decoder;
        std::string first;
        bool innerEnded;
        std::string raw;
        std::string ready;
        std::size_t position = 0;
        bool ended = false;
    };
    std::shared_ptr<State> state_;
};

}  // namespace

// UTF-16 is read as the UTF-8 it turns into, from the bytes after the mark on.
void DocumentReader::readUtf16(bool bigEndian) {
    encoding_ = bigEndian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
    decoding_ = Decoding::Utf8;
    source_ = Utf16Source(std::move(source_), bigEndian,
                          std::string(buffer_.data() + begin_, end_ - begin_), atEnd_);
    begin_ = end_ = scan_ = 0;
    highSeen_ = false;
    atEnd_ = false;
}

// Looks at the start of the input for a byte-order mark.
std::optional<TextEncoding> DocumentReader::markOf(std::string_view head,
                                                   std::optional<TextEncoding> given) noexcept {
    const auto marked = [&](TextEncoding encoding) {
        const std::string_view mark = byteOrderMark(encoding);
        return head.substr(0, mark.size()) == mark &&
               (!given || given == encoding ||
                (encoding == TextEncoding::Utf8Bom && given == TextEncoding::Utf8));
    };
    for (TextEncoding encoding :
         {TextEncoding::Utf8Bom, TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
        if (marked(encoding)) return encoding;
    }
    return std::nullopt;
}

bool DocumentReader::begin() {
    begun_ = true;
    while (!atEnd_ && end_ - begin_ < 3) {
        if (!refill()) return false;
    }
    const std::string_view head(buffer_.data() + begin_, end_ - begin_);
    const TextEncoding given = given_.value_or(TextEncoding::Cp932);
    const std::optional<TextEncoding> mark = markOf(head, given_);
    if (mark) {
        begin_ += byteOrderMark(*mark).size();
        scan_ = begin_;
    }
    if (mark == TextEncoding::Utf8Bom) {
        encoding_ = TextEncoding::Utf8Bom;
        decoding_ = Decoding::Utf8;
    } else if (mark) {
        readUtf16(*mark == TextEncoding::Utf16Be);
    } else if (given_ && isUtf16(given)) {
        readUtf16(given == TextEncoding::Utf16Be);
    } else if (given_ && given != TextEncoding::Cp932) {
        encoding_ = TextEncoding::Utf8;
        decoding_ = Decoding::Utf8;
    } else if (given_) {
        decoding_ = Decoding::Cp932;
    }
    return true;
}

void DocumentReader::resumeAfter(std::size_t lines, bool started, bool utf8Marked) noexcept {
    begun_ = true;
    fileLine_ = lines;
    started_ = started;
    if (utf8Marked) {
        encoding_ = TextEncoding::Utf8Bom;
        decoding_ = Decoding::Utf8;
    } else if (given_ && *given_ != TextEncoding::Cp932) {
        encoding_ = TextEncoding::Utf8;
        decoding_ = Decoding::Utf8;
    } else if (given_) {
        decoding_ = Decoding::Cp932;
    }
}

bool DocumentReader::refill() {
    if (readAhead_) {
        ReadAhead::Chunk chunk = readAhead_->next();
        if (chunk.got < 0) {
            error_ = DocumentError{DocumentError::Kind::ReadFailed, fileLine_ + 1, 0};
            return false;
        }
        if (chunk.got == 0) atEnd_ = true;
        const auto got = static_cast<std::size_t>(chunk.got);
        const std::size_t kept = end_ - begin_;
        constexpr std::size_t at = ReadAhead::kHeadroom;
        if (kept <= at) {
            std::memcpy(chunk.buffer.data() + at - kept, buffer_.data() + begin_, kept);
            scan_ = scan_ - begin_ + at - kept;
            begin_ = at - kept;
            end_ = at + got;
            swap(buffer_, chunk.buffer);
        } else {
            // A line longer than the room in front: it grows in the reader's own buffer.
            std::memmove(buffer_.data(), buffer_.data() + begin_, kept);
            scan_ -= begin_;
            begin_ = 0;
            end_ = kept;
            if (buffer_.size() < end_ + got)
                buffer_.resize(std::max(end_ + got, 2 * buffer_.size()));
            std::memcpy(buffer_.data() + end_, chunk.buffer.data() + at, got);
            end_ += got;
        }
        readAhead_->giveBack(std::move(chunk.buffer));
        return true;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        scan_ -= begin_;
        begin_ = 0;
    }
    // A line longer than the buffer: make room for more of it. A source that keeps filling the
    // buffer is read in chunks of twice the size, up to the chunk size.
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
    } else if (lastReadFull_ && buffer_.size() < chunkSize_) {
        buffer_.resize(std::min(chunkSize_, buffer_.size() * 2));
    }
    const std::size_t asked = buffer_.size() - end_;
    const std::ptrdiff_t got = source_(buffer_.data() + end_, asked);
    lastReadFull_ = got > 0 && static_cast<std::size_t>(got) == asked;
    if (got < 0) {
        error_ = DocumentError{DocumentError::Kind::ReadFailed, fileLine_ + 1, 0};
        return false;
    }
    if (got == 0) atEnd_ = true;
    end_ += static_cast<std::size_t>(got);
    return true;
}

bool DocumentReader::next(std::u16string& line) {
    line.clear();
    return appendNext(line);
}

bool DocumentReader::appendNext(std::u16string& text, std::string* ascii) {
    std::string_view view;
    if (!readLine(text, ascii != nullptr ? &view : nullptr)) return false;
    if (lastWasAscii_) ascii->append(view);
    return true;
}

bool DocumentReader::nextView(std::u16string& text, std::string_view& ascii) {
    text.clear();
    ascii = {};
    return readLine(text, &ascii);
}

bool DocumentReader::readLine(std::u16string& text, std::string_view* ascii) {
    if (!begun_) {
        if (!begin()) return false;
        // Only a source that fills what it is asked for is worth a thread: one that gives a few
        // bytes a call (a terminal, a slow pipe) would be handed over a few bytes at a time.
        if (wantReadAhead_ && !atEnd_ && lastReadFull_) {
            readAhead_ = std::make_unique<ReadAhead>(std::move(source_), chunkSize_);
        }
    }
    while (!error_) {
        const char* data = buffer_.data();
        const document_detail::LineScan scan = document_detail::scanLine(
            std::string_view(data + scan_, end_ - scan_), document_detail::kScanKernel);
        const std::size_t cr = scan_ + scan.cr;
        const bool found = cr < end_;
        const bool lineAscii = !highSeen_ && scan.ascii;
        // Wait for more bytes unless the line and its break are complete, or nothing follows.
        if (!atEnd_ && (!found || cr + 1 == end_)) {
            scan_ = cr;  // a long line arriving in small pieces is still scanned once
            highSeen_ = !lineAscii;
            if (!refill()) return false;
            continue;
        }
        if (!found && begin_ == end_) return false;  // the end of the document

        // The first line that is not ASCII decides between UTF-8 and CP932, by what follows
        // it: as much of it as the lookahead allows is read first.
        if (decoding_ == Decoding::Undecided && !lineAscii) {
            if (!atEnd_ && end_ - begin_ < lookahead_) {
                scan_ = cr;
                highSeen_ = true;
                if (!refill()) return false;
                continue;
            }
            const bool utf8 = utf8::classify(std::string_view(data + begin_, end_ - begin_),
                                             atEnd_) == utf8::Kind::Utf8;
            decoding_ = utf8 ? Decoding::Utf8 : Decoding::Cp932;
            encoding_ = utf8 ? TextEncoding::Utf8 : TextEncoding::Cp932;
            judged_ = true;
        }

        const std::string_view bytes(data + begin_, cr - begin_);
        begin_ = found ? cr + 1 : end_;
        if (found && begin_ < end_ && data[begin_] == '\n') ++begin_;
        scan_ = begin_;
        highSeen_ = false;
        ++fileLine_;
        if (bytes.empty() && !started_) continue;  // leading empty lines are not kept

        ++linesReturned_;
        lastWasAscii_ = ascii != nullptr && lineAscii && cp932::asciiIsIdentity();
        if (lastWasAscii_) {
            *ascii = bytes;
            started_ = true;
            return true;
        }
        const std::size_t before = text.size();
        const bool utf8 = decoding_ == Decoding::Utf8;
        if (badBytes_ == BadBytes::Replace) {
            const std::size_t replaced =
                utf8 ? utf8::decodeReplacing(bytes, text) : cp932::decodeReplacing(bytes, text);
            if (replaced > 0 && replaced_ == 0) firstReplacedLine_ = linesReturned_;
            replaced_ += replaced;
        } else if (utf8 ? utf8::decode(bytes, text).has_value()
                        : cp932::decode(bytes, text).has_value()) {
            text.resize(before);
            error_ = DocumentError{DocumentError::Kind::InvalidBytes, fileLine_, 0};
            return false;
        }
        started_ = true;
        return true;
    }
    return false;
}

namespace {

// Where the next CR is at or after `pos`, or npos; eight units at a time where it can.
std::size_t findCr(std::u16string_view text, std::size_t pos) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(0x0D);
    for (; pos + 8 <= text.size(); pos += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(units, cr)) != 0) break;
    }
#endif
    return text.find(u'\r', pos);
}

}  // namespace

namespace {

// CR LF, as the encoding writes it.
std::string_view lineBreak(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf16Le:
            return {"\r\0\n\0", 4};
        case TextEncoding::Utf16Be:
            return {"\0\r\0\n", 4};
        default:
            return "\r\n";
    }
}

}  // namespace

DocumentWriter::DocumentWriter(TextEncoding encoding)
    : encoding_(encoding), bytes_(byteOrderMark(encoding)) {}

std::size_t DocumentWriter::encodePart(std::u16string_view text) {
    switch (encoding_) {
        case TextEncoding::Cp932:
            return cp932::encodeUpTo(text, bytes_, cp932::Mapping::Document);
        case TextEncoding::Utf8:
        case TextEncoding::Utf8Bom:
            return utf8::encodeUpTo(text, bytes_);
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be:
            return utf16::encodeUpTo(text, bytes_, encoding_ == TextEncoding::Utf16Be);
    }
    return text.size();
}

void DocumentWriter::appendBreak() { bytes_.append(lineBreak(encoding_)); }

void DocumentWriter::writeAscii(std::string_view ascii) {
    if (asciiAsIs()) {
        bytes_.append(ascii);
        return;
    }
    const std::size_t base = bytes_.size();
    bytes_.resize(base + 2 * ascii.size());
    char* o = bytes_.data() + base;
    const bool big = encoding_ == TextEncoding::Utf16Be;
    for (const char c : ascii) {
        o[big ? 1 : 0] = c;
        o[big ? 0 : 1] = '\0';
        o += 2;
    }
}

std::optional<std::size_t> DocumentWriter::write(std::u16string_view text) {
    std::size_t pos = 0;
    if (skipLineFeed_ && !text.empty()) {
        skipLineFeed_ = false;
        if (text[0] == u'\n') pos = 1;
    }
    while (pos < text.size()) {
        const std::size_t cr = findCr(text, pos);
        const std::size_t stop = cr == std::u16string_view::npos ? text.size() : cr;
        const std::size_t written = encodePart(text.substr(pos, stop - pos));
        if (written < stop - pos) return pos + written;
        if (cr == std::u16string_view::npos) break;
        // Every CR ends a line, and every line ends with CR LF in the file.
        appendBreak();
        ++line_;
        pos = cr + 1;
        if (pos == text.size()) {
            skipLineFeed_ = true;
        } else if (text[pos] == u'\n') {
            ++pos;
        }
    }
    return std::nullopt;
}

std::size_t DocumentWriter::writeLineUpTo(std::u16string_view line, bool breakBefore) {
    if (!breakBefore) {
        const auto bad = write(line);
        return bad ? *bad : line.size();
    }
    // The break's CR ends the last line; the LF after it is the break's own.
    appendBreak();
    ++line_;
    skipLineFeed_ = false;
    return encodePart(line);
}

void DocumentWriter::finish() {
    appendBreak();
    skipLineFeed_ = false;
}

Expected<std::u16string, DocumentError> readDocument(DocumentReader::Source source,
                                                     std::size_t chunkSize) {
    DocumentReader reader(std::move(source), chunkSize);
    std::u16string text;
    std::u16string line;
    for (bool first = true; reader.next(line); first = false) {
        if (!first) text.append(u"\r\n");
        text.append(line);
    }
    if (reader.error()) return Unexpected{*reader.error()};
    return text;
}

Expected<LoadedDocument, DocumentError> readDocumentReplacing(DocumentReader::Source source) {
    DocumentReader reader(std::move(source), 1 << 20, DocumentReader::BadBytes::Replace,
                          std::nullopt, DocumentReader::kWholeInput);
    LoadedDocument loaded;
    std::u16string line;
    for (bool first = true; reader.next(line); first = false) {
        if (!first) loaded.text.append(u"\r\n");
        loaded.text.append(line);
    }
    if (reader.error()) return Unexpected{*reader.error()};
    loaded.encoding = reader.encoding();
    loaded.replaced = reader.replaced();
    loaded.firstReplacedLine = reader.firstReplacedLine();
    return loaded;
}

namespace {

// Appends `part` in `encoding`, each character it cannot hold as "?"; returns how many, and
// the index of the first in `first`.
std::size_t encodeReplacing(TextEncoding encoding, std::u16string_view part, std::string& out,
                            std::size_t& first) {
    if (encoding == TextEncoding::Cp932) {
        return cp932::encodeReplacing(part, out, '?', &first, cp932::Mapping::Document);
    }
    std::size_t replaced = 0;
    std::size_t pos = 0;
    while (pos <= part.size()) {
        const std::u16string_view rest = part.substr(pos);
        const auto bad = isUtf16(encoding)
                             ? utf16::encode(rest, out, encoding == TextEncoding::Utf16Be)
                             : utf8::encode(rest, out);
        if (!bad) break;
        if (replaced++ == 0) first = pos + *bad;
        if (isUtf16(encoding)) {
            (void)utf16::encode(u"?", out, encoding == TextEncoding::Utf16Be);
        } else {
            out.push_back('?');
        }
        pos += *bad + 1;
    }
    return replaced;
}

}  // namespace

EncodedDocument encodeDocument(std::u16string_view text, TextEncoding encoding) {
    EncodedDocument encoded;
    encoded.bytes.reserve(text.size() + text.size() / 2 + 8);
    encoded.bytes.append(byteOrderMark(encoding));
    std::size_t pos = 0;
    for (std::size_t line = 1;; ++line) {
        const std::size_t cr = text.find(u'\r', pos);
        const std::u16string_view part = text.substr(
            pos, cr == std::u16string_view::npos ? std::u16string_view::npos : cr - pos);
        std::size_t first = 0;
        const std::size_t bad = encodeReplacing(encoding, part, encoded.bytes, first);
        if (bad > 0 && encoded.unwritable == 0) {
            // Columns count characters: a surrogate pair is one.
            std::size_t column = 1;
            for (std::size_t i = 0; i < first; ++i) {
                const bool pairStart = part[i] >= 0xD800 && part[i] < 0xDC00 && i + 1 < first &&
                                       part[i + 1] >= 0xDC00 && part[i + 1] < 0xE000;
                if (pairStart) ++i;
                ++column;
            }
            encoded.firstLine = line;
            encoded.firstColumn = column;
        }
        encoded.unwritable += bad;
        encoded.bytes.append(lineBreak(encoding));
        if (cr == std::u16string_view::npos) break;
        pos = cr + 1;
        if (pos < text.size() && text[pos] == u'\n') ++pos;
    }
    return encoded;
}

Expected<std::u16string, DocumentError> documentTextFromBytes(std::string_view bytes) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() + 1, 1 << 20);
    return readDocument(
        [bytes](char* buffer, std::size_t capacity) mutable {
            const std::size_t n = bytes.size() < capacity ? bytes.size() : capacity;
            std::memcpy(buffer, bytes.data(), n);
            bytes.remove_prefix(n);
            return static_cast<std::ptrdiff_t>(n);
        },
        chunk);
}

Expected<std::string, DocumentError> documentBytesFromText(std::u16string_view text,
                                                           TextEncoding encoding) {
    DocumentWriter writer(encoding);
    if (auto bad = writer.write(text)) {
        return Unexpected{
            DocumentError{DocumentError::Kind::UnwritableCharacter, writer.line(), text[*bad]}};
    }
    writer.finish();
    return std::move(writer.bytes());
}

}  // namespace voxilo
