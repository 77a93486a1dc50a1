// The version resource VX_LO.EXE carries, linked into this test program and read back through
// the Win32 version API, as Explorer's properties page reads it.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "version/Version.h"

namespace {

std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

TEST(VersionResource, CarriesTheProgramsVersionInformation) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(self, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), voxilo::version::kMajor);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), voxilo::version::kMinor);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), voxilo::version::kBuild);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), voxilo::version::kRevision);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
        if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars)) {
            return std::wstring(L"(none)");
        }
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"CompanyName"), widen(voxilo::version::kCompanyName));
    EXPECT_EQ(text(L"LegalCopyright"), widen(voxilo::version::kLegalCopyright));
    EXPECT_EQ(text(L"OriginalFilename"), L"VX_LO.EXE");
    EXPECT_EQ(text(L"ProductName"), L"Voxilo");
}

// Each program as it is installed, read from its file as Windows reads it: its own name and
// the program's version, and the manifest it is started with.
TEST(VersionResource, EachProgramCarriesItsNameVersionAndManifest) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring folder(self);
    folder.erase(folder.find_last_of(L'\\') + 1);
    for (const auto& [file, original] :
         {std::pair{std::wstring(L"VX_LO.exe"), std::wstring(L"VX_LO.EXE")},
          std::pair{std::wstring(L"voxilo-cli.exe"), std::wstring(L"voxilo-cli.exe")}}) {
        const std::wstring path = folder + file;
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource";
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), voxilo::version::kMajor);
        EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), voxilo::version::kRevision);
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\041104B0\\OriginalFilename",
                                   reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), original);

        const HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(image, nullptr);
        const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        ASSERT_NE(found, nullptr) << "no manifest";
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
        const std::string manifest(bytes, SizeofResource(image, found));
        FreeLibrary(image);
        for (const char* part :
             {"level=\"asInvoker\"", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", "PerMonitorV2"}) {
            EXPECT_NE(manifest.find(part), std::string::npos) << part;
        }
    }
}

}  // namespace
