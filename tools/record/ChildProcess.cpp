// posix_spawn with the pipe's write end closed in the child. A child that dies makes
// writes fail with EPIPE (the tool ignores SIGPIPE) instead of ending the recorder.
#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StopSignal.h"

extern char** environ;

ChildProcess::~ChildProcess() {
    finish();
}

std::string ChildProcess::findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string dir = end > begin ? dirs.substr(begin, end - begin) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        begin = end + 1;
    }
    return {};
}

bool ChildProcess::start(const std::vector<std::string>& args, bool withInput) {
    if (pid != -1 || args.empty()) {
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    int fds[2] = {-1, -1};
    if (withInput && pipe(fds) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withInput) {
        posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
    }
    pid_t child = -1;
    const int result = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (withInput) {
        ::close(fds[0]);
    }
    if (result != 0) {
        if (withInput) {
            ::close(fds[1]);
        }
        return false;
    }
    pid = child;
    input = withInput ? fds[1] : -1;
    return true;
}

bool ChildProcess::write(const void* data, size_t bytes) {
    if (input < 0) {
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(input, p, bytes);
        if (n < 0) {
            if (errno == EINTR && stopSignal() == 0) {
                continue;
            }
            return false;
        }
        p += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

bool ChildProcess::finish() {
    if (input >= 0) {
        ::close(input);
        input = -1;
    }
    if (pid == -1) {
        return false;
    }
    int status = 0;
    pid_t r = -1;
    do {
        r = waitpid(pid, &status, 0);
    } while (r == -1 && errno == EINTR);
    pid = -1;
    return r != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ChildProcess::kill() {
    if (pid != -1) {
        ::kill(pid, SIGKILL);
    }
    finish();
}
