#include "documents/SafeFileWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace voxilo {
namespace {

namespace fs = std::filesystem;

class SafeFileWriterTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("voxilo-safe-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void put(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

TEST_F(SafeFileWriterTest, ReplacesTheFileWholeAndKeepsItsPermissions) {
    const fs::path target = dir_ / "memo.txt";
    put(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    SafeFileWriter writer;
    ASSERT_FALSE(writer.open(target.string()));
    ASSERT_FALSE(writer.write("new "));
    EXPECT_EQ(slurp(target), "old");  // nothing shows until the commit
    ASSERT_FALSE(writer.write("text"));
    ASSERT_FALSE(writer.commit());
    EXPECT_EQ(slurp(target), "new text");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeFileWriterTest, AnUncommittedWriteLeavesNoTrace) {
    const fs::path target = dir_ / "memo.txt";
    put(target, "keep me");
    {
        SafeFileWriter writer;
        ASSERT_FALSE(writer.open(target.string()));
        ASSERT_FALSE(writer.write("half"));
    }
    EXPECT_EQ(slurp(target), "keep me");
    EXPECT_EQ(entries(), 1u);

    SafeFileWriter nowhere;
    EXPECT_TRUE(nowhere.open((dir_ / "missing" / "memo.txt").string()));
}

TEST_F(SafeFileWriterTest, WritesThroughLinksAndIntoPipes) {
    const fs::path real = dir_ / "real.txt";
    const fs::path link = dir_ / "link.txt";
    put(real, "old");
    fs::create_symlink(real, link);
    SafeFileWriter writer;
    ASSERT_FALSE(writer.open(link.string()));
    ASSERT_FALSE(writer.write("new"));
    ASSERT_FALSE(writer.commit());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "new");

    // Something that is not a regular file (a pipe, /dev/null) cannot be replaced: it is
    // written to as it is.
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = slurp(pipe); });
    SafeFileWriter toPipe;
    ASSERT_FALSE(toPipe.open(pipe.string()));
    ASSERT_FALSE(toPipe.write("through"));
    ASSERT_FALSE(toPipe.commit());
    reader.join();
    EXPECT_EQ(received, "through");
    EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
}

}  // namespace
}  // namespace voxilo
