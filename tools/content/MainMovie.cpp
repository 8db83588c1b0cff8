// "main02": a flight over a city at night, one frame per row of the music (100 ms), in
// 20 bars. The camera sinks from the stars to the roofs, pans along the streets with a
// slight roll, closes in on the tower whose sign beats with the music, and pulls back
// for fireworks on every beat. The world is built once; each frame places it through
// the camera with parallax by depth and leaves out what falls off screen.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "Colour.h"
#include "Fonts.h"
#include "MovieOutput.h"
#include "Movies.h"
#include "Random.h"
#include "Timeline.h"
#include "geometry/FloatMath.h"

namespace {
constexpr float kPi = std::numbers::pi_v<float>;
constexpr int32_t kFrames = timeline::kMainFrames;
constexpr float kRowsPerBeat = 4.0f;
constexpr float kTowerX = 1400.0f;
constexpr float kTowerWidth = 90.0f;
constexpr float kTowerHeight = 300.0f;

struct Camera {
    float x;
    float y;
    float zoom;
    float roll;
};

struct Key {
    float frame;
    float x;
    float y;
    float zoom;
};

// Camera path through the twenty bars (16 frames each).
const Key kKeys[] = {
    {0.0f, 300.0f, -330.0f, 1.0f},    {64.0f, 360.0f, -30.0f, 1.0f},
    {128.0f, 760.0f, -35.0f, 1.15f},  {192.0f, 1200.0f, -45.0f, 1.3f},
    {228.0f, kTowerX, -265.0f, 2.6f}, {256.0f, kTowerX, -272.0f, 2.8f},
    {290.0f, 900.0f, -200.0f, 0.62f}, {319.0f, 880.0f, -200.0f, 0.6f},
};

Camera cameraAt(float frame) {
    const size_t n = sizeof(kKeys) / sizeof(kKeys[0]);
    size_t i = 0;
    while (i + 2 < n && frame > kKeys[i + 1].frame)
        ++i;
    const Key& a = kKeys[i];
    const Key& b = kKeys[i + 1];
    const float t = ease::smooth(ease::span(frame, a.frame, b.frame));
    // Zoom is interpolated in its logarithm so zooming in and out feel even.
    const float zoom = std::exp(std::log(a.zoom) + (std::log(b.zoom) - std::log(a.zoom)) * t);
    const float roll = frame > 64.0f && frame < 192.0f
                           ? 0.035f * floatmath::sin((frame - 64.0f) / 128.0f * 2.0f * kPi)
                           : 0.0f;
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, zoom, roll};
}

// World to screen for a layer at depth d (0 = at infinity, 1 = the street).
Affine view(const Camera& cam, float depth) {
    const float zoom = 1.0f + (cam.zoom - 1.0f) * depth;
    return Affine::translation(-cam.x * depth, -cam.y * depth)
        .then(Affine::scaling(zoom, zoom))
        .then(Affine::rotation(cam.roll))
        .then(Affine::translation(160.0f, 100.0f));
}

struct Window {
    float x;
    float y;
    uint32_t seed;
};

struct Building {
    float x;
    float width;
    float height;
    Rgb colour;
    std::vector<Window> windows;
    bool antenna;
};

struct Car {
    float lane;
    float speed;
    float start;
    Rgb colour;
};

struct World {
    std::vector<Point2> stars;
    std::vector<Building> far;
    std::vector<Building> near;
    std::vector<Car> cars;
};

uint32_t mixBits(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352du;
    v ^= v >> 15;
    v *= 0x846ca68bu;
    v ^= v >> 16;
    return v;
}

