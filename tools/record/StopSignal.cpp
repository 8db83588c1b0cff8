// The handler stores one number; everything else happens outside it.
#include "StopSignal.h"

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void noteStop(int signal) {
    received = signal;
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int s : kStopSignals) {
        // A signal the process was started to ignore (nohup, a background job) stays
        // ignored: whoever started it asked for the recording to outlive that signal.
        struct sigaction current {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(s, &action, nullptr);
    }
}

int stopSignal() {
    return received;
}

void endByStopSignal() {
    const int s = received != 0 ? static_cast<int>(received) : SIGTERM;
    std::signal(s, SIG_DFL);
    std::raise(s);
    std::_Exit(128 + s);
}
