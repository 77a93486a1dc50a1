#include "core/cipher/LineConversion.h"

#include "core/cipher/HexDecipher.h"
#include "core/cipher/KeyShift.h"
#include "core/cipher/TextLines.h"

#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace voxilo {
namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";

bool isCipherPattern(std::int16_t pattern) noexcept { return pattern >= 0 && pattern <= 3; }

std::int16_t nextShift(std::int16_t shift) noexcept {
    return static_cast<std::int16_t>(shift + 1);  // 16-bit wrap-around, like every shift
}

// What the passes of a pattern's encoding add up to: the hex pass shifts by k, and the plain
// pass of pattern 1 by 0, of pattern 2 by k + 1, of pattern 3 by k.
std::uint16_t patternShift(std::int16_t k, std::int16_t pattern) noexcept {
    const auto shift = static_cast<std::uint16_t>(k);
    if (pattern == 2)
        return static_cast<std::uint16_t>(shift + static_cast<std::uint16_t>(nextShift(k)));
    if (pattern == 3) return static_cast<std::uint16_t>(shift + shift);
    return shift;
}

// Appends `text` as bytes when every unit is ASCII other than CR; otherwise leaves `out` as it
// was and returns false.
bool appendAsciiBytes(std::u16string_view text, std::string& out) {
    const std::size_t base = out.size();
    const std::size_t n = text.size();
    out.resize(base + n);
    char* o = out.data() + base;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i cr = _mm_set1_epi16(0x0D);
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const __m128i refused =
            _mm_or_si128(_mm_and_si128(units, high), _mm_cmpeq_epi16(units, cr));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(refused, _mm_setzero_si128())) != 0xFFFF) {
            out.resize(base);
            return false;
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + i), _mm_packus_epi16(units, units));
    }
#endif
    for (; i < n; ++i) {
        if (text[i] >= 0x80 || text[i] == u'\r') {
            out.resize(base);
            return false;
        }
        o[i] = static_cast<char>(text[i]);
    }
    return true;
}

}  // namespace

LineConverter::LineConverter(Direction direction, std::int16_t keyCode,
                             std::int16_t pattern) noexcept
    : direction_(direction),
      shift_(keyShift(keyCode)),
      pattern_(pattern),
      digits_(patternShift(shift_, pattern)) {}

bool LineConverter::writesAscii() const noexcept {
    return direction_ == Direction::Encode && isCipherPattern(pattern_);
}

void LineConverter::addLine(std::u16string_view line, std::string& asciiOut) {
    if (!resultEmpty_) asciiOut.append("\r\n");
    const std::size_t start = asciiOut.size();
    encodeLine(line, asciiOut);
    if (asciiOut.size() > start) resultEmpty_ = false;
}

std::optional<CipherError> LineConverter::addLine(std::u16string_view line, std::u16string& out) {
    const std::size_t before = out.size();
    if (!resultEmpty_) out.append(kLineBreak);
    const std::size_t start = out.size();
    if (direction_ == Direction::Encode) {
        encodeLine(line, out);
    } else if (auto error = decodeLine(line, out)) {
        out.resize(before);
        return error;
    }
    if (out.size() > start) resultEmpty_ = false;
    return std::nullopt;
}

std::optional<CipherError> LineConverter::addAsciiLine(std::string_view line, std::u16string& out) {
    if (direction_ == Direction::Encode) {
        widened(line);
        return addLine(wide_, out);
    }
    const std::size_t before = out.size();
    if (!resultEmpty_) out.append(kLineBreak);
    const std::size_t start = out.size();
    if (auto error = decodeLine(line, out)) {
        out.resize(before);
        return error;
    }
    if (out.size() > start) resultEmpty_ = false;
    return std::nullopt;
}

