// Opening the show's data files (pictures, movies, music) for reading. Only regular files
// are opened: a named pipe or a device in a data file's place would block the open or
// never end, so it is refused like a missing file.
#pragma once

// Returns a file descriptor open for reading, or -1 with errno set (EISDIR for a
// directory, EINVAL for any other file that is not a regular file).
int openDataFile(const char* fileName);
