// Streams a gzip-compressed vector movie: each render skips the frames the clock says
// were missed, decodes the next frame and draws it front to back over black.
// One frame in memory at a time; the stream is never sought.
#pragma once

#include <cstdint>

class MoviePlayer {
public:
    MoviePlayer();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Opens "<name>.gz" and returns the movie's frame count (0 when it cannot be read).
    int32_t open(const char* name);
    // Draws one frame into pixels (pitch = width) after skipping skipCount frames.
    // frameIndex is accepted and not used.
    void render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                int32_t height);
    void close();
};
