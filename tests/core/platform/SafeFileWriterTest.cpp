#include "core/platform/SafeFileWriter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "core/platform/FileRefusal.h"
#include "support/ChildProcess.h"
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

// Whether `work` succeeded in a child process; for limits and identities that must not touch
// the test itself.
bool inChild(const std::function<bool()>& work) {
    const pid_t child = testing_support::startChild(work);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Files may grow to `bytes` at most; writing past that fails with EFBIG instead of a signal,
// as in the programs.
void limitFileSize(rlim_t bytes) {
    ignoreFileSizeSignal();
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// An ordinary user's rights: root may write into any folder.
bool actAsOrdinaryUser() {
    return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
}

// 0660 rather than a mode the umask (022) would give a new file, so kept and new permissions
// differ.
constexpr fs::perms kSharedMode =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write;

TEST_F(SafeFileWriterTest, ReplacesTheFileWholeAndKeepsItsPermissions) {
    const fs::path target = dir_ / "memo.txt";
    writeFile(target, "old");
    fs::permissions(target, kSharedMode);
    SafeFileWriter writer;
    ASSERT_FALSE(writer.open(target.string()));
    ASSERT_FALSE(writer.write("new "));
    EXPECT_EQ(readFile(target), "old");  // nothing shows until the commit
    ASSERT_FALSE(writer.write("text"));
    ASSERT_FALSE(writer.commit());
    EXPECT_EQ(readFile(target), "new text");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, kSharedMode);
    EXPECT_EQ(dir_.entries(), 1u);
}

// A write that fails half-way (here: past the file size limit) leaves the old file byte for
// byte, says so, and leaves no temporary file behind.
TEST_F(SafeFileWriterTest, AWriteThatFailsPartWayLeavesTheOldFile) {
    const fs::path target = dir_ / "memo.txt";
    writeFile(target, "the old text");
    const std::string longer(64 * 1024, 'x');
    EXPECT_TRUE(inChild([&] {
        limitFileSize(16 * 1024);
        SafeFileWriter writer;
        if (writer.open(target.string())) return false;
        const std::error_code failed = writer.write(longer);
        return failed == std::errc::file_too_large;
    }));
    EXPECT_EQ(readFile(target), "the old text");
    EXPECT_EQ(dir_.entries(), 1u);
}

// A writable file in a folder that takes no new files is rewritten where it is; when the new
// text does not fit, the old one stays whole.
TEST_F(SafeFileWriterTest, RewritesInPlaceWhereTheFolderIsClosed) {
    const fs::path folder = dir_ / "closed";
    fs::create_directory(folder);
    const fs::path target = folder / "memo.txt";
    writeFile(target, std::string(100, 'o'));
    fs::permissions(target, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                               fs::perms::others_exec));  // 0666
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);  // 0555
    const auto save = [&](const std::string& bytes) {
        SafeFileWriter writer;
        std::error_code ec = writer.open(target.string());
        if (!ec) ec = writer.write(bytes);
        if (!ec) ec = writer.commit();
        return ec;
    };

    EXPECT_TRUE(inChild([&] { return actAsOrdinaryUser() && !save("short"); }));
    EXPECT_EQ(readFile(target), "short");

    const std::string longer(64 * 1024, 'n');
    EXPECT_TRUE(inChild([&] {
        limitFileSize(16 * 1024);
        return actAsOrdinaryUser() && save(longer) == std::errc::file_too_large;
    }));
    EXPECT_EQ(readFile(target), "short");

    EXPECT_TRUE(inChild([&] { return actAsOrdinaryUser() && !save(longer); }));
    EXPECT_EQ(readFile(target), longer);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    fs::permissions(folder, fs::perms::owner_all);
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

TEST_F(SafeFileWriterTest, WritesThroughLinks) {
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
    EXPECT_EQ(dir_.entries(), 2u);
}

// What is not a regular file cannot be replaced whole, and a pipe with nobody reading would
// hold the writer for good: each is refused without being opened (a pipe opened for writing
// would wait here), and stays what it was, directly or through a link.
TEST_F(SafeFileWriterTest, RefusesWhatIsNotARegularFileUnopened) {
    const fs::path pipe = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink(pipe, dir_ / "to-pipe");
    fs::create_directory(dir_ / "folder");
    struct Case {
        fs::path path;
        std::error_code refusal;
    };
    const std::error_code notAFile = make_error_code(FileRefusal::NotARegularFile);
    const std::vector<Case> cases = {
        {pipe, notAFile},
        {dir_ / "to-pipe", notAFile},
        {"/dev/null", notAFile},
        {dir_ / "folder", std::make_error_code(std::errc::is_a_directory)},
    };
    ::alarm(20);  // a writer that waits for a reader ends the suite rather than hanging it
    for (const Case& c : cases) {
        SafeFileWriter writer;
        EXPECT_EQ(writer.open(c.path.string()), c.refusal) << c.path;
    }
    ::alarm(0);
    EXPECT_EQ(fs::status(pipe).type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
    EXPECT_EQ(dir_.entries(), 3u);
}

}  // namespace
}  // namespace voxilo
