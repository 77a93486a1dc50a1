// Prints the text of every control of the visible top-level window whose title is the first
// argument, one a line in UTF-8, as the window shows them: what a person reads on an
// installer's page, for a script to check.
//   window-texts.exe TITLE
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

BOOL CALLBACK printText(HWND control, LPARAM) {
    if (!IsWindowVisible(control)) return TRUE;
    wchar_t text[1024] = {};
    // WM_GETTEXT reads another process's control, where GetWindowText would not.
    SendMessageW(control, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text));
    if (text[0] != L'\0') std::printf("%s\n", utf8(text).c_str());
    return TRUE;
}

struct Search {
    const wchar_t* title;
    HWND found;
};

// The first visible top-level window titled as asked. Setup's title ends in a blank from its
// second page on (NSIS adds the page's subcaption, a blank in Japanese): trailing blanks do not
// count.
BOOL CALLBACK findVisible(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    wchar_t text[512] = {};
    GetWindowTextW(window, text, sizeof text / sizeof text[0]);
    std::wstring title(text);
    title.erase(title.find_last_not_of(L' ') + 1);
    if (!IsWindowVisible(window) || title != search.title) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-texts.exe TITLE\n");
        return 2;
    }
    Search search{argv[1], nullptr};
    EnumWindows(findVisible, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) {
        std::fprintf(stderr, "window-texts: no window titled as asked\n");
        return 1;
    }
    EnumChildWindows(search.found, printText, 0);
    return 0;
}
