// Runs the real voxilo-cli the way a user does and checks files, exit codes and messages.

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/cipher/LineConversion.h"
#include "core/documents/DocumentFormat.h"
#include "core/platform/Codepage.h"
#include "core/platform/Utf8.h"
#include "core/store/ProgramSettings.h"
#include "core/store/SqliteValueStore.h"
#include "support/TempDir.h"

namespace voxilo {
namespace {

namespace fs = std::filesystem;

using testing_support::readFile;
using testing_support::writeFile;

class CliProcessTest : public testing::Test {
protected:
    fs::path file(const std::string& name) const { return dir_ / name; }

    // Runs voxilo-cli with a shell command line; its standard error lands in err().
    int run(const std::string& args) {
        const std::string command =
            "'" VOXILO_CLI_PATH "' " + args + " 2>'" + file("stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err() const { return readFile(file("stderr")); }

    testing_support::TempDir dir_;
};

const std::string kJapanese =
    "\r\n\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\nsecond line\rthird\nstill third  \r\n";

TEST_F(CliProcessTest, WritesWhatTheWindowWouldSave) {
    writeFile(file("in.txt"), kJapanese);
    ASSERT_EQ(run("encode --key-code 7 --pattern 2 -i " + file("in.txt").string() + " -o " +
                  file("out.txt").string()),
              0)
        << err();
    const std::u16string top = *documentTextFromBytes(kJapanese);
    const std::string expected = *documentBytesFromText(encodeLines(top, 7, 2));
    EXPECT_EQ(readFile(file("out.txt")), expected);

    // Standard input and output by default; decoding gives the text back.
    ASSERT_EQ(run("decode --key-code 7 --pattern 2 < " + file("out.txt").string() + " > " +
                  file("back.txt").string()),
              0)
        << err();
    EXPECT_EQ(readFile(file("back.txt")),
              "\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\nsecond line\r\nthird\nstill third\r\n");
}

TEST_F(CliProcessTest, AFailedConversionLeavesTheOutputFileAlone) {
    writeFile(file("cipher.txt"), "063006200610\r\n063006200610\r\nnot ciphertext!\r\n");
    writeFile(file("out.txt"), "precious");
    EXPECT_EQ(run("decode -i " + file("cipher.txt").string() + " -o " + file("out.txt").string()),
              1);
    EXPECT_NE(err().find("3行目を解読できません"), std::string::npos) << err();
    EXPECT_EQ(readFile(file("out.txt")), "precious");
    EXPECT_EQ(dir_.entries(), 3u);  // no temporary file left

    // On standard output the lines before the broken one go out, each ending with CR LF as in
    // the whole file.
    writeFile(file("good.txt"), "063006200610\r\n063006200610\r\n");
    ASSERT_EQ(run("decode -i " + file("good.txt").string() + " -o " + file("whole.txt").string()),
              0);
    EXPECT_EQ(run("decode -i " + file("cipher.txt").string() + " > " + file("part.txt").string()),
              1);
    EXPECT_EQ(readFile(file("part.txt")), readFile(file("whole.txt")));

    // The reason in Japanese first; the system's words may follow.
    EXPECT_EQ(run("encode -i " + file("missing.txt").string()), 1);
    EXPECT_NE(err().find("missing.txt を開けません: ファイルまたはフォルダーが見つかりません。"),
              std::string::npos)
        << err();
}

TEST_F(CliProcessTest, AnOutputThatCannotBeWrittenExitsWithOne) {
    writeFile(file("in.txt"), kJapanese);
    EXPECT_EQ(run("encode -i " + file("in.txt").string() + " > /dev/full"), 1);
    EXPECT_NE(err().find("標準出力 に書き込めません"), std::string::npos) << err();

    const std::string missing = (dir_ / "missing" / "out.txt").string();
    EXPECT_EQ(run("encode -i " + file("in.txt").string() + " -o " + missing), 1);
    EXPECT_NE(err().find(missing + " に書き込めません"), std::string::npos) << err();
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(CliProcessTest, BadArgumentsGiveAUsageHint) {
    EXPECT_EQ(run("encode --key-code seven"), 2);
    EXPECT_NE(err().find("使い方: voxilo-cli encode|decode"), std::string::npos) << err();
    EXPECT_EQ(run("--version > " + file("version").string()), 0);
    EXPECT_EQ(readFile(file("version")), "voxilo-cli 1.1.5\n");
}

TEST_F(CliProcessTest, ConvertsWithARegisteredUsersKey) {
    {
        SqliteValueStore store(dir_ / "config/voxilo/settings.db");
        OptionsValues options;
        options.keyCodeText = u"7";
        options.patternIndex = 2;
        const std::vector<EditedUser> users = {{u"Alice", u"secret", false},
                                               {u"Bob", u"pw", false}};
        ASSERT_FALSE(saveAllSettings(store, kSettingsKeyPath, users, options, u"Alice"));
    }
    writeFile(file("in.txt"), kJapanese);
    writeFile(file("out.txt"), "precious");
    const std::string asUser = "XDG_CONFIG_HOME='" + (dir_ / "config").string() +
                               "' '" VOXILO_CLI_PATH "' encode --password-stdin -i " +
                               file("in.txt").string() + " -o " + file("out.txt").string() +
                               " --user ";
    const auto runAs = [&](const std::string& user, const std::string& password) {
        const std::string command = "printf '" + password + "\n' | " + asUser + user + " 2>'" +
                                    file("stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    // A wrong password, a name in the wrong case, an unknown name: nothing is converted.
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"Alice", "Secret"}, {"alice", "secret"}, {"Carol", "secret"}, {"Alice", ""}}) {
        EXPECT_EQ(runAs(user, password), 1) << user << "/" << password;
        EXPECT_EQ(readFile(file("out.txt")), "precious");
    }
    EXPECT_NE(err().find("パスワードを入力してください。"), std::string::npos) << err();

    ASSERT_EQ(runAs("Alice", "secret"), 0) << err();
    const std::u16string top = *documentTextFromBytes(kJapanese);
    EXPECT_EQ(readFile(file("out.txt")), *documentBytesFromText(encodeLines(top, 7, 2)));
    // A password line as a Windows editor or a pipe from there ends it: CR LF.
    writeFile(file("out.txt"), "precious");
    ASSERT_EQ(runAs("Alice", "secret\\r"), 0) << err();
    EXPECT_EQ(readFile(file("out.txt")), *documentBytesFromText(encodeLines(top, 7, 2)));

    // Typed at a terminal: asked for, taken, and never shown on the screen.
    writeFile(file("out.txt"), "precious");
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        const std::string in = file("in.txt").string();
        const std::string out = file("out.txt").string();
        ::execl(VOXILO_CLI_PATH, VOXILO_CLI_PATH, "encode", "--user", "Alice", "-i", in.c_str(),
                "-o", out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string screen;
    const auto readScreen = [&] {
        char buffer[256];
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n > 0) screen.append(buffer, static_cast<std::size_t>(n));
        return n > 0;
    };
    while (screen.find("パスワード") == std::string::npos && readScreen()) {
    }
    ASSERT_NE(screen.find("パスワード"), std::string::npos) << screen;
    // Typed once the terminal has stopped echoing, as a person types after the prompt.
    termios mode{};
    for (int wait = 0; wait < 300 && ::tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ECHO);
         ++wait) {
        ::usleep(10000);
    }
    ASSERT_EQ(::write(terminal, "secret\r", 7), 7);
    while (readScreen()) {
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    EXPECT_EQ(screen.find("secret"), std::string::npos) << screen;
    EXPECT_EQ(readFile(file("out.txt")), *documentBytesFromText(encodeLines(top, 7, 2)));
}

#ifndef VOXILO_SANITIZED_BUILD  // the sanitizers' own bookkeeping would swamp the figure
TEST_F(CliProcessTest, MemoryDoesNotGrowWithTheFile) {
    // 48 MB of text; holding it whole would take several times that.
    {
        std::ofstream out(file("big.txt"), std::ios::binary);
        std::string block;
        for (int i = 0; i < 4096; ++i) block += "\x93\xfa\x96\x7b\x8c\xea\x82\xcc text, line\r\n";
        for (int i = 0; i < 48 * 1024 * 1024 / static_cast<int>(block.size()); ++i) out << block;
    }
    ASSERT_EQ(
        run("encode --key-code 3 --pattern 1 -i " + file("big.txt").string() + " > /dev/null"), 0);
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 32 * 1024) << "peak resident set in KiB";
}
#endif

// What a person reads, on a Japanese Windows console too: the help holds only characters CP932
// writes (a wave dash there prints as "?"), and a file error gives its reason in Japanese
// without the system's English words beside it.
// An output that is the input itself, by any name, link or redirection, is refused before
// anything is written: the conversion would replace the document it is made from.
TEST_F(CliProcessTest, AnInputIsNeverTakenAsTheOutput) {
    writeFile(file("doc.txt"), "precious\r\n");
    fs::create_symlink(file("doc.txt"), file("link.txt"));
    fs::create_hard_link(file("doc.txt"), file("hard.txt"));
    const std::string doc = file("doc.txt").string();
    for (const std::string& args :
         {"-i '" + doc + "' -o '" + doc + "'",
          "-i '" + doc + "' --output='" + dir_.path().string() + "/./doc.txt'",
          "--input '" + doc + "' -o '" + file("link.txt").string() + "'",
          "-i '" + file("hard.txt").string() + "' -o '" + doc + "'",
          "-o '" + doc + "' < '" + doc + "'"}) {
        EXPECT_EQ(run("encode --key-code 3 " + args), 2) << args;
        EXPECT_NE(err().find("入力と出力が同じファイルです"), std::string::npos) << err();
        EXPECT_EQ(readFile(file("doc.txt")), "precious\r\n") << args;
    }
}

TEST_F(CliProcessTest, ItsWordsReadOnAJapaneseConsole) {
    ASSERT_EQ(run("--help > '" + file("help.txt").string() + "'"), 0) << err();
    const std::u16string help = fromUtf8(readFile(file("help.txt")));
    ASSERT_NE(help.find(u"暗号化キー"), std::u16string::npos);
    std::string bytes;
    EXPECT_EQ(cp932::encode(help, bytes), std::nullopt);

    EXPECT_EQ(run("encode --key-code 3 -i '" + file("missing.txt").string() + "'"), 1);
    EXPECT_NE(err().find("を開けません: ファイルまたはフォルダーが見つかりません。"),
              std::string::npos)
        << err();
    EXPECT_EQ(err().find("No such"), std::string::npos) << err();
    EXPECT_EQ(err().find(" ("), std::string::npos) << err();
}

}  // namespace
}  // namespace voxilo
