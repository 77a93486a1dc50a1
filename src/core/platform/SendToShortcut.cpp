#include "core/platform/SendToShortcut.h"

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>
#else
#include <cstdlib>

#include "core/platform/SafeFileWriter.h"
#endif

namespace voxilo {

#ifdef _WIN32

bool createSendToShortcut(const std::filesystem::path& executable) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ownsCom = SUCCEEDED(init);
    bool made = false;
    PWSTR folder = nullptr;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, &folder)) &&
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->SetPath(executable.wstring().c_str())) &&
        SUCCEEDED(link->SetWorkingDirectory(executable.parent_path().wstring().c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        const std::filesystem::path target = std::filesystem::path(folder) / L"Voxilo.lnk";
        made = SUCCEEDED(file->Save(target.wstring().c_str(), TRUE));
    }
    if (file) file->Release();
    if (link) link->Release();
    CoTaskMemFree(folder);
    if (ownsCom) CoUninitialize();
    return made;
}

#else

std::filesystem::path desktopEntryPath() {
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = std::filesystem::path(home) / ".local" / "share";
    }
    return data / "applications" / "voxilo.desktop";
}

std::string desktopEntry(const std::filesystem::path& executable) {
    // A path with blanks or the like goes in double quotes. Inside them ", `, $ and \ take a
    // backslash, and as the file's own escaping doubles every backslash, a backslash in the
    // path becomes four and the others are preceded by two.
    std::string program = executable.string();
    if (program.find_first_of(" \t\"'\\><~|&;$*?#()`") != std::string::npos) {
        std::string quoted = "\"";
        for (char c : program) {
            if (c == '\\') {
                quoted += "\\\\\\\\";
            } else {
                if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
                quoted += c;
            }
        }
        program = quoted + "\"";
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Voxilo\n"
           "Comment=テキストを暗号化・解読します\n"
           "Exec=" +
           program +
           " %f\n"
           "MimeType=text/plain;\n"
           "Terminal=false\n"
           "Categories=Utility;TextTools;\n";
}

bool createSendToShortcut(const std::filesystem::path& executable) {
    const std::filesystem::path entry = desktopEntryPath();
    if (entry.empty() || !executable.is_absolute()) return false;
    std::error_code ec;
    std::filesystem::create_directories(entry.parent_path(), ec);
    SafeFileWriter writer;
    return !ec && !writer.open(entry.string()) && !writer.write(desktopEntry(executable)) &&
           !writer.commit();
}

#endif

}  // namespace voxilo
