#include "cli/CliOptions.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace voxilo::cli {
namespace {

std::optional<std::int16_t> parseInt16(std::string_view text) {
    std::int16_t value = 0;
    const char* end = text.data() + text.size();
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

struct EncodingValue {
    const char* name;
    std::optional<TextEncoding> encoding;  // none for auto
};
constexpr EncodingValue kInputEncodings[] = {{"auto", std::nullopt},
                                             {"cp932", TextEncoding::Cp932},
                                             {"utf-8", TextEncoding::Utf8},
                                             {"utf-16le", TextEncoding::Utf16Le},
                                             {"utf-16be", TextEncoding::Utf16Be}};
constexpr EncodingValue kOutputEncodings[] = {{"cp932", TextEncoding::Cp932},
                                              {"utf-8", TextEncoding::Utf8},
                                              {"utf-8-bom", TextEncoding::Utf8Bom},
                                              {"utf-16le", TextEncoding::Utf16Le},
                                              {"utf-16be", TextEncoding::Utf16Be}};

// The value among `values`, in any letter case.
template <std::size_t N>
const EncodingValue* findEncoding(const EncodingValue (&values)[N], std::string_view text) {
    const std::string key = lowered(text);
    for (const EncodingValue& value : values) {
        if (key == value.name) return &value;
    }
    return nullptr;
}

template <std::size_t N>
std::string encodingChoices(const EncodingValue (&values)[N]) {
    std::string text;
    for (std::size_t i = 0; i < N; ++i) text += (i == 0 ? "" : "、") + std::string(values[i].name);
    return text;
}

}  // namespace

Command parseArguments(const std::vector<std::string>& args) {
    ConvertRequest request;
    bool haveCommand = false;
    bool haveKey = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") return ShowHelp{};
        if (arg == "--version") return ShowVersion{};

        // Options take their value as the next argument or after "=".
        std::string_view name = arg;
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            if (auto eq = arg.find('='); eq != std::string_view::npos) {
                name = arg.substr(0, eq);
                inlineValue = std::string(arg.substr(eq + 1));
            }
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        auto missing = [&] {
            return UsageError{"オプション " + std::string(name) + " には値が要ります"};
        };

        if (name == "--key-code" || name == "--pattern") {
            auto text = value();
            if (!text) return missing();
            auto number = parseInt16(*text);
            if (!number) {
                return UsageError{std::string(name) +
                                  " の値は -32768 から 32767 までの整数です: '" + *text + "'"};
            }
            (name == "--key-code" ? request.keyCode : request.pattern) = *number;
            haveKey = true;
        } else if (name == "--user") {
            auto text = value();
            if (!text || text->empty()) return missing();
            request.user = *text;
        } else if (name == "--input-encoding" || name == "--output-encoding") {
            auto text = value();
            if (!text) return missing();
            const bool input = name == "--input-encoding";
            const EncodingValue* found = input ? findEncoding(kInputEncodings, *text)
                                               : findEncoding(kOutputEncodings, *text);
            if (found == nullptr) {
                return UsageError{
                    std::string(name) + " の値は " +
                    (input ? encodingChoices(kInputEncodings) : encodingChoices(kOutputEncodings)) +
                    " のどれかです: '" + *text + "'"};
            }
            if (input) {
                request.inputEncoding = found->encoding;
            } else {
                request.outputEncoding = *found->encoding;
            }
        } else if (arg == "--password-stdin") {
            request.passwordFromStdin = true;
        } else if (name == "-i" || name == "--input" || name == "-o" || name == "--output") {
            auto text = value();
            if (!text) return missing();
            (name == "-i" || name == "--input" ? request.input : request.output) = *text;
        } else if (!haveCommand && (arg == "encode" || arg == "decode")) {
            request.direction = arg == "encode" ? Direction::Encode : Direction::Decode;
            haveCommand = true;
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError{"知らないオプションです: '" + std::string(arg) + "'"};
        } else if (haveCommand) {
            return UsageError{"余分な引数です: '" + std::string(arg) + "'"};
        } else {
            return UsageError{"コマンドは encode か decode です: '" + std::string(arg) + "'"};
        }
    }
    if (!haveCommand) return UsageError{"encode か decode を指定してください"};
    if (request.user && haveKey) {
        return UsageError{"--user と --key-code/--pattern は一緒に使えません"};
    }
    if (request.passwordFromStdin && !request.user) {
        return UsageError{"--password-stdin は --user と一緒に使います"};
    }
    if (request.passwordFromStdin && (request.input.empty() || request.input == "-")) {
        return UsageError{"--password-stdin では、変換する文書を -i FILE で指定してください"};
    }
    return request;
}

}  // namespace voxilo::cli
