// A child program with an optional pipe to its standard input, started without a shell
// (arguments are passed as they are, so file names need no quoting).
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    // Closes the pipe and waits for the child.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The full path of an executable found in the directories of PATH; empty when none.
    static std::string findProgram(const std::string& name);

    // Starts args[0] (a path) with args; with withInput the child's standard input is a
    // pipe fed by write, else it is inherited. False when it cannot be started.
    bool start(const std::vector<std::string>& args, bool withInput);
    // False when the child no longer reads (it ended or failed), or when a stop signal
    // came while waiting for it to read.
    bool write(const void* data, size_t bytes);
    // Closes the pipe, waits for the child; true when it exited with status 0.
    bool finish();
    // Ends the child at once (SIGKILL) and waits for it.
    void kill();

private:
    pid_t pid = -1;
    int input = -1;
};
