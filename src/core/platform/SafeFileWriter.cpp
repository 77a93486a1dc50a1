#include "core/platform/SafeFileWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/platform/FileRefusal.h"

namespace voxilo {
namespace {

// Temporary files are named ".NAME.vxtmp" and digits, beside the target NAME.
std::string temporaryPrefixFor(const std::filesystem::path& target) {
    std::string prefix(1, '.');
    prefix.append(target.filename().string()).append(".vxtmp");
    return prefix;
}

#ifndef _WIN32
bool isTemporaryOf(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
    return name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}
#endif

std::string temporaryNameFor(const std::filesystem::path& target) {
    static std::mt19937_64 random{std::random_device{}()};
    std::string hidden = temporaryPrefixFor(target);
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
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return make_error_code(FileRefusal::NotARegularFile);
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
    if (!error) {
        temporary_.clear();
        removeAbandonedTemporaries();
    }
    discard();
    return error;
}

// A save that was cut short (the program killed, the power gone) leaves its temporary file
// behind. One still being written is open without sharing, so it cannot be deleted.
void SafeFileWriter::removeAbandonedTemporaries() noexcept {
    const std::filesystem::path target(wide(target_));
    const std::wstring prefix = wide(temporaryPrefixFor(target));
    const std::filesystem::path pattern = target.parent_path() / (prefix + L"*");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name.size() > prefix.size() &&
            name.find_first_not_of(L"0123456789", prefix.size()) == std::wstring::npos) {
            const std::wstring path = (target.parent_path() / name).wstring();
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(path.c_str()))
                SetFileAttributesW(path.c_str(), found.dwFileAttributes);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

#else

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

std::error_code syncFolderOf(const std::string& file) {
    const std::filesystem::path path(file);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return lastError();
    std::error_code error;
    if (::fsync(fd) != 0) error = lastError();
    ::close(fd);
    return error;
}

}  // namespace

void SafeFileWriter::discard() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    inPlace_ = false;
    pending_.clear();
    pending_.shrink_to_fit();
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
    if (exists && S_ISDIR(existing.st_mode)) return std::make_error_code(std::errc::is_a_directory);
    if (exists && !S_ISREG(existing.st_mode)) return make_error_code(FileRefusal::NotARegularFile);
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
        if (errno == EACCES && exists) return openInPlace();
        if (errno != EEXIST) return lastError();
    }
    if (fd_ < 0) return std::make_error_code(std::errc::file_exists);
    // Held while the file is ours, so that another save can tell it from one abandoned.
    (void)::flock(fd_, LOCK_EX | LOCK_NB);
    if (exists && ::fchmod(fd_, mode) != 0) {
        const std::error_code error = lastError();
        discard();
        return error;
    }
    return {};
}

// The folder will not take a temporary file, but the file may be written: it is rewritten
// where it is, at the commit, once all its bytes are known.
std::error_code SafeFileWriter::openInPlace() {
    // Without waiting, and only once it is known to be a regular file: a pipe put in its place
    // since it was looked at must not hold the writer.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return lastError();
    struct stat opened {};
    std::error_code error;
    if (::fstat(fd_, &opened) != 0) {
        error = lastError();
    } else if (!S_ISREG(opened.st_mode)) {
        error = make_error_code(FileRefusal::NotARegularFile);
    } else if (::fcntl(fd_, F_SETFL, 0) != 0) {
        error = lastError();
    }
    if (error) {
        discard();
        return error;
    }
    inPlace_ = true;
    return {};
}

std::error_code SafeFileWriter::commitInPlace() {
    const auto size = static_cast<off_t>(pending_.size());
    // Reserving the space first means that a full disk, a quota or a file size limit refuses
    // the save while the old text is still whole.
    if (size > 0) {
        if (const int error = ::posix_fallocate(fd_, 0, size); error != 0) {
            return {error, std::generic_category()};
        }
    }
    std::string_view bytes = pending_;
    off_t offset = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    if (::ftruncate(fd_, size) != 0 || ::fsync(fd_) != 0) return lastError();
    return {};
}

std::error_code SafeFileWriter::write(std::string_view bytes) {
    if (inPlace_) {
        pending_.append(bytes);
        return {};
    }
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
    if (inPlace_) error = commitInPlace();
    if (!temporary_.empty() && ::fsync(fd_) != 0) error = lastError();
    if (::close(fd_) != 0 && !error) error = lastError();
    fd_ = -1;
    if (!error && !temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = lastError();
    }
    // The new name reaches the disk with the folder: until then a power cut could bring back
    // the old file, or none, after the save was reported done.
    if (!error && !temporary_.empty()) error = syncFolderOf(target_);
    if (!error && !temporary_.empty()) {
        temporary_.clear();
        removeAbandonedTemporaries();
    }
    discard();
    return error;
}

// A save that was cut short (the program killed, the power gone) leaves its temporary file
// behind. One whose lock nobody holds any more is abandoned; one still being written is not.
void SafeFileWriter::removeAbandonedTemporaries() noexcept {
    const std::filesystem::path target(target_);
    const std::string prefix = temporaryPrefixFor(target);
    std::error_code ec;
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string path = it->path().string();
        if (!isTemporaryOf(it->path().filename().string(), prefix)) continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
        ::close(fd);
    }
}

#endif

void ignoreFileSizeSignal() noexcept {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace voxilo
