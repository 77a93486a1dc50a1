#include "core/documents/DocumentConversion.h"

#include "core/cipher/HexDecipher.h"
#include "core/platform/Codepage.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace voxilo {
namespace {

using Kind = ConversionFailure::Kind;

// What a thread made of one piece of the file: the lines that begin in it, converted as if the
// lines before had started the document and its result, which the turn checks.
struct Piece {
    std::uint64_t firstLineAt = 0;  // where its first line begins
    std::size_t lines = 0;          // the file's lines it converted, empty ones too
    bool started = true;            // after them: some line of the document was not empty
    bool resultEmpty = false;       // after them: the result is still empty
    std::string bytes;              // their result in the output's encoding, without its mark,
    std::size_t size = 0;           // in its first `size` bytes
    bool last = false;              // the file ends in it
    enum class End { Done, Resume, Failed } end = End::Done;
    std::uint64_t stopAt = 0;  // Resume: where the line it leaves to the line-by-line way begins
    ConversionFailure failure;  // Failed: its line counted from the piece's first, from 1
};

// Reads and converts pieces of a file, one thread's share.
class PieceDecoder {
public:
    PieceDecoder(const RandomAccessSource& input, std::uint64_t base, std::size_t pieceSize,
                 std::int16_t keyCode, std::int16_t pattern, TextEncoding output)
        : input_(input),
          base_(base),
          pieceSize_(pieceSize),
          converter_(Direction::Decode, keyCode, pattern),
          writer_(output) {}

    // Piece `index`: the lines that begin in bytes [base + index * size, base + (index + 1) * size).
    void decode(std::uint64_t index, Piece& piece) {
        const std::uint64_t begin = base_ + index * pieceSize_;
        const std::uint64_t end = begin + pieceSize_;
        piece.lines = 0;
        piece.end = Piece::End::Done;
        piece.last = false;
        used_ = 0;
        converter_.setResultEmpty(index == 0);
        started_ = index != 0;

        convertLines(index, begin, end, piece);
        if (piece.end == Piece::End::Done) {
            piece.last = ended_ && fileEnd() <= end;
            piece.started = started_;
            piece.resultEmpty = converter_.resultEmpty();
        }
        piece.size = used_;
        std::swap(piece.bytes, writer_.bytes());
    }

private:
    static constexpr std::size_t kSlack = 4096;

    void convertLines(std::uint64_t index, std::uint64_t begin, std::uint64_t end, Piece& piece) {
        // From two bytes before the piece, to see whether a line break ends right at its start.
        const std::uint64_t from = index == 0 ? begin : begin - 2;
        // With a little more, which most often holds the end of the piece's last line.
        const std::size_t slack = std::min(kSlack, pieceSize_);
        if (!load(from, static_cast<std::size_t>(end - from) + slack)) return readFailed(piece);
        std::uint64_t at = begin;
        if (index != 0 && !firstLineStart(begin, at)) return readFailed(piece);
        piece.firstLineAt = at;
        while (at < end && (!ended_ || at < fileEnd())) {
            if (!line(piece, at)) return;
        }
    }

    std::uint64_t fileEnd() const noexcept { return start_ + held_; }
    char at(std::uint64_t pos) const noexcept { return buffer_.data()[pos - start_]; }

    // Reads `size` bytes from `from` on, fewer at the file's end.
    bool load(std::uint64_t from, std::size_t size) {
        start_ = from;
        held_ = 0;
        ended_ = false;
        error_ = false;
        return more(size);
    }
    // Reads up to `size` more bytes after those held.
    bool more(std::size_t size) {
        const std::size_t wanted = held_ + size;
        if (wanted > buffer_.size()) buffer_.resize(std::max(wanted, 2 * buffer_.size()));
        while (held_ < wanted) {
            const std::ptrdiff_t got =
                input_(buffer_.data() + held_, wanted - held_, start_ + held_);
            if (got < 0) {
                error_ = true;
                return false;
            }
            if (got == 0) {
                ended_ = true;
                break;
            }
            held_ += static_cast<std::size_t>(got);
        }
        return true;
    }
    // Whether the byte at `pos` is held, reading on for it; false at the file's end.
    bool holds(std::uint64_t pos) {
        while (pos >= fileEnd()) {
            if (ended_ || !more(std::max(kSlack, held_))) return false;
        }
        return true;
    }

