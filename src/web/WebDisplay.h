// The show's display in a browser: the surface goes to the page's canvas as RGBA bytes at
// each present; keys come from the page's key handler through a short queue. The surface is
// 320x200 unless the page asks for sharp frames (setShownSize): then it is the size a sharp
// desktop window draws for that many device pixels (sharpFrameSize), taken at the next lock.
// The page runs on one thread, so a frame that draws long hands the tab back to the page
// every kDrawSliceMilliseconds, at the stop checks the frame asks while it draws: keys
// pressed meanwhile reach the queue, and a quit key among them cuts the frame short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "driver/Display.h"

class WebDisplay final : public Display {
public:
    // Keys pressed faster than the show reads them beyond this many are dropped; a quit key
    // never is (it takes the place of the newest other key).
    static constexpr size_t kKeyQueueLimit = 64;
    // Longest stretch of drawing between two hand-backs to the page: well under what a
    // person notices, well over a normal frame (which therefore never yields).
    static constexpr double kDrawSliceMilliseconds = 40.0;

    WebDisplay(int32_t surfaceWidth, int32_t surfaceHeight);

    void open() override;
    int32_t readKey() override;
    // Anywhere in the queue: a quit key is seen at once, however many keys wait before it.
    // Asked while a frame is drawn, it first yields to the page once the slice is spent.
    bool keyWaiting(int32_t code) override;
    uint32_t* lock() override;
    int32_t frameWidth() const override { return width; }
    int32_t frameHeight() const override { return height; }
    void unlock() override { drawing = false; }
    void present() override;
    void close() override;
    void destroy() override {}
    void reportError(const ptc::DynamicError& error) override;

    // Sharp frames for a 4:3 rectangle of shownWidth x shownHeight device pixels (its largest
    // 4:3 part when it is not), from the next lock; 0 x 0 (or less) is the 320x200 show.
    void setShownSize(int32_t shownWidth, int32_t shownHeight);

    // A key from the page; 0 is not a key.
    void pressKey(int32_t key);
    int64_t presentCount() const { return presents; }

    // The surface as 0x00RRGGBB words into RGBA bytes with alpha 255: a canvas keeps such
    // pixels exactly, so reading the canvas back gives the show's pixels.
    static void toRgba(const uint32_t* words, uint8_t* rgba, size_t count);

private:
    int32_t width;
    int32_t height;
    // The size the next lock makes the surface.
    int32_t wantedWidth;
    int32_t wantedHeight;
    std::unique_ptr<uint32_t[]> pixels;
    std::unique_ptr<uint8_t[]> rgba;
    std::deque<int32_t> keys;
    int64_t presents = 0;
    // Between lock and unlock; only then may keyWaiting yield (the page's step is the only
    // caller that can wait for it).
    bool drawing = false;
    // Page time (milliseconds) the current slice of drawing began.
    double sliceStart = 0.0;
};
