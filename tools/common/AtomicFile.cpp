// Temporary name beside the final one: rename is atomic only within one file system, and
// the folder of the final name is the one place sure to be on the same one.
#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr mode_t kNewFileMode = 0666;

// The mode a file created with open(..., 0666) would get: the process's umask applied.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return kNewFileMode & ~mask;
}
} // namespace

std::string fileError(const std::string& fileName, int errorNumber) {
    return fileName + ": " + (errorNumber != 0 ? std::strerror(errorNumber) : "write failed");
}

AtomicFile::AtomicFile(std::string finalName) : target(std::move(finalName)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::create(std::string& error) {
    discard();
    struct stat info {};
    if (stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = fileError(target, EISDIR);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            temp = target;
            direct = true;
            return true;
        }
        std::vector<char> resolved(PATH_MAX);
        if (realpath(target.c_str(), resolved.data()) != nullptr) {
            target = resolved.data();
        }
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty()) {
        error = target + ": not a file name";
        return false;
    }
    // A hidden name, so that a listing of the folder does not show half-written files.
    std::string pattern = folder + "." + base + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        const int reason = errno;
        error = fileError(target, reason) + " (cannot create a file in " +
                (folder.empty() ? std::string(".") : folder) + ")";
        return false;
    }
    temp = name.data();
    // mkstemp makes the file private; the finished file gets the usual mode.
    const bool moded = fchmod(fd, newFileMode()) == 0;
    const int reason = errno;
    close(fd);
    if (!moded) {
        error = fileError(temp, reason);
        discard();
        return false;
    }
    return true;
}

bool AtomicFile::commit(std::string& error, Sync sync) {
    if (temp.empty()) {
        error = target + ": nothing written";
        return false;
    }
    if (direct) {
        temp.clear();
        direct = false;
        return true;
    }
    if (sync == Sync::kYes) {
        const int fd = open(temp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || fsync(fd) != 0) {
            error = fileError(target, errno);
            if (fd >= 0) {
                close(fd);
            }
            discard();
            return false;
        }
        close(fd);
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        error = fileError(target, errno);
        discard();
        return false;
    }
    temp.clear();
    return true;
}

void AtomicFile::discard() {
    if (direct) {
        temp.clear();
        direct = false;
    }
    if (!temp.empty()) {
        unlink(temp.c_str());
        temp.clear();
    }
}
