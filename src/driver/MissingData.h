// A data file the show could not open (a picture, a movie) changes nothing in the show: it
// plays on without it. It is still said once on standard error, with the file's name and
// the system's reason, so that a user can tell a missing file from a black scene.
#pragma once

// Reports fileName once per run; later calls for the same name print nothing.
void reportMissingData(const char* fileName, int errorNumber);
