// Runs the real voxilo-cli the way a user does. Each run is checked whole: its exit status, the
// bytes of its standard output and standard error, and every file in its folder.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

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

// The files under a folder: each path relative to it, with its bytes; a folder as its path
// with "/" and no bytes, anything else as what it is.
using Files = std::map<std::string, std::string>;

// A large file by its size and a digest of its bytes: a test that holds it in memory while it
// starts a program would count in that program's peak memory.
std::string digestOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    std::uintmax_t size = 0;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
        }
        size += static_cast<std::uintmax_t>(in.gcount());
    }
    return "<" + std::to_string(size) + " bytes, digest " + std::to_string(hash) + ">";
}

Files filesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_regular_file(status) && entry.file_size() > 1024 * 1024) {
            files[name] = digestOf(entry.path());
        } else if (fs::is_regular_file(status)) {
            files[name] = readFile(entry.path());
        } else if (fs::is_directory(status)) {
            files[name + "/"] = "";
        } else if (fs::is_symlink(status)) {
            files[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
        } else if (fs::is_fifo(status)) {
            files[name] = "<pipe>";
        } else {
            files[name] = "<other>";
        }
    }
    return files;
}

// `files` with `changes` over it.
Files with(Files files, const Files& changes) {
    for (const auto& [name, bytes] : changes) files[name] = bytes;
    return files;
}

// Everything a run of voxilo-cli did that anyone can see.
struct Effect {
    int status = 0;  // the exit status; 128 + its number when a signal ended the program
    std::string out;
    std::string err;
    Files files;
    bool operator==(const Effect&) const = default;
};

// Bytes as a person can read them: UTF-8 text as it is, everything else escaped; long contents
// only by their size and start.
std::string readable(const std::string& bytes) {
    const std::string shown = bytes.size() > 160 ? bytes.substr(0, 120) : bytes;
    const std::u16string text = fromUtf8(shown);
    const bool utf8 = toUtf8(text) == shown && text.find(u'\uFFFD') == std::u16string::npos;
    std::string out = "\"";
    for (const char c : shown) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\' || b == '"') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F || (b >= 0x80 && !utf8)) {
            static const char digits[] = "0123456789abcdef";
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 15];
        } else {
            out += c;
        }
    }
    out += "\"";
    if (shown.size() != bytes.size()) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

void PrintTo(const Effect& effect, std::ostream* os) {
    *os << "\n  status " << effect.status << "\n  stdout " << readable(effect.out) << "\n  stderr "
        << readable(effect.err) << "\n  files:";
    for (const auto& [name, bytes] : effect.files)
        *os << "\n    " << name << " " << readable(bytes);
}

// How one run is started.
struct Call {
    std::vector<std::string> args = {};
    std::optional<std::string> input = std::nullopt;  // the bytes on standard input, if any
    std::string stdinFrom = {};                       // or standard input from this file
    std::string stdoutTo = {};  // standard output into this file; else it is caught
    bool append = false;        // ... added to its end, as `>>` does
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

class CliProcessTest : public testing::Test {
protected:
    // The folder the program runs in; the files it takes and makes are here.
    fs::path file(const std::string& name) const { return folder_ / name; }
    Files files() const { return filesIn(folder_); }

