#include "core/documents/DocumentConversion.h"

#include "core/platform/Codepage.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace voxilo {
namespace {

constexpr std::size_t kFlushSize = 1 << 18;
constexpr std::size_t kBatchBytes = 1 << 18;  // about 256 KB of lines a batch
constexpr std::size_t kBatchesInFlight = 3;

// Lines read and decoded from the input, handed from the reading thread to the converting one.
// Decoding, a line of ASCII, as ciphertext is, stays in its bytes, which are its text too.
struct LineBatch {
    std::u16string text;  // the lines held as text, one after another
    std::string ascii;    // the lines held as ASCII bytes, one after another
    struct Line {
        std::size_t end;         // where the line ends in `text` or `ascii`
        std::size_t fileNumber;  // its number in the input file
        bool ascii;              // held in `ascii`
    };
    std::vector<Line> lines;
    std::optional<DocumentError> error;           // the reading stopped here
    TextEncoding encoding = TextEncoding::Cp932;  // the input's, as far as it is known
    bool judged = false;
    bool last = false;

    std::size_t bytes() const noexcept { return 2 * text.size() + ascii.size(); }
};

// A queue between two threads; either side can close it, after which pushes are refused and
// pops give what is left, then nothing.
template <class T>
class Channel {
public:
    explicit Channel(std::size_t capacity) : capacity_(capacity) {}

    // Waits while the channel holds `capacity` items.
    bool push(T item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) return false;
        items_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }
    std::optional<T> pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        changed_.notify_all();
        return item;
    }
    std::optional<T> tryPop() {
        std::lock_guard lock(mutex_);
        if (items_.empty()) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        changed_.notify_all();
        return item;
    }
    void close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    bool closed_ = false;
};

// Reads the whole input into batches. Used batches come back through `spare`, so the same few
// buffers serve the whole file.
void readBatches(DocumentReader::Source input, std::optional<TextEncoding> encoding, bool keepAscii,
                 Channel<LineBatch>& full, Channel<LineBatch>& spare) {
    DocumentReader reader(std::move(input), 1 << 20, DocumentReader::BadBytes::Refuse, encoding);
    for (;;) {
        LineBatch batch = spare.tryPop().value_or(LineBatch{});
        batch.text.clear();
        batch.ascii.clear();
        batch.lines.clear();
        while (batch.bytes() < kBatchBytes &&
               reader.appendNext(batch.text, keepAscii ? &batch.ascii : nullptr)) {
            const bool ascii = reader.lastWasAscii();
            batch.lines.push_back(
                {ascii ? batch.ascii.size() : batch.text.size(), reader.fileLine(), ascii});
        }
        batch.error = reader.error();
        batch.encoding = reader.encoding();
        batch.judged = reader.judged();
        batch.last = batch.bytes() < kBatchBytes;
        const bool last = batch.last;
        if (!full.push(std::move(batch)) || last) return;
    }
}

// Converted lines on their way to the output: ASCII bytes ready to go (ciphertext, and
// deciphered lines of ASCII, are written as bytes straight away, widened only for UTF-16), or
// text with the input file's number of each line, which the output thread turns into the
// output's encoding. Each text line goes out after the bytes made before it.
struct OutputBatch {
    std::string bytes;
    std::u16string text;
    struct Line {
        std::size_t end;          // where the line ends in `text`
        std::size_t fileNumber;   // its number in the input file
        std::size_t bytesBefore;  // the size of `bytes` when it was made
    };
    std::vector<Line> lines;

    bool empty() const noexcept { return bytes.empty() && text.empty(); }
    void clear() {
        bytes.clear();
        text.clear();
        lines.clear();
    }
};

