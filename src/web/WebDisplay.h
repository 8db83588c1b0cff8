// The show's display in a browser: the 320x200 surface goes to the page's canvas as RGBA
// bytes at each present; keys come from the page's key handler through a short queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "driver/Display.h"

class WebDisplay final : public Display {
public:
    // Keys pressed faster than the show reads them beyond this many are dropped.
    static constexpr size_t kKeyQueueLimit = 64;

    WebDisplay(int32_t surfaceWidth, int32_t surfaceHeight);

    void open() override;
    int32_t readKey() override;
    uint32_t* lock() override { return pixels.get(); }
    void unlock() override {}
    void present() override;
    void close() override;
    void destroy() override {}
    void reportError(const ptc::DynamicError& error) override;

    // A key from the page; 0 is not a key.
    void pressKey(int32_t key);
    int64_t presentCount() const { return presents; }

    // The surface as 0x00RRGGBB words into RGBA bytes with alpha 255: a canvas keeps such
    // pixels exactly, so reading the canvas back gives the show's pixels.
    static void toRgba(const uint32_t* words, uint8_t* rgba, size_t count);

private:
    int32_t width;
    int32_t height;
    std::unique_ptr<uint32_t[]> pixels;
    std::unique_ptr<uint8_t[]> rgba;
    std::deque<int32_t> keys;
    int64_t presents = 0;
};