// The way most lines of a ciphertext file go: well-formed, deciphered in one pass straight into
// a buffer that is never cleared or zeroed, and from there to bytes; while the lines come out
// ASCII, straight to bytes. False, with nothing changed, for any line that takes the long way:
// what decodeLine refuses or sends pass by pass, a digit the vector kernel does not read, which
// the long way names, and a result holding a CR, which the long way makes a break of its own.
bool LineConverter::addDecipheredAscii(std::string_view line, std::u16string& out,
                                       std::string& asciiOut, bool& wroteAscii,
                                       bool readableAround) {
    const std::size_t units = cipher_detail::hexDecipheredUnits(line.size());
    if (units_.size() < units) units_.resize(units);
    const std::size_t before = asciiOut.size();
    if (lastWasAscii_) {
        asciiOut.resize(before + 2 + units);
        std::size_t wrote = 0;
        wroteAscii = decipherAsciiInto(line, asciiOut.data() + before, readableAround, wrote);
        asciiOut.resize(before + (wroteAscii ? wrote : 0));
        if (wroteAscii) return true;
    }
    std::u16string_view result;
    bool breakBefore = false;
    if (!decipherUnits(line, readableAround, result, breakBefore)) return false;
    if (breakBefore) asciiOut.append("\r\n");
    wroteAscii = appendAsciiBytes(result, asciiOut);
    if (!wroteAscii) {
        asciiOut.resize(before);
        if (breakBefore) out.append(kLineBreak);
        out.append(result);
    }
    return true;
}

// Whether a line of ASCII ciphertext goes through in one pass, with its digits arranged as
// `arrangement` says, into units_ as it is: the long way settles any other.
bool LineConverter::onePass(std::string_view line,
                            cipher_detail::Arrangement& arrangement) const noexcept {
    using namespace cipher_detail;
    if (!isCipherPattern(pattern_) || line.empty() || line.size() % 2 != 0) return false;
    arrangement = Arrangement::Single;
    if (pattern_ != 0) {
        if (pattern_ != 2 && (line.size() / 2) % 2 != 0) return false;
        if (middlePassDropsSpaces(line)) return false;
        arrangement = pattern_ == 2 ? Arrangement::Whole : Arrangement::Halves;
    }
    return units_.size() >= hexDecipheredUnits(line.size());  // addAsciiLine makes room
}

bool LineConverter::decipherUnits(std::string_view line, bool readableAround,
                                  std::u16string_view& units, bool& breakBefore) noexcept {
    using namespace cipher_detail;
    Arrangement arrangement{};
    if (!onePass(line, arrangement)) return false;
    const DecipheredLine what = hexDecipherUnits(line, digits_.shift, arrangement, units_.data(),
                                                 fastestHexKernel(), readableAround);
    if (!what.valid() || what.cr()) return false;  // a CR is a break the long way makes
    lastWasAscii_ = what.ascii();
    breakBefore = !resultEmpty_;
    if (what.spaceless > 0) resultEmpty_ = false;  // every pass drops the spaces at the end
    units = std::u16string_view(units_.data(), what.spaceless);
    return true;
}

bool LineConverter::decipherAsciiInto(std::string_view line, char* out, bool readableAround,
                                      std::size_t& wrote) noexcept {
    using namespace cipher_detail;
    Arrangement arrangement{};
    if (!lastWasAscii_ || !onePass(line, arrangement)) return false;
    const std::size_t breakSize = resultEmpty_ ? 0 : 2;
    std::size_t spaceless = 0;  // every pass drops the spaces at the end
    if (hexDecipherAscii(line, digits_.shift, arrangement, out + breakSize, units_.data(),
                         fastestHexKernel(), readableAround, &spaceless) != AsciiDecipher::Ascii) {
        return false;
    }
    if (breakSize != 0) {
        out[0] = '\r';
        out[1] = '\n';
    }
    if (spaceless > 0) resultEmpty_ = false;
    wrote = breakSize + spaceless;
    return true;
}