    // Runs voxilo-cli in the folder, with SIGXFSZ as a shell leaves it to a program: its
    // default, which ends the program.
    Effect cli(const Call& run) {
        const fs::path in = dir_ / "stdin";
        const fs::path out = dir_ / "stdout";
        const fs::path err = dir_ / "stderr";
        writeFile(in, run.input.value_or(""));
        std::vector<std::string> words{VOXILO_CLI_PATH};
        words.insert(words.end(), run.args.begin(), run.args.end());
        const pid_t child = ::fork();
        if (child == 0) {
            const auto redirect = [](const fs::path& path, int flags, int fd) {
                const int opened = ::open(path.c_str(), flags, 0666);
                if (opened < 0 || ::dup2(opened, fd) < 0) ::_exit(126);
                ::close(opened);
            };
            if (::chdir(folder_.c_str()) != 0) ::_exit(126);
            redirect(run.stdinFrom.empty() ? in : fs::path(run.stdinFrom), O_RDONLY, 0);
            redirect(run.stdoutTo.empty() ? out : fs::path(run.stdoutTo),
                     O_WRONLY | O_CREAT | (run.append ? O_APPEND : O_TRUNC), 1);
            redirect(err, O_WRONLY | O_CREAT | O_TRUNC, 2);
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{run.fileSizeLimit, run.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
            std::vector<char*> argv;
            for (std::string& word : words) argv.push_back(word.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child) return {-1, "", "", files()};
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                run.stdoutTo.empty() ? readFile(out) : "", readFile(err), files()};
    }
    Effect cli(std::vector<std::string> args) { return cli(Call{.args = std::move(args)}); }

    // Where the program finds the settings store: in the folder, so that a run that changed it
    // would show.
    fs::path config() const { return folder_ / "config"; }

    testing_support::TempDir dir_;
    fs::path folder_ = [this] {
        fs::create_directory(dir_ / "folder");
        return dir_ / "folder";
    }();
};

const std::string kJapanese =
    "\r\n\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\nsecond line\rthird\nstill third  \r\n";

std::string encoded(const std::string& document, std::int16_t keyCode, std::int16_t pattern) {
    return *documentBytesFromText(encodeLines(*documentTextFromBytes(document), keyCode, pattern));
}

TEST_F(CliProcessTest, WritesWhatTheWindowWouldSave) {
    writeFile(file("in.txt"), kJapanese);
    writeFile(file("out.txt"), "old");
    const std::string cipher = encoded(kJapanese, 7, 2);
    const std::string back =
        "\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\nsecond line\r\nthird\nstill third\r\n";

    // Names without a folder are in the folder it runs in.
    Files before = files();
    EXPECT_EQ(cli({"encode", "--key-code", "7", "--pattern", "2", "-i", "in.txt", "-o", "out.txt"}),
              (Effect{0, "", "", with(before, {{"out.txt", cipher}})}));

    // Standard input and output by default, and for "-"; decoding gives the text back.
    before = files();
    EXPECT_EQ(cli(Call{.args = {"decode", "--key-code", "7", "--pattern", "2"}, .input = cipher}),
              (Effect{0, back, "", before}));
    EXPECT_EQ(cli(Call{.args = {"decode", "--key-code=7", "--pattern=2", "-i", "-", "-o", "-"},
                       .input = cipher}),
              (Effect{0, back, "", before}));
    EXPECT_EQ(cli({"encode", "--key-code", "7", "--pattern", "2", "-i", file("in.txt").string(),
                   "--output", "-"}),
              (Effect{0, cipher, "", before}));
    EXPECT_EQ(cli(Call{.args = {"decode", "--key-code", "7", "--pattern", "2", "-o", "back.txt"},
                       .stdinFrom = file("out.txt").string()}),
              (Effect{0, "", "", with(before, {{"back.txt", back}})}));
}

// Text from other systems holds the wave dash and its kin where CP932 has fullwidth
// look-alikes: decoded, they are written at the codes Japanese Windows writes for them, as the
// window saves them. What CP932 truly cannot hold stops the conversion at its line.
TEST_F(CliProcessTest, WritesTheWaveDashAndItsKinAsWindowsDoes) {
    const std::u16string kin = u"1\u301c2\u2016\u2212\u00a2\u00a3\u00ac\uff5e";
    std::string cipher;
    ASSERT_FALSE(cp932::encode(encodeLines(kin, 5, 1) + u"\r\n", cipher));
    writeFile(file("cipher.txt"), cipher);
    const Files before = files();
    EXPECT_EQ(
        cli({"decode", "--key-code", "5", "--pattern", "1", "-i", "cipher.txt", "-o", "plain.txt"}),
        (Effect{0, "", "",
                with(before, {{"plain.txt",
                               "1\x81\x60"
                               "2\x81\x61\x81\x7c\x81\x91\x81\x92\x81\xca"
                               "\x81\x60\r\n"}})}));

    std::string yen;
    ASSERT_FALSE(cp932::encode(encodeLines(u"ok\r\n\u301c\u00a5", 5, 1) + u"\r\n", yen));
    writeFile(file("yen.txt"), yen);
    writeFile(file("plain.txt"), "old");
    const Files again = files();
    EXPECT_EQ(
        cli({"decode", "--key-code", "5", "--pattern", "1", "-i", "yen.txt", "-o", "plain.txt"}),
        (Effect{1, "",
                "voxilo-cli: yen.txt: 2行目: 変換した結果に CP932 で書けない文字 U+00A5 "
                "があります。--output-encoding utf-8 を指定すると、そのまま書けます。\n",
                again}));
}

// A UTF-8 or UTF-16 document is read as what it is, and written in the encoding asked for;
// the ciphertext does not depend on the file's encoding.
TEST_F(CliProcessTest, ReadsAndWritesTheEncodingsAskedFor) {
    const std::u16string text = u"吾輩は猫である。\r\n名前はまだ無い。";
    const auto in = [&](TextEncoding encoding) { return *documentBytesFromText(text, encoding); };
    writeFile(file("sjis.txt"), in(TextEncoding::Cp932));
    writeFile(file("utf8.txt"), in(TextEncoding::Utf8));
    writeFile(file("utf16.txt"), in(TextEncoding::Utf16Be));
    const Files before = files();
    const Effect cipher =
        cli({"encode", "--key-code", "9", "--pattern", "3", "-i", "sjis.txt", "-o", "c1.txt"});
    ASSERT_EQ(cipher.status, 0);
    const std::string ciphertext = cipher.files.at("c1.txt");
    EXPECT_EQ(cipher.files, with(before, {{"c1.txt", ciphertext}}));
    EXPECT_EQ(cli({"encode", "--key-code", "9", "--pattern", "3", "-i", "utf8.txt"}),
              (Effect{0, ciphertext, "", cipher.files}));
    EXPECT_EQ(cli({"encode", "--key-code", "9", "--pattern", "3", "-i", "utf16.txt"}),
              (Effect{0, ciphertext, "", cipher.files}));
    // Decoded into UTF-16 LE, with its mark; a forced input encoding is taken as given.
    EXPECT_EQ(cli(Call{.args = {"decode", "--key-code", "9", "--pattern", "3", "--output-encoding",
                                "UTF-16LE", "--input-encoding", "cp932"},
                       .stdinFrom = file("c1.txt").string()}),
              (Effect{0, in(TextEncoding::Utf16Le), "", cipher.files}));

    // UTF-8 judged from the start, then, beyond the first megabyte looked at, a byte that is
    // not: refused at its line, with the way out, and the output left unwritten.
    std::string ascii;
    for (int i = 0; i < 20000; ++i) ascii += std::string(60, 'a') + "\r\n";
    writeFile(file("mixed.txt"), in(TextEncoding::Utf8) + ascii + "\x93\xfa\x96\x7b\r\n");
    writeFile(file("c1.txt"), ciphertext);
    const Files mixed = files();
    EXPECT_EQ(
        cli({"encode", "-i", "mixed.txt", "-o", "c1.txt"}),
        (Effect{1, "",
                "voxilo-cli: mixed.txt: 20003行目: UTF-8 のテキストとして読めないバイトがあります。"
                "文書の初めの部分から UTF-8 と判断していました。CP932 の文書なら "
                "--input-encoding cp932 を指定してください。\n",
                mixed}));
    // Given as UTF-8, a CP932 file is refused at its first line, without the guess's hint.
    EXPECT_EQ(
        cli({"encode", "--input-encoding", "utf-8", "-i", "sjis.txt"}),
        (Effect{1, "",
                "voxilo-cli: sjis.txt: 1行目: UTF-8 のテキストとして読めないバイトがあります。\n",
                mixed}));
    // A conversion that stops at its first line writes nothing, not even a byte-order mark.
    EXPECT_EQ(
        cli({"decode", "--output-encoding", "utf-16le", "-i", "sjis.txt"}),
        (Effect{1, "",
                "voxilo-cli: sjis.txt: 1行目を解読できません。暗号文にない文字が含まれています。"
                "暗号化キーかパターンが違うか、暗号文ではありません。\n",
                mixed}));
    EXPECT_EQ(cli({"encode", "--output-encoding", "latin1"}).status, 2);
}

TEST_F(CliProcessTest, AFailedConversionLeavesTheOutputFileAlone) {
    writeFile(file("cipher.txt"), "063006200610\r\n063006200610\r\nnot ciphertext!\r\n");
    writeFile(file("out.txt"), "precious");
    const std::string broken =
        "voxilo-cli: cipher.txt: 3行目を解読できません。文字数が奇数のため、暗号文として読めません。\n";
    const Files before = files();
    EXPECT_EQ(cli({"decode", "-i", "cipher.txt", "-o", "out.txt"}),
              (Effect{1, "", broken, before}));

    // On standard output the lines before the broken one go out, each ending with CR LF as in
    // the whole file.
    EXPECT_EQ(cli({"decode", "-i", "cipher.txt"}), (Effect{1, "abc\r\nabc\r\n", broken, before}));

    // The reason in Japanese; the system's English words would only repeat it.
    EXPECT_EQ(cli({"encode", "-i", "missing.txt", "-o", "out.txt"}),
              (Effect{1, "",
                      "voxilo-cli: missing.txt を開けません: "
                      "ファイルまたはフォルダーが見つかりません。\n",
                      before}));
    writeFile(file("bad.txt"), "ok\r\n\x81\x0a\r\n");
    EXPECT_EQ(
        cli({"encode", "-i", "bad.txt", "-o", "out.txt"}),
        (Effect{1, "",
                "voxilo-cli: bad.txt: 2行目: CP932 のテキストとして読めないバイトがあります。\n",
                with(before, {{"bad.txt", "ok\r\n\x81\x0a\r\n"}})}));
}

// Each output error names the output and says why in Japanese, with status 1; the folder is as
// it was. -o replaces a file whole through a new file beside it: a pipe, a folder or a device
// is not a file it can replace, and a pipe would hold it until someone reads. Standard output
// is the way into a pipe.
TEST_F(CliProcessTest, AnOutputThatCannotBeWrittenExitsWithOne) {
    writeFile(file("in.txt"), kJapanese);
    fs::create_directory(file("sub"));
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0600), 0);
    const Files before = files();
    const std::vector<std::string> encode{"encode", "-i", "in.txt"};