    // The first place at or after `begin` where a line begins: after a CR, and after the LF
    // that follows it.
    bool firstLineStart(std::uint64_t begin, std::uint64_t& start) {
        std::uint64_t pos = begin - 2;
        for (;;) {
            if (!holds(pos)) {
                if (error_) return false;
                start = fileEnd();
                return true;
            }
            // The next CR among the bytes held, or past them.
            const char* from = buffer_.data() + (pos - start_);
            const auto* cr = static_cast<const char*>(
                std::memchr(from, '\r', static_cast<std::size_t>(fileEnd() - pos)));
            if (cr == nullptr) {
                pos = fileEnd();
                continue;
            }
            pos += static_cast<std::uint64_t>(cr - from);
            std::uint64_t next = pos + 1;
            if (holds(next) && at(next) == '\n') ++next;
            if (error_) return false;
            if (next >= begin) {
                start = next;
                return true;
            }
            ++pos;
        }
    }

    // Converts the line that begins at `pos` and moves `pos` past its break. False when the
    // piece ends with it.
    bool line(Piece& piece, std::uint64_t& pos) {
        // Where the line ends, and whether it is ASCII.
        std::uint64_t scanned = pos;
        bool ascii = true;
        std::uint64_t cr = 0;
        for (;;) {
            const std::string_view rest(buffer_.data() + (scanned - start_),
                                        static_cast<std::size_t>(fileEnd() - scanned));
            const document_detail::LineScan scan =
                document_detail::scanLine(rest, document_detail::fastestScanKernel());
            ascii = ascii && scan.ascii;
            if (scan.cr < rest.size()) {
                cr = scanned + scan.cr;
                break;
            }
            scanned = fileEnd();
            if (ended_ || !more(std::max(kSlack, held_))) {
                if (error_) return readFailed(piece), false;
                cr = fileEnd();
                break;
            }
        }
        const std::string_view bytes(buffer_.data() + (pos - start_),
                                     static_cast<std::size_t>(cr - pos));

        // What the line-by-line way settles: a line that is not ASCII (how the document's
        // encoding is found), and a blank first line (which waits to see whether another
        // follows).
        if (!ascii || !cp932::asciiIsIdentity()) return resume(piece, pos);
        if (!started_ && bytes.empty()) {
            ++piece.lines;  // leading empty lines are not part of the document
        } else {
            if (!started_ && bytes.find_first_not_of(' ') == bytes.npos) return resume(piece, pos);
            started_ = true;
            // The byte before the line and its CR are read too, where the buffer holds them.
            if (!convert(piece, bytes, pos > start_ && cr < fileEnd())) return false;
            ++piece.lines;
        }

        if (cr >= fileEnd()) {
            pos = cr;
            return false;
        }
        pos = cr + 1;
        if (holds(pos) && at(pos) == '\n') ++pos;
        if (error_) return readFailed(piece), false;
        return true;
    }

    bool convert(Piece& piece, std::string_view bytes, bool readableAround) {
        std::string& out = writer_.bytes();
        if (writer_.asciiAsIs() && converter_.expectsAscii()) {
            // Straight into the piece's bytes, past those used. The string keeps its size from
            // piece to piece, so that a document of such lines has no byte of it filled twice.
            const std::size_t room = used_ + 2 + cipher_detail::hexDecipheredUnits(bytes.size());
            if (out.size() < room) out.resize(room);
            std::size_t wrote = 0;
            if (converter_.decipherAsciiInto(bytes, out.data() + used_, readableAround, wrote)) {
                used_ += wrote;
                return true;
            }
        }
        out.resize(used_);
        const std::size_t before = out.size();
        // Other text, deciphered and written with no copy in between.
        std::u16string_view units;
        bool breakBefore = false;
        if (converter_.decipherUnits(bytes, readableAround, units, breakBefore)) {
            if (auto bad = writer_.writeLine(units, breakBefore)) {
                out.resize(before);  // no part of the line that cannot be written
                return fail(piece, ConversionFailure{Kind::UnwritableCharacter, piece.lines + 1,
                                                     {}, units[*bad], {}, writer_.encoding()});
            }
            used_ = out.size();
            return true;
        }
        text_.clear();
        bool wroteAscii = false;
        std::string& ascii = writer_.asciiAsIs() ? out : ascii_;
        ascii_.clear();
        if (auto reason =
                converter_.addAsciiLine(bytes, text_, ascii, wroteAscii, readableAround)) {
            return fail(piece, ConversionFailure{Kind::Undecodable, piece.lines + 1, *reason, 0, {}});
        }
        if (!wroteAscii) {
            if (auto bad = writer_.write(text_)) {
                out.resize(before);  // no part of the line that cannot be written
                return fail(piece, ConversionFailure{Kind::UnwritableCharacter, piece.lines + 1,
                                                     {}, text_[*bad], {}, writer_.encoding()});
            }
        } else if (!writer_.asciiAsIs()) {
            writer_.writeAscii(ascii_);
        }
        used_ = out.size();
        return true;
    }