std::optional<CipherError> LineConverter::addAsciiLine(std::string_view line, std::u16string& out,
                                                       std::string& asciiOut, bool& wroteAscii,
                                                       bool readableAround) {
    wroteAscii = false;
    if (addDecipheredAscii(line, out, asciiOut, wroteAscii, readableAround)) return std::nullopt;
    decoded_.clear();
    const bool joined = !resultEmpty_;
    if (auto error = addAsciiLine(line, decoded_)) return error;
    // The break before the line is CR LF, which the file holds as it is; a CR within the line
    // is one the file must write as a break of its own.
    const std::size_t breakSize = joined ? kLineBreak.size() : 0;
    const std::size_t before = asciiOut.size();
    if (joined) asciiOut.append("\r\n");
    wroteAscii = appendAsciiBytes(std::u16string_view(decoded_).substr(breakSize), asciiOut);
    if (!wroteAscii) {
        asciiOut.resize(before);
        out.append(decoded_);
    }
    return std::nullopt;
}

void LineConverter::narrowed(std::u16string_view text) {
    narrow_.resize(text.size());
    char* o = narrow_.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Saturating: units from 0x100 to 0x7FFF become 0xFF, those from 0x8000 on become 0x00.
    for (; i + 8 <= text.size(); i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + i), _mm_packus_epi16(units, units));
    }
#endif
    for (; i < text.size(); ++i) o[i] = static_cast<char>(text[i] < 0xFF ? text[i] : 0xFF);
}

const std::u16string& LineConverter::widened(std::string_view ascii) {
    wide_.resize(ascii.size());
    for (std::size_t i = 0; i < ascii.size(); ++i) wide_[i] = static_cast<unsigned char>(ascii[i]);
    return wide_;
}

template <class Out>
void LineConverter::encodeLine(std::u16string_view line, Out& out) {
    if (isCipherPattern(pattern_)) {
        // Pattern 2 enciphers the whole hex-stage ciphertext again, patterns 1 and 3 each half
        // of it: one pass with the shifts added up does both.
        using cipher_detail::Arrangement;
        const Arrangement arrangement = pattern_ == 0   ? Arrangement::Single
                                        : pattern_ == 2 ? Arrangement::Whole
                                                        : Arrangement::Halves;
        cipher_detail::appendHexEnciphered(line, digits_, arrangement, out);
    } else if constexpr (std::is_same_v<Out, std::u16string>) {
        out.append(line);
    }
}

// Every line this program enciphers has an even length (a multiple of four). An odd-length line
// is refused up front for every pattern: its halves would drop or repeat a character, and a
// lone character would silently decode to nothing. Patterns 1 and 3 decipher each half on its
// own, which an odd half cannot go through either.
template <class Char>
std::optional<CipherError> LineConverter::decodeLine(std::basic_string_view<Char> line,
                                                     std::u16string& out) {
    using namespace cipher_detail;
    if (!isCipherPattern(pattern_)) {
        for (Char c : line) out.push_back(static_cast<std::make_unsigned_t<Char>>(c));
        return std::nullopt;
    }
    if (line.size() % 2 != 0) return CipherError::OddLength;
    if (pattern_ == 0) {
        if (decipher(line, Arrangement::Single, out)) return std::nullopt;
        return CipherError::NotHexDigit;
    }
    const std::size_t half = line.size() / 2;
    if (pattern_ != 2 && half % 2 != 0 && half >= 3) return CipherError::OddHalves;

    // Well-formed ciphertext goes through in one pass. The passes in between drop trailing
    // spaces, which shifts what follows; a line whose passes would, and any line that does not
    // decipher, takes the passes one by one, which settle its result or its error.
    if (!middlePassDropsSpaces(line) &&
        decipher(line, pattern_ == 2 ? Arrangement::Whole : Arrangement::Halves, out)) {
        return std::nullopt;
    }
    if constexpr (std::is_same_v<Char, char>) {
        return decodeLinePassByPass(widened(line), out);
    } else {
        return decodeLinePassByPass(line, out);
    }
}

