// The browser platform's drivers against a page stand-in: the surface (320x200, or the sharp
// size the page asks for) reaches the page as RGBA bytes the canvas keeps exactly, keys queue
// in order within a bound that never drops a quit key, a long frame hands the tab back to the
// page, volumes outside 0..256 never reach the page, and each display call lands on its page
// call.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "driver/Show.h"
#include "web/PageBridge.h"
#include "web/WebDisplay.h"
#include "web/WebMusic.h"

namespace {

struct PageCalls {
    std::vector<std::string> calls;
    std::vector<uint8_t> lastFrame;
    uint32_t playTime = 0;
    double now = 0.0;
    int32_t yields = 0;
    // What the page does while the show has yielded to it (a key handler, say).
    std::function<void()> duringYield;
};

PageCalls page;

} // namespace

extern "C" {
void tilsenPagePresent(const uint8_t* rgba, int32_t width, int32_t height) {
    page.calls.push_back("present " + std::to_string(width) + "x" + std::to_string(height));
    page.lastFrame.assign(rgba, rgba + width * height * 4);
}
void tilsenPageClose() {
    page.calls.push_back("close");
}
void tilsenPageError(const char* message) {
    page.calls.push_back(std::string("error ") + message);
}
uint32_t tilsenPagePlayTime() {
    return page.playTime;
}
void tilsenPageMusicStop() {
    page.calls.push_back("stop");
}
void tilsenPageMusicVolume(int32_t volume) {
    page.calls.push_back("volume " + std::to_string(volume));
}
void tilsenPageEnded() {
    page.calls.push_back("ended");
}
double tilsenPageNow() {
    return page.now;
}
void tilsenPageYield() {
    ++page.yields;
    if (page.duringYield) {
        page.duringYield();
    }
}
}

namespace {

struct WebPlatform : ::testing::Test {
    void SetUp() override { page = PageCalls{}; }
};

std::string hex(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
    std::string text;
    for (size_t i = from; i < from + count; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        text += two;
    }
    return text;
}

} // namespace

TEST_F(WebPlatform, PresentHandsTheSurfaceOverAsOpaqueRgbaBytes) {
    WebDisplay display(3, 2);
    uint32_t* pixels = display.lock();
    // Surface words are 0x00RRGGBB (the top byte is not alpha and must not leak through).
    const uint32_t words[6] = {0x00123456u, 0x00FF0000u, 0x0000FF00u,
                               0x000000FFu, 0xAB000000u, 0x00FFFFFFu};
    std::copy(std::begin(words), std::end(words), pixels);
    display.unlock();
    display.present();
    ASSERT_EQ(page.calls, (std::vector<std::string>{"present 3x2"}));
    EXPECT_EQ(hex(page.lastFrame, 0, 24), "123456ff"
                                          "ff0000ff"
                                          "00ff00ff"
                                          "0000ffff"
                                          "000000ff"
                                          "ffffffff");
    EXPECT_EQ(display.presentCount(), 1);
}

TEST_F(WebPlatform, SurfaceStartsBlackAndKeepsItsPixelsBetweenFrames) {
    WebDisplay display(2, 1);
    display.present();
    EXPECT_EQ(hex(page.lastFrame, 0, 8), "000000ff000000ff");
    display.lock()[1] = 0x00010203u;
    display.present();
    display.present();
    EXPECT_EQ(hex(page.lastFrame, 0, 8), "000000ff010203ff");
}

// The page's device pixels become the surface's size at the next lock, 4:3 and within the
// sharp sizes a desktop window draws (320x240 to 3840x2880); 0 x 0 is the 320x200 show.
TEST_F(WebPlatform, SharpSizeIsTakenAtTheNextLockFourByThreeWithinTheSharpSizes) {
    WebDisplay display(Show::kWidth, Show::kHeight);
    display.setShownSize(1280, 960);
    EXPECT_EQ(display.frameWidth(), 320) << "not before the next lock";
    uint32_t* pixels = display.lock();
    ASSERT_EQ(display.frameWidth(), 1280);
    ASSERT_EQ(display.frameHeight(), 960);
    pixels[1280 * 960 - 1] = 0x00A0B0C0u;
    display.unlock();
    display.present();
    ASSERT_EQ(page.calls.back(), "present 1280x960");
    EXPECT_EQ(hex(page.lastFrame, 0, 4), "000000ff") << "a new surface starts black";
    EXPECT_EQ(hex(page.lastFrame, (1280 * 960 - 1) * 4, 4), "a0b0c0ff");

    struct Case {
        int32_t shownWidth, shownHeight, width, height;
    };
    const Case cases[] = {
        {1000, 1000, 1000, 750},  // a square: its widest 4:3 part
        {2000, 900, 1200, 900},   // wide: as tall as it is
        {100, 75, 320, 240},      // below the smallest sharp size
        {8000, 6000, 3840, 2880}, // above the largest
        {0, 0, 320, 200},         // the 320x200 show
        {-5, 400, 320, 200},
    };
    for (const Case& c : cases) {
        display.setShownSize(c.shownWidth, c.shownHeight);
        display.lock();
        display.unlock();
        EXPECT_EQ(display.frameWidth(), c.width) << c.shownWidth << "x" << c.shownHeight;
        EXPECT_EQ(display.frameHeight(), c.height) << c.shownWidth << "x" << c.shownHeight;
    }
}

