// posix_spawn with the pipe's ends kept off the standard descriptors and closed in the
// child on exec. A child that dies makes writes fail with EPIPE (the tool ignores SIGPIPE)
// instead of ending the recorder. The pipe is non-blocking on our side: a write that finds
// it full waits in poll, which a stop signal (or the bounded wait) ends.
#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "StopSignal.h"

extern char** environ;

namespace {
constexpr int kFirstFreeDescriptor = 3;

// With a standard stream closed, pipe() hands out its number; a pipe end there would be
// taken for that stream (or closed in the child). Moves fd above the standard three.
bool moveAboveStandard(int& fd) {
    if (fd >= kFirstFreeDescriptor) {
        return true;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kFirstFreeDescriptor);
    if (moved < 0) {
        return false;
    }
    ::close(fd);
    fd = moved;
    return true;
}
} // namespace

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
    startProblem.clear();
    ending.clear();
    if (pid != -1 || args.empty()) {
        startProblem = std::strerror(EINVAL);
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    int fds[2] = {-1, -1};
    if (withInput) {
        if (pipe2(fds, O_CLOEXEC) != 0 || !moveAboveStandard(fds[0]) ||
            !moveAboveStandard(fds[1]) || fcntl(fds[1], F_SETFL, O_NONBLOCK) != 0) {
            startProblem = std::strerror(errno);
            for (const int fd : fds) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            return false;
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (withInput) {
        // Both ends close on exec; dup2 gives standard input a copy that stays open.
        posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    }
    pid_t child = -1;
    const int result = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (withInput) {
        ::close(fds[0]);
    }
    if (result != 0) {
        startProblem = std::strerror(result);
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
        // Looked at before every write: a signal that cut a write short is not lost.
        if (stopSignal() != 0) {
            return false;
        }
        const ssize_t n = ::write(input, p, bytes);
        if (n > 0) {
            p += n;
            bytes -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd room{input, POLLOUT, 0};
        poll(&room, 1, kStopLookMs);
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
    bool killed = false;
    do {
        r = waitpid(pid, &status, 0);
        if (r == -1 && errno == EINTR && stopSignal() != 0 && !killed) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
    } while (r == -1 && errno == EINTR);
    pid = -1;
    if (r == -1) {
        ending = std::string("could not be waited for: ") + std::strerror(errno);
        return false;
    }
    if (WIFSIGNALED(status)) {
        ending = "was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
                 strsignal(WTERMSIG(status)) + ")";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        ending = "exited with status " + std::to_string(WEXITSTATUS(status));
        return false;
    }
    return WIFEXITED(status);
}

void ChildProcess::kill() {
    if (pid != -1) {
        ::kill(pid, SIGKILL);
    }
    finish();
}
