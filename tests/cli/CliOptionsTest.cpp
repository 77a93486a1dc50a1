#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/Console.h"

namespace voxilo::cli {
namespace {

TEST(CliOptions, ReadsAConversionRequest) {
    const auto command = parseArguments(
        {"decode", "--key-code", "7", "--pattern=-1", "-i", "in.txt", "--output=out.txt"});
    const auto* request = std::get_if<ConvertRequest>(&command);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->direction, Direction::Decode);
    EXPECT_EQ(request->keyCode, 7);
    EXPECT_EQ(request->pattern, -1);
    EXPECT_EQ(request->input, "in.txt");
    EXPECT_EQ(request->output, "out.txt");

    const auto defaults = std::get<ConvertRequest>(parseArguments({"encode"}));
    EXPECT_EQ(defaults.keyCode, 0);
    EXPECT_EQ(defaults.pattern, 0);
    EXPECT_EQ(defaults.input, "");

    const auto login = std::get<ConvertRequest>(
        parseArguments({"encode", "--user", "Alice", "--password-stdin", "-i", "doc.txt"}));
    EXPECT_EQ(login.user, "Alice");
    EXPECT_TRUE(login.passwordFromStdin);

    // Any 16-bit key code is taken; the key shift table decides what it means.
    EXPECT_EQ(std::get<ConvertRequest>(parseArguments({"encode", "--key-code", "-32768"})).keyCode,
              -32768);
}

// Every spelling of every option reaches its own field, and no other.
TEST(CliOptions, EachSpellingReachesItsOwnField) {
    struct Case {
        std::vector<std::string> args;
        ConvertRequest expected;
    };
    const auto with = [](auto change) {
        ConvertRequest request;
        change(request);
        return request;
    };
    const auto input = with([](ConvertRequest& r) { r.input = "a.txt"; });
    const auto output = with([](ConvertRequest& r) { r.output = "a.txt"; });
    const auto keyCode = with([](ConvertRequest& r) { r.keyCode = 25; });
    const auto pattern = with([](ConvertRequest& r) { r.pattern = 3; });
    const auto user = with([](ConvertRequest& r) { r.user = "al"; });
    const std::vector<Case> cases = {
        {{"-i", "a.txt"}, input},        {{"--input", "a.txt"}, input},
        {{"--input=a.txt"}, input},      {{"-o", "a.txt"}, output},
        {{"--output", "a.txt"}, output}, {{"--output=a.txt"}, output},
        {{"--key-code", "25"}, keyCode}, {{"--key-code=25"}, keyCode},
        {{"--pattern", "3"}, pattern},   {{"--pattern=3"}, pattern},
        {{"--user", "al"}, user},        {{"--user=al"}, user},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"encode"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Command command = parseArguments(args);
        const auto* got = std::get_if<ConvertRequest>(&command);
        ASSERT_NE(got, nullptr) << testing::PrintToString(args);
        EXPECT_EQ(got->input, c.expected.input) << testing::PrintToString(args);
        EXPECT_EQ(got->output, c.expected.output) << testing::PrintToString(args);
        EXPECT_EQ(got->keyCode, c.expected.keyCode) << testing::PrintToString(args);
        EXPECT_EQ(got->pattern, c.expected.pattern) << testing::PrintToString(args);
        EXPECT_EQ(got->user, c.expected.user) << testing::PrintToString(args);
        EXPECT_FALSE(got->passwordFromStdin) << testing::PrintToString(args);
    }
    for (const char* help : {"-h", "--help"}) {
        EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseArguments({"decode", help})));
    }
}

