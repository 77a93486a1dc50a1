// Saving the Options dialog in a process that is killed at varied moments: the store still
// opens, and every value reads either as it was before or as the save wrote it.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/store/ProgramSettings.h"
#include "core/store/SqliteValueStore.h"
#include "core/store/UserRecords.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace voxilo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::u16string_view kKey = kSettingsKeyPath;

// Everything a save of the Options dialog writes, as it reads back.
struct Snapshot {
    ProgramSettings settings;
    std::vector<std::u16string> names;
    std::vector<std::u16string> passwords;
    std::int16_t keyCode = 0;
    std::int16_t pattern = 0;
};

struct Save {
    std::vector<EditedUser> users;
    OptionsValues options;
};

// Before: three users, a retry limit, one font. After: other passwords, the middle user gone,
// no retry limit, another font, and another key code and pattern for the current user.
Save saveBefore() {
    Save s;
    s.users = {
        {u"Alice", u"apple", false}, {u"Bob", u"banana", false}, {u"Carol", u"cherry", false}};
    s.options.startup = 1;
    s.options.retryLimited = 1;
    s.options.retryCount = u"3";
    s.options.fontName = u"IPAGothic";
    s.options.fontSize = 12;
    s.options.keyCodeText = u"7";
    s.options.patternIndex = 2;
    return s;
}
Save saveAfter() {
    Save s;
    s.users = {{u"Alice", u"avocado", false}, {u"Bob", u"", true}, {u"Carol", u"cranberry", false}};
    s.options.startup = 0;
    s.options.retryLimited = 0;
    s.options.showToolbar = 0;
    s.options.showStatusbar = 0;
    s.options.fontName = u"ＭＳ 明朝";
    s.options.fontSize = 20;
    s.options.fontBold = true;
    s.options.fontItalic = true;
    s.options.keyCodeText = u"19";
    s.options.patternIndex = 3;
    return s;
}

bool write(const std::filesystem::path& file, const Save& s) {
    SqliteValueStore store(file);
    return !saveAllSettings(store, kKey, s.users, s.options, u"Alice");
}

Snapshot read(const std::filesystem::path& file) {
    SqliteValueStore store(file);
    Snapshot snap;
    auto settings = loadProgramSettings(store, kKey, u"/opt/voxilo/");
    EXPECT_TRUE(settings) << "the store no longer opens";
    if (settings) snap.settings = *settings;
    auto names = loadUserNames(store, kKey);
    if (names) snap.names = *names;
    for (std::u16string_view user : {u"Alice", u"Bob", u"Carol"})
        snap.passwords.push_back(readPassword(store, kKey, user).value);
    snap.keyCode = readKeyCode(store, kKey, u"Alice").value;
    snap.pattern = readPattern(store, kKey, u"Alice").value;
    return snap;
}

pid_t startSaving(const std::filesystem::path& file, const Save& s) {
    return testing_support::startChild([&] { return write(file, s); });
}

// Each value of `now` must be that of `before` or that of `after`.
template <class T>
void expectOneOf(const T& now, const T& before, const T& after, const char* what, int kill) {
    EXPECT_TRUE(now == before || now == after) << what << " after kill " << kill;
}

TEST(StoreCrash, AKilledSaveLeavesEachValueAsItWasOrAsWritten) {
    testing_support::TempDir dir;
    const auto file = dir / "settings.db";
    ASSERT_TRUE(write(file, saveBefore()));
    const Snapshot before = read(file);
    ASSERT_TRUE(write(file, saveAfter()));
    const Snapshot after = read(file);
    ASSERT_NE(before.settings.retry, after.settings.retry);
    ASSERT_NE(before.names, after.names);

    // How long a save takes here, to spread the kills over it.
    const auto start = Clock::now();
    int status = 0;
    ::waitpid(startSaving(file, saveBefore()), &status, 0);
    const auto saveTime = Clock::now() - start;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    constexpr int kKills = 40;
    int old = 0;
    int saved = 0;
    for (int i = 0; i < kKills; ++i) {
        ASSERT_TRUE(write(file, saveBefore()));
        const pid_t child = startSaving(file, saveAfter());
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(saveTime * i * 5 / (kKills * 4));  // up to 1.25 saves
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);

        const Snapshot now = read(file);
        const ProgramSettings &n = now.settings, &b = before.settings, &a = after.settings;
        expectOneOf(n.currentPath, b.currentPath, a.currentPath, "CurrentPath", i);
        expectOneOf(n.startup, b.startup, a.startup, "Startup", i);
        expectOneOf(n.retry, b.retry, a.retry, "Retry", i);
        expectOneOf(n.showToolbar, b.showToolbar, a.showToolbar, "ShowToolbar", i);
        expectOneOf(n.showStatusbar, b.showStatusbar, a.showStatusbar, "ShowStatusbar", i);
        expectOneOf(n.fontName, b.fontName, a.fontName, "FontName", i);
        expectOneOf(n.fontSize, b.fontSize, a.fontSize, "FontSize", i);
        expectOneOf(n.fontBold, b.fontBold, a.fontBold, "FontBold", i);
        expectOneOf(n.fontItalic, b.fontItalic, a.fontItalic, "FontItalic", i);
        EXPECT_TRUE(now.names == before.names || now.names == after.names) << "after kill " << i;
        for (std::size_t u = 0; u < 3; ++u)
            expectOneOf(now.passwords[u], before.passwords[u], after.passwords[u], "Password", i);
        expectOneOf(now.keyCode, before.keyCode, after.keyCode, "KeyCode", i);
        expectOneOf(now.pattern, before.pattern, after.pattern, "Pattern", i);
        // The save is one batch: never some values old and others new.
        const bool isOld = n.retry == b.retry && n.fontName == b.fontName &&
                           now.names == before.names && now.keyCode == before.keyCode;
        const bool isNew = n.retry == a.retry && n.fontName == a.fontName &&
                           now.names == after.names && now.keyCode == after.keyCode;
        EXPECT_TRUE(isOld || isNew) << "a mix of the old and the new after kill " << i;
        old += isOld ? 1 : 0;
        saved += isNew ? 1 : 0;
    }
    std::printf("%d kills: %d left the old settings, %d the new ones\n", kKills, old, saved);
}

}  // namespace
}  // namespace voxilo
