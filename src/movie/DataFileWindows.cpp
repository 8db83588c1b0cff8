// Windows: the file is opened in binary mode (without _O_BINARY the C runtime reads in
// text mode, folding CR LF and stopping at 0x1A: a movie then reads short or not at all),
// not inherited by child processes, and kept only when it is a file on a disk: a console,
// a device name such as NUL or COM1, or a pipe in a data file's place is refused.
#include "movie/DataFile.h"

#include <cerrno>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

int openDataFile(const char* fileName) {
    if (fileName == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::_open(fileName, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        // The C runtime says EACCES for a folder; the other systems say EISDIR.
        struct _stat64 info {};
        if (errno == EACCES && ::_stat64(fileName, &info) == 0 && (info.st_mode & _S_IFDIR) != 0) {
            errno = EISDIR;
        }
        return -1;
    }
    struct _stat64 info {};
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (::_fstat64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG ||
        handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) {
        const int reason = (info.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : EINVAL;
        ::_close(fd);
        errno = reason;
        return -1;
    }
    return fd;
}
