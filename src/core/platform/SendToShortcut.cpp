#include "core/platform/SendToShortcut.h"

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>
#else
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

#include "core/platform/SafeFileWriter.h"
#endif

namespace voxilo {

#ifdef _WIN32

std::filesystem::path sendToShortcutPath() {
    PWSTR folder = nullptr;
    std::filesystem::path shortcut;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, 0, nullptr, &folder))) {
        shortcut = std::filesystem::path(folder) / L"Voxilo.lnk";
    }
    CoTaskMemFree(folder);
    return shortcut;
}

bool createSendToShortcut(const std::filesystem::path& executable) {
    const std::filesystem::path target = sendToShortcutPath();
    if (target.empty()) return false;
    // Windows' own separators: a shortcut's working folder is shown and used as written.
    const std::filesystem::path program = std::filesystem::path(executable).make_preferred();
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ownsCom = SUCCEEDED(init);
    bool made = false;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->SetPath(program.wstring().c_str())) &&
        SUCCEEDED(link->SetWorkingDirectory(program.parent_path().wstring().c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        made = SUCCEEDED(file->Save(target.wstring().c_str(), TRUE));
    }
    if (file) file->Release();
    if (link) link->Release();
    if (ownsCom) CoUninitialize();
    return made;
}

bool sendToShortcutIsStale(const std::filesystem::path& executable) {
    const std::filesystem::path shortcut = sendToShortcutPath();
    std::error_code ec;
    if (shortcut.empty() || !std::filesystem::is_regular_file(shortcut, ec)) return false;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool ownsCom = SUCCEEDED(init);
    std::wstring target;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(shortcut.wstring().c_str(), STGM_READ))) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) target = path;
    }
    if (file) file->Release();
    if (link) link->Release();
    if (ownsCom) CoUninitialize();
    // A program that is gone, or another one, makes the shortcut stale; so does one that
    // cannot be read.
    return target.empty() || !std::filesystem::equivalent(target, executable, ec);
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

namespace {

std::vector<std::filesystem::path> splitPathList(const char* list, const char* fallback) {
    std::string_view rest = list && *list ? list : fallback;
    std::vector<std::filesystem::path> folders;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (!folder.empty() && folder.front() == '/') folders.emplace_back(folder);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return folders;
}

// The program an Exec line starts: its first word, unquoted, looked up in $PATH when it names
// no folder.
std::filesystem::path programOf(std::string_view exec) {
    std::string word;
    if (!exec.empty() && exec.front() == '"') {
        // Inside quotes the file's escaping doubles each backslash, and the quoting's own
        // escaping then precedes ", `, $ and \ with one.
        std::string unescaped;
        for (std::size_t i = 0; i < exec.size(); ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
            unescaped += exec[i];
        }
        for (std::size_t i = 1; i < unescaped.size() && unescaped[i] != '"'; ++i) {
            if (unescaped[i] == '\\' && i + 1 < unescaped.size()) ++i;
            word += unescaped[i];
        }
    } else {
        word = std::string(exec.substr(0, exec.find_first_of(" \t")));
    }
    if (word.empty() || word.find('/') != std::string::npos) return word;
    for (const auto& folder : splitPathList(std::getenv("PATH"), "/usr/local/bin:/usr/bin:/bin")) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(folder / word, ec)) return folder / word;
    }
    return {};
}

// Whether the desktop entry in `file` is shown and starts `executable`.
bool startsProgram(const std::filesystem::path& file, const std::filesystem::path& executable) {
    std::ifstream in(file);
    std::string line;
    bool inMainGroup = false;
    std::filesystem::path program;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
        } else if (inMainGroup && (line == "Hidden=true" || line == "NoDisplay=true")) {
            return false;
        } else if (inMainGroup && line.rfind("Exec=", 0) == 0) {
            program = programOf(std::string_view(line).substr(5));
        }
    }
    std::error_code ec;
    return !program.empty() && std::filesystem::equivalent(program, executable, ec);
}

}  // namespace

std::filesystem::path installedDesktopEntry(const std::filesystem::path& executable) {
    for (const auto& folder :
         splitPathList(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share")) {
        const std::filesystem::path entry = folder / "applications" / "voxilo.desktop";
        std::error_code ec;
        if (std::filesystem::is_regular_file(entry, ec) && startsProgram(entry, executable)) {
            return entry;
        }
    }
    return {};
}

bool sendToShortcutIsStale(const std::filesystem::path& executable) {
    const std::filesystem::path entry = desktopEntryPath();
    std::error_code ec;
    return !entry.empty() && std::filesystem::is_regular_file(entry, ec) &&
           !startsProgram(entry, executable);
}

bool createSendToShortcut(const std::filesystem::path& executable) {
    const std::filesystem::path entry = desktopEntryPath();
    if (entry.empty() || !executable.is_absolute()) return false;
    std::error_code ec;
    if (!installedDesktopEntry(executable).empty()) {
        // The system's entry starts this program; a stale copy of the user's would hide it.
        if (sendToShortcutIsStale(executable)) std::filesystem::remove(entry, ec);
        return true;
    }
    std::filesystem::create_directories(entry.parent_path(), ec);
    SafeFileWriter writer;
    return !ec && !writer.open(entry.string()) && !writer.write(desktopEntry(executable)) &&
           !writer.commit();
}

#endif

}  // namespace voxilo
