#include "documents/DocumentConversion.h"

#include <string>
#include <utility>

namespace voxilo {
namespace {

constexpr std::size_t kFlushSize = 1 << 20;

}  // namespace

std::optional<ConversionFailure> convertDocument(Direction direction, std::int16_t keyCode,
                                                 std::int16_t pattern,
                                                 DocumentReader::Source input, ByteSink output) {
    using Kind = ConversionFailure::Kind;
    DocumentReader reader(std::move(input));
    LineConverter converter(direction, keyCode, pattern);
    DocumentWriter writer;
    std::u16string line;
    std::u16string converted;

    auto flush = [&]() -> std::optional<ConversionFailure> {
        if (writer.bytes().empty()) return std::nullopt;
        if (std::error_code ec = output(writer.bytes())) {
            return ConversionFailure{Kind::WriteFailed, reader.fileLine(), {}, 0, ec};
        }
        writer.bytes().clear();
        return std::nullopt;
    };
    auto convert = [&](std::u16string_view source, std::size_t number)
        -> std::optional<ConversionFailure> {
        if (converter.writesAscii()) {
            // ASCII without lone CRs is its own CP932 file form: no need to go through text.
            converter.addLine(source, writer.bytes());
            if (writer.bytes().size() >= kFlushSize) return flush();
            return std::nullopt;
        }
        converted.clear();
        if (auto reason = converter.addLine(source, converted)) {
            return ConversionFailure{Kind::Undecodable, number, *reason, 0, {}};
        }
        if (auto bad = writer.write(converted)) {
            return ConversionFailure{Kind::UnwritableCharacter, number, {}, converted[*bad], {}};
        }
        if (writer.bytes().size() >= kFlushSize) return flush();
        return std::nullopt;
    };

    // Decoding a document that is nothing but spaces does nothing. A document of several lines
    // is never that, so only a blank first line has to wait to see whether another follows.
    std::u16string heldLine;
    std::size_t heldNumber = 0;
    bool first = true;
    while (reader.next(line)) {
        if (first) {
            first = false;
            if (direction == Direction::Decode && isBlankForDecoding(line)) {
                heldLine = line;
                heldNumber = reader.fileLine();
                continue;
            }
        } else if (heldNumber != 0) {
            if (auto failure = convert(heldLine, heldNumber)) return failure;
            heldNumber = 0;
        }
        if (auto failure = convert(line, reader.fileLine())) return failure;
    }
    if (const auto& error = reader.error()) {
        const Kind kind =
            error->kind == DocumentError::Kind::InvalidBytes ? Kind::InvalidBytes : Kind::ReadFailed;
        return ConversionFailure{kind, error->line, {}, 0, {}};
    }
    writer.finish();
    return flush();
}

}  // namespace voxilo
