// Adapts MoviePlayer to the show's Movie interface.
#include "driver/Movie.h"
#include "movie/MoviePlayer.h"

namespace {

constexpr int32_t kMovieWidth = 320;
constexpr int32_t kMovieHeight = 200;

class PlayerMovie final : public Movie {
public:
    int32_t open(const char* name) override { return player.open(name); }
    void render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                int32_t height) override {
        if (width == kMovieWidth && height == kMovieHeight) {
            player.render(pixels, skipCount, frameIndex, width, height);
        } else {
            player.renderScaled(pixels, skipCount, width, height);
        }
    }
    void close() override { player.close(); }

private:
    MoviePlayer player;
};

} // namespace

std::unique_ptr<Movie> PlayerMovieSource::createMovie() {
    return std::make_unique<PlayerMovie>();
}
