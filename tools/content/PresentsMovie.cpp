// "presents": the group's name flies together letter by letter, settles on the music's
// first hit (bar 3), a ring and a flash go out, an underline draws itself, "presents"
// fades in below, and everything fades to black for the read past the last frame.
// 66 ms frames: bar b of the music starts at frame 1600·b / 66.
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
constexpr float kFrameMs = static_cast<float>(timeline::kPresentsTickMs);
constexpr float kBarFrames = static_cast<float>(timeline::kBarMs) / kFrameMs;
constexpr float kSettleFrame = 3.0f * kBarFrames;   // the hit at bar 3
constexpr float kPresentsFrame = 4.0f * kBarFrames; // bar 4
constexpr float kFadeStart = 124.0f;
constexpr float kPi = std::numbers::pi_v<float>;

constexpr float kNameSize = 50.0f;
constexpr float kNameBaseline = 112.0f;
constexpr float kCentreX = 160.0f;

struct Flight {
    Point2 from;
    float spin;
    float scale;
    float start;
};

void background(DrawList& list, float frame, float fade) {
    const Rgb top = hex(0x07041a);
    const Rgb bottom = hex(0x240a36);
    constexpr int32_t kBands = 10;
    for (int32_t i = 0; i < kBands; ++i) {
        Outline band;
        band.rect(0.0f, 20.0f * static_cast<float>(i), 320.0f, 20.0f);
        const Rgb c = mix(top, bottom, static_cast<float>(i) / (kBands - 1));
        list.fill(premultiplied(c, 1.0f), band);
    }
    // A soft glow behind the name, breathing slowly.
    const float breathe = 1.0f + 0.05f * floatmath::sin(frame * 0.15f);
    for (int32_t i = 0; i < 4; ++i) {
        Outline glow;
        const float r = (150.0f - 30.0f * static_cast<float>(i)) * breathe;
        glow.ellipse(kCentreX, 96.0f, r, r * 0.45f);
        list.fill(premultiplied(hex(0x6a2ca8), 0.10f * fade), glow);
    }
}

// A four-pointed star of cubic curves.
Outline sparkle(float x, float y, float r) {
    Outline s;
    const float k = r * 0.15f;
    s.moveTo(x, y - r);
    s.cubicTo(x + k, y - k, x + k, y - k, x + r, y);
    s.cubicTo(x + k, y + k, x + k, y + k, x, y + r);
    s.cubicTo(x - k, y + k, x - k, y + k, x - r, y);
    s.cubicTo(x - k, y - k, x - k, y - k, x, y - r);
    s.close();
    return s;
}

