// SIGINT, SIGTERM and SIGHUP end a recording like any other failure: the handler only
// notes the signal; the show sees it at its next key read, and the recorder then removes
// what it had started and ends by the same signal.
#pragma once

// Installs the handlers (without SA_RESTART, so a blocked write returns to look), except
// over a signal that is ignored.
void installStopSignals();
// The signal that asked to stop, 0 while none did.
int stopSignal();
// Ends the process by the signal that asked to stop, with its default action.
[[noreturn]] void endByStopSignal();
