// The scene script on a display that draws sharp: movies are asked for the display's
// size, pictures fill it, and the last scene draws its picture again only when the
// surface changed size (a new surface holds nothing).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/Show.h"

namespace {

constexpr uint32_t kMarker = 0x12345678u;

class SizedDisplay : public Display {
public:
    void open() override {}
    int32_t readKey() override { return 0; }
    uint32_t* lock() override {
        if (sizeFor) {
            const auto [w, h] = sizeFor(*show);
            if (w != width || h != height) {
                width = w;
                height = h;
                // A new surface, as the window's would be: nothing of the old one.
                pixels.assign(static_cast<size_t>(w * h), kMarker);
            }
        }
        pixels[0] = kMarker;
        return pixels.data();
    }
    int32_t frameWidth() const override { return width; }
    int32_t frameHeight() const override { return height; }
    void unlock() override {}
    void present() override {
        firstPixels.push_back({show->scene, pixels[0]});
        centres[show->scene] = pixels[static_cast<size_t>(height / 2 * width + width / 2)];
    }
    void close() override {}
    void destroy() override {}
    void reportError(const ptc::DynamicError&) override {}

    const Show* show = nullptr;
    int32_t width = 400;
    int32_t height = 300;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(400 * 300, kMarker);
    std::function<std::pair<int32_t, int32_t>(const Show&)> sizeFor;
    struct Seen {
        int32_t scene;
        uint32_t firstPixel;
    };
    std::vector<Seen> firstPixels;
    std::map<int32_t, uint32_t> centres;
};

class QuietMusic : public Music {
public:
    void startMusic() override {}
    void stopMusic() override {}
    int32_t masterVolume() override { return 4; }
    void setMasterVolume(int32_t) override {}
};

class NoWaitClock : public TickClock {
public:
    void setTickLength(uint32_t) override {}
    void resetClock() override {}
    int32_t waitNextTick() override { return 0; }
};

struct Drawn {
    int32_t width;
    int32_t height;
};

class SizeMovie : public Movie {
public:
    explicit SizeMovie(std::vector<Drawn>& log) : drawn(log) {}
    int32_t open(const char*) override { return 2; }
    void render(uint32_t* pixels, uint32_t, int32_t, int32_t width, int32_t height) override {
        drawn.push_back({width, height});
        for (int32_t i = 0; i < width * height; ++i) {
            pixels[i] = 0xff204060u;
        }
    }
    void close() override {}
    std::vector<Drawn>& drawn;
};

class SizeMovies : public MovieSource {
public:
    std::unique_ptr<Movie> createMovie() override { return std::make_unique<SizeMovie>(drawn); }
    std::vector<Drawn> drawn;
};

struct SharpShow : ::testing::Test {
    SizedDisplay display;
    QuietMusic music;
    NoWaitClock clock;
    SizeMovies movies;
    Show show{display, music, clock, movies};
    void SetUp() override { display.show = &show; }
};

TEST_F(SharpShow, MoviesAndPicturesFillTheDisplaysSize) {
    show.run();
    ASSERT_EQ(movies.drawn.size(), 9u); // three movies of three frames each
    for (const Drawn& d : movies.drawn) {
        EXPECT_EQ(d.width, 400);
        EXPECT_EQ(d.height, 300);
    }
    // Without picture files the pictures are black, enlarged to opaque black; the movie
    // scenes show the movie (no logo file: nothing over it) with grain in the first.
    for (int32_t scene : {2, 5, 6, 7, 8}) {
        EXPECT_EQ(display.centres[scene], 0xff000000u) << "scene " << scene;
    }
    EXPECT_EQ(display.centres[3], 0xff204060u);
    EXPECT_EQ(display.centres[1] & 0xff000000u, 0xff000000u);
}

TEST_F(SharpShow, LastSceneDrawsThePictureAgainOnlyOnANewSize) {
    // Scene 8 at 400x300 until its frame 100, then 480x360.
    display.sizeFor = [](const Show& s) {
        return s.scene == 8 && s.frameIndex >= 100 ? std::pair{480, 360} : std::pair{400, 300};
    };
    show.run();
    int32_t kept = 0;
    int32_t redrawn = 0;
    int32_t sceneFrame = 0;
    for (const SizedDisplay::Seen& seen : display.firstPixels) {
        if (seen.scene != 8) {
            continue;
        }
        // lock() marks pixel 0: an untouched surface keeps the mark.
        if (sceneFrame == 100) {
            EXPECT_EQ(seen.firstPixel, 0xff000000u) << "the resized surface got the picture";
            ++redrawn;
        } else {
            EXPECT_EQ(seen.firstPixel, kMarker) << "scene 8 frame " << sceneFrame;
            ++kept;
        }
        ++sceneFrame;
    }
    EXPECT_EQ(redrawn, 1);
    EXPECT_EQ(kept, 480);
}

} // namespace