// ASCII lines go sixteen bytes at a time. So do long lines of text, made bytes first: a unit
// beyond 0xFF becomes 0xFF or 0x00, neither of which is a hex digit lowered by a small shift,
// just as the unit itself is none. With a shift outside that range (no key code gives one), long
// lines read their digits from a table made once.
template <class Char>
bool LineConverter::decipher(std::basic_string_view<Char> line,
                             cipher_detail::Arrangement arrangement, std::u16string& out) {
    constexpr std::size_t kLongLine = 64;
    const auto shift = static_cast<std::int16_t>(digits_.shift);
    if constexpr (std::is_same_v<Char, char>) {
        return cipher_detail::appendHexDeciphered(line, digits_.shift, arrangement, out);
    } else {
        if (line.size() < kLongLine) {
            return cipher_detail::appendHexDeciphered(line, digits_.shift, arrangement, out);
        }
        if (shift >= -32 && shift <= 64) {
            narrowed(line);
            return cipher_detail::appendHexDeciphered(std::string_view(narrow_), digits_.shift,
                                                      arrangement, out);
        }
        if (!values_) values_.emplace(digits_.shift);
        return cipher_detail::appendHexDeciphered(line, *values_, arrangement, out);
    }
}

// A plain pass leaves a trailing space when the last unit it makes is one. Deciphering text t
// of even length n, that unit is t[0] lowered by the pass's key.
template <class Char>
bool LineConverter::middlePassDropsSpaces(std::basic_string_view<Char> line) const noexcept {
    const auto lowered = [](Char c, std::int16_t key) {
        const char16_t unit = static_cast<std::make_unsigned_t<Char>>(c);
        return static_cast<char16_t>(unit - static_cast<std::uint16_t>(key));
    };
    if (pattern_ == 2) return lowered(line[0], nextShift(shift_)) == u' ';
    const std::size_t half = line.size() / 2;
    if (half % 2 != 0) return true;  // a line of two units: rare enough to take the long way
    const std::int16_t halfKey = pattern_ == 1 ? 0 : shift_;
    return lowered(line[0], halfKey) == u' ' || lowered(line[half], halfKey) == u' ';
}

// The patterns' decoding exactly as composed from decodeText's passes.
std::optional<CipherError> LineConverter::decodeLinePassByPass(std::u16string_view line,
                                                               std::u16string& out) {
    using namespace cipher_detail;
    stage_.clear();
    if (pattern_ == 2) {
        if (auto e = appendDecoded(line, nextShift(shift_), CipherMode::Plain, stage_)) {
            return e;
        }
    } else {
        const std::int16_t halfKey = pattern_ == 1 ? 0 : shift_;
        const std::size_t half = line.size() / 2;
        for (std::u16string_view part : {line.substr(0, half), line.substr(half)}) {
            if (auto e = appendDecoded(part, halfKey, CipherMode::Plain, stage_)) {
                return e;
            }
        }
    }
    return appendDecoded(stage_, shift_, CipherMode::Hex, out);
}

std::u16string encodeLines(std::u16string_view source, std::int16_t keyCode, std::int16_t pattern) {
    LineConverter converter(Direction::Encode, keyCode, pattern);
    std::u16string result;
    // Hex stage plus line breaks: about four units per source unit.
    result.reserve(source.size() * 4 + 16);
    TextLines lines(source);
    std::u16string_view line;
    while (lines.next(line)) {
        // Encoding accepts every line.
        (void)converter.addLine(line, result);
    }
    return result;
}

DecodedText decodeLines(std::u16string_view source, std::int16_t keyCode, std::int16_t pattern) {
    LineConverter converter(Direction::Decode, keyCode, pattern);
    DecodedText decoded;
    decoded.text.reserve(source.size() / 4 + 16);
    TextLines lines(source);
    std::u16string_view line;
    for (std::size_t number = 1; lines.next(line); ++number) {
        if (auto reason = converter.addLine(line, decoded.text)) {
            decoded.error = LineError{number, *reason};
            break;
        }
    }
    return decoded;
}

bool isBlankForDecoding(std::u16string_view source) noexcept {
    return source.find_first_not_of(u' ') == std::u16string_view::npos;
}

}  // namespace voxilo
