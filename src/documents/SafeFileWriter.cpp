#include "documents/SafeFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#ifdef _WIN32
#error "The Windows file replacement comes with the Windows build."
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace voxilo {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

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

}  // namespace voxilo
