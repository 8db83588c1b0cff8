// Command-line manners shared by the tools, over CLI11: --help and -h print the usage on
// standard output and exit 0; wrong usage prints the problem and the usage on standard
// error and exits 2.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "geometry/Cpu.h"

namespace toolcli {
inline constexpr int kUsageStatus = 2;
// What parse returns when the program should go on.
inline constexpr int kParsed = -1;

// Checks that an option's value is a whole number from low to high written in decimal
// digits only, naming the value when it is not ("--scale: '3.5' is not a whole number from
// 1 to 12"). Signs, spaces, fractions and prefixes such as 0x are refused rather than read
// in some way of their own; the text handed on to the option is the plain decimal, which
// is why it goes in with ->transform (->check would hand on the text as it came, and
// CLI11 reads "010" as octal).
CLI::Validator wholeNumber(int64_t low, int64_t high);
// wholeNumber from 0 to 2^32 - 1.
CLI::Validator countValidator();

// A vector level as --level names it: "scalar", "sse2", "avx2", "avx512".
std::string levelOptionName(cpu::SimdLevel level);
// --level, one of the levels this machine runs (by levelOptionName), into level; the help
// names the machine's own, which level keeps unless the option is given.
CLI::Option* addLevelOption(CLI::App& app, cpu::SimdLevel& level, const std::string& what);

// Parses argv into app. kParsed, or the status the program should exit with after the
// help or the usage message has been printed.
int parse(CLI::App& app, int argc, char** argv);
} // namespace toolcli
