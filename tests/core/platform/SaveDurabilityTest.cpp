// What a document save asks of the system, in order, and what happens when the last steps
// fail. The calls are watched by defining fsync and rename here: the test program's own
// definitions stand in for the C library's, for the core linked into it, and pass every call
// on unchanged unless a test arms a failure.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/documents/DocumentFile.h"
#include "core/platform/SafeFileWriter.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace {

// What the save did, while a test watches: "fsync PATH", "rename FROM TO".
bool watching = false;
std::vector<std::string> calls;
// The call that fails, with EIO, the first time it comes: "fsync-file", "fsync-folder",
// "rename"; empty for none.
std::string failing;

std::string pathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

bool failsNow(const std::string& what) {
    if (failing != what) return false;
    failing.clear();
    errno = EIO;
    return true;
}

}  // namespace

extern "C" int fsync(int fd) {
    if (watching) {
        const std::string path = pathOf(fd);
        calls.push_back("fsync " + path);
        struct stat info {};
        const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
        if (failsNow(folder ? "fsync-folder" : "fsync-file")) return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) {
    if (watching) {
        calls.push_back(std::string("rename ") + from + " " + to);
        if (failsNow("rename")) return -1;
    }
    return static_cast<int>(::syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

namespace voxilo {
namespace {

namespace fs = std::filesystem;

using testing_support::readFile;
using testing_support::writeFile;

class SaveDurability : public testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        failing.clear();
        watching = true;
    }
    void TearDown() override { watching = false; }
    // The files in the test's folder, by name.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    testing_support::TempDir dir_;
};

// The new text reaches the disk before it takes the old file's name, and the new name reaches
// the disk (with the folder) before the save is reported done.
TEST_F(SaveDurability, TheNewTextReachesTheDiskBeforeItTakesTheName) {
    const fs::path target = dir_ / "memo.txt";
    writeFile(target, "old\r\n");
    ASSERT_FALSE(saveDocumentFile(target, "new\r\n"));
    watching = false;
    ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
    const std::string temporary = calls[0].substr(6);
    EXPECT_EQ(calls[0].rfind("fsync ", 0), 0u);
    EXPECT_NE(temporary, target.string());
    EXPECT_EQ(calls[1], "rename " + temporary + " " + target.string());
    EXPECT_EQ(calls[2], "fsync " + fs::canonical(dir_.path()).string());
    EXPECT_EQ(readFile(target), "new\r\n");
}

// Each of the last steps failing: the failure is reported; while the name was not yet taken
// the old text stays whole, and nothing is left beside it.
TEST_F(SaveDurability, ALastStepThatFailsIsReported) {
    struct Case {
        const char* step;
        bool oldTextStays;
    };
    for (const Case& c :
         {Case{"fsync-file", true}, Case{"rename", true}, Case{"fsync-folder", false}}) {
        SCOPED_TRACE(c.step);
        const fs::path target = dir_ / "memo.txt";
        writeFile(target, "old\r\n");
        failing = c.step;
        EXPECT_EQ(saveDocumentFile(target, "new\r\n"), std::errc::io_error);
        EXPECT_TRUE(failing.empty()) << "the step was never taken";
        EXPECT_EQ(readFile(target), c.oldTextStays ? "old\r\n" : "new\r\n");
        EXPECT_EQ(files(), std::vector<std::string>{"memo.txt"});
    }
}

// A writable file in a folder that takes no new file is rewritten in place: it too reaches the
// disk before the save is reported done, and a failure there is reported.
TEST_F(SaveDurability, ARewriteInPlaceReachesTheDiskToo) {
    const fs::path folder = dir_ / "closed";
    fs::create_directory(folder);
    const fs::path target = folder / "memo.txt";
    writeFile(target, "old\r\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::others_read | fs::perms::others_write);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    const auto inChild = [](const std::function<bool()>& work) {
        const pid_t child = testing_support::startChild(work);
        int status = 0;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    };
    // An ordinary user's rights: root may write into any folder.
    const auto ordinaryUser = [] {
        return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
    };
    EXPECT_TRUE(inChild([&] {
        return ordinaryUser() && !saveDocumentFile(target, "new\r\n") && calls.size() == 1 &&
               calls[0] == "fsync " + target.string();
    }));
    EXPECT_EQ(readFile(target), "new\r\n");
    EXPECT_TRUE(inChild([&] {
        failing = "fsync-file";
        return ordinaryUser() && saveDocumentFile(target, "newer\r\n") == std::errc::io_error;
    }));
    fs::permissions(folder, fs::perms::owner_all);
}

// A document written part-way past the file size limit (`ulimit -f`), as the window's save and
// voxilo-cli write it: with SIGXFSZ at its default, as a shell leaves it, the program's own
// set-up makes the write fail as a full disk does, reported in the user's words, the old text
// whole and nothing left beside it.
TEST_F(SaveDurability, AWriteThatFailsPartWayLeavesTheOldDocument) {
    const fs::path target = dir_ / "memo.txt";
    writeFile(target, "old\r\n");
    const pid_t child = testing_support::startChild([&] {
        ::signal(SIGXFSZ, SIG_DFL);
        ignoreFileSizeSignal();
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::error_code failure = saveDocumentFile(target, std::string(64 * 1024, 'x'));
        return failure == std::errc::file_too_large &&
               fileErrorText(failure) == "ファイルが大きすぎます。";
    });
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status)) : "");
    EXPECT_EQ(readFile(target), "old\r\n");
    EXPECT_EQ(files(), std::vector<std::string>{"memo.txt"});
}

// A file made under a new name gets the permissions any program's new file gets: 0666 less the
// umask, whatever the umask is.
TEST_F(SaveDurability, ANewFileTakesTheUmask) {
    for (const mode_t umask : {mode_t{002}, mode_t{077}}) {
        const mode_t before = ::umask(umask);
        const fs::path target = dir_ / ("new" + std::to_string(umask) + ".txt");
        EXPECT_FALSE(saveDocumentFile(target, "x\r\n"));
        ::umask(before);
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666u & ~umask) << std::oct << umask;
    }
}

}  // namespace
}  // namespace voxilo
