#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace voxilo {

// Writes a file so that it is either replaced whole or not touched at all: the bytes go to a
// new file beside the target, which is flushed to disk and then renamed over the target. An
// existing file keeps its permissions; a link is followed to the file it names. A target that
// is not a regular file (a folder, a pipe, a device such as /dev/null) is refused without being
// opened: a pipe would hold the writer until someone reads it, and none of them can be replaced
// whole. A successful commit also removes the temporary files that saves of the same target
// cut short by a crash left behind.
//
// Where the folder refuses the temporary file but the file itself may be written (a writable
// file in a folder the user may not change), the file is rewritten in place: the bytes are
// held until the commit, the file's new size is reserved on the disk first, and the file is
// only overwritten and cut to its new length once that space is sure.
//
// A write past the process's file size limit fails with EFBIG, as a full disk fails, only once
// the program has called ignoreFileSizeSignal().
class SafeFileWriter {
public:
    SafeFileWriter() = default;
    ~SafeFileWriter();  // an uncommitted write is thrown away
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    [[nodiscard]] std::error_code open(const std::string& path);
    [[nodiscard]] std::error_code write(std::string_view bytes);
    // Puts the written bytes in place of the target.
    [[nodiscard]] std::error_code commit();

private:
    void discard() noexcept;
#ifndef _WIN32
    std::error_code openInPlace();
    std::error_code commitInPlace();
#endif
    void removeAbandonedTemporaries() noexcept;

#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::string target_;
    std::string temporary_;  // empty when writing to the target directly
    bool inPlace_ = false;   // rewriting the target in place, from `pending_`, at the commit
    std::string pending_;
};

// Makes a write past the file size limit (`ulimit -f`) fail with EFBIG, told like a full disk,
// instead of ending the program with SIGXFSZ and its unsaved text. Every program calls it first
// thing in main; there is no such signal on Windows.
void ignoreFileSizeSignal() noexcept;

}  // namespace voxilo
