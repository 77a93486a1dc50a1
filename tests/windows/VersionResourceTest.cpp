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

}  // namespace
