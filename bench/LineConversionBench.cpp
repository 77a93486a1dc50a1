// Encode and decode of whole documents, per pattern, at 1 MB and 16 MB of text; decode also as
// files are decoded, from the ASCII bytes of each line.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/cipher/HexDecipher.h"
#include "core/cipher/LineConversion.h"

namespace {

using namespace voxilo;

// A document of Japanese and ASCII lines, `units` UTF-16 code units long.
std::u16string makeDocument(std::size_t units) {
    const std::u16string line =
        u"吾輩は猫である。名前はまだ無い。 Voxilo benchmark line 0123456789\r\n";
    std::u16string text;
    text.reserve(units + line.size());
    while (text.size() < units) text += line;
    text.resize(units);
    return text;
}

void BM_EncodeLines(benchmark::State& state) {
    const std::u16string source = makeDocument(static_cast<std::size_t>(state.range(0)));
    const auto pattern = static_cast<std::int16_t>(state.range(1));
    for (auto _ : state) {
        std::u16string cipher = encodeLines(source, 12, pattern);
        benchmark::DoNotOptimize(cipher.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}

void BM_DecodeLines(benchmark::State& state) {
    const std::u16string cipher =
        encodeLines(makeDocument(static_cast<std::size_t>(state.range(0))), 12,
                    static_cast<std::int16_t>(state.range(1)));
    const auto pattern = static_cast<std::int16_t>(state.range(1));
    for (auto _ : state) {
        DecodedText plain = decodeLines(cipher, 12, pattern);
        benchmark::DoNotOptimize(plain.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}

// Decoding as files are decoded: each line of ciphertext handed over as its ASCII bytes.
void BM_DecodeAsciiLines(benchmark::State& state) {
    const auto pattern = static_cast<std::int16_t>(state.range(1));
    const std::u16string cipher =
        encodeLines(makeDocument(static_cast<std::size_t>(state.range(0))), 12, pattern);
    std::vector<std::string> lines(1);
    for (char16_t c : cipher) {
        if (c == u'\r') {
            lines.emplace_back();
        } else if (c != u'\n') {
            lines.back().push_back(static_cast<char>(c));
        }
    }
    for (auto _ : state) {
        LineConverter converter(Direction::Decode, 12, pattern);
        std::u16string plain;
        for (const std::string& line : lines) (void)converter.addAsciiLine(line, plain);
        benchmark::DoNotOptimize(plain.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}

// The hex-mode decipher kernels on lines of ciphertext bytes, as the lines of a file arrive: 440
// bytes (a line of 110 characters) and 64 KiB, a pattern's arrangement each. Each kernel
// against the plain one gives what the vector steps are worth.
// The kernel a benchmark's first argument names, if this processor has it.
std::optional<cipher_detail::HexKernel> kernelOf(benchmark::State& state) {
    const auto kernel = static_cast<cipher_detail::HexKernel>(state.range(0));
    const auto& available = cipher_detail::availableHexKernels();
    if (std::find(available.begin(), available.end(), kernel) != available.end()) return kernel;
    state.SkipWithError("this processor has no such kernel");
    return std::nullopt;
}

void BM_HexDecipherKernel(benchmark::State& state) {
    using namespace cipher_detail;
    const auto kernel = kernelOf(state);
    if (!kernel) return;
    const auto arrangement = static_cast<Arrangement>(state.range(1));
    const auto len = static_cast<std::size_t>(state.range(2));
    std::string line(len, '0');
    for (std::size_t i = 0; i < len; ++i) line[i] = "0123456789ABCDEF"[(i * 7 + i / 5) % 16] + 9;
    const std::size_t lines = (16u << 20) / len;  // 16 MB of ciphertext a round
    std::u16string out(hexDecipheredUnits(len), u'\0');
    for (auto _ : state) {
        for (std::size_t i = 0; i < lines; ++i) {
            benchmark::DoNotOptimize(hexDecipherBytes(line, 9, arrangement, out.data(), *kernel));
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lines * len));
}
BENCHMARK(BM_HexDecipherKernel)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}, {440, 65536}})
    ->Unit(benchmark::kMillisecond);

// The same kernels deciphering lines whose result is ASCII straight to bytes, as the lines of
// an English document come out of its ciphertext inside a piece of the file.
void BM_HexDecipherAscii(benchmark::State& state) {
    using namespace cipher_detail;
    const auto kernel = kernelOf(state);
    if (!kernel) return;
    const auto arrangement = static_cast<Arrangement>(state.range(1));
    const auto len = static_cast<std::size_t>(state.range(2));
    // The hex stage of ASCII text, each digit put where the arrangement keeps it.
    std::string line(len, '0');
    for (std::size_t x = 0; x < len; ++x) {
        const char c = static_cast<char>(' ' + (x / 4 * 7) % 90);
        const char digit = x % 4 == 0 ? "0123456789ABCDEF"[c >> 4]
                           : x % 4 == 1 ? "0123456789ABCDEF"[c & 15]
                                        : '0';
        const std::size_t at = arrangement == Arrangement::Single ? SingleSource{len}(x)
                               : arrangement == Arrangement::Whole ? WholeSource{len}(x)
                                                                    : HalvesSource{len}(x);
        line[at] = static_cast<char>(digit + 9);
    }
    const std::size_t lines = (16u << 20) / len;  // 16 MB of ciphertext a round
    std::string ascii(hexDecipheredUnits(len), '\0');
    std::u16string units(hexDecipheredUnits(len), u'\0');
    // With a byte readable on either side, as a line inside a piece of a file has.
    const std::string around = "\n" + line + "\r";
    const std::string_view text = std::string_view(around).substr(1, len);
    for (auto _ : state) {
        for (std::size_t i = 0; i < lines; ++i) {
            benchmark::DoNotOptimize(hexDecipherAscii(text, 9, arrangement, ascii.data(),
                                                      units.data(), *kernel, true));
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lines * len));
}
BENCHMARK(BM_HexDecipherAscii)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}, {440, 65536}})
    ->Unit(benchmark::kMillisecond);

// Sizes are in code units of two bytes: 512 Ki units is 1 MB of text, 8 Mi units 16 MB.
void sizesAndPatterns(benchmark::internal::Benchmark* b) {
    for (std::int64_t units : {512 * 1024, 8 * 1024 * 1024}) {
        for (std::int64_t pattern = 0; pattern < 4; ++pattern) b->Args({units, pattern});
    }
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_EncodeLines)->Apply(sizesAndPatterns);
BENCHMARK(BM_DecodeLines)->Apply(sizesAndPatterns);
BENCHMARK(BM_DecodeAsciiLines)->Apply(sizesAndPatterns);

}  // namespace

BENCHMARK_MAIN();
