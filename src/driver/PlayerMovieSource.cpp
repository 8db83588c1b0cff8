// Adapts MoviePlayer to the show's Movie interface.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "driver/MissingData.h"
#include "driver/Movie.h"
#include "movie/DataFile.h"
#include "movie/MoviePlayer.h"

namespace {

constexpr int32_t kMovieWidth = 320;
constexpr int32_t kMovieHeight = 200;

class PlayerMovie final : public Movie {
public:
    int32_t open(const char* name) override {
        const int32_t frames = player.open(name);
        if (player.hasEnded() && name != nullptr) {
            // Not even a header: tell a file that cannot be opened from a damaged one.
            const std::string fileName = std::string(name) + ".gz";
            const int fd = openDataFile(fileName.c_str());
            if (fd < 0) {
                reportMissingData(fileName.c_str(), errno);
            } else {
                ::close(fd);
            }
        }
        return frames;
    }
    void render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                int32_t height) override {
        if (width == kMovieWidth && height == kMovieHeight) {
            player.render(pixels, skipCount, frameIndex, width, height);
        } else {
            player.renderScaled(pixels, skipCount, width, height);
        }
    }
    void close() override { player.close(); }
    void setStopCheck(std::function<bool()> check) override {
        player.setStopCheck(std::move(check));
    }

private:
    MoviePlayer player;
};

} // namespace

std::unique_ptr<Movie> PlayerMovieSource::createMovie() {
    return std::make_unique<PlayerMovie>();
}