    Call full{.args = encode};
    full.stdoutTo = "/dev/full";
    EXPECT_EQ(
        cli(full),
        (Effect{1, "", "voxilo-cli: 標準出力 に書き込めません: ディスクの空き領域が足りません。\n",
                before}));

    struct Case {
        std::string output;
        std::string reason;
    };
    const std::string notAFile = "通常のファイルではありません (パイプやデバイスは開けません)。";
    for (const Case& c : std::vector<Case>{
             {"missing/out.txt", "ファイルまたはフォルダーが見つかりません。"},
             {"sub", "フォルダーはファイルとして開けません。"},
             {"pipe", notAFile},
             {"/dev/null", notAFile},
             {"in.txt/out.txt", "パスの途中にフォルダーでないものがあります。"},
         }) {
        std::vector<std::string> args = encode;
        args.insert(args.end(), {"-o", c.output});
        ::alarm(20);  // a writer that waits for a reader ends the suite rather than hanging it
        EXPECT_EQ(
            cli(args),
            (Effect{1, "", "voxilo-cli: " + c.output + " に書き込めません: " + c.reason + "\n",
                    before}))
            << c.output;
        ::alarm(0);
    }
}

// A write past the file size limit (`ulimit -f`) fails as a full disk does: a message and
// status 1, not the end of the program by SIGXFSZ. The old file stays whole, and nothing is
// left beside it.
TEST_F(CliProcessTest, AFileSizeLimitIsAnErrorNotTheEnd) {
    std::string big;
    while (big.size() < 64 * 1024) big += "\x93\xfa\x96\x7b\x8c\xea\x82\xcc text, line\r\n";
    writeFile(file("big.txt"), big);
    writeFile(file("out.txt"), "the old text\r\n");
    constexpr rlim_t kLimit = 100 * 1024;  // ulimit -f 100
    const Files before = files();

    Call limited{.args = {"encode", "--key-code", "3", "-i", "big.txt", "-o", "out.txt"}};
    limited.fileSizeLimit = kLimit;
    EXPECT_EQ(cli(limited),
              (Effect{1, "", "voxilo-cli: out.txt に書き込めません: ファイルが大きすぎます。\n",
                      before}));

    // Into standard output, what fits is written, and the rest is refused as loudly.
    limited.args = {"encode", "--key-code", "3", "-i", "big.txt"};
    limited.stdoutTo = file("piped.txt").string();
    EXPECT_EQ(cli(limited),
              (Effect{1, "", "voxilo-cli: 標準出力 に書き込めません: ファイルが大きすぎます。\n",
                      with(before, {{"piped.txt", encoded(big, 3, 0).substr(0, kLimit)}})}));
}