    bool resume(Piece& piece, std::uint64_t pos) {
        piece.end = Piece::End::Resume;
        piece.stopAt = pos;
        piece.started = started_;
        piece.resultEmpty = converter_.resultEmpty();
        return false;
    }
    bool fail(Piece& piece, ConversionFailure failure) {
        piece.end = Piece::End::Failed;
        piece.failure = failure;
        return false;
    }
    void readFailed(Piece& piece) {
        fail(piece, ConversionFailure{Kind::ReadFailed, piece.lines + 1, {}, 0, {}});
    }

    const RandomAccessSource& input_;
    const std::uint64_t base_;
    const std::size_t pieceSize_;
    LineConverter converter_;
    DocumentWriter writer_;
    ReadBuffer buffer_;  // the file's bytes from start_ on: held_ of them
    std::size_t held_ = 0;
    std::uint64_t start_ = 0;
    bool ended_ = false;  // buffer_ reaches the file's end
    bool error_ = false;
    bool started_ = false;
    std::u16string text_;
    std::string ascii_;
    std::size_t used_ = 0;  // the bytes of writer_.bytes() that hold the piece's result
};

}  // namespace

namespace {

// Hands the pieces' bytes to the output in the file's order and settles, piece by piece, what
// each assumed: that the lines before it started the document and its result. Called for one
// piece at a time.
class Turns {
public:
    Turns(ByteSink& output, RandomAccessSource input, std::int16_t keyCode, std::int16_t pattern,
          ConversionEncodings encodings, bool utf8Marked)
        : output_(output),
          input_(std::move(input)),
          keyCode_(keyCode),
          pattern_(pattern),
          encodings_(encodings),
          utf8Marked_(utf8Marked) {}

    // Piece `index`, the one after the last settled. True while later pieces are wanted.
    bool settle(std::uint64_t index, Piece& piece) {
        if (index > 0 && (!started_ || resultEmpty_)) {
            // Nothing yet of the document, or of its result: its first lines settle them. A
            // piece within a long line has none, and changes nothing.
            if (piece.lines > 0 || piece.end != Piece::End::Done) {
                return goOnLineByLine(piece.firstLineAt);
            }
            if (!piece.last) return true;
            finish();
            return false;
        }
        const std::string_view bytes(piece.bytes.data(), piece.size);
        if (!bytes.empty() && !write(bytes)) return false;
        if (piece.end == Piece::End::Failed) {
            result_ = piece.failure;
            result_->line += lines_;
            endLastLine();
            return false;
        }
        lines_ += piece.lines;
        started_ = piece.started;
        resultEmpty_ = piece.resultEmpty;
        if (piece.end == Piece::End::Resume) return goOnLineByLine(piece.stopAt);
        if (piece.last) {
            finish();
            return false;
        }
        return true;
    }
    std::optional<ConversionFailure> result() const { return result_; }

private:
    bool goOnLineByLine(std::uint64_t at) {
        conversion_detail::DecodeResume resume{lines_, started_, resultEmpty_, wrote_,
                                               utf8Marked_};
        auto source = [this, at](char* buffer, std::size_t capacity) mutable -> std::ptrdiff_t {
            const std::ptrdiff_t got = input_(buffer, capacity, at);
            if (got > 0) at += static_cast<std::uint64_t>(got);
            return got;
        };
        result_ = conversion_detail::decodeFrom(keyCode_, pattern_, source, output_, encodings_,
                                                resume);
        return false;
    }

    // The first bytes to go out bring the byte-order mark with them.
    bool write(std::string_view bytes) {
        std::error_code ec;
        if (!wrote_) {
            std::string first(byteOrderMark(encodings_.output));
            first.append(bytes);
            ec = output_(first);
        } else {
            ec = output_(bytes);
        }
        if (ec) {
            result_ = ConversionFailure{Kind::WriteFailed, 0, {}, 0, ec};
            return false;
        }
        wrote_ = true;
        return true;
    }
    // Every line that went out ends with CR LF, also when a later one stopped the conversion;
    // when none went out, nothing does.
    void endLastLine() {
        if (wrote_) (void)write(lineBreak());
    }
    // The end of the document: its last line break, or, for an empty one, the only one.
    void finish() { (void)write(lineBreak()); }
    std::string lineBreak() const {
        DocumentWriter writer(encodings_.output);
        writer.bytes().clear();
        writer.finish();
        return writer.bytes();
    }

