// What the platform layer does differently on each system, in one place: the settings made
// before SDL starts, when an error is also shown in a message box, and the hint said when
// the music file is missing. Defined in SystemPosix.cpp or SystemWindows.cpp, whichever
// the build's system takes.
#pragma once

// Called once at the start of main, after keepStandardStreams(): the program's entry point
// is its own main (SDL's is not linked), and on Windows the process is DPI-aware.
void prepareSystem();

// True when an error should also be shown in a message box: a display is there, it is not
// SDL's dummy or offscreen driver, and (on Windows) nobody reads standard error.
bool errorBoxWanted();

// The line on standard error when fileName (the music) is missing from the working folder.
void reportMissingMusic(const char* fileName);