World buildWorld() {
    World w;
    Random random(1987);
    for (int32_t i = 0; i < 170; ++i) {
        w.stars.push_back({random.range(-250.0f, 650.0f), random.range(-300.0f, -20.0f)});
    }
    for (float x = -500.0f; x < 2700.0f;) {
        Building b{x,
                   random.range(18.0f, 40.0f),
                   random.range(40.0f, 150.0f),
                   mix(hex(0x141a3a), hex(0x1f1640), random.unit()),
                   {},
                   false};
        w.far.push_back(b);
        x += b.width + random.range(-6.0f, 4.0f);
    }
    for (float x = -300.0f; x < 2500.0f;) {
        const bool tower = x < kTowerX && x + 110.0f > kTowerX;
        Building b{tower ? kTowerX - kTowerWidth * 0.5f : x,
                   tower ? kTowerWidth : random.range(40.0f, 88.0f),
                   tower ? kTowerHeight : random.range(60.0f, 210.0f),
                   mix(hex(0x232a4e), hex(0x2c2046), random.unit()),
                   {},
                   random.unit() < 0.4f};
        const int32_t cols = static_cast<int32_t>((b.width - 8.0f) / 9.0f);
        const int32_t rows = static_cast<int32_t>((b.height - (tower ? 70.0f : 14.0f)) / 11.0f);
        const float left = b.x + (b.width - static_cast<float>(cols) * 9.0f) * 0.5f + 2.0f;
        for (int32_t r = 0; r < rows; ++r) {
            for (int32_t c = 0; c < cols; ++c) {
                b.windows.push_back(
                    {left + 9.0f * static_cast<float>(c),
                     -b.height + (tower ? 70.0f : 10.0f) + 11.0f * static_cast<float>(r),
                     random.next()});
            }
        }
        w.near.push_back(b);
        x = b.x + b.width + random.range(4.0f, 16.0f);
    }
    for (int32_t i = 0; i < 16; ++i) {
        w.cars.push_back({random.unit() < 0.5f ? 12.0f : 26.0f,
                          random.range(50.0f, 110.0f) * (i % 2 == 0 ? 1.0f : -1.0f),
                          random.range(-400.0f, 2400.0f),
                          mix(hex(0xd23b4a), hex(0x3b8ad2), random.unit())});
    }
    return w;
}

void sky(DrawList& list, const Camera& cam) {
    // Higher up the sky is darker; near the roofs it glows with the city's light.
    const float height = ease::clamp01((-cam.y - 60.0f) / 300.0f);
    const Rgb top = mix(hex(0x0b1030), hex(0x03030c), height);
    const Rgb bottom = mix(hex(0x3a2350), hex(0x0d1030), height);
    for (int32_t i = 0; i < 12; ++i) {
        Outline band;
        band.rect(-20.0f, -20.0f + 20.0f * static_cast<float>(i), 360.0f, 21.0f);
        list.fill(opaque(mix(top, bottom, static_cast<float>(i) / 11.0f)), band);
    }
}

void moonAndStars(DrawList& list, const World& w, const Camera& cam, float frame) {
    const Affine v = view(cam, 0.25f);
    for (size_t i = 0; i < w.stars.size(); ++i) {
        const float twinkle =
            0.55f + 0.45f * floatmath::sin(frame * 0.7f + static_cast<float>(i) * 2.3f);
        Outline s;
        s.ellipse(w.stars[i].x, w.stars[i].y, 0.8f + 0.4f * static_cast<float>(i % 3),
                  0.8f + 0.4f * static_cast<float>(i % 3));
        list.fill(premultiplied(hex(0xfdf6e3), twinkle), s.transformed(v));
    }
    const Point2 moon{200.0f, -130.0f};
    for (int32_t i = 0; i < 3; ++i) {
        Outline glow;
        const float r = 60.0f - 10.0f * static_cast<float>(i);
        glow.ellipse(moon.x, moon.y, r, r);
        list.fill(premultiplied(hex(0xbfc8ff), 0.07f), glow.transformed(v));
    }
    // The moon's craters are holes in its disc (even-odd), showing the sky through.
    Outline disc;
    disc.ellipse(moon.x, moon.y, 34.0f, 34.0f);
    disc.ellipse(moon.x - 10.0f, moon.y - 8.0f, 7.0f, 7.0f);
    disc.ellipse(moon.x + 12.0f, moon.y + 6.0f, 5.0f, 5.0f);
    disc.ellipse(moon.x - 2.0f, moon.y + 16.0f, 4.0f, 4.0f);
    list.fill(opaque(hex(0xf1ecd8)), disc.transformed(v));
    Outline craters;
    craters.ellipse(moon.x - 10.0f, moon.y - 8.0f, 7.0f, 7.0f);
    craters.ellipse(moon.x + 12.0f, moon.y + 6.0f, 5.0f, 5.0f);
    craters.ellipse(moon.x - 2.0f, moon.y + 16.0f, 4.0f, 4.0f);
    list.fill(premultiplied(hex(0xc9c2a8), 0.8f), craters.transformed(v));
}

