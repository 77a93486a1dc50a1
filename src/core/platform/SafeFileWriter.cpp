#include "core/platform/SafeFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace voxilo {
namespace {

std::string temporaryNameFor(const std::filesystem::path& target) {
    static std::mt19937_64 random{std::random_device{}()};
    std::string hidden(1, '.');
    hidden.append(target.filename().string()).append(".vxtmp");
    hidden.append(std::to_string(random() % 1000000000ull));
    std::filesystem::path name = target;
    name.replace_filename(hidden);
    return name.string();
}

}  // namespace

SafeFileWriter::~SafeFileWriter() { discard(); }

#ifdef _WIN32

namespace {

std::error_code lastError() { return {static_cast<int>(GetLastError()), std::system_category()}; }

std::wstring wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

}  // namespace

void SafeFileWriter::discard() noexcept {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
    if (!temporary_.empty()) DeleteFileW(wide(temporary_).c_str());
    temporary_.clear();
}

std::error_code SafeFileWriter::open(const std::string& path) {
    discard();
    target_ = path;
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = temporaryNameFor(path);
        HANDLE h = CreateFileW(wide(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = h;
            return {};
        }
        const std::error_code error = lastError();
        temporary_.clear();
        if (error.value() != ERROR_FILE_EXISTS) return error;
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code SafeFileWriter::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data(), chunk, &written, nullptr)) return lastError();
        bytes.remove_prefix(written);
    }
    return {};
}

std::error_code SafeFileWriter::commit() {
    std::error_code error;
    if (!FlushFileBuffers(handle_)) error = lastError();
    if (!CloseHandle(handle_) && !error) error = lastError();
    handle_ = nullptr;
    if (!error) {
        const std::wstring temporary = wide(temporary_);
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!MoveFileExW(temporary.c_str(), wide(target_).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = lastError();
        }
    }
    if (!error) temporary_.clear();
    discard();
    return error;
}

#else

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

}  // namespace

void SafeFileWriter::discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::error_code SafeFileWriter::open(const std::string& path) {
    discard();
    std::error_code ec;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, ec)) {
        target = std::filesystem::canonical(target, ec);
        if (ec) return ec;
    }
    target_ = target.string();

    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        return fd_ < 0 ? lastError() : std::error_code{};
    }
    // Replacing needs only the folder's permission; a file its owner made read-only (or that
    // we may not write) is refused as writing into it would be, not silently replaced.
    constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    if (exists && ((existing.st_mode & kAnyWrite) == 0 || ::access(target_.c_str(), W_OK) != 0)) {
        return std::make_error_code(std::errc::permission_denied);
    }
    // A new file gets the permissions any program's new file gets (0666 less the umask).
    const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = temporaryNameFor(target);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0) break;
        temporary_.clear();
        if (errno != EEXIST) return lastError();
    }
    if (fd_ < 0) return std::make_error_code(std::errc::file_exists);
    if (exists && ::fchmod(fd_, mode) != 0) {
        const std::error_code error = lastError();
        discard();
        return error;
    }
    return {};
}

std::error_code SafeFileWriter::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

std::error_code SafeFileWriter::commit() {
    std::error_code error;
    if (!temporary_.empty() && ::fsync(fd_) != 0) error = lastError();
    if (::close(fd_) != 0 && !error) error = lastError();
    fd_ = -1;
    if (!error && !temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = lastError();
    }
    if (!error) temporary_.clear();
    discard();
    return error;
}

#endif

}  // namespace voxilo
