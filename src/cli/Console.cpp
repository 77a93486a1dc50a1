#include "cli/Console.h"

#include "core/platform/Utf8.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace voxilo::cli {

namespace {

// Writes from this size on go straight to the file: through the stream's buffer they would be
// split in two system calls and partly copied.
constexpr std::size_t kStraightWrite = 16 * 1024;

std::error_code writeBuffered(std::FILE* stream, std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size()) {
        return {errno, std::generic_category()};
    }
    return {};
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring wide(std::string_view utf8) {
    const std::u16string text = fromUtf8(utf8);
    return {text.begin(), text.end()};
}

std::string narrow(std::wstring_view text) {
    return toUtf8(std::u16string(text.begin(), text.end()));
}

HANDLE handleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

void prepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> programArguments(int, char**) {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(narrow(words[i]));
    LocalFree(words);
    return arguments;
}

void writeText(std::FILE* stream, std::string_view utf8) {
    std::wstring text;
    for (wchar_t c : wide(utf8)) {
        if (c == L'\n') text.push_back(L'\r');
        text.push_back(c);
    }
    std::fflush(stream);
    DWORD mode = 0;
    const HANDLE handle = handleOf(stream);
    if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // A redirected stream gets the system's code page, as every other Windows program writes.
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

std::FILE* openForReading(const std::string& utf8Path) {
    return _wfopen(wide(utf8Path).c_str(), L"rb");
}

namespace {

std::optional<FileIdentity> identityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return FileIdentity{
        info.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> identityOf(std::FILE* stream) {
    return identityOfHandle(handleOf(stream));
}

std::error_code writeBytes(std::FILE* stream, std::string_view bytes) {
    if (bytes.size() < kStraightWrite) return writeBuffered(stream, bytes);
    if (std::fflush(stream) != 0) return {errno, std::generic_category()};
    const HANDLE handle = handleOf(stream);
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) {
            return {static_cast<int>(GetLastError()), std::system_category()};
        }
        bytes.remove_prefix(written);
    }
    return {};
}

std::optional<ReadAt> readAnywhere(std::FILE* stream, std::atomic<int>& error) {
    const HANDLE handle = handleOf(stream);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) return std::nullopt;
    return [handle, &error](char* buffer, std::size_t capacity,
                            std::uint64_t offset) -> std::ptrdiff_t {
        // A read at an offset of its own leaves no position behind for another thread's read.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const auto asked = static_cast<DWORD>(std::min<std::size_t>(capacity, 1u << 30));
        if (!ReadFile(handle, buffer, asked, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) return 0;
            error = EIO;
            return -1;
        }
        return static_cast<std::ptrdiff_t>(got);
    };
}

std::optional<FileIdentity> identityOf(const std::string& utf8Path) {
    // Opened for nothing but its attributes, so that no other program's use of it is in the way.
    const HANDLE handle = CreateFileW(wide(utf8Path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const auto identity = identityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

std::string systemMessage(std::error_code error) {
    if (error.category() != std::system_category()) return error.message();
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
        nullptr);
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text.empty() ? error.message() : narrow(text);
}

std::optional<std::string> readHiddenLine(std::string_view prompt) {
    const HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return std::nullopt;
    DWORD saved = 0;
    if (!GetConsoleMode(input, &saved)) {
        CloseHandle(input);
        return std::nullopt;
    }
    const HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    const std::wstring question = wide(prompt);
    if (output != INVALID_HANDLE_VALUE) {
        WriteConsoleW(output, question.data(), static_cast<DWORD>(question.size()), &written,
                      nullptr);
    }
    SetConsoleMode(input,
                   (saved | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
    std::wstring line;
    wchar_t c = 0;
    DWORD read = 0;
    while (ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1 && c != L'\n') line.push_back(c);
    SetConsoleMode(input, saved);
    if (output != INVALID_HANDLE_VALUE) {
        WriteConsoleW(output, L"\r\n", 2, &written, nullptr);
        CloseHandle(output);
    }
    CloseHandle(input);
    return narrow(line);
}

#else

void prepareStandardStreams() {}

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void writeText(std::FILE* stream, std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

std::FILE* openForReading(const std::string& utf8Path) {
    return std::fopen(utf8Path.c_str(), "rb");
}

namespace {

std::optional<FileIdentity> identityOfStat(const struct stat& info) {
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

std::optional<FileIdentity> identityOf(std::FILE* stream) {
    struct stat info {};
    if (::fstat(::fileno(stream), &info) != 0) return std::nullopt;
    return identityOfStat(info);
}

std::error_code writeBytes(std::FILE* stream, std::string_view bytes) {
    if (bytes.size() < kStraightWrite) return writeBuffered(stream, bytes);
    if (std::fflush(stream) != 0) return {errno, std::generic_category()};
    const int fd = ::fileno(stream);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return {errno, std::generic_category()};
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::optional<ReadAt> readAnywhere(std::FILE* stream, std::atomic<int>& error) {
    const int fd = ::fileno(stream);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return [fd, &error](char* buffer, std::size_t capacity, std::uint64_t offset) -> std::ptrdiff_t {
        for (;;) {
            const ssize_t got = ::pread(fd, buffer, capacity, static_cast<off_t>(offset));
            if (got >= 0) return got;
            if (errno == EINTR) continue;
            error = errno;
            return -1;
        }
    };
}

std::optional<FileIdentity> identityOf(const std::string& utf8Path) {
    struct stat info {};
    if (::stat(utf8Path.c_str(), &info) != 0) return std::nullopt;
    return identityOfStat(info);
}

std::string systemMessage(std::error_code error) { return error.message(); }

std::optional<std::string> readHiddenLine(std::string_view prompt) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    (void)!::write(tty, prompt.data(), prompt.size());
    termios saved{};
    const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c = 0;
    while (::read(tty, &c, 1) == 1 && c != '\n') line.push_back(c);
    if (isTerminal) ::tcsetattr(tty, TCSAFLUSH, &saved);
    (void)!::write(tty, "\n", 1);
    ::close(tty);
    return line;
}

#endif

}  // namespace voxilo::cli