// The window's program sets the same disposition first thing, before it writes anything.
TEST_F(CliProcessTest, TheWindowProgramTooTakesAFileSizeLimitAsAnError) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(file("version.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || ::dup2(out, 1) < 0) ::_exit(126);
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &none);
        ::execl(VOXILO_APP_PATH, VOXILO_APP_PATH, "--version", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(files(), (Files{{"version.txt", ""}}));
}

TEST_F(CliProcessTest, BadArgumentsGiveAUsageHint) {
    const std::string usage =
        "使い方: voxilo-cli encode|decode [--key-code N --pattern P | --user NAME] [-i FILE] "
        "[-o FILE] [--input-encoding E] [--output-encoding E]（詳しくは voxilo-cli --help）\n";
    EXPECT_EQ(
        cli({"encode", "--key-code", "seven"}),
        (Effect{2,
                "",
                "voxilo-cli: --key-code の値は -32768 から 32767 までの整数です: 'seven'\n" + usage,
                {}}));
    EXPECT_EQ(cli({"encode", "-o"}),
              (Effect{2, "", "voxilo-cli: オプション -o には値が要ります\n" + usage, {}}));
    EXPECT_EQ(cli({"--version"}), (Effect{0, "voxilo-cli 1.1.5\n", "", {}}));
}

TEST_F(CliProcessTest, ConvertsWithARegisteredUsersKey) {
    {
        SqliteValueStore store(config() / "voxilo/settings.db");
        OptionsValues options;
        options.keyCodeText = u"7";
        options.patternIndex = 2;
        const std::vector<EditedUser> users = {{u"Alice", u"secret", false},
                                               {u"Bob", u"pw", false}};
        ASSERT_FALSE(saveAllSettings(store, kSettingsKeyPath, users, options, u"Alice"));
    }
    writeFile(file("in.txt"), kJapanese);
    writeFile(file("out.txt"), "precious");
    const Files before = files();
    const auto runAs = [&](const std::string& user, const std::string& password) {
        return cli(Call{
            .args = {"encode", "--password-stdin", "-i", "in.txt", "-o", "out.txt", "--user", user},
            .input = password + "\n"});
    };

    // A wrong password, a name in the wrong case, an unknown name: nothing is converted, and
    // the message does not tell which of name and password was wrong.
    const std::string refused = "voxilo-cli: ユーザー名またはパスワードが違います。\n";
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
             {"Alice", "Secret"}, {"alice", "secret"}, {"Carol", "secret"}, {"Bob", "secret"}}) {
        EXPECT_EQ(runAs(user, password), (Effect{1, "", refused, before}))
            << user << "/" << password;
    }
    EXPECT_EQ(runAs("Alice", ""),
              (Effect{1, "", "voxilo-cli: パスワードを入力してください。\n", before}));

    const Files converted = with(before, {{"out.txt", encoded(kJapanese, 7, 2)}});
    EXPECT_EQ(runAs("Alice", "secret"), (Effect{0, "", "", converted}));
    // A password line as a Windows editor or a pipe from there ends it: CR LF.
    writeFile(file("out.txt"), "precious");
    EXPECT_EQ(runAs("Alice", "secret\r"), (Effect{0, "", "", converted}));

    // Typed at a terminal: asked for, taken, never shown on the screen, and the terminal is
    // given back in the mode it had.
    writeFile(file("out.txt"), "precious");
    termios initial{};
    {
        int master = -1;
        int slave = -1;
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(::tcgetattr(slave, &initial), 0);  // a new terminal's own mode
        ::close(master);
        ::close(slave);
    }
    ASSERT_TRUE(initial.c_lflag & ECHO);
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, &initial, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        if (::chdir(folder_.c_str()) != 0) ::_exit(126);
        ::execl(VOXILO_CLI_PATH, VOXILO_CLI_PATH, "encode", "--user", "Alice", "-i", "in.txt", "-o",
                "out.txt", static_cast<char*>(nullptr));
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
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    while (readScreen()) {
    }
    termios after{};
    ASSERT_EQ(::tcgetattr(terminal, &after), 0);
    ::close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    EXPECT_EQ(screen, "パスワード: \r\n");
    EXPECT_EQ(after.c_iflag, initial.c_iflag);
    EXPECT_EQ(after.c_oflag, initial.c_oflag);
    EXPECT_EQ(after.c_cflag, initial.c_cflag);
    EXPECT_EQ(after.c_lflag, initial.c_lflag);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.c_cc), NCCS),
              std::string(reinterpret_cast<const char*>(initial.c_cc), NCCS));
    EXPECT_EQ(files(), converted);
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
    const Files before = files();
    Call run{.args = {"encode", "--key-code", "3", "--pattern", "1", "-i", "big.txt"}};
    run.stdoutTo = "/dev/null";
    EXPECT_EQ(cli(run), (Effect{0, "", "", before}));
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 32 * 1024) << "peak resident set in KiB";
}
#endif