// Turns converted text into bytes and hands them to `output`, on a thread of its own, so that
// writing overlaps converting. Batches go round between the two threads. The first failure (a
// character the output's encoding cannot hold, or the output's error) ends the writing: the lines
// before the failing one still go out, later batches are dropped.
class OutputThread {
public:
    // `wrote`: bytes have gone out before, the byte-order mark with them.
    // The thread starts with the first batch sent before the last: a small document, all of
    // it in the last batch, is written without one.
    OutputThread(ByteSink& output, TextEncoding encoding, bool wrote = false)
        : output_(output), writer_(encoding), wrote_(wrote) {
        if (wrote_) writer_.bytes().clear();
    }
    ~OutputThread() { finish(false); }
    OutputThread(const OutputThread&) = delete;
    OutputThread& operator=(const OutputThread&) = delete;

    // Sends `batch` and gives it back empty, to fill again. False once the writing has failed.
    bool send(OutputBatch& batch) {
        if (batch.empty()) return true;
        if (!finished_ && !thread_.joinable()) thread_ = std::thread([this] { run(); });
        if (!full_.push(std::move(batch))) return false;
        batch = spare_.tryPop().value_or(OutputBatch{});
        batch.clear();
        return true;
    }
    // Writes `last` and waits until everything sent has been written, ending the file with its
    // last line break when the conversion is `complete`. The writing's failure, if any.
    std::optional<ConversionFailure> finish(bool complete, OutputBatch* last = nullptr) {
        if (finished_) return failure_;
        finished_ = true;
        complete_ = complete;
        if (thread_.joinable()) {
            if (last != nullptr && !last->empty() && !full_.push(std::move(*last))) {
                complete_ = false;  // the writing failed before: its failure is reported
            }
            full_.close();
            thread_.join();
        } else {
            if (last != nullptr && !last->empty()) (void)full_.push(std::move(*last));
            full_.close();
            run();
        }
        return failure_;
    }

private:
    using Kind = ConversionFailure::Kind;

    void run() {
        while (std::optional<OutputBatch> batch = full_.pop()) {
            if (!take(*batch)) {
                full_.close();
                return;
            }
            spare_.push(std::move(*batch));
        }
        if (complete_) {
            writer_.finish();
        } else {
            endLastLine();  // the conversion stopped at a line it could not convert
            // Nothing went out but the byte-order mark: nothing goes out at all.
            if (!wrote_ && writer_.bytes().size() == writer_.markSize()) writer_.bytes().clear();
        }
        (void)flush(0);
    }
    // Every line that went out ends with CR LF, also when a later one stopped the conversion.
    void endLastLine() {
        if (wrote_ || writer_.bytes().size() > writer_.markSize()) writer_.finish();
    }
    bool take(const OutputBatch& batch) {
        // Bytes made earlier go out as they are, without a copy when nothing waits before them.
        if (writer_.bytes().empty() && batch.text.empty() && writer_.asciiAsIs()) {
            if (batch.bytes.empty()) return true;
            if (std::error_code ec = output_(batch.bytes)) {
                failure_ = ConversionFailure{Kind::WriteFailed, 0, {}, 0, ec};
                return false;
            }
            wrote_ = true;
            return true;
        }
        std::size_t begin = 0;
        std::size_t bytesBegin = 0;
        for (const OutputBatch::Line& line : batch.lines) {
            writer_.writeAscii(
                std::string_view(batch.bytes).substr(bytesBegin, line.bytesBefore - bytesBegin));
            bytesBegin = line.bytesBefore;
            const std::u16string_view text =
                std::u16string_view(batch.text).substr(begin, line.end - begin);
            begin = line.end;
            const std::size_t before = writer_.bytes().size();
            if (auto bad = writer_.write(text)) {
                writer_.bytes().resize(before);  // no part of the line that cannot be written
                failure_ = ConversionFailure{
                    Kind::UnwritableCharacter, line.fileNumber, {}, text[*bad], {}, encoding_};
                endLastLine();
                (void)flush(line.fileNumber);
                return false;
            }
            if (writer_.bytes().size() >= kFlushSize && !flush(line.fileNumber)) return false;
        }
        writer_.writeAscii(std::string_view(batch.bytes).substr(bytesBegin));
        return writer_.bytes().size() < kFlushSize || flush(0);
    }
    bool flush(std::size_t lineNumber) {
        if (writer_.bytes().empty()) return true;
        if (std::error_code ec = output_(writer_.bytes())) {
            if (!failure_) failure_ = ConversionFailure{Kind::WriteFailed, lineNumber, {}, 0, ec};
            return false;
        }
        wrote_ = true;
        writer_.bytes().clear();
        return true;
    }

