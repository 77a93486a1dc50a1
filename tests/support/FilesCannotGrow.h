#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace voxilo::testing_support {

// While it lives, no file of this process may grow: a full disk or an exhausted quota, as a
// program that writes sees it. The write that would grow a file fails with EFBIG.
class FilesCannotGrow {
public:
    FilesCannotGrow() {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        signal_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit none = saved_;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FilesCannotGrow() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, signal_);
    }
    FilesCannotGrow(const FilesCannotGrow&) = delete;
    FilesCannotGrow& operator=(const FilesCannotGrow&) = delete;

private:
    rlimit saved_{};
    void (*signal_)(int) = nullptr;
};

}  // namespace voxilo::testing_support
