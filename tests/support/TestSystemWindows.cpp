#include "support/TestSystem.h"

#include <malloc.h>
#include <process.h>
#include <windows.h>

#include <cstdlib>
#include <string>

int openFileCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

std::size_t allocatedSize(void* block) {
    return _msize(block);
}

int processId() {
    return _getpid();
}

void setEnvironment(const char* name, const char* value, bool replace) {
    if (replace || std::getenv(name) == nullptr) {
        _putenv_s(name, value);
    }
}

void unsetEnvironment(const char* name) {
    _putenv_s(name, "");
}

const char* nullDevice() {
    return "NUL";
}

const char* missingMusicAdvice() {
    return "then double-click tilsen\\.exe there.";
}

const char* noNamedPipes() {
    return "Windows has no named pipes in its file system (only under \\\\.\\pipe\\)";
}

const char* noEndlessDevice() {
    return "Windows has no /dev/zero to link to";
}

const char* noUnreadableFiles() {
    return "Windows file modes cannot take reading away (chmod sets read-only only)";
}

void makeNamedPipe(const std::string&) {}

void linkToEndlessDevice(const std::string&) {}

void setReadable(const std::string&, bool) {}

bool isSuperuser() {
    return false;
}

bool becomeNobody() {
    return false;
}
