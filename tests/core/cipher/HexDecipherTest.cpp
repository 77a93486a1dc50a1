#include "core/cipher/HexDecipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/cipher/TextCipher.h"

namespace voxilo::cipher_detail {
namespace {

const char* nameOf(HexKernel kernel) {
    switch (kernel) {
        case HexKernel::Plain:
            return "plain";
        case HexKernel::Sse2:
            return "SSE2";
        case HexKernel::Avx2:
            return "AVX2";
        case HexKernel::Avx512:
            return "AVX-512";
    }
    return "?";
}

const char* nameOf(Arrangement arrangement) {
    switch (arrangement) {
        case Arrangement::Single:
            return "Single";
        case Arrangement::Whole:
            return "Whole";
        case Arrangement::Halves:
            return "Halves";
    }
    return "?";
}

// The shifts the patterns add up to at the ends of the key table (-5 + -5, 20 + 21), none,
// the ends of what the vector kernels take byte-wise, and one past each, which they leave to
// the plain way.
constexpr std::int16_t kShifts[] = {0, -10, 41, -32, 64, -33, 65};

// Hex digits of both cases raised by `shift`, as bytes.
std::string randomCiphertext(std::mt19937& rng, std::size_t len, std::int16_t shift) {
    static constexpr char kDigits[] = "0123456789ABCDEFabcdef";
    std::string text(len, '\0');
    for (char& c : text) c = static_cast<char>(kDigits[rng() % 22] + shift);
    return text;
}

struct Outcome {
    bool ok;
    std::u16string units;
};

// The text is copied to the end of a buffer of its own, after `offset` bytes that are no hex
// digit: a kernel reading before its text gets them, one reading past it is caught by the
// address sanitizer.
Outcome decipherAt(const std::string& text, std::size_t offset, std::int16_t shift,
                   Arrangement arrangement, HexKernel kernel) {
    const auto buffer = std::make_unique<char[]>(offset + text.size());
    std::fill_n(buffer.get(), offset, '\x7f');
    std::copy(text.begin(), text.end(), buffer.get() + offset);
    const std::string_view view(buffer.get() + offset, text.size());
    const std::size_t units = hexDecipheredUnits(text.size());
    std::u16string out(units + 16, u'\xAAAA');
    const bool ok =
        hexDecipherBytes(view, static_cast<std::uint16_t>(shift), arrangement, out.data(), kernel);
    for (std::size_t i = units; i < out.size(); ++i) {
        EXPECT_EQ(out[i], u'\xAAAA') << "written past the end at unit " << i;
    }
    out.resize(units);
    return {ok, out};
}

bool validLength(std::size_t len, Arrangement arrangement) {
    return len % (arrangement == Arrangement::Halves ? 4 : 2) == 0;
}

constexpr Arrangement kArrangements[] = {Arrangement::Single, Arrangement::Whole,
                                         Arrangement::Halves};

TEST(HexDecipher, ThePlainKernelUndoesTheCipher) {
    // The plain kernel against the cipher itself: the worked example, then hex-mode ciphertext
    // of random text, whose arrangement Single is. Whole and Halves are checked against the
    // passes one by one in LineConversionTest.
    char16_t unit[3];
    ASSERT_TRUE(hexDecipherBytes("063006200610", 0, Arrangement::Single, unit, HexKernel::Plain));
    EXPECT_EQ(std::u16string(unit, 3), u"abc");
    std::mt19937 rng(11);
    for (std::size_t len = 0; len < 40; ++len) {
        std::u16string text;
        for (std::size_t i = 0; i < len; ++i) text.push_back(static_cast<char16_t>(rng()));
        const std::u16string cipher = *encodeText(text, 9, CipherMode::Hex);
        const std::string bytes(cipher.begin(), cipher.end());
        std::u16string out(hexDecipheredUnits(bytes.size()), u'\0');
        ASSERT_TRUE(hexDecipherBytes(bytes, 9, Arrangement::Single, out.data(), HexKernel::Plain));
        EXPECT_EQ(out, text);
    }
}

// Every kernel gives what the plain one gives, on every length up to a few hundred, at every
// alignment, with every arrangement and shift.
TEST(HexDecipher, VectorKernelsAgreeWithThePlainOneOnEveryLengthAndAlignment) {
    std::mt19937 rng(17);
    for (HexKernel kernel : availableHexKernels()) {
        if (kernel == HexKernel::Plain) continue;
        for (Arrangement arrangement : kArrangements) {
            for (std::int16_t shift : kShifts) {
                for (std::size_t len = 0; len <= 400; len += 2) {
                    if (!validLength(len, arrangement)) continue;
                    const std::string text = randomCiphertext(rng, len, shift);
                    const Outcome expected =
                        decipherAt(text, 0, shift, arrangement, HexKernel::Plain);
                    ASSERT_TRUE(expected.ok);
                    for (std::size_t offset = 0; offset < 32; ++offset) {
                        const Outcome got = decipherAt(text, offset, shift, arrangement, kernel);
                        ASSERT_TRUE(got.ok && got.units == expected.units)
                            << nameOf(kernel) << ", " << nameOf(arrangement) << ", shift " << shift
                            << ", length " << len << ", offset " << offset;
                    }
                }
            }
        }
    }
}

// A byte that is not a shifted hex digit fails the line wherever it is, with the values next
// to the digits' ranges, and bytes beyond ASCII, which a long line of text narrowed to bytes
// brings.
TEST(HexDecipher, VectorKernelsFindABadByteAnywhere) {
    std::mt19937 rng(23);
    for (HexKernel kernel : availableHexKernels()) {
        if (kernel == HexKernel::Plain) continue;
        for (Arrangement arrangement : kArrangements) {
            for (std::int16_t shift : {std::int16_t{0}, std::int16_t{-10}, std::int16_t{41}}) {
                const std::vector<char> bad = {static_cast<char>('/' + shift),
                                               static_cast<char>(':' + shift),
                                               static_cast<char>('@' + shift),
                                               static_cast<char>('G' + shift),
                                               static_cast<char>('`' + shift),
                                               static_cast<char>('g' + shift),
                                               '\xff',
                                               '\0',
                                               '\x80'};
                for (std::size_t len = 4; len <= 200; len += 4) {
                    const std::string good = randomCiphertext(rng, len, shift);
                    for (std::size_t at = 0; at < len; ++at) {
                        std::string text = good;
                        text[at] = bad[(at + len) % bad.size()];
                        const Outcome got = decipherAt(text, at % 7, shift, arrangement, kernel);
                        ASSERT_FALSE(got.ok)
                            << nameOf(kernel) << ", " << nameOf(arrangement) << ", shift " << shift
                            << ", length " << len << ", bad byte "
                            << int(static_cast<unsigned char>(text[at])) << " at " << at;
                    }
                }
            }
        }
    }
}

// A text in a buffer of its own. With the bytes around it readable: exactly one on each side,
// where the address sanitizer catches a read any further; else at an offset after bytes that
// are no hex digit.
struct Placed {
    std::unique_ptr<char[]> buffer;
    std::string_view view;
    Placed(const std::string& text, bool around) {
        const std::size_t offset = around ? 1 : text.size() % 32;
        const std::size_t size = offset + text.size() + (around ? 1 : 0);
        buffer = std::make_unique<char[]>(size);
        std::fill_n(buffer.get(), size, '\x7f');
        std::copy(text.begin(), text.end(), buffer.get() + offset);
        view = std::string_view(buffer.get() + offset, text.size());
    }
};

// Ciphertext of `len` digits raised by `shift` whose result is `units` (ASCII or not): the
// hex stage written where the arrangement puts each digit.
std::string ciphertextOf(const std::u16string& units, std::size_t len, std::int16_t shift,
                         Arrangement arrangement) {
    static constexpr char kUpper[] = "0123456789ABCDEF";
    std::string stage;
    for (char16_t unit : units) {
        for (unsigned nibble : {(unit >> 4) & 0xFu, unit & 0xFu, (unit >> 12) & 0xFu, (unit >> 8) & 0xFu})
            stage.push_back(kUpper[nibble]);
    }
    stage.resize(len);  // an odd number of bytes drops the last unit's high byte
    std::string text(len, '\0');
    for (std::size_t x = 0; x < len; ++x) {
        const std::size_t at = arrangement == Arrangement::Single ? SingleSource{len}(x)
                               : arrangement == Arrangement::Whole ? WholeSource{len}(x)
                                                                    : HalvesSource{len}(x);
        text[at] = static_cast<char>(stage[x] + shift);
    }
    return text;
}

// Deciphering straight to ASCII gives the plain kernel's units as bytes when they are ASCII
// without CR, with how many there are up to the last that is not a space; it tells a line of
// other text (its units then given as the plain kernel gives them) and a line that is no
// ciphertext, on every length up to a few hundred and every alignment.
TEST(HexDecipher, AsciiResultsComeAsBytesAndOtherTextAsUnits) {
    std::mt19937 rng(29);
    const char16_t notAscii[] = {u'\r', 0x80, 0xFF, 0x100, 0x3042, 0xFFFF};
    for (HexKernel kernel : availableHexKernels()) {
        for (Arrangement arrangement : kArrangements) {
            for (std::int16_t shift : kShifts) {
                for (std::size_t len = 0; len <= 300; len += 2) {
                    if (!validLength(len, arrangement)) continue;
                    const std::size_t n = hexDecipheredUnits(len);
                    std::u16string units(n, u'\0');
                    for (char16_t& unit : units) unit = static_cast<char16_t>(rng() % 0x80);
                    for (char16_t& unit : units) if (unit == u'\r') unit = u'\n';
                    // Some lines end in spaces, up to the whole line.
                    if (n > 0 && rng() % 3 == 0) {
                        std::fill(units.end() - static_cast<std::ptrdiff_t>(rng() % (n + 1)),
                                  units.end(), u' ');
                    }
                    enum Case { Ascii, Other, Bad };
                    for (Case kind : {Ascii, Other, Bad}) {
                        std::u16string made = units;
                        if (kind == Other && n > 0) {
                            // A unit of one byte (an odd number of bytes) can only be below 0x100.
                            const std::size_t at = rng() % n;
                            const bool oneByte = (len / 2) % 2 != 0 && at == n - 1;
                            made[at] = notAscii[rng() % (oneByte ? 3 : 6)];
                        }
                        std::string text = ciphertextOf(made, len, shift, arrangement);
                        if (kind == Bad && len > 0) text[rng() % len] = static_cast<char>('G' + shift);
                        const bool around = rng() % 2 == 0;
                        const Placed placed(text, around);
                        const std::string_view view = placed.view;
                        std::string ascii(n + 8, '\xAA');
                        std::u16string got(n + 8, u'\xAAAA');
                        std::size_t spaceless = n + 1;
                        const AsciiDecipher outcome =
                            hexDecipherAscii(view, static_cast<std::uint16_t>(shift), arrangement,
                                             ascii.data(), got.data(), kernel, around, &spaceless);
                        const auto where = [&] {
                            return std::string(nameOf(kernel)) + ", " + nameOf(arrangement) +
                                   ", shift " + std::to_string(shift) + ", length " +
                                   std::to_string(len) + ", case " + std::to_string(kind) +
                                   (around ? ", bytes around readable" : "");
                        };
                        EXPECT_EQ(ascii.substr(n), std::string(8, '\xAA')) << where();
                        EXPECT_EQ(got.substr(n), std::u16string(8, u'\xAAAA')) << where();
                        if (kind == Bad && len > 0) {
                            ASSERT_EQ(outcome, AsciiDecipher::NotHex) << where();
                        } else if (kind == Other && n > 0) {
                            ASSERT_EQ(outcome, AsciiDecipher::NotAscii) << where();
                            ASSERT_EQ(got.substr(0, n), made) << where();
                        } else {
                            ASSERT_EQ(outcome, AsciiDecipher::Ascii) << where();
                            ASSERT_EQ(ascii.substr(0, n), std::string(made.begin(), made.end()))
                                << where();
                            const std::size_t last = made.find_last_not_of(u' ');
                            ASSERT_EQ(spaceless, last == made.npos ? 0 : last + 1) << where();
                        }
                    }
                }
            }
        }
    }
}

// Deciphering into units tells what they hold (every unit ASCII, a CR, where the trailing
// spaces begin) as the units themselves show it, on every length up to a few hundred, with the
// bytes around the text readable or not.
TEST(HexDecipher, UnitsComeWithWhatTheyHold) {
    std::mt19937 rng(31);
    const char16_t others[] = {u'\r', 0x80, 0xFF, 0x100, 0x3042, 0xFFFF, u' '};
    for (HexKernel kernel : availableHexKernels()) {
        for (Arrangement arrangement : kArrangements) {
            for (std::int16_t shift : {std::int16_t{0}, std::int16_t{-10}, std::int16_t{41}}) {
                for (std::size_t len = 0; len <= 300; len += 2) {
                    if (!validLength(len, arrangement)) continue;
                    const std::size_t n = hexDecipheredUnits(len);
                    const bool oneByte = (len / 2) % 2 != 0;  // the last unit is below 0x100
                    std::u16string units(n, u'a');
                    for (char16_t& unit : units) unit = static_cast<char16_t>(' ' + rng() % 90);
                    // A few other units anywhere, and some lines ending in spaces.
                    for (auto k = rng() % 3; k > 0 && n > 0; --k) {
                        const std::size_t at = rng() % n;
                        units[at] = others[rng() % (oneByte && at == n - 1 ? 3 : 7)];
                    }
                    if (n > 0 && rng() % 3 == 0) {
                        std::fill(units.end() - static_cast<std::ptrdiff_t>(rng() % (n + 1)),
                                  units.end(), u' ');
                    }
                    const std::string text = ciphertextOf(units, len, shift, arrangement);
                    const bool around = rng() % 2 == 0;
                    const Placed placed(text, around);
                    std::u16string got(n + 8, u'\xAAAA');
                    const DecipheredLine line =
                        hexDecipherUnits(placed.view, static_cast<std::uint16_t>(shift),
                                         arrangement, got.data(), kernel, around);
                    ASSERT_TRUE(line.valid());
                    const std::string where = std::string(nameOf(kernel)) + ", " +
                                              nameOf(arrangement) + ", length " +
                                              std::to_string(len);
                    ASSERT_EQ(got, units + std::u16string(8, u'\xAAAA')) << where;
                    const std::size_t last = units.find_last_not_of(u' ');
                    EXPECT_EQ(line.spaceless, last == units.npos ? 0 : last + 1) << where;
                    EXPECT_EQ(line.cr(), units.find(u'\r') != units.npos) << where;
                    EXPECT_EQ(line.ascii(), std::all_of(units.begin(), units.end(),
                                                        [](char16_t c) { return c < 0x80; }))
                        << where;
                }
            }
        }
    }
}

}  // namespace
}  // namespace voxilo::cipher_detail
