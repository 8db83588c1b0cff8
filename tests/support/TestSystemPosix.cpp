#include "support/TestSystem.h"

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

int openFileCount() {
    int count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}

std::size_t allocatedSize(void* block) {
    return malloc_usable_size(block);
}

int processId() {
    return static_cast<int>(getpid());
}

void setEnvironment(const char* name, const char* value, bool replace) {
    setenv(name, value, replace ? 1 : 0);
}

void unsetEnvironment(const char* name) {
    unsetenv(name);
}

const char* nullDevice() {
    return "/dev/null";
}

const char* missingMusicAdvice() {
    return "or run \\./demo\\.sh";
}

const char* noNamedPipes() {
    return nullptr;
}

const char* noEndlessDevice() {
    return nullptr;
}

const char* noUnreadableFiles() {
    return nullptr;
}

void makeNamedPipe(const std::string& path) {
    mkfifo(path.c_str(), 0600);
}

void linkToEndlessDevice(const std::string& path) {
    std::filesystem::create_symlink("/dev/zero", path);
}

void setReadable(const std::string& path, bool readable) {
    chmod(path.c_str(), readable ? 0700 : 0);
}

bool isSuperuser() {
    return geteuid() == 0;
}

bool becomeNobody() {
    constexpr uid_t kNobody = 65534;
    return setgid(kNobody) == 0 && setuid(kNobody) == 0;
}