// An output that is the input itself, by any name, link or redirection, is refused before
// anything is written: the conversion would replace the document it is made from, or, added to
// its end (`>>`), read itself back and grow until the disk is full.
TEST_F(CliProcessTest, AnInputIsNeverTakenAsTheOutput) {
    writeFile(file("doc.txt"), "precious\r\n");
    fs::create_symlink("doc.txt", file("link.txt"));
    fs::create_hard_link(file("doc.txt"), file("hard.txt"));
    const Files before = files();
    const auto refused = [](const std::string& output) {
        return "voxilo-cli: 入力と出力が同じファイルです: " + output +
               "。変換の結果で元の文書を上書きすることはできません。\n";
    };
    struct Case {
        Call run;
        std::string output;
    };
    const std::string doc = file("doc.txt").string();
    const std::vector<Case> cases = {
        {{.args = {"-i", "doc.txt", "-o", "doc.txt"}}, "doc.txt"},
        {{.args = {"-i", doc, "--output=" + folder_.string() + "/./doc.txt"}},
         folder_.string() + "/./doc.txt"},
        {{.args = {"--input", "doc.txt", "-o", "link.txt"}}, "link.txt"},
        {{.args = {"-i", "hard.txt", "-o", doc}}, doc},
        {{.args = {"-o", "doc.txt"}, .stdinFrom = doc}, "doc.txt"},
        {{.args = {"-i", "doc.txt"}, .stdoutTo = doc, .append = true}, "標準出力"},
        {{.args = {"-i", "link.txt"}, .stdoutTo = doc, .append = true}, "標準出力"},
        {{.args = {"-i", "-"},
          .stdinFrom = doc,
          .stdoutTo = file("hard.txt").string(),
          .append = true},
         "標準出力"},
    };
    for (Case c : cases) {
        c.run.args.insert(c.run.args.begin(), {"encode", "--key-code", "3"});
        EXPECT_EQ(cli(c.run), (Effect{2, "", refused(c.output), before})) << c.output;
    }
    // `> doc.txt` has emptied the document before the program starts; it is still refused.
    EXPECT_EQ(
        cli(Call{.args = {"encode", "-i", "doc.txt"}, .stdoutTo = doc}),
        (Effect{2, "", refused("標準出力"), with(before, {{"doc.txt", ""}, {"hard.txt", ""}})}));
}

// What a person reads, on a Japanese Windows console too: the help holds only characters CP932
// writes (a wave dash there prints as "?").
TEST_F(CliProcessTest, ItsWordsReadOnAJapaneseConsole) {
    const Effect help = cli({"--help"});
    EXPECT_EQ(help, (Effect{0, help.out, "", {}}));
    const std::u16string text = fromUtf8(help.out);
    ASSERT_NE(text.find(u"暗号化キー"), std::u16string::npos);
    std::string bytes;
    EXPECT_EQ(cp932::encode(text, bytes), std::nullopt);
}

}  // namespace
}  // namespace voxilo
