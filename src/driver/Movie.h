// What the show needs from a movie: open by name (giving its frame count), render the
// next frame after skipping, close. MovieSource makes a fresh player for each movie.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class Movie {
public:
    virtual ~Movie() = default;
    virtual int32_t open(const char* name) = 0;
    // Draws the next frame after skipping; the movie's 320x200 space fills width x height.
    virtual void render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                        int32_t height) = 0;
    virtual void close() = 0;
    // Asked while a frame is drawn; true leaves the rest of the frame undrawn. Movies that
    // draw quickly may ignore it.
    virtual void setStopCheck(std::function<bool()> check) { static_cast<void>(check); }
};

class MovieSource {
public:
    virtual ~MovieSource() = default;
    virtual std::unique_ptr<Movie> createMovie() = 0;
};

// Players reading the gzip movie files of the working directory.
class PlayerMovieSource final : public MovieSource {
public:
    std::unique_ptr<Movie> createMovie() override;
};
