// Runs the real voxilo-cli the way a user does and checks files, exit codes and messages.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cipher/LineConversion.h"
#include "documents/DocumentFormat.h"

namespace voxilo {
namespace {

namespace fs = std::filesystem;

class CliProcessTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("voxilo-cli-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file(const std::string& name) const { return dir_ / name; }
    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void put(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }

    // Runs voxilo-cli with a shell command line; its standard error lands in err().
    int run(const std::string& args) {
        const std::string command =
            "'" VOXILO_CLI_PATH "' " + args + " 2>'" + file("stderr").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string err() const { return slurp(file("stderr")); }

    fs::path dir_;
};

const std::string kJapanese =
    "\r\n\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\nsecond line\rthird\nstill third  \r\n";

TEST_F(CliProcessTest, WritesWhatTheWindowWouldSave) {
    put(file("in.txt"), kJapanese);
    ASSERT_EQ(run("encode --key-code 7 --pattern 2 -i " + file("in.txt").string() + " -o " +
                  file("out.txt").string()),
              0)
        << err();
    const std::u16string top = *documentTextFromBytes(kJapanese);
    const std::string expected = *documentBytesFromText(encodeLines(top, 7, 2));
    EXPECT_EQ(slurp(file("out.txt")), expected);

    // Standard input and output by default; decoding gives the text back.
    ASSERT_EQ(run("decode --key-code 7 --pattern 2 < " + file("out.txt").string() + " > " +
                  file("back.txt").string()),
              0)
        << err();
    EXPECT_EQ(slurp(file("back.txt")),
              "\x8f\x91\x82\xab\x8e\x6e\x82\xdf\r\nsecond line\r\nthird\nstill third\r\n");
}

TEST_F(CliProcessTest, AFailedConversionLeavesTheOutputFileAlone) {
    put(file("cipher.txt"), "063006200610\r\n063006200610\r\nnot ciphertext!\r\n");
    put(file("out.txt"), "precious");
    EXPECT_EQ(run("decode -i " + file("cipher.txt").string() + " -o " + file("out.txt").string()),
              1);
    EXPECT_NE(err().find("3 行目を解読できません"), std::string::npos) << err();
    EXPECT_EQ(slurp(file("out.txt")), "precious");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 3);  // no temporary file left

    EXPECT_EQ(run("encode -i " + file("missing.txt").string()), 1);
    EXPECT_NE(err().find("missing.txt"), std::string::npos);
}

TEST_F(CliProcessTest, BadArgumentsGiveAUsageHint) {
    EXPECT_EQ(run("encode --key-code seven"), 2);
    EXPECT_NE(err().find("使い方: voxilo-cli encode|decode"), std::string::npos) << err();
    EXPECT_EQ(run("--version > " + file("version").string()), 0);
    EXPECT_EQ(slurp(file("version")), "voxilo-cli 1.1.5\n");
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

}  // namespace
}  // namespace voxilo
