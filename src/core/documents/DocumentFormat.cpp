#include "core/documents/DocumentFormat.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/platform/Codepage.h"

namespace voxilo {

DocumentReader::DocumentReader(Source source, std::size_t chunkSize, BadBytes badBytes)
    : source_(std::move(source)),
      buffer_(chunkSize > 0 ? chunkSize : 1, '\0'),
      badBytes_(badBytes) {}

bool DocumentReader::refill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        scan_ -= begin_;
        begin_ = 0;
    }
    // A line longer than the buffer: make room for more of it.
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const std::ptrdiff_t got = source_(buffer_.data() + end_, buffer_.size() - end_);
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
    while (!error_) {
        const char* data = buffer_.data();
        const void* found = std::memchr(data + scan_, '\r', end_ - scan_);
        const std::size_t cr = found ? static_cast<const char*>(found) - data : end_;
        // Wait for more bytes unless the line and its break are complete, or nothing follows.
        if (!atEnd_ && (found == nullptr || cr + 1 == end_)) {
            scan_ = cr;  // a long line arriving in small pieces is still scanned once
            if (!refill()) return false;
            continue;
        }
        if (found == nullptr && begin_ == end_) return false;  // the end of the document

        const std::string_view bytes(data + begin_, cr - begin_);
        begin_ = found == nullptr ? end_ : cr + 1;
        if (found != nullptr && begin_ < end_ && data[begin_] == '\n') ++begin_;
        scan_ = begin_;
        ++fileLine_;
        if (bytes.empty() && !started_) continue;  // leading empty lines are not kept

        ++linesReturned_;
        lastWasAscii_ = ascii != nullptr && cp932::isAscii(bytes) && cp932::asciiIsIdentity();
        if (lastWasAscii_) {
            ascii->append(bytes);
            started_ = true;
            return true;
        }
        const std::size_t before = text.size();
        if (badBytes_ == BadBytes::Replace) {
            const std::size_t replaced = cp932::decodeReplacing(bytes, text);
            if (replaced > 0 && replaced_ == 0) firstReplacedLine_ = linesReturned_;
            replaced_ += replaced;
        } else if (cp932::decode(bytes, text)) {
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

std::optional<std::size_t> DocumentWriter::write(std::u16string_view text) {
    std::size_t pos = 0;
    if (skipLineFeed_ && !text.empty()) {
        skipLineFeed_ = false;
        if (text[0] == u'\n') pos = 1;
    }
    while (pos < text.size()) {
        const std::size_t cr = findCr(text, pos);
        const std::size_t stop = cr == std::u16string_view::npos ? text.size() : cr;
        if (auto bad =
                cp932::encode(text.substr(pos, stop - pos), bytes_, cp932::Mapping::Document))
            return pos + *bad;
        if (cr == std::u16string_view::npos) break;
        // Every CR ends a line, and every line ends with CR LF in the file.
        bytes_.append("\r\n");
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

void DocumentWriter::finish() {
    bytes_.append("\r\n");
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
    DocumentReader reader(std::move(source), 1 << 20, DocumentReader::BadBytes::Replace);
    LoadedDocument loaded;
    std::u16string line;
    for (bool first = true; reader.next(line); first = false) {
        if (!first) loaded.text.append(u"\r\n");
        loaded.text.append(line);
    }
    if (reader.error()) return Unexpected{*reader.error()};
    loaded.replaced = reader.replaced();
    loaded.firstReplacedLine = reader.firstReplacedLine();
    return loaded;
}

EncodedDocument encodeDocument(std::u16string_view text) {
    EncodedDocument encoded;
    encoded.bytes.reserve(text.size() + text.size() / 2 + 2);
    std::size_t pos = 0;
    for (std::size_t line = 1;; ++line) {
        const std::size_t cr = text.find(u'\r', pos);
        const std::u16string_view part = text.substr(
            pos, cr == std::u16string_view::npos ? std::u16string_view::npos : cr - pos);
        std::size_t first = 0;
        const std::size_t bad =
            cp932::encodeReplacing(part, encoded.bytes, '?', &first, cp932::Mapping::Document);
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
        encoded.bytes.append("\r\n");
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

Expected<std::string, DocumentError> documentBytesFromText(std::u16string_view text) {
    DocumentWriter writer;
    if (auto bad = writer.write(text)) {
        return Unexpected{
            DocumentError{DocumentError::Kind::UnwritableCharacter, writer.line(), text[*bad]}};
    }
    writer.finish();
    return std::move(writer.bytes());
}

}  // namespace voxilo
