// The names already reported are kept for the whole run; the show opens a handful of files.
#include "driver/MissingData.h"

#include "driver/ProgramName.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

void reportMissingData(const char* fileName, int errorNumber) {
    static std::set<std::string> reported;
    if (fileName == nullptr || !reported.insert(fileName).second) {
        return;
    }
    std::fprintf(stderr, "%s: %s: %s (the show goes on without it)\n", programName(), fileName,
                 std::strerror(errorNumber));
    std::fflush(stderr);
}
