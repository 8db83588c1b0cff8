// "tavo01": fluid motion in layers of translucent light. Ribbons of sine waves drift at
// different speeds, soft discs wander and swell on every beat, rings spread from the
// centre on every bar, a turning flower of petals opens when the theme comes in, and
// bubbles rise. 40 ms frames: a beat is 10 frames, a bar 40 (music bars 9 to 20).
#include <cmath>
#include <numbers>

#include "Colour.h"
#include "Fonts.h"
#include "MovieOutput.h"
#include "Movies.h"
#include "Random.h"
#include "Timeline.h"
#include "geometry/FloatMath.h"

namespace {
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kBeatFrames = 400.0f / static_cast<float>(timeline::kTavoTickMs);
constexpr float kBarFrames = 4.0f * kBeatFrames;
constexpr float kThemeFrame = 4.0f * kBarFrames; // the theme enters four bars in
constexpr float kLastFrame = static_cast<float>(timeline::kTavoFrames - 1);

// Colour of the moment: the palette turns from sea green through violet to amber.
Rgb palette(float t, float shift) {
    const float a = t * 0.9f + shift;
    return {0.5f + 0.5f * floatmath::sin(a), 0.5f + 0.5f * floatmath::sin(a + 2.1f),
            0.5f + 0.5f * floatmath::sin(a + 4.2f)};
}

// Beat pulse: 1 on the beat, falling off quickly.
float pulse(float frame) {
    const float into = std::fmod(frame, kBeatFrames);
    return std::exp(-into / 2.5f);
}

void background(DrawList& list, float time) {
    const Rgb top = mix(hex(0x02121e), hex(0x150526), 0.5f + 0.5f * floatmath::sin(time * 0.2f));
    const Rgb bottom =
        mix(hex(0x063a3c), hex(0x3a0d3a), 0.5f + 0.5f * floatmath::sin(time * 0.2f + 1.0f));
    for (int32_t i = 0; i < 10; ++i) {
        Outline band;
        band.rect(0.0f, 20.0f * static_cast<float>(i), 320.0f, 20.0f);
        list.fill(opaque(mix(top, bottom, static_cast<float>(i) / 9.0f)), band);
    }
}

// A ribbon: the band between two wavy lines, each a chain of cubic curves.
Outline ribbon(float baseY, float amplitude, float wavelength, float phase, float thickness) {
    constexpr int32_t kSegments = 8;
    const float step = 360.0f / kSegments;
    auto y = [&](float x, float offset) {
        return baseY + offset + amplitude * floatmath::sin(x / wavelength * 2.0f * kPi + phase) +
               amplitude * 0.4f * floatmath::sin(x / wavelength * 5.1f + phase * 1.7f);
    };
    auto slope = [&](float x, float offset) {
        const float h = 0.5f;
        return (y(x + h, offset) - y(x - h, offset)) / (2.0f * h);
    };
    Outline o;
    const float x0 = -20.0f;
    o.moveTo(x0, y(x0, 0.0f));
    for (int32_t i = 0; i < kSegments; ++i) {
        const float a = x0 + step * static_cast<float>(i);
        const float b = a + step;
        const float k = step / 3.0f;
        o.cubicTo(a + k, y(a, 0.0f) + slope(a, 0.0f) * k, b - k, y(b, 0.0f) - slope(b, 0.0f) * k, b,
                  y(b, 0.0f));
    }
    const float lower = thickness;
    const float xe = x0 + step * kSegments;
    o.lineTo(xe, y(xe, lower) + 10.0f);
    for (int32_t i = kSegments; i > 0; --i) {
        const float a = x0 + step * static_cast<float>(i);
        const float b = a - step;
        const float k = step / 3.0f;
        o.cubicTo(a - k, y(a, lower) - slope(a, lower) * k + 10.0f, b + k,
                  y(b, lower) + slope(b, lower) * k + 10.0f, b, y(b, lower) + 10.0f);
    }
    o.close();
    return o;
}

// A petal from the centre outwards, made of two quadratic curves, turned by angle.
Outline petal(float cx, float cy, float length, float width, float angle) {
    Outline o;
    o.moveTo(0.0f, 0.0f);
    o.quadTo(length * 0.5f, -width, length, 0.0f);
    o.quadTo(length * 0.5f, width, 0.0f, 0.0f);
    o.close();
    return o.transformed(Affine::rotation(angle).then(Affine::translation(cx, cy)));
}

void drawFrame(int32_t index, DrawList& list) {
    const float frame = static_cast<float>(index);
    const float time = frame * static_cast<float>(timeline::kTavoTickMs) / 1000.0f;
    const float fade = ease::smooth(ease::span(frame, 0.0f, 12.0f)) *
                       (1.0f - ease::smooth(ease::span(frame, kLastFrame - 24.0f, kLastFrame)));
    const float beat = pulse(frame);
    background(list, time);

    // Far ribbons first, slow and dim; near ones faster and brighter.
    constexpr int32_t kRibbons = 6;
    for (int32_t i = 0; i < kRibbons; ++i) {
        const float depth = static_cast<float>(i) / (kRibbons - 1);
        const float baseY = 40.0f + 24.0f * static_cast<float>(i);
        const float phase = time * (0.6f + 0.9f * depth) + static_cast<float>(i) * 1.3f;
        const Outline r =
            ribbon(baseY, 10.0f + 8.0f * depth + 3.0f * beat * depth,
                   180.0f + 40.0f * static_cast<float>(i), phase, 8.0f + 14.0f * depth);
        list.fill(premultiplied(palette(time, static_cast<float>(i) * 0.35f),
                                (0.18f + 0.16f * depth) * fade),
                  r);
    }

    // Rings spread from the centre on every bar: an ellipse with an inner one cut out.
    for (int32_t k = 0; k < 2; ++k) {
        const float since = std::fmod(frame, kBarFrames) + static_cast<float>(k) * kBarFrames;
        const float grow = since / (2.0f * kBarFrames);
        const float r = 10.0f + 240.0f * grow;
        Outline ring;
        ring.ellipse(160.0f, 100.0f, r, r * 0.7f);
        ring.ellipse(160.0f, 100.0f, r - 3.0f - 6.0f * grow, (r - 3.0f - 6.0f * grow) * 0.7f);
        list.fill(premultiplied({1.0f, 1.0f, 1.0f}, 0.22f * (1.0f - grow) * fade), ring);
    }

    // Wandering discs, each three layers deep, swelling on the beat.
    Random random(404);
    for (int32_t i = 0; i < 7; ++i) {
        const float fx = random.range(0.15f, 0.4f);
        const float fy = random.range(0.2f, 0.5f);
        const float px = random.range(0.0f, 2.0f * kPi);
        const float py = random.range(0.0f, 2.0f * kPi);
        const float cx = 160.0f + 130.0f * floatmath::sin(time * fx + px);
        const float cy = 100.0f + 70.0f * floatmath::sin(time * fy + py);
        const float r = (14.0f + 10.0f * static_cast<float>(i % 3)) * (1.0f + 0.25f * beat);
        const Rgb c = palette(time, 2.0f + static_cast<float>(i));
        for (int32_t layer = 0; layer < 3; ++layer) {
            Outline disc;
            const float lr = r * (1.0f - 0.28f * static_cast<float>(layer));
            disc.ellipse(cx, cy, lr, lr);
            list.fill(premultiplied(mix(c, {1.0f, 1.0f, 1.0f}, 0.25f * static_cast<float>(layer)),
                                    0.2f * fade),
                      disc);
        }
    }

    // The flower opens with the theme and turns.
    const float open = ease::outBack(ease::span(frame, kThemeFrame, kThemeFrame + kBarFrames));
    if (open > 0.0f) {
        constexpr int32_t kPetals = 12;
        for (int32_t ring = 0; ring < 2; ++ring) {
            const float length = (ring == 0 ? 70.0f : 46.0f) * open * (1.0f + 0.12f * beat);
            const float spin = time * (ring == 0 ? 0.35f : -0.5f);
            const Rgb c = palette(time, ring == 0 ? 3.5f : 5.0f);
            for (int32_t i = 0; i < kPetals; ++i) {
                const float angle = spin + 2.0f * kPi * static_cast<float>(i) / kPetals;
                list.fill(premultiplied(c, 0.28f * fade),
                          petal(160.0f, 100.0f, length, length * 0.22f, angle));
            }
        }
        Outline core;
        core.ellipse(160.0f, 100.0f, 9.0f * open * (1.0f + 0.3f * beat),
                     9.0f * open * (1.0f + 0.3f * beat));
        list.fill(premultiplied(hex(0xfff3c4), 0.85f * fade), core);
    }

    // Bubbles: small rings rising and swaying.
    Random bubbles(77);
    for (int32_t i = 0; i < 26; ++i) {
        const float x = bubbles.range(0.0f, 320.0f);
        const float speed = bubbles.range(12.0f, 40.0f);
        const float size = bubbles.range(1.5f, 4.5f);
        const float start = bubbles.range(0.0f, 240.0f);
        const float y = 215.0f - std::fmod(start + time * speed, 240.0f);
        const float sway = 4.0f * floatmath::sin(time * 2.0f + static_cast<float>(i));
        Outline b;
        b.ellipse(x + sway, y, size, size);
        b.ellipse(x + sway, y, size * 0.6f, size * 0.6f);
        list.fill(premultiplied({0.85f, 1.0f, 1.0f}, 0.5f * fade), b);
    }

    // A thin stroked wave across the middle, brightest on the beat.
    Outline wave;
    wave.moveTo(-10.0f, 100.0f);
    for (int32_t i = 0; i < 6; ++i) {
        const float x = -10.0f + 57.0f * static_cast<float>(i + 1);
        const float h = 18.0f * floatmath::sin(time * 1.5f + static_cast<float>(i)) * (0.4f + beat);
        wave.quadTo(x - 28.5f, 100.0f + h, x, 100.0f);
    }
    list.stroke(premultiplied({1.0f, 1.0f, 1.0f}, (0.2f + 0.5f * beat) * fade), wave, 0.8f);
}
} // namespace

void writeTavo(const std::string& fileName) {
    writeMovie(fileName, timeline::kTavoFrames, drawFrame);
}
