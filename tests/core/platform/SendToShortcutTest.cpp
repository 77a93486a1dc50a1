#include "core/platform/SendToShortcut.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>
#else
#include <cstdlib>

#include "support/TempDir.h"
#endif

namespace voxilo {
namespace {

#ifdef _WIN32

TEST(SendToShortcut, PutsALinkNamedVoxiloInTheSendToFolder) {
    PWSTR folder = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, &folder)));
    const std::filesystem::path link = std::filesystem::path(folder) / L"Voxilo.lnk";
    CoTaskMemFree(folder);
    std::filesystem::remove(link);
    ASSERT_TRUE(createSendToShortcut(L"C:\\Program Files\\Voxilo\\VX_LO.EXE"));
    EXPECT_TRUE(std::filesystem::exists(link));
    EXPECT_GT(std::filesystem::file_size(link), 0u);
}

#else

// Sets an environment variable for the test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) saved_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_) {
            ::setenv(name_, saved_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

class SendToShortcut : public testing::Test {
protected:
    testing_support::TempDir dir_;
    ScopedEnv data_{"XDG_DATA_HOME", (dir_ / "data").string()};
    // No system entries unless a test installs one.
    ScopedEnv dataDirs_{"XDG_DATA_DIRS", (dir_ / "system").string()};
};

TEST_F(SendToShortcut, WritesADesktopEntryForTextFiles) {
    ASSERT_TRUE(createSendToShortcut("/opt/voxilo/bin/voxilo"));
    EXPECT_EQ(desktopEntryPath(), dir_ / "data/applications/voxilo.desktop");
    const std::string entry = testing_support::readFile(desktopEntryPath());
    EXPECT_NE(entry.find("\nName=Voxilo\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nExec=/opt/voxilo/bin/voxilo %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=text/plain;\n"), std::string::npos) << entry;
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);

    EXPECT_FALSE(createSendToShortcut("relative/voxilo"));  // the entry needs the whole path
}

TEST_F(SendToShortcut, QuotesAPathThatNeedsIt) {
    EXPECT_NE(
        desktopEntry("/home/me/My Apps/voxilo").find("\nExec=\"/home/me/My Apps/voxilo\" %f\n"),
        std::string::npos);
    EXPECT_NE(
        desktopEntry("/opt/a$b\\c/voxilo").find("\nExec=\"/opt/a\\\\$b\\\\\\\\c/voxilo\" %f\n"),
        std::string::npos);
}

// Once a package has installed the system's entry for this program, the first run writes no
// copy of its own that would shadow it; an entry for some other program does not count.
TEST_F(SendToShortcut, WritesNoCopyOfTheSystemsEntryForThisProgram) {
    std::filesystem::create_directories(dir_ / "bin");
    std::filesystem::create_directories(dir_ / "other bin");
    const std::filesystem::path program = dir_ / "bin/voxilo";
    const std::filesystem::path quoted = dir_ / "other bin/voxilo";
    testing_support::writeFile(program, "");
    testing_support::writeFile(quoted, "");
    testing_support::writeFile(dir_ / "bin/other", "");
    ScopedEnv path("PATH", (dir_ / "nothing").string() + ":" + (dir_ / "bin").string());
    struct Case {
        const char* what;
        std::filesystem::path executable;
        std::string exec;
        std::string more;
        bool userCopy;
    };
    const Case cases[] = {
        {"the same program by its path", program, program.string() + " %f", "", false},
        {"the same program found on PATH", program, "voxilo %F", "", false},
        {"the same program, quoted", quoted, desktopEntry(quoted), "", false},
        {"another program", program, "other %f", "", true},
        {"this program, but hidden", program, "voxilo %f", "Hidden=true\n", true},
        {"a program that is not there", program, "/nowhere/voxilo %f", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir_ / "data");
        std::filesystem::remove_all(dir_ / "system");
        std::filesystem::create_directories(dir_ / "system/applications");
        std::string entry = c.exec.rfind("[Desktop Entry]", 0) == 0
                                ? c.exec
                                : "[Desktop Entry]\nType=Application\nName=Voxilo\nExec=" + c.exec +
                                      "\n" + c.more + "[Desktop Action New]\nExec=other\n";
        testing_support::writeFile(dir_ / "system/applications/voxilo.desktop", entry);

        EXPECT_TRUE(createSendToShortcut(c.executable));
        EXPECT_EQ(std::filesystem::exists(desktopEntryPath()), c.userCopy);
    }
}

#endif

}  // namespace
}  // namespace voxilo