// Three shooting stars cross the sky while the camera is still up there.
void shootingStars(DrawList& list, const Camera& cam, float frame) {
    const Affine v = view(cam, 0.25f);
    const float starts[3] = {6.0f, 26.0f, 44.0f};
    for (int32_t i = 0; i < 3; ++i) {
        const float age = frame - starts[i];
        if (age < 0.0f || age > 10.0f)
            continue;
        const Point2 from{-120.0f + 160.0f * static_cast<float>(i),
                          -260.0f + 30.0f * static_cast<float>(i)};
        const Point2 head{from.x + 26.0f * age, from.y + 9.0f * age};
        const Point2 tail{head.x - 60.0f, head.y - 21.0f};
        Outline streak;
        streak.moveTo(tail.x, tail.y);
        streak.quadTo((tail.x + head.x) * 0.5f, (tail.y + head.y) * 0.5f - 2.0f, head.x, head.y);
        list.stroke(premultiplied(hex(0xfff8e0), 1.0f - age / 10.0f), streak.transformed(v), 0.8f);
    }
}

void hills(DrawList& list, const Camera& cam) {
    const Affine v = view(cam, 0.5f);
    const Rgb colours[2] = {hex(0x1a1236), hex(0x130f2a)};
    for (int32_t layer = 0; layer < 2; ++layer) {
        // One path per hump: a single path across the whole range would cross every
        // row dozens of times, and the rasterizer keeps cells off screen too.
        const Affine place = Affine::translation(static_cast<float>(layer) * 90.0f, 0.0f).then(v);
        for (int32_t i = 0; i < 16; ++i) {
            const float x = -900.0f + 240.0f * static_cast<float>(i);
            const float peak =
                -60.0f - 50.0f * std::fabs(floatmath::sin(static_cast<float>(i * 3 + layer * 7)));
            Outline h;
            h.moveTo(x, 0.0f);
            h.cubicTo(x + 60.0f, -10.0f, x + 80.0f, peak, x + 120.0f, peak);
            h.cubicTo(x + 160.0f, peak, x + 180.0f, -10.0f, x + 240.0f, 0.0f);
            h.lineTo(x + 240.0f, 200.0f);
            h.lineTo(x, 200.0f);
            h.close();
            list.fill(opaque(colours[layer]), h.transformed(place));
        }
    }
}

void searchlights(DrawList& list, const Camera& cam, float frame) {
    const Affine v = view(cam, 0.8f);
    const float bases[3] = {300.0f, 1000.0f, 1750.0f};
    for (int32_t i = 0; i < 3; ++i) {
        const float angle =
            -kPi * 0.5f + 0.5f * floatmath::sin(frame * 0.05f + static_cast<float>(i) * 2.0f);
        const float len = 700.0f;
        const Point2 base{bases[i], 0.0f};
        const Point2 tip{base.x + len * floatmath::cos(angle),
                         base.y + len * floatmath::sin(angle)};
        const Point2 side{-floatmath::sin(angle) * 45.0f, floatmath::cos(angle) * 45.0f};
        Outline beam;
        beam.polygon({{base.x - 3.0f, base.y},
                      {tip.x + side.x, tip.y + side.y},
                      {tip.x - side.x, tip.y - side.y},
                      {base.x + 3.0f, base.y}});
        list.fill(premultiplied(hex(0xc8d8ff), 0.09f), beam.transformed(v));
    }
}

void farCity(DrawList& list, const World& w, const Camera& cam) {
    const Affine v = view(cam, 0.7f);
    for (const Building& b : w.far) {
        Outline o;
        o.rect(b.x, -b.height, b.width, b.height + 40.0f);
        list.fill(opaque(b.colour), o.transformed(v));
    }
}

// Filled rectangles grouped into paths that stay within the rasterizer's cells.
void fillGrouped(DrawList& list, uint32_t colour, const std::vector<Outline>& parts) {
    Outline group;
    int32_t count = 0;
    for (const Outline& p : parts) {
        group.append(p);
        if (++count == 6) {
            list.fill(colour, group);
            group = Outline();
            count = 0;
        }
    }
    if (count > 0)
        list.fill(colour, group);
}