    ByteSink& output_;
    RandomAccessSource input_;
    const std::int16_t keyCode_;
    const std::int16_t pattern_;
    const ConversionEncodings encodings_;
    const bool utf8Marked_;
    // Changed only by the thread whose turn it is.
    std::size_t lines_ = 0;
    bool started_ = false;
    bool resultEmpty_ = true;
    bool wrote_ = false;
    std::optional<ConversionFailure> result_;
};

// The pieces between the two threads. Each thread takes the next piece not yet taken, converts
// it into a free slot, and leaves it there; whichever thread finds the output free writes the
// pieces that are ready, in the file's order. So neither thread waits for its turn to write
// while there is a piece it could convert.
class Pieces {
public:
    static constexpr std::size_t kSlots = 4;  // pieces converted and not yet written, at most

    explicit Pieces(Turns& turns) : turns_(turns) {}

    // The next piece to convert, once a slot is free for it; nothing once there is none.
    std::optional<std::uint64_t> next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return ended_ || (taken_ <= lastIndex_ && taken_ < written_ + kSlots);
        });
        if (ended_) return std::nullopt;
        return taken_++;
    }
    Piece& slot(std::uint64_t index) { return slots_[index % kSlots]; }

    // Piece `index` is converted: written now if the output is free and its turn has come,
    // with any ready after it.
    void ready(std::uint64_t index) {
        std::unique_lock lock(mutex_);
        ready_[index % kSlots] = true;
        if (slot(index).last) lastIndex_ = std::min(lastIndex_, index);
        if (writing_) return;
        writing_ = true;
        while (!ended_ && ready_[written_ % kSlots]) {
            const std::uint64_t turn = written_;
            lock.unlock();
            const bool more = turns_.settle(turn, slot(turn));
            lock.lock();
            ready_[turn % kSlots] = false;
            ++written_;
            if (!more) ended_ = true;
            changed_.notify_all();
        }
        writing_ = false;
    }

private:
    Turns& turns_;
    Piece slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_[kSlots] = {};
    std::uint64_t taken_ = 0;    // pieces handed out to convert
    std::uint64_t written_ = 0;  // pieces settled, in order
    std::uint64_t lastIndex_ = UINT64_MAX;  // the piece the file ends in, once one has said so
    bool writing_ = false;
    bool ended_ = false;
};

}  // namespace

std::optional<ConversionFailure> convertDocumentFile(Direction direction, std::int16_t keyCode,
                                                     std::int16_t pattern, RandomAccessSource input,
                                                     ByteSink output, ConversionEncodings encodings,
                                                     std::size_t pieceSize) {
    std::uint64_t position = 0;
    auto fromStart = [&input, position](char* buffer, std::size_t capacity) mutable {
        const std::ptrdiff_t got = input(buffer, capacity, position);
        if (got > 0) position += static_cast<std::uint64_t>(got);
        return got;
    };
    if (direction == Direction::Encode) {
        return convertDocument(direction, keyCode, pattern, fromStart, std::move(output),
                               encodings);
    }

    // The byte-order marks as the reader takes them: UTF-16 goes line by line.
    char head[3] = {};
    std::size_t held = 0;
    while (held < sizeof head) {
        const std::ptrdiff_t got = input(head + held, sizeof head - held, held);
        if (got <= 0) break;
        held += static_cast<std::size_t>(got);
    }
    const std::optional<TextEncoding> mark =
        DocumentReader::markOf(std::string_view(head, held), encodings.input);
    const bool utf8Marked = mark == TextEncoding::Utf8Bom;
    if ((mark && !utf8Marked) || (encodings.input && isUtf16(*encodings.input))) {
        return convertDocument(direction, keyCode, pattern, fromStart, std::move(output),
                               encodings);
    }
    const std::uint64_t base = utf8Marked ? byteOrderMark(TextEncoding::Utf8Bom).size() : 0;
    pieceSize = std::max<std::size_t>(pieceSize, 16);

    Turns turns(output, input, keyCode, pattern, encodings, utf8Marked);
    Pieces pieces(turns);
    const auto work = [&](PieceDecoder& decoder) {
        while (const auto index = pieces.next()) {
            decoder.decode(*index, pieces.slot(*index));
            pieces.ready(*index);
        }
    };
    PieceDecoder decoder(input, base, pieceSize, keyCode, pattern, encodings.output);
    // A file of one piece needs no second thread.
    const std::uint64_t first = *pieces.next();
    decoder.decode(first, pieces.slot(first));
    if (pieces.slot(first).last) {
        pieces.ready(first);
        return turns.result();
    }
    std::thread other([&] {
        PieceDecoder otherDecoder(input, base, pieceSize, keyCode, pattern, encodings.output);
        work(otherDecoder);
    });
    pieces.ready(first);
    work(decoder);
    other.join();
    return turns.result();
}

}  // namespace voxilo