// Encodings are named in any letter case; the input's is found when not given.
TEST(CliOptions, ReadsTheEncodings) {
    struct Case {
        std::vector<std::string> args;
        std::optional<TextEncoding> input;
        TextEncoding output;
    };
    const std::vector<Case> cases = {
        {{}, std::nullopt, TextEncoding::Cp932},
        {{"--input-encoding", "AUTO"}, std::nullopt, TextEncoding::Cp932},
        {{"--input-encoding=cp932"}, TextEncoding::Cp932, TextEncoding::Cp932},
        {{"--input-encoding", "Utf-8"}, TextEncoding::Utf8, TextEncoding::Cp932},
        {{"--input-encoding", "UTF-16LE"}, TextEncoding::Utf16Le, TextEncoding::Cp932},
        {{"--input-encoding", "utf-16be"}, TextEncoding::Utf16Be, TextEncoding::Cp932},
        {{"--output-encoding", "CP932"}, std::nullopt, TextEncoding::Cp932},
        {{"--output-encoding=utf-8"}, std::nullopt, TextEncoding::Utf8},
        {{"--output-encoding", "UTF-8-BOM"}, std::nullopt, TextEncoding::Utf8Bom},
        {{"--output-encoding", "utf-16LE"}, std::nullopt, TextEncoding::Utf16Le},
        {{"--output-encoding", "Utf-16Be", "--input-encoding", "utf-8"},
         TextEncoding::Utf8,
         TextEncoding::Utf16Be},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"decode"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Command command = parseArguments(args);
        const auto* got = std::get_if<ConvertRequest>(&command);
        ASSERT_NE(got, nullptr) << testing::PrintToString(args);
        EXPECT_EQ(got->inputEncoding, c.input) << testing::PrintToString(args);
        EXPECT_EQ(got->outputEncoding, c.output) << testing::PrintToString(args);
    }
    const Command bad = parseArguments({"encode", "--output-encoding", "sjis"});
    const auto* refused = std::get_if<UsageError>(&bad);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->message,
              "--output-encoding の値は cp932、utf-8、utf-8-bom、utf-16le、utf-16be "
              "のどれかです: 'sjis'");
}

TEST(CliOptions, RefusesWhatItCannotRead) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"crypt"},
        {"encode", "--key-code"},
        {"encode", "--key-code", "32768"},
        {"encode", "--key-code", "7x"},
        {"encode", "--pattern", ""},
        {"encode", "--colour"},
        {"encode", "extra"},
        {"encode", "-o"},
        {"encode", "--user"},
        {"encode", "--user", "Alice", "--key-code", "3"},   // the user's key, or the one given
        {"encode", "--password-stdin", "-i", "doc.txt"},    // whose password?
        {"encode", "--user", "Alice", "--password-stdin"},  // the document cannot be on stdin too
        {"encode", "--input-encoding", "utf8"},
        {"encode", "--input-encoding", "utf-8-bom"},  // a mark is found, not asked for
        {"encode", "--output-encoding", "auto"},
        {"encode", "--output-encoding", "sjis"},
        {"encode", "--output-encoding"},
    };
    for (const auto& args : bad) {
        EXPECT_TRUE(std::holds_alternative<UsageError>(parseArguments(args)))
            << testing::PrintToString(args);
    }
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseArguments({"encode", "--help"})));
    EXPECT_TRUE(std::holds_alternative<ShowVersion>(parseArguments({"--version"})));
}

// Small writes go through the stream's buffer and large ones straight to its file: the bytes
// still come out in the order they were written.
TEST(Console, WritesBytesInTheirOrderWhateverTheirSize) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::string large(64 * 1024, 'x');
    std::string expected;
    for (const std::string& bytes : {std::string("ab"), large, std::string("cd"),
                                     std::string("ef"), large + "y", std::string("gh")}) {
        ASSERT_FALSE(writeBytes(file, bytes));
        expected += bytes;
    }
    ASSERT_EQ(std::fflush(file), 0);
    std::rewind(file);
    std::string got(expected.size() + 1, '\0');
    got.resize(std::fread(got.data(), 1, got.size(), file));
    std::fclose(file);
    EXPECT_TRUE(got == expected) << "got " << got.size() << " bytes";
}

}  // namespace
}  // namespace voxilo::cli
