#include "core/platform/SafeFileWriter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/TempDir.h"

namespace voxilo {
namespace {

namespace fs = std::filesystem;

using testing_support::readFile;
using testing_support::writeFile;

class SafeFileWriterTest : public testing::Test {
protected:
    testing_support::TempDir dir_;
};

TEST_F(SafeFileWriterTest, ReplacesTheFileWholeAndKeepsItsPermissions) {
    const fs::path target = dir_ / "memo.txt";
    writeFile(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    SafeFileWriter writer;
    ASSERT_FALSE(writer.open(target.string()));
    ASSERT_FALSE(writer.write("new "));
    EXPECT_EQ(readFile(target), "old");  // nothing shows until the commit
    ASSERT_FALSE(writer.write("text"));
    ASSERT_FALSE(writer.commit());
    EXPECT_EQ(readFile(target), "new text");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir_.entries(), 1u);
}

TEST_F(SafeFileWriterTest, AnUncommittedWriteLeavesNoTrace) {
    const fs::path target = dir_ / "memo.txt";
    writeFile(target, "keep me");
    {
        SafeFileWriter writer;
        ASSERT_FALSE(writer.open(target.string()));
        ASSERT_FALSE(writer.write("half"));
    }
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_EQ(dir_.entries(), 1u);

    SafeFileWriter nowhere;
    EXPECT_TRUE(nowhere.open((dir_ / "missing" / "memo.txt").string()));

    // A file made read-only is refused as writing into it would be, even where the folder
    // would allow replacing it (and for root).
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    SafeFileWriter refused;
    EXPECT_EQ(refused.open(target.string()), std::errc::permission_denied);
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_EQ(dir_.entries(), 1u);
}

TEST_F(SafeFileWriterTest, WritesThroughLinksAndIntoPipes) {
    const fs::path real = dir_ / "real.txt";
    const fs::path link = dir_ / "link.txt";
    writeFile(real, "old");
    fs::create_symlink(real, link);
    SafeFileWriter writer;
    ASSERT_FALSE(writer.open(link.string()));
    ASSERT_FALSE(writer.write("new"));
    ASSERT_FALSE(writer.commit());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), "new");

    // Something that is not a regular file (a pipe, /dev/null) cannot be replaced: it is
    // written to as it is.
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // The read end opens at once without blocking, so the writer finds a reader and nothing
    // waits on another thread; the few bytes fit the pipe's buffer.
    const int readEnd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(readEnd, 0);
    SafeFileWriter toPipe;
    ASSERT_FALSE(toPipe.open(pipe.string()));
    ASSERT_FALSE(toPipe.write("through"));
    ASSERT_FALSE(toPipe.commit());
    std::string received;
    char buffer[64];
    for (ssize_t n; (n = ::read(readEnd, buffer, sizeof buffer)) > 0;)
        received.append(buffer, static_cast<std::size_t>(n));
    ::close(readEnd);
    EXPECT_EQ(received, "through");
    EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
}

}  // namespace
}  // namespace voxilo
