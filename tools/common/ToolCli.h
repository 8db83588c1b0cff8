// Command-line manners shared by the tools, over CLI11: --help and -h print the usage on
// standard output and exit 0; wrong usage prints the problem and the usage on standard
// error and exits 2.
#pragma once

#include <CLI/CLI.hpp>

namespace toolcli {
inline constexpr int kUsageStatus = 2;
// What parse returns when the program should go on.
inline constexpr int kParsed = -1;

// Checks that an option's value is a whole number from 0 to 2^32 - 1, naming the value
// when it is not ("--frames: '-3' is not a whole number from 0 to 4294967295").
CLI::Validator countValidator();

// Parses argv into app. kParsed, or the status the program should exit with after the
// help or the usage message has been printed.
int parse(CLI::App& app, int argc, char** argv);
} // namespace toolcli
