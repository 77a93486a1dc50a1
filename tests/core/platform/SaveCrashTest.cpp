// Saving a document in a process that is killed at varied moments: the file holds the whole
// old document or the whole new one, never a mix, and the next save leaves no temporary file.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/documents/DocumentFormat.h"
#include "core/platform/SafeFileWriter.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace voxilo {
namespace {

using testing_support::readFile;
using Clock = std::chrono::steady_clock;

// The save as the window and voxilo-cli make it: the document's bytes, a megabyte at a time,
// into a new file that then replaces the target.
bool save(const std::string& path, const std::string& bytes) {
    SafeFileWriter writer;
    if (writer.open(path)) return false;
    for (std::size_t at = 0; at < bytes.size(); at += 1 << 20) {
        if (writer.write(std::string_view(bytes).substr(at, 1 << 20))) return false;
    }
    return !writer.commit();
}

std::string documentBytes(char16_t mark) {
    std::u16string text;
    for (int i = 0; i < 200000; ++i)
        text += u"行 " + std::u16string(1, mark) + u" 吾輩は猫である\r\n";
    return *documentBytesFromText(text);
}

// Starts a child that saves `bytes` over `path` and returns its id once it is about to start.
pid_t startSaving(const std::string& path, const std::string& bytes) {
    return testing_support::startChild([&] { return save(path, bytes); });
}

TEST(SaveCrash, AKilledSaveLeavesTheOldOrTheNewDocumentWhole) {
    testing_support::TempDir dir;
    const std::string target = (dir / "memo.txt").string();
    const std::string before = documentBytes(u'A');
    const std::string after = documentBytes(u'B');
    ASSERT_GT(before.size(), 4u << 20);

    // How long a save takes here, to spread the kills over it.
    ASSERT_TRUE(save(target, before));
    const auto start = Clock::now();
    int status = 0;
    ::waitpid(startSaving(target, after), &status, 0);
    const auto saveTime = Clock::now() - start;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(readFile(target), after);

    constexpr int kKills = 40;
    int old = 0, replaced = 0, cutShort = 0;
    for (int i = 0; i < kKills; ++i) {
        ASSERT_TRUE(save(target, before));
        const pid_t child = startSaving(target, after);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(saveTime * i * 5 / (kKills * 4));  // up to 1.25 saves
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);

        const std::string now = readFile(target);
        ASSERT_TRUE(now == before || now == after)
            << "kill " << i << " left " << now.size() << " bytes of a mix";
        (now == before ? old : replaced)++;
        if (dir.entries() > 1) ++cutShort;  // killed while writing its temporary file
    }
    std::printf("%d kills: %d left the old document, %d the new one, %d cut a write short\n",
                kKills, old, replaced, cutShort);
    EXPECT_GT(cutShort, 0) << "no kill landed inside a save";

    // The next save that succeeds clears away what the killed ones left.
    ASSERT_TRUE(save(target, after));
    EXPECT_EQ(readFile(target), after);
    EXPECT_EQ(dir.entries(), 1u);
}

// A save that is still writing keeps its temporary file while another save of the same file
// succeeds.
TEST(SaveCrash, ASaveInProgressKeepsItsTemporaryFile) {
    testing_support::TempDir dir;
    const std::string target = (dir / "memo.txt").string();
    SafeFileWriter slow;
    ASSERT_FALSE(slow.open(target));
    ASSERT_FALSE(slow.write("slow"));
    ASSERT_TRUE(save(target, "quick"));
    ASSERT_FALSE(slow.write(" but sure"));
    ASSERT_FALSE(slow.commit());
    EXPECT_EQ(readFile(target), "slow but sure");
    EXPECT_EQ(dir.entries(), 1u);
}

}  // namespace
}  // namespace voxilo
