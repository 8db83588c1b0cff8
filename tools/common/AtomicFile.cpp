// Temporary name beside the final one: rename is atomic only within one file system, and
// the folder of the final name is the one place sure to be on the same one.
#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;

// The mode a file created with open(..., 0666) would get: the process's umask applied.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return kNewFileMode & ~mask;
}
// Temporary files that exist right now, for the signal handler: fixed storage, since a
// handler may only touch what needs no allocation. A slot is marked used only once its
// name is complete.
constexpr size_t kLiveSlots = 16;
std::array<std::array<char, PATH_MAX>, kLiveSlots> liveNames{};
std::array<volatile sig_atomic_t, kLiveSlots> liveUsed{};

int remember(const std::string& name) {
    for (size_t i = 0; i < kLiveSlots; ++i) {
        if (liveUsed[i] == 0 && name.size() < PATH_MAX) {
            std::memcpy(liveNames[i].data(), name.c_str(), name.size() + 1);
            liveUsed[i] = 1;
            return static_cast<int>(i);
        }
    }
    return -1;
}

void forget(int slot) {
    if (slot >= 0) {
        liveUsed[static_cast<size_t>(slot)] = 0;
    }
}

void removeLiveTempFiles(int signalNumber) {
    for (size_t i = 0; i < kLiveSlots; ++i) {
        if (liveUsed[i] != 0) {
            unlink(liveNames[i].data());
        }
    }
    // Then end the way the signal would have ended the process.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}
} // namespace

void AtomicFile::removeTempFilesOnSignals() {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the process was started to ignore (nohup, a background job) stays ignored.
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            std::signal(signalNumber, removeLiveTempFiles);
        }
    }
}

namespace {
// The kernel's own bound on links followed in one name.
constexpr int32_t kMaxLinks = 40;

// The name a write to name lands on when name is a symbolic link to a file that does not
// exist yet: the links followed one by one (a relative one from its own folder). False
// with the reason for a loop or a link that cannot be read.
bool followDanglingLinks(std::string& name, int& reason) {
    for (int32_t hops = 0; hops < kMaxLinks; ++hops) {
        struct stat info {};
        if (lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t length = readlink(name.c_str(), link.data(), PATH_MAX);
        if (length < 0) {
            reason = errno;
            return false;
        }
        std::string next(link.data(), static_cast<size_t>(length));
        const size_t slash = name.rfind('/');
        if (next.empty() || (next[0] != '/' && slash != std::string::npos)) {
            next = name.substr(0, slash + 1) + next;
        }
        name = next;
    }
    reason = ELOOP;
    return false;
}
} // namespace

bool sameFile(const std::string& one, const std::string& other) {
    struct stat a {};
    struct stat b {};
    const bool aExists = stat(one.c_str(), &a) == 0;
    const bool bExists = stat(other.c_str(), &b) == 0;
    if (aExists || bExists) {
        return aExists && bExists && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    }
    std::error_code ignored;
    namespace fs = std::filesystem;
    return fs::weakly_canonical(fs::absolute(one, ignored), ignored) ==
           fs::weakly_canonical(fs::absolute(other, ignored), ignored);
}

std::string fileError(const std::string& fileName, int errorNumber) {
    return fileName + ": " + (errorNumber != 0 ? std::strerror(errorNumber) : "write failed");
}

AtomicFile::AtomicFile(std::string finalName) : target(std::move(finalName)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::create(std::string& error) {
    discard();
    mode_t mode = newFileMode();
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
        // The new file keeps the permissions of the one it replaces.
        mode = info.st_mode & kPermissionBits;
        std::vector<char> resolved(PATH_MAX);
        if (realpath(target.c_str(), resolved.data()) != nullptr) {
            target = resolved.data();
        }
    } else if (int reason = 0; !followDanglingLinks(target, reason)) {
        error = fileError(target, reason);
        return false;
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
    slot = remember(temp);
    // mkstemp makes the file private; the finished file gets the usual mode.
    const bool moded = fchmod(fd, mode) == 0;
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
    forget(slot);
    slot = -1;
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
        forget(slot);
        slot = -1;
        temp.clear();
    }
}
