#pragma once

#include <unistd.h>

#include <functional>

namespace voxilo::testing_support {

// Runs `work` in a child process and returns the child's id once the child is running, for a
// test to kill it at a moment of its choosing. The child exits with 0 when `work` succeeded.
inline pid_t startChild(const std::function<bool()>& work) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        (void)!::write(ready[1], "r", 1);
        ::_exit(work() ? 0 : 1);
    }
    ::close(ready[1]);
    char byte;
    (void)!::read(ready[0], &byte, 1);
    ::close(ready[0]);
    return child;
}

}  // namespace voxilo::testing_support