TEST_F(WebPlatform, KeysComeOutInOrderOneAtATimeAndZeroIsNoKey) {
    WebDisplay display(1, 1);
    EXPECT_EQ(display.readKey(), 0);
    display.pressKey(81);
    display.pressKey(0);
    display.pressKey(27);
    EXPECT_EQ(display.readKey(), 81);
    EXPECT_EQ(display.readKey(), 27);
    EXPECT_EQ(display.readKey(), 0);
}

TEST_F(WebPlatform, KeysBeyondTheQueueLimitAreDropped) {
    WebDisplay display(1, 1);
    for (size_t i = 0; i < WebDisplay::kKeyQueueLimit + 10; ++i) {
        display.pressKey(static_cast<int32_t>(i + 1));
    }
    for (size_t i = 0; i < WebDisplay::kKeyQueueLimit; ++i) {
        ASSERT_EQ(display.readKey(), static_cast<int32_t>(i + 1));
    }
    EXPECT_EQ(display.readKey(), 0);
}

TEST_F(WebPlatform, AQuitKeyBehindAFullQueueIsWaitingAtOnceAndNeverDropped) {
    constexpr int32_t kOther = 65;
    for (int32_t quit : {Show::kEscape, Show::kQuitKey}) {
        WebDisplay display(1, 1);
        for (size_t i = 0; i < WebDisplay::kKeyQueueLimit + 36; ++i) {
            display.pressKey(kOther);
        }
        EXPECT_FALSE(display.keyWaiting(quit));
        display.pressKey(quit);
        EXPECT_TRUE(display.keyWaiting(quit)) << quit;
        // It took the newest other key's place: the queue stays within its bound, and
        // the keys read before it are the ones pressed before it.
        size_t read = 0;
        int32_t last = 0;
        for (int32_t key = display.readKey(); key != 0; key = display.readKey()) {
            ++read;
            last = key;
        }
        EXPECT_EQ(read, WebDisplay::kKeyQueueLimit);
        EXPECT_EQ(last, quit);
        EXPECT_FALSE(display.keyWaiting(quit));
    }
}

TEST_F(WebPlatform, ALongFrameYieldsToThePageAndSeesTheKeysPressedMeanwhile) {
    WebDisplay display(1, 1);
    page.duringYield = [&display] { display.pressKey(Show::kEscape); };
    page.now = 1000.0;
    display.lock();
    // Stop checks within the slice never yield: a normal frame draws without a pause.
    page.now += WebDisplay::kDrawSliceMilliseconds - 1.0;
    EXPECT_FALSE(display.keyWaiting(Show::kEscape));
    EXPECT_EQ(page.yields, 0);
    // Past it, the check yields first, then sees the key that came meanwhile.
    page.now += 2.0;
    EXPECT_TRUE(display.keyWaiting(Show::kEscape));
    EXPECT_EQ(page.yields, 1);
    // A new slice starts at the yield.
    page.duringYield = nullptr;
    page.now += WebDisplay::kDrawSliceMilliseconds - 1.0;
    EXPECT_TRUE(display.keyWaiting(Show::kEscape));
    EXPECT_EQ(page.yields, 1);
    // Outside a frame (after unlock) nothing may wait on the page, however late it is.
    display.unlock();
    page.now += 10 * WebDisplay::kDrawSliceMilliseconds;
    EXPECT_TRUE(display.keyWaiting(Show::kEscape));
    EXPECT_EQ(page.yields, 1);
}

TEST_F(WebPlatform, CloseAndErrorsReachThePage) {
    WebDisplay display(1, 1);
    display.open();
    display.reportError(ptc::DynamicError("lost the canvas"));
    display.close();
    display.destroy();
    EXPECT_EQ(page.calls, (std::vector<std::string>{"error lost the canvas", "close"}));
}

struct VolumeCase {
    int32_t volume;
    bool reachesThePage;
};

class WebMusicVolume : public ::testing::TestWithParam<VolumeCase> {
    void SetUp() override { page = PageCalls{}; }
};

TEST_P(WebMusicVolume, OnlyVolumesFromZeroToFullAreSet) {
    WebMusic music;
    EXPECT_EQ(music.masterVolume(), WebMusic::kFullVolume);
    music.setMasterVolume(GetParam().volume);
    if (GetParam().reachesThePage) {
        EXPECT_EQ(page.calls,
                  (std::vector<std::string>{"volume " + std::to_string(GetParam().volume)}));
        EXPECT_EQ(music.masterVolume(), GetParam().volume);
    } else {
        EXPECT_TRUE(page.calls.empty());
        EXPECT_EQ(music.masterVolume(), WebMusic::kFullVolume);
    }
}

INSTANTIATE_TEST_SUITE_P(Range, WebMusicVolume,
                         ::testing::Values(VolumeCase{0, true}, VolumeCase{255, true},
                                           VolumeCase{256, true}, VolumeCase{-1, false},
                                           VolumeCase{257, false}, VolumeCase{INT32_MIN, false}));

TEST_F(WebPlatform, MusicReadsThePagesPlayTimeAndStopsThroughIt) {
    WebMusic music;
    page.playTime = 123456u;
    EXPECT_EQ(music.playTime(), 123456u);
    music.stopMusic();
    EXPECT_EQ(page.calls, (std::vector<std::string>{"stop"}));
}