void blimp(DrawList& list, const Camera& cam, float frame, const Fonts& fonts) {
    const float t = ease::span(frame, 70.0f, 300.0f);
    if (t <= 0.0f || t >= 1.0f)
        return;
    const Affine world = view(cam, 1.0f);
    const Point2 at{300.0f + 1500.0f * t, -118.0f + 5.0f * floatmath::sin(frame * 0.2f)};
    constexpr float kBlimpScale = 0.7f;
    const Affine v = Affine::translation(-at.x, -at.y)
                         .then(Affine::scaling(kBlimpScale, kBlimpScale))
                         .then(Affine::translation(at.x, at.y))
                         .then(world);
    Outline fins;
    fins.moveTo(at.x - 60.0f, at.y);
    fins.cubicTo(at.x - 75.0f, at.y - 8.0f, at.x - 85.0f, at.y - 22.0f, at.x - 88.0f, at.y - 24.0f);
    fins.lineTo(at.x - 78.0f, at.y);
    fins.lineTo(at.x - 88.0f, at.y + 24.0f);
    fins.cubicTo(at.x - 85.0f, at.y + 22.0f, at.x - 75.0f, at.y + 8.0f, at.x - 60.0f, at.y);
    fins.close();
    list.fill(opaque(hex(0x6b5b8a)), fins.transformed(v));
    Outline body;
    body.ellipse(at.x, at.y, 70.0f, 20.0f);
    list.fill(opaque(hex(0x9d8cc0)), body.transformed(v));
    Outline shine;
    shine.ellipse(at.x + 10.0f, at.y - 8.0f, 45.0f, 6.0f);
    list.fill(premultiplied({1.0f, 1.0f, 1.0f}, 0.25f), shine.transformed(v));
    Outline gondola;
    gondola.roundRect(at.x - 14.0f, at.y + 18.0f, 28.0f, 7.0f, 3.0f);
    list.fill(opaque(hex(0x3d3356)), gondola.transformed(v));
    const auto word = fonts.sansBold.centred("TILSEN", 17.0f, at.x, at.y + 6.0f, 1.0f);
    list.fill(opaque(hex(0xfff2b0)), GlyphFont::merge(word).transformed(v));
    if (static_cast<int32_t>(frame) % 8 < 3) {
        Outline light;
        light.ellipse(at.x + 2.0f, at.y + 26.0f, 2.0f, 2.0f);
        list.fill(opaque(hex(0xff4040)), light.transformed(v));
    }
}

