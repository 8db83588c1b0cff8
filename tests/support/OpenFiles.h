// The number of file descriptors the test process holds, for checks that nothing is left
// open after bad input.
#pragma once

#include <filesystem>

inline int openFileCount() {
    int count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}
