// What the tests ask of the system they run on, in one place per system (TestSystemPosix.cpp,
// TestSystemWindows.cpp): files and handles, environment, and the kinds of file a row of a
// bad-input table may need. A row that cannot exist on a system skips with the reason.
#pragma once

#include <cstddef>
#include <string>

// The files (descriptors, or handles on Windows) the process holds, for checks that nothing
// is left open after bad input.
int openFileCount();

// The size the allocator gave a block (at least what was asked).
std::size_t allocatedSize(void* block);

int processId();
void setEnvironment(const char* name, const char* value, bool replace);
void unsetEnvironment(const char* name);

// The device that reads as empty (/dev/null, or NUL on Windows).
const char* nullDevice();

// How the missing-music hint ends on this system, as a pattern (what to start, from where).
const char* missingMusicAdvice();

// nullptr when the system has that kind of file, else why a row needing it is skipped.
const char* noNamedPipes();
const char* noEndlessDevice();
const char* noUnreadableFiles();

// A named pipe without a writer at path.
void makeNamedPipe(const std::string& path);
// A link at path to a device that never ends (/dev/zero).
void linkToEndlessDevice(const std::string& path);
// Takes every permission away (0) or gives them back.
void setReadable(const std::string& path, bool readable);
// Whether this process is the superuser, who reads any file anyway.
bool isSuperuser();
// Gives up the superuser's rights for those of "nobody"; false when that fails.
bool becomeNobody();