    ByteSink& output_;
    DocumentWriter writer_;
    TextEncoding encoding_ = writer_.encoding();
    Channel<OutputBatch> full_{kBatchesInFlight};
    // Unbounded, so giving a batch back never waits; at most kBatchesInFlight + 2 exist.
    Channel<OutputBatch> spare_{SIZE_MAX};
    bool complete_ = false;                     // set before the thread is told to end
    bool finished_ = false;
    bool wrote_ = false;                        // some bytes have gone out
    std::optional<ConversionFailure> failure_;  // written by the thread, read after it ended
    std::thread thread_;
};

}  // namespace

namespace {

std::optional<ConversionFailure> convert(Direction direction, std::int16_t keyCode,
                                         std::int16_t pattern, DocumentReader::Source input,
                                         ByteSink output, ConversionEncodings encodings,
                                         const conversion_detail::DecodeResume& resume) {
    using Kind = ConversionFailure::Kind;
    LineConverter converter(direction, keyCode, pattern);
    converter.setResultEmpty(resume.resultEmpty);
    OutputBatch pending;
    OutputThread writing(output, encodings.output, resume.wrote);
    bool writingFailed = false;
    const bool asciiIsIdentity = cp932::asciiIsIdentity();

    // A line comes as text, or as ASCII bytes.
    auto convert = [&](auto source, std::size_t number) -> std::optional<ConversionFailure> {
        constexpr bool ascii = std::is_same_v<decltype(source), std::string_view>;
        const std::size_t bytesBefore = pending.bytes.size();
        if (converter.writesAscii()) {
            // ASCII without lone CRs is its own CP932 file form: no need to go through text.
            if constexpr (ascii) {
                const std::u16string text(source.begin(), source.end());
                converter.addLine(text, pending.bytes);
            } else {
                converter.addLine(source, pending.bytes);
            }
        } else {
            std::optional<CipherError> reason;
            bool wroteAscii = false;
            if constexpr (ascii) {
                // Deciphered English is ASCII too, and goes out as it is.
                if (asciiIsIdentity) {
                    reason =
                        converter.addAsciiLine(source, pending.text, pending.bytes, wroteAscii);
                } else {
                    reason = converter.addAsciiLine(source, pending.text);
                }
            } else {
                reason = converter.addLine(source, pending.text);
            }
            if (reason) return ConversionFailure{Kind::Undecodable, number, *reason, 0, {}};
            if (!wroteAscii) pending.lines.push_back({pending.text.size(), number, bytesBefore});
        }
        if (pending.bytes.size() + 2 * pending.text.size() >= kFlushSize &&
            !writing.send(pending)) {
            writingFailed = true;
            return ConversionFailure{};  // the writing's own failure is reported
        }
        return std::nullopt;
    };

    // Decoding a document that is nothing but spaces does nothing. A document of several lines
    // is never that, so only a blank first line has to wait to see whether another follows.
    std::u16string heldLine;
    std::size_t heldNumber = 0;
    bool first = !resume.started;
    // A line comes as text or as ASCII bytes (the other view empty).
    const auto take = [&](std::u16string_view text, std::string_view ascii, bool isAscii,
                          std::size_t number) -> std::optional<ConversionFailure> {
        if (first) {
            first = false;
            const bool blank =
                isAscii ? ascii.find_first_not_of(' ') == ascii.npos : isBlankForDecoding(text);
            if (direction == Direction::Decode && blank) {
                heldLine.assign(ascii.size() + text.size(), u' ');
                heldNumber = number;
                return std::nullopt;
            }
        } else if (heldNumber != 0) {
            if (auto failure = convert(std::u16string_view(heldLine), heldNumber)) return failure;
            heldNumber = 0;
        }
        return isAscii ? convert(ascii, number) : convert(text, number);
    };
    const auto readFailure = [](const DocumentError& error, TextEncoding encoding, bool judged) {
        const Kind kind =
            error.kind == DocumentError::Kind::InvalidBytes ? Kind::InvalidBytes : Kind::ReadFailed;
        return ConversionFailure{kind, error.line, {}, 0, {}, encoding, judged};
    };

    // On failure, what was converted before the failing line still goes out. A failure of
    // the writing comes first: it is at an earlier line than any the conversion reached.
    const auto finishWriting = [&](std::optional<ConversionFailure> failure) {
        auto written = writing.finish(!failure && !writingFailed,
                                      writingFailed ? nullptr : &pending);
        return written ? written : failure;
    };

    if (direction == Direction::Decode) {
        // Ciphertext is ASCII, which reading barely has to look at: the reader's thread calls
        // the input ahead, this one deciphers the lines where they were read, without copying
        // them or handing each batch across, and the writing runs on the third.
        DocumentReader reader(std::move(input), 1 << 20, DocumentReader::BadBytes::Refuse,
                              encodings.input);
        if (resume.linesBefore > 0 || resume.started || resume.utf8Marked) {
            reader.resumeAfter(resume.linesBefore, resume.started, resume.utf8Marked);
        }
        reader.readAhead();
        std::u16string text;
        std::string_view ascii;
        while (reader.nextView(text, ascii)) {
            const bool isAscii = reader.lastWasAscii();
            if (auto failure = take(text, ascii, isAscii, reader.fileLine()))
                return finishWriting(failure);
        }
        if (const auto& error = reader.error())
            return finishWriting(readFailure(*error, reader.encoding(), reader.judged()));
        return finishWriting(std::nullopt);
    }

    // Encoding, reading and decoding the input runs on a thread of its own, a few batches
    // ahead of the conversion and the writing, so that a large file keeps both cores busy.
    Channel<LineBatch> full(kBatchesInFlight);
    // Unbounded, so giving a batch back never waits: the reader only makes a new batch when
    // there is none to reuse, so at most kBatchesInFlight + 2 ever exist.
    Channel<LineBatch> spare(SIZE_MAX);
    std::thread reading(readBatches, std::move(input), encodings.input, false, std::ref(full),
                        std::ref(spare));
    const auto stop = [&](std::optional<ConversionFailure> failure) {
        full.close();
        reading.join();
        return finishWriting(failure);
    };

    while (std::optional<LineBatch> batch = full.pop()) {
        std::size_t textBegin = 0, asciiBegin = 0;
        for (const LineBatch::Line& entry : batch->lines) {
            std::size_t& begin = entry.ascii ? asciiBegin : textBegin;
            const std::u16string_view text =
                entry.ascii ? std::u16string_view{}
                            : std::u16string_view(batch->text).substr(begin, entry.end - begin);
            const std::string_view ascii =
                entry.ascii ? std::string_view(batch->ascii).substr(begin, entry.end - begin)
                            : std::string_view{};
            begin = entry.end;
            if (auto failure = take(text, ascii, entry.ascii, entry.fileNumber))
                return stop(failure);
        }
        if (const auto& error = batch->error)
            return stop(readFailure(*error, batch->encoding, batch->judged));
        if (batch->last) break;
        spare.push(std::move(*batch));
    }
    return stop(std::nullopt);
}

}  // namespace

std::optional<ConversionFailure> convertDocument(Direction direction, std::int16_t keyCode,
                                                 std::int16_t pattern, DocumentReader::Source input,
                                                 ByteSink output, ConversionEncodings encodings) {
    return convert(direction, keyCode, pattern, std::move(input), std::move(output), encodings,
                   {});
}

namespace conversion_detail {

std::optional<ConversionFailure> decodeFrom(std::int16_t keyCode, std::int16_t pattern,
                                            DocumentReader::Source input, ByteSink output,
                                            ConversionEncodings encodings,
                                            const DecodeResume& resume) {
    return convert(Direction::Decode, keyCode, pattern, std::move(input), std::move(output),
                   encodings, resume);
}

}  // namespace conversion_detail

}  // namespace voxilo
