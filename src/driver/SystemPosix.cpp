// What the driver layer asks of a POSIX system: the program's name and the standard
// descriptors. Only the descriptors are fixed here; stdio's own streams find them in place.
#include "driver/ProgramName.h"
#include "driver/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

const char* programName() {
    return program_invocation_short_name;
}

namespace {

bool isOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

// Opens /dev/null; the lowest free descriptor is the one that was closed.
void fillWithNull(int fd, int flags) {
    const int opened = open("/dev/null", flags);
    if (opened >= 0 && opened != fd) {
        dup2(opened, fd);
        close(opened);
    }
}

} // namespace

void keepStandardStreams() {
    if (!isOpen(STDIN_FILENO)) {
        fillWithNull(STDIN_FILENO, O_RDONLY);
    }
    const bool outputOpen = isOpen(STDOUT_FILENO);
    if (!isOpen(STDERR_FILENO)) {
        if (outputOpen) {
            dup2(STDOUT_FILENO, STDERR_FILENO);
        } else {
            fillWithNull(STDERR_FILENO, O_WRONLY);
        }
    }
    if (!outputOpen) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
    }
}