void drawFrame(int32_t index, DrawList& list, const Fonts& fonts,
               const std::vector<Flight>& flights) {
    const float frame = static_cast<float>(index);
    const float fadeOut = 1.0f - ease::smooth(ease::span(frame, kFadeStart, 143.0f));
    const float fadeIn = ease::smooth(ease::span(frame, 0.0f, 10.0f));
    background(list, frame, fadeIn);

    const auto glyphs = fonts.sansBold.centred("MORVANE", kNameSize, kCentreX, kNameBaseline, 2.0f);
    const Rgb left = hex(0x5ef0ff);
    const Rgb right = hex(0xff5ed8);
    const float sinceSettle = frame - kSettleFrame;

    // The ring that goes out at the hit: an annulus, its hole an inner ellipse.
    if (sinceSettle >= 0.0f && sinceSettle < 24.0f) {
        const float grow = ease::outCubic(sinceSettle / 24.0f);
        const float r = 20.0f + 200.0f * grow;
        Outline ring;
        ring.ellipse(kCentreX, 96.0f, r, r * 0.5f);
        ring.ellipse(kCentreX, 96.0f, r * 0.93f, r * 0.5f * 0.93f);
        list.fill(premultiplied(hex(0xb8f4ff), 0.6f * (1.0f - grow)), ring);
    }

    for (size_t i = 0; i < glyphs.size(); ++i) {
        const PlacedGlyph& g = glyphs[i];
        const Flight& f = flights[i];
        const float t = ease::span(frame, f.start, kSettleFrame);
        const float p = ease::outBack(t);
        const float q = ease::outCubic(t);
        // Fly from far away, spinning and large, to the letter's place.
        const Point2 at{f.from.x + (g.centre.x - f.from.x) * p,
                        f.from.y + (g.centre.y - f.from.y) * p};
        const float angle = f.spin * (1.0f - q);
        const float scale = 1.0f + (f.scale - 1.0f) * (1.0f - q);
        const Affine place = Affine::translation(-g.centre.x, -g.centre.y)
                                 .then(Affine::scaling(scale, scale))
                                 .then(Affine::rotation(angle))
                                 .then(Affine::translation(at.x, at.y));
        const Outline letter = g.outline.transformed(place);
        const float alpha = ease::clamp01(t * 2.0f) * fadeOut;
        const Rgb colour =
            mix(left, right, static_cast<float>(i) / static_cast<float>(glyphs.size() - 1));
        // Shadow, halo, body; the body gets a white flash at the hit.
        list.fill(premultiplied({0.0f, 0.0f, 0.0f}, 0.5f * alpha),
                  letter.transformed(Affine::translation(3.0f, 4.0f)));
        list.stroke(premultiplied(mix(colour, {1.0f, 1.0f, 1.0f}, 0.5f), 0.45f * alpha), letter,
                    1.4f);
        const float flash = sinceSettle >= 0.0f ? std::exp(-sinceSettle / 4.0f) : 0.0f;
        list.fill(premultiplied(mix(colour, {1.0f, 1.0f, 1.0f}, flash), alpha), letter);
        // A faint lighter copy, shifted up and left, gives the letters a bevel.
        list.fill(premultiplied({1.0f, 1.0f, 1.0f}, 0.12f * alpha),
                  letter.transformed(Affine::translation(-0.8f, -1.0f)));
    }

    // Underline: a stroked wave that draws itself out from the middle after the hit.
    if (sinceSettle > 0.0f) {
        const float grow = ease::outCubic(sinceSettle / 16.0f);
        const float half = 118.0f * grow;
        Outline line;
        line.moveTo(kCentreX - half, 124.0f);
        line.cubicTo(kCentreX - half * 0.5f, 121.0f, kCentreX - half * 0.25f, 127.0f, kCentreX,
                     124.0f);
        line.cubicTo(kCentreX + half * 0.25f, 121.0f, kCentreX + half * 0.5f, 127.0f,
                     kCentreX + half, 124.0f);
        list.stroke(premultiplied(hex(0xffe9a8), 0.9f * fadeOut), line, 0.9f);
        // Diamonds at both ends.
        for (float side : {-1.0f, 1.0f}) {
            Outline d;
            const float x = kCentreX + side * half;
            d.polygon({{x, 120.5f}, {x + 3.5f, 124.0f}, {x, 127.5f}, {x - 3.5f, 124.0f}});
            list.fill(premultiplied(hex(0xffe9a8), fadeOut * grow), d);
        }
    }

    // "presents", letter by letter, rising into place; slanted like an italic.
    const auto word = fonts.serif.centred("presents", 17.0f, kCentreX, 152.0f, 1.5f);
    for (size_t i = 0; i < word.size(); ++i) {
        const float t = ease::span(frame, kPresentsFrame + 2.0f * static_cast<float>(i),
                                   kPresentsFrame + 2.0f * static_cast<float>(i) + 8.0f);
        if (t <= 0.0f)
            continue;
        const float rise = 6.0f * (1.0f - ease::outCubic(t));
        const Affine slant = Affine::translation(-word[i].centre.x, -152.0f)
                                 .then(Affine::shear(-0.2f))
                                 .then(Affine::translation(word[i].centre.x, 152.0f + rise));
        list.fill(premultiplied(hex(0xf4eaff), t * fadeOut), word[i].outline.transformed(slant));
    }

    // Sparkles that twinkle around the name once it has settled.
    Random random(99);
    for (int32_t i = 0; i < 14; ++i) {
        const float x = random.range(20.0f, 300.0f);
        const float y = random.range(30.0f, 175.0f);
        const float phase = random.range(0.0f, 2.0f * kPi);
        const float speed = random.range(0.15f, 0.35f);
        const float twinkle = floatmath::sin(frame * speed + phase);
        if (frame < kSettleFrame - 10.0f || twinkle <= 0.2f)
            continue;
        list.fill(premultiplied(hex(0xfff6d8), twinkle * fadeOut),
                  sparkle(x, y, 2.0f + 3.5f * twinkle));
    }

    // The last frames fade to black; the read past the end is the black itself.
    if (fadeOut < 1.0f) {
        Outline all;
        all.rect(0.0f, 0.0f, 320.0f, 200.0f);
        list.fill(premultiplied({0.0f, 0.0f, 0.0f}, 1.0f - fadeOut), all);
    }
}
} // namespace

void writePresents(const std::string& fileName, const Fonts& fonts) {
    Random random(2024);
    std::vector<Flight> flights;
    for (int32_t i = 0; i < 7; ++i) {
        const float angle = random.range(0.0f, 2.0f * kPi);
        flights.push_back(
            {{160.0f + 260.0f * floatmath::cos(angle), 100.0f + 170.0f * floatmath::sin(angle)},
             random.range(-4.0f, 4.0f),
             random.range(2.5f, 5.0f),
             4.0f + 7.0f * static_cast<float>(i)});
    }
    writeMovie(fileName, timeline::kPresentsFrames,
               [&](int32_t frame, DrawList& list) { drawFrame(frame, list, fonts, flights); });
}
