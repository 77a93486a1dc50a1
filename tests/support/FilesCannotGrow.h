#pragma once

#include <signal.h>
#include <sys/resource.h>

#include "core/platform/SafeFileWriter.h"

namespace voxilo::testing_support {

// While it lives, no file of this process may grow: a full disk or an exhausted quota, as a
// program that writes sees it. The write that would grow a file fails with EFBIG, because
// SIGXFSZ is ignored through the same call the programs' mains make; the process tests of both
// programs check that their mains make it, under a limit and with the signal at its default.
class FilesCannotGrow {
public:
    FilesCannotGrow() {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, nullptr, &signal_);
        ignoreFileSizeSignal();
        rlimit none = saved_;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
    }
    ~FilesCannotGrow() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &signal_, nullptr);
    }
    FilesCannotGrow(const FilesCannotGrow&) = delete;
    FilesCannotGrow& operator=(const FilesCannotGrow&) = delete;

private:
    rlimit saved_{};
    struct sigaction signal_ {};
};

}  // namespace voxilo::testing_support