void nearCity(DrawList& list, const World& w, const Camera& cam, float frame, const Fonts& fonts) {
    const Affine v = view(cam, 1.0f);
    const int32_t beat = static_cast<int32_t>(frame / kRowsPerBeat);
    for (size_t bi = 0; bi < w.near.size(); ++bi) {
        const Building& b = w.near[bi];
        Outline o;
        o.rect(b.x, -b.height, b.width, b.height + 1.0f);
        const Outline placed = o.transformed(v);
        const auto box = placed.bounds();
        if (box[2] < -4.0f || box[0] > 324.0f || box[3] < -4.0f || box[1] > 204.0f)
            continue;
        list.fill(opaque(b.colour), placed);
        // An edge of light on the left side of each block.
        Outline edge;
        edge.rect(b.x, -b.height, 2.0f, b.height);
        list.fill(premultiplied(hex(0x8c7cd0), 0.35f), edge.transformed(v));
        if (b.antenna) {
            Outline mast;
            mast.moveTo(b.x + b.width * 0.5f, -b.height);
            mast.lineTo(b.x + b.width * 0.5f, -b.height - 22.0f);
            list.stroke(opaque(hex(0x6e6a8a)), mast.transformed(v), 0.6f * cam.zoom);
            if ((beat + static_cast<int32_t>(bi)) % 2 == 0) {
                Outline lamp;
                lamp.ellipse(b.x + b.width * 0.5f, -b.height - 23.0f, 1.8f, 1.8f);
                list.fill(opaque(hex(0xff3030)), lamp.transformed(v));
            }
        }
        std::vector<Outline> dark;
        for (const Window& wi : b.windows) {
            // Each window is lit or dark by its own hash; some change on every beat.
            const uint32_t h =
                mixBits(wi.seed ^ static_cast<uint32_t>(wi.seed % 7u == 0u ? beat : 0));
            Outline win;
            win.rect(wi.x, wi.y, 5.0f, 6.0f);
            const Outline placedWindow = win.transformed(v);
            const auto wb = placedWindow.bounds();
            if (wb[2] < 0.0f || wb[0] > 320.0f || wb[3] < 0.0f || wb[1] > 200.0f)
                continue;
            if (h % 100u < 42u) {
                const Rgb warm = (h >> 8) % 5u == 0u
                                     ? hex(0x9fe8ff)
                                     : mix(hex(0xffd27a), hex(0xfff3c8),
                                           static_cast<float>((h >> 12) % 100u) / 100.0f);
                list.fill(opaque(warm), placedWindow);
            } else {
                dark.push_back(placedWindow);
            }
        }
        fillGrouped(list, opaque(mix(b.colour, {0.0f, 0.0f, 0.0f}, 0.45f)), dark);
    }

    // The tower's sign: "MORVANE" over a bar graph that follows the rows of the music.
    const float signTop = -kTowerHeight + 8.0f;
    const float left = kTowerX - kTowerWidth * 0.5f + 6.0f;
    Outline panel;
    panel.roundRect(left, signTop, kTowerWidth - 12.0f, 54.0f, 4.0f);
    list.fill(opaque(hex(0x07060f)), panel.transformed(v));
    const int32_t row = static_cast<int32_t>(frame);
    const Rgb signColour =
        mix(hex(0x5ef0ff), hex(0xff5ed8), 0.5f + 0.5f * floatmath::sin(frame * 0.2f));
    const auto word = fonts.sansBold.centred("MORVANE", 13.0f, kTowerX, signTop + 17.0f, 0.5f);
    list.fill(opaque(signColour), GlyphFont::merge(word).transformed(v));
    for (int32_t i = 0; i < 12; ++i) {
        const float onBeat = row % 4 == 0 ? 1.0f : (row % 4 == 2 ? 0.6f : 0.3f);
        const float level =
            0.25f + 0.75f * onBeat *
                        (0.5f + 0.5f * floatmath::sin(static_cast<float>(i) * 1.7f + frame * 0.9f));
        const float h = 26.0f * level;
        Outline bar;
        bar.rect(left + 4.0f + 6.0f * static_cast<float>(i), signTop + 50.0f - h, 4.0f, h);
        list.fill(opaque(mix(hex(0x40ff90), hex(0xffe040), level)), bar.transformed(v));
    }
    // A spire on the tower with a light that beats with the kick.
    Outline spire;
    spire.moveTo(kTowerX, -kTowerHeight);
    spire.lineTo(kTowerX, -kTowerHeight - 40.0f);
    list.stroke(opaque(hex(0x7a7698)), spire.transformed(v), 0.9f * cam.zoom);
    const float kick = row % 4 == 0 ? 1.0f : 0.35f;
    Outline beacon;
    beacon.ellipse(kTowerX, -kTowerHeight - 41.0f, 3.0f + 3.0f * kick, 3.0f + 3.0f * kick);
    list.fill(premultiplied(signColour, 0.3f + 0.5f * kick), beacon.transformed(v));
}

void street(DrawList& list, const World& w, const Camera& cam, float frame) {
    const Affine v = view(cam, 1.0f);
    Outline road;
    road.rect(-600.0f, 0.0f, 3600.0f, 60.0f);
    list.fill(opaque(hex(0x15131f)), road.transformed(v));
    // Lane marks: dashes of a stroked line, one piece per line command.
    Outline marks;
    for (float x = -600.0f; x < 3000.0f; x += 40.0f) {
        marks.moveTo(x, 19.0f);
        marks.lineTo(x + 18.0f, 19.0f);
    }
    list.stroke(opaque(hex(0x8a8470)), marks.transformed(v), 0.7f * cam.zoom, Join::kNone);
    // Street lamps with their light.
    for (float x = -560.0f; x < 2900.0f; x += 110.0f) {
        Outline pole;
        pole.moveTo(x, 2.0f);
        pole.lineTo(x, -26.0f);
        pole.quadTo(x, -32.0f, x + 7.0f, -32.0f);
        list.stroke(opaque(hex(0x4a4860)), pole.transformed(v), 0.8f * cam.zoom);
        Outline glow;
        glow.ellipse(x + 8.0f, -28.0f, 12.0f, 12.0f);
        list.fill(premultiplied(hex(0xffd890), 0.18f), glow.transformed(v));
        Outline bulb;
        bulb.ellipse(x + 8.0f, -30.5f, 2.5f, 1.5f);
        list.fill(opaque(hex(0xfff0c0)), bulb.transformed(v));
    }
    const float seconds = frame * static_cast<float>(timeline::kMainTickMs) / 1000.0f;
    for (const Car& c : w.cars) {
        const float x =
            -600.0f + std::fmod(c.start + 600.0f + c.speed * seconds + 3600.0f * 4.0f, 3600.0f);
        const float dir = c.speed > 0.0f ? 1.0f : -1.0f;
        Outline beam;
        beam.polygon({{x + dir * 12.0f, c.lane - 1.0f},
                      {x + dir * 60.0f, c.lane - 6.0f},
                      {x + dir * 60.0f, c.lane + 6.0f},
                      {x + dir * 12.0f, c.lane + 2.0f}});
        list.fill(premultiplied(hex(0xfff4c0), 0.22f), beam.transformed(v));
        Outline body;
        body.roundRect(x - 12.0f, c.lane - 4.0f, 24.0f, 7.0f, 2.5f);
        body.roundRect(x - 6.0f, c.lane - 8.0f, 12.0f, 5.0f, 2.0f);
        list.fill(opaque(c.colour), body.transformed(v));
        Outline wheels;
        wheels.ellipse(x - 7.0f, c.lane + 3.0f, 2.2f, 2.2f);
        wheels.ellipse(x + 7.0f, c.lane + 3.0f, 2.2f, 2.2f);
        list.fill(opaque(hex(0x0a0a0a)), wheels.transformed(v));
        Outline tail;
        tail.ellipse(x - dir * 11.5f, c.lane - 2.0f, 1.2f, 1.2f);
        list.fill(opaque(hex(0xff2a2a)), tail.transformed(v));
    }
}

