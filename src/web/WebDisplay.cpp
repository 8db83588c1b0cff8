// The canvas display. The surface is cleared to black when it is made; as on the desktop,
// its pixels persist from frame to frame (the last scene keeps the one before's picture).
#include "web/WebDisplay.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "driver/FrameScale.h"
#include "driver/Show.h"
#include "web/PageBridge.h"

namespace {

constexpr size_t kRgbaBytes = 4;
constexpr uint8_t kOpaque = 255;

bool isQuitKey(int32_t key) {
    return key == Show::kEscape || key == Show::kQuitKey;
}

} // namespace

WebDisplay::WebDisplay(int32_t surfaceWidth, int32_t surfaceHeight)
    : width(surfaceWidth), height(surfaceHeight), wantedWidth(surfaceWidth),
      wantedHeight(surfaceHeight),
      pixels(std::make_unique<uint32_t[]>(static_cast<size_t>(surfaceWidth * surfaceHeight))),
      rgba(std::make_unique<uint8_t[]>(static_cast<size_t>(surfaceWidth * surfaceHeight) *
                                       kRgbaBytes)) {}

void WebDisplay::open() {}

int32_t WebDisplay::readKey() {
    if (keys.empty()) {
        return 0;
    }
    const int32_t key = keys.front();
    keys.pop_front();
    return key;
}

bool WebDisplay::keyWaiting(int32_t code) {
    if (drawing && tilsenPageNow() - sliceStart >= kDrawSliceMilliseconds) {
        tilsenPageYield();
        sliceStart = tilsenPageNow();
    }
    return std::find(keys.begin(), keys.end(), code) != keys.end();
}

void WebDisplay::setShownSize(int32_t shownWidth, int32_t shownHeight) {
    if (shownWidth <= 0 || shownHeight <= 0) {
        wantedWidth = Show::kWidth;
        wantedHeight = Show::kHeight;
        return;
    }
    const FrameRect shown = fitFourByThree(shownWidth, shownHeight);
    const FrameRect frame = sharpFrameSize(shown.w, shown.h);
    wantedWidth = frame.w;
    wantedHeight = frame.h;
}

uint32_t* WebDisplay::lock() {
    if (wantedWidth != width || wantedHeight != height) {
        // A new surface starts black, as the first one did.
        const auto count = static_cast<size_t>(wantedWidth) * static_cast<size_t>(wantedHeight);
        pixels = std::make_unique<uint32_t[]>(count);
        rgba = std::make_unique<uint8_t[]>(count * kRgbaBytes);
        width = wantedWidth;
        height = wantedHeight;
    }
    drawing = true;
    sliceStart = tilsenPageNow();
    return pixels.get();
}

void WebDisplay::pressKey(int32_t key) {
    if (key == 0) {
        return;
    }
    if (keys.size() < kKeyQueueLimit) {
        keys.push_back(key);
        return;
    }
    if (!isQuitKey(key)) {
        return;
    }
    // A full queue of quit keys already ends the show; one more would change nothing.
    const auto newestOther = std::find_if(keys.rbegin(), keys.rend(),
                                          [](int32_t waiting) { return !isQuitKey(waiting); });
    if (newestOther != keys.rend()) {
        keys.erase(std::next(newestOther).base());
        keys.push_back(key);
    }
}

void WebDisplay::toRgba(const uint32_t* words, uint8_t* bytes, size_t count) {
    // Each pixel as one little-endian word (the browser's byte order) whose bytes are red,
    // green, blue and opaque: red and blue trade places. Whole words, which the compiler
    // takes several at a time, where bytes one by one took four stores a pixel.
    constexpr uint32_t kAlpha = uint32_t{kOpaque} << 24;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = words[i];
        const uint32_t word =
            kAlpha | (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        std::memcpy(bytes + i * kRgbaBytes, &word, sizeof word);
    }
}

void WebDisplay::present() {
    toRgba(pixels.get(), rgba.get(), static_cast<size_t>(width) * static_cast<size_t>(height));
    tilsenPagePresent(rgba.get(), width, height);
    ++presents;
}

void WebDisplay::close() {
    tilsenPageClose();
}

void WebDisplay::reportError(const ptc::DynamicError& error) {
    tilsenPageError(error.message());
}
