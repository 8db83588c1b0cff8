// The open is non-blocking so that a named pipe without a writer cannot stall it; the
// type is then checked on the open descriptor itself, never by a second lookup of the name.
#include "movie/DataFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int openDataFile(const char* fileName) {
    if (fileName == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = reason;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}
