// Whether a file is a movie, asked before a tool does anything else with it, so that a
// file that is not one is said to be so by name instead of being read as frames.
#pragma once

#include <string>

#include "movie/MoviePlayer.h"

// Whether movieFile can be read as a movie: false with a message naming the file and the
// reason (the system's when it cannot be opened; "empty", "not a regular file", or "not a
// movie" when its header is cut short or its first frame record is damaged). A movie of
// no frames is one; hasFrame, when given, says whether its first record is a frame.
bool checkMovie(const std::string& movieFile, std::string& error, bool* hasFrame = nullptr);

// How a damaged stream ended, in a few words ("none" for an undamaged end).
const char* damageText(MoviePlayer::FrameStatus status);
