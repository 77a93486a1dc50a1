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

class SendToShortcut : public testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_DATA_HOME");
        saved_ = old ? old : "";
        ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty()) {
            ::unsetenv("XDG_DATA_HOME");
        } else {
            ::setenv("XDG_DATA_HOME", saved_.c_str(), 1);
        }
    }
    testing_support::TempDir dir_;
    std::string saved_;
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

#endif

}  // namespace
}  // namespace voxilo
