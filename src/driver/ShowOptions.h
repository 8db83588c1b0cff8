// The show's command line. With no arguments the show runs as it always has; --sharp
// draws the vector scenes at the pixel size of the window's 4:3 rectangle.
#pragma once

#include <cstdint>
#include <iosfwd>

struct ShowOptions {
    bool sharp = false;
};

// Exit code of a command line that cannot be run.
inline constexpr int32_t kUsageExit = 2;
// parseShowOptions' result when the show should run.
inline constexpr int32_t kRunShow = -1;

// Parses argv[1, argc). Returns kRunShow with options filled in; 0 after printing the
// help to out (--help, -h); kUsageExit after printing the reason and the usage to err.
int32_t parseShowOptions(int argc, const char* const* argv, ShowOptions& options, std::ostream& out,
                         std::ostream& err);