void fireworks(DrawList& list, const Camera& cam, float frame) {
    const Affine v = view(cam, 0.85f);
    const float first = 256.0f;
    for (int32_t burst = 0; burst < 16; ++burst) {
        const float start = first + kRowsPerBeat * static_cast<float>(burst);
        const float age = frame - start;
        if (age < 0.0f || age > 14.0f)
            continue;
        Random random(static_cast<uint32_t>(500 + burst));
        const Point2 at{random.range(560.0f, 1000.0f), random.range(-300.0f, -200.0f)};
        const Rgb c = mix(hex(0xff6ad5), hex(0x7afcff), random.unit());
        const float grow = ease::outCubic(age / 14.0f);
        const float fade = 1.0f - age / 14.0f;
        const float r = 90.0f * grow;
        Outline rays;
        for (int32_t i = 0; i < 18; ++i) {
            const float a = 2.0f * kPi * static_cast<float>(i) / 18.0f;
            rays.moveTo(at.x + floatmath::cos(a) * r * 0.55f,
                        at.y + floatmath::sin(a) * r * 0.55f + 6.0f * grow * grow);
            rays.lineTo(at.x + floatmath::cos(a) * r,
                        at.y + floatmath::sin(a) * r + 12.0f * grow * grow);
        }
        list.stroke(premultiplied(c, fade), rays.transformed(v), 0.9f * cam.zoom, Join::kNone);
        Outline flash;
        flash.ellipse(at.x, at.y, 30.0f * grow, 30.0f * grow);
        list.fill(premultiplied(mix(c, {1.0f, 1.0f, 1.0f}, 0.5f), 0.25f * fade * fade),
                  flash.transformed(v));
    }
}

void drawFrame(int32_t index, DrawList& list, const World& w, const Fonts& fonts) {
    const float frame = static_cast<float>(index);
    const Camera cam = cameraAt(frame);
    sky(list, cam);
    moonAndStars(list, w, cam, frame);
    shootingStars(list, cam, frame);
    fireworks(list, cam, frame);
    searchlights(list, cam, frame);
    hills(list, cam);
    farCity(list, w, cam);
    nearCity(list, w, cam, frame, fonts);
    street(list, w, cam, frame);
    blimp(list, cam, frame, fonts);
    // In from black, and out to black for the read past the end.
    const float fade = ease::smooth(ease::span(frame, 0.0f, 4.0f)) *
                       (1.0f - ease::smooth(ease::span(frame, static_cast<float>(kFrames) - 10.0f,
                                                       static_cast<float>(kFrames - 1))));
    if (fade < 1.0f) {
        Outline all;
        all.rect(0.0f, 0.0f, 320.0f, 200.0f);
        list.fill(premultiplied({0.0f, 0.0f, 0.0f}, 1.0f - fade), all);
    }
}
} // namespace

void writeMain(const std::string& fileName, const Fonts& fonts) {
    const World world = buildWorld();
    writeMovie(fileName, kFrames,
               [&](int32_t frame, DrawList& list) { drawFrame(frame, list, world, fonts); });
}
