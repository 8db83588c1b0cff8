// A child program with an optional pipe to its standard input, started without a shell
// (arguments are passed as they are, so file names need no quoting).
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    // How often a blocked write looks for a stop signal. A signal taken by another thread
    // (the band painters) does not interrupt this thread's wait, so the wait is bounded.
    static constexpr int kStopLookMs = 50;

    ChildProcess() = default;
    // Closes the pipe and waits for the child.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The full path of an executable found in the directories of PATH; empty when none.
    static std::string findProgram(const std::string& name);

    // Starts args[0] (a path) with args; with withInput the child's standard input is a
    // pipe fed by write, else it is inherited. False when it cannot be started, with the
    // system's reason in startError().
    bool start(const std::vector<std::string>& args, bool withInput);
    const std::string& startError() const { return startProblem; }
    // False when the child no longer reads (it ended or failed), or as soon as a stop
    // signal has come, even in the middle of a write the child is slow to take.
    bool write(const void* data, size_t bytes);
    // Closes the pipe, waits for the child; true when it exited with status 0. A stop
    // signal while waiting ends the child at once.
    bool finish();
    // How the child ended, for a message: "exited with status 1", "was ended by signal 9
    // (Killed)"; empty before it ended or when it exited with status 0.
    const std::string& endText() const { return ending; }
    // Ends the child at once (SIGKILL) and waits for it.
    void kill();

private:
    pid_t pid = -1;
    int input = -1;
    std::string startProblem;
    std::string ending;
};
