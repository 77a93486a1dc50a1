#include "core/platform/SendToShortcut.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <utility>
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

// What a shortcut holds, as Explorer reads it: its target and working folder.
std::pair<std::wstring, std::wstring> readShortcut(const std::filesystem::path& link) {
    std::pair<std::wstring, std::wstring> held;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* shell = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell))) &&
        SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(link.wstring().c_str(), STGM_READ))) {
        wchar_t text[MAX_PATH] = {};
        if (SUCCEEDED(shell->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) held.first = text;
        if (SUCCEEDED(shell->GetWorkingDirectory(text, MAX_PATH))) held.second = text;
    }
    if (file) file->Release();
    if (shell) shell->Release();
    CoUninitialize();
    return held;
}

// The shortcut names the program and its folder the way Windows writes paths, however the
// path came; and it follows the program: one that starts another program, or a program that is
// gone, is stale.
TEST(SendToShortcut, NamesTheProgramWithBackslashesAndFollowsIt) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring forward(self);
    for (wchar_t& c : forward) {
        if (c == L'\\') c = L'/';
    }
    ASSERT_TRUE(createSendToShortcut(forward));
    const auto [target, folder] = readShortcut(sendToShortcutPath());
    EXPECT_EQ(target, std::wstring(self));
    EXPECT_EQ(folder, std::filesystem::path(self).parent_path().wstring());
    EXPECT_EQ(folder.find(L'/'), std::wstring::npos) << folder;

    EXPECT_FALSE(sendToShortcutIsStale(self));
    ASSERT_TRUE(createSendToShortcut(L"C:\\Program Files\\Gone\\VX_LO.EXE"));
    EXPECT_TRUE(sendToShortcutIsStale(self));
    std::filesystem::remove(sendToShortcutPath());
    EXPECT_FALSE(sendToShortcutIsStale(self)) << "a shortcut the user removed stays removed";
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

// The user's entry follows the program: one for a program that moved is stale, one the user
// removed is not; a stale copy that would hide the system's own entry for this program goes.
TEST_F(SendToShortcut, AnEntryForAProgramThatMovedIsStale) {
    std::filesystem::create_directories(dir_ / "bin");
    const std::filesystem::path program = dir_ / "bin/voxilo";
    testing_support::writeFile(program, "");
    EXPECT_FALSE(sendToShortcutIsStale(program));  // none at all
    ASSERT_TRUE(createSendToShortcut(program));
    EXPECT_FALSE(sendToShortcutIsStale(program));
    ASSERT_TRUE(createSendToShortcut("/opt/old/voxilo"));
    EXPECT_TRUE(sendToShortcutIsStale(program));

    std::filesystem::create_directories(dir_ / "system/applications");
    testing_support::writeFile(dir_ / "system/applications/voxilo.desktop", desktopEntry(program));
    EXPECT_TRUE(createSendToShortcut(program));
    EXPECT_FALSE(std::filesystem::exists(desktopEntryPath()));
    EXPECT_FALSE(sendToShortcutIsStale(program));
}

#endif

}  // namespace
}  // namespace voxilo
