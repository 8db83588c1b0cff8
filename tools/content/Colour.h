// Colour words for shapes: 0xAARRGGBB with the colour bytes premultiplied by alpha, as
// the movie format and the rasterizer take them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

struct Rgb {
    float r = 0.0f; // 0..1 each
    float g = 0.0f;
    float b = 0.0f;
};

inline Rgb mix(Rgb x, Rgb y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t};
}

inline Rgb hex(uint32_t rgb) {
    return {static_cast<float>((rgb >> 16) & 0xFFu) / 255.0f,
            static_cast<float>((rgb >> 8) & 0xFFu) / 255.0f,
            static_cast<float>(rgb & 0xFFu) / 255.0f};
}

inline uint32_t toByte(float v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

// Premultiplied colour word of an RGB colour at opacity alpha (0..1).
inline uint32_t premultiplied(Rgb c, float alpha) {
    const float a = std::clamp(alpha, 0.0f, 1.0f);
    const uint32_t ab = toByte(a);
    auto channel = [&](float v) { return std::min(toByte(v * a), ab); };
    return (ab << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

inline uint32_t opaque(Rgb c) {
    return premultiplied(c, 1.0f);
}
