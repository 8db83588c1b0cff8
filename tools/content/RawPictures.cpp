// The pictures, drawn with the show's rasterizer; gradients come from GradientPaint.
#include "RawPictures.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "Colour.h"
#include "Content.h"
#include "Fonts.h"
#include "GradientPaint.h"
#include "MovieOutput.h"
#include "Random.h"
#include "geometry/FloatMath.h"

namespace {
constexpr float kPi = std::numbers::pi_v<float>;
constexpr int32_t kWidth = DrawList::kWidth;
constexpr int32_t kHeight = DrawList::kHeight;

using Stops = std::vector<GradientStop>;

std::shared_ptr<Paint> linear(float x0, float y0, float x1, float y1, Stops stops) {
    return std::make_shared<LinearGradientPaint>(x0, y0, x1, y1, std::move(stops));
}
std::shared_ptr<Paint> radial(float cx, float cy, float rx, float ry, Stops stops) {
    return std::make_shared<RadialGradientPaint>(cx, cy, rx, ry, std::move(stops));
}

Outline screen() {
    Outline o;
    o.rect(0.0f, 0.0f, static_cast<float>(kWidth), static_cast<float>(kHeight));
    return o;
}

// Glyphs filled one by one: a whole line of small text in one path would cross each
// row too often for the rasterizer's cells.
void fillGlyphs(DrawList& list, uint32_t colour, const std::vector<PlacedGlyph>& glyphs,
                const Affine& map = Affine{}) {
    for (const PlacedGlyph& g : glyphs)
        list.fill(colour, g.outline.transformed(map));
}
void fillGlyphs(DrawList& list, const std::shared_ptr<Paint>& paint,
                const std::vector<PlacedGlyph>& glyphs) {
    for (const PlacedGlyph& g : glyphs)
        list.fill(paint, g.outline);
}

// A dark backdrop with a soft light, shared by the text pictures.
void backdrop(DrawList& list, Rgb top, Rgb bottom, Rgb light, float lightX, float lightY) {
    list.fill(linear(0.0f, 0.0f, 0.0f, 200.0f, {{0.0f, top}, {1.0f, bottom}}), screen());
    list.fill(radial(lightX, lightY, 190.0f, 120.0f, {{0.0f, light, 0.45f}, {1.0f, light, 0.0f}}),
              screen());
}

// Gently waving lines across the picture, stroked.
void waves(DrawList& list, float y, Rgb colour, int32_t count, uint32_t seed) {
    Random random(seed);
    for (int32_t i = 0; i < count; ++i) {
        Outline line;
        const float base = y + 5.0f * static_cast<float>(i);
        const float phase = random.range(0.0f, 2.0f * kPi);
        line.moveTo(-10.0f, base);
        for (int32_t k = 0; k < 4; ++k) {
            const float x = -10.0f + 85.0f * static_cast<float>(k + 1);
            line.cubicTo(x - 60.0f, base + 6.0f * floatmath::sin(phase + static_cast<float>(k)),
                         x - 25.0f, base - 6.0f * floatmath::cos(phase + static_cast<float>(k)), x,
                         base);
        }
        list.stroke(premultiplied(colour, 0.35f - 0.05f * static_cast<float>(i)), line, 0.5f);
    }
}
} // namespace

std::vector<uint8_t> renderRaw(const DrawList& list) {
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth * kHeight));
    list.render(pixels.data());
    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (uint32_t p : pixels) {
        rgb.push_back(static_cast<uint8_t>(p >> 16));
        rgb.push_back(static_cast<uint8_t>(p >> 8));
        rgb.push_back(static_cast<uint8_t>(p));
    }
    return rgb;
}

std::vector<uint8_t> drawPelu() {
    DrawList list;
    // Sky from deep violet to the glow of the horizon.
    list.fill(linear(0.0f, 0.0f, 0.0f, 128.0f,
                     {{0.0f, hex(0x140c36)},
                      {0.45f, hex(0x5a2a78)},
                      {0.8f, hex(0xd0507a)},
                      {1.0f, hex(0xffb86a)}}),
              screen());
    Random random(5);
    for (int32_t i = 0; i < 60; ++i) {
        Outline star;
        const float y = random.range(2.0f, 60.0f);
        star.ellipse(random.range(0.0f, 320.0f), y, 0.6f, 0.6f);
        list.fill(premultiplied(hex(0xfff4e0), 0.9f - y / 80.0f), star);
    }
    // The sun's halo and the sun, cut by bands that narrow towards its foot.
    list.fill(radial(150.0f, 112.0f, 120.0f, 80.0f,
                     {{0.0f, hex(0xffd080), 0.7f}, {1.0f, hex(0xff7050), 0.0f}}),
              screen());
    Outline sun;
    const float sunX = 150.0f;
    const float sunY = 100.0f;
    const float sunR = 36.0f;
    sun.ellipse(sunX, sunY, sunR, sunR);
    for (int32_t i = 0; i < 5; ++i) {
        const float top = sunY + 2.0f + 5.0f * static_cast<float>(i);
        const float h = 1.0f + 0.6f * static_cast<float>(i);
        const float inner = std::max(std::fabs(top - sunY), std::fabs(top + h - sunY));
        const float half = std::sqrt(std::max(sunR * sunR - inner * inner, 0.0f));
        sun.rect(sunX - half, top, 2.0f * half, h);
    }
    list.fill(linear(0.0f, sunY - sunR, 0.0f, sunY + sunR,
                     {{0.0f, hex(0xfff2a0)}, {0.6f, hex(0xffa050)}, {1.0f, hex(0xff5070)}}),
              sun);

    // Three ranges of mountains, the nearest darkest.
    const Rgb ranges[3][2] = {{hex(0x7a4a8a), hex(0x4a2a6a)},
                              {hex(0x4a2c6c), hex(0x2a1a4a)},
                              {hex(0x261a44), hex(0x140e2a)}};
    for (int32_t r = 0; r < 3; ++r) {
        Outline m;
        const float base = 128.0f;
        const float height = 30.0f + 14.0f * static_cast<float>(r);
        m.moveTo(-10.0f, base);
        float x = -10.0f;
        Random peaks(static_cast<uint32_t>(40 + r));
        for (int32_t i = 0; i < 5; ++i) {
            const float w = peaks.range(55.0f, 85.0f);
            const float top = base - height * peaks.range(0.5f, 1.0f);
            if (x + w * 0.5f > 105.0f && x + w * 0.5f < 195.0f) {
                m.quadTo(x + w * 0.5f, base - 6.0f, x + w, base - 2.0f); // leave room for the sun
            } else {
                m.cubicTo(x + w * 0.3f, top, x + w * 0.45f, top - 6.0f, x + w * 0.55f, top);
                m.quadTo(x + w * 0.8f, top + 8.0f, x + w, base - 4.0f * static_cast<float>(r));
            }
            x += w;
        }
        m.lineTo(330.0f, base);
        m.close();
        const Rgb* c = ranges[r];
        list.fill(linear(0.0f, base - height, 0.0f, base, {{0.0f, c[0]}, {1.0f, c[1]}}),
                  m.transformed(Affine::translation(0.0f, 4.0f * static_cast<float>(r) - 6.0f)));
    }

    // The sea, with the sun's road of light on it.
    Outline sea;
    sea.rect(0.0f, 128.0f, 320.0f, 72.0f);
    list.fill(linear(0.0f, 128.0f, 0.0f, 200.0f,
                     {{0.0f, hex(0x5a3a7a)}, {0.3f, hex(0x2a1e52)}, {1.0f, hex(0x0c0a20)}}),
              sea);
    for (int32_t i = 0; i < 16; ++i) {
        const float y = 131.0f + 4.2f * static_cast<float>(i);
        const float half = 6.0f + 1.6f * static_cast<float>(i) + random.range(-3.0f, 3.0f);
        const float x = sunX + random.range(-4.0f, 4.0f);
        Outline glint;
        glint.moveTo(x - half, y);
        glint.lineTo(x + half, y);
        list.stroke(premultiplied(mix(hex(0xffd890), hex(0xff6a7a), static_cast<float>(i) / 15.0f),
                                  0.7f - 0.035f * static_cast<float>(i)),
                    glint, 0.45f + 0.04f * static_cast<float>(i), Join::kNone);
    }

    // Cliff and lighthouse on the right.
    Outline cliff;
    cliff.moveTo(220.0f, 200.0f);
    cliff.cubicTo(232.0f, 170.0f, 250.0f, 150.0f, 262.0f, 146.0f);
    cliff.lineTo(300.0f, 142.0f);
    cliff.cubicTo(310.0f, 140.0f, 318.0f, 136.0f, 322.0f, 134.0f);
    cliff.lineTo(322.0f, 200.0f);
    cliff.close();
    list.fill(
        linear(240.0f, 140.0f, 300.0f, 200.0f, {{0.0f, hex(0x2c1c3c)}, {1.0f, hex(0x0a0612)}}),
        cliff);
    // Beam of light, fading along its length.
    Outline beam;
    beam.polygon({{280.0f, 88.0f}, {160.0f, 60.0f}, {160.0f, 96.0f}, {280.0f, 92.0f}});
    list.fill(linear(280.0f, 90.0f, 160.0f, 78.0f,
                     {{0.0f, hex(0xfff4c0), 0.55f}, {1.0f, hex(0xfff4c0), 0.0f}}),
              beam);
    Outline tower;
    tower.polygon({{274.0f, 143.0f}, {277.0f, 94.0f}, {285.0f, 94.0f}, {288.0f, 143.0f}});
    list.fill(linear(274.0f, 0.0f, 288.0f, 0.0f, {{0.0f, hex(0xe8e0f0)}, {1.0f, hex(0x9a90b0)}}),
              tower);
    for (int32_t i = 0; i < 3; ++i) {
        const float y = 104.0f + 13.0f * static_cast<float>(i);
        Outline band;
        const float inset = 0.06f * (143.0f - y);
        band.polygon({{274.0f + inset + 0.2f, y + 5.0f},
                      {274.3f + inset, y},
                      {287.7f - inset, y},
                      {287.8f - inset - 0.2f, y + 5.0f}});
        list.fill(opaque(hex(0xc0304a)), band);
    }
    Outline lamp;
    lamp.roundRect(276.0f, 86.0f, 10.0f, 8.0f, 2.0f);
    list.fill(opaque(hex(0x3a2a4a)), lamp);
    list.fill(radial(281.0f, 90.0f, 18.0f, 18.0f,
                     {{0.0f, hex(0xfffbe0), 1.0f},
                      {0.3f, hex(0xffe08a), 0.8f},
                      {1.0f, hex(0xffb060), 0.0f}}),
              [] {
                  Outline o;
                  o.ellipse(281.0f, 90.0f, 18.0f, 18.0f);
                  return o;
              }());
    Outline roof;
    roof.moveTo(275.0f, 86.0f);
    roof.quadTo(281.0f, 76.0f, 287.0f, 86.0f);
    roof.close();
    list.fill(opaque(hex(0x2a1c3a)), roof);

    // Birds: two quadratic strokes each.
    const Point2 birds[5] = {
        {60.0f, 50.0f}, {74.0f, 44.0f}, {84.0f, 56.0f}, {200.0f, 38.0f}, {212.0f, 46.0f}};
    for (const Point2& b : birds) {
        Outline wing;
        wing.moveTo(b.x - 5.0f, b.y - 2.0f);
        wing.quadTo(b.x - 2.0f, b.y - 3.0f, b.x, b.y);
        wing.quadTo(b.x + 2.0f, b.y - 3.0f, b.x + 5.0f, b.y - 2.0f);
        list.stroke(opaque(hex(0x1a1030)), wing, 0.55f);
    }
    return renderRaw(list);
}

std::vector<uint8_t> drawMorvane(const Fonts& fonts) {
    DrawList list;
    backdrop(list, hex(0x0a0618), hex(0x1c0a2c), hex(0x6a3ab0), 160.0f, 92.0f);
    waves(list, 150.0f, hex(0x9ad8ff), 4, 3);

    // The emblem: a ring (an ellipse with its inner ellipse cut out) behind the name.
    Outline ring;
    ring.ellipse(160.0f, 88.0f, 92.0f, 56.0f);
    ring.ellipse(160.0f, 88.0f, 88.0f, 52.5f);
    list.fill(linear(0.0f, 32.0f, 0.0f, 144.0f,
                     {{0.0f, hex(0x7afcff), 0.9f}, {1.0f, hex(0xff6ad5), 0.9f}}),
              ring);

    const auto name = fonts.sansBold.centred("MORVANE", 46.0f, 160.0f, 104.0f, 1.5f);
    fillGlyphs(list, premultiplied({0.0f, 0.0f, 0.0f}, 0.6f), name,
               Affine::translation(3.0f, 3.0f));
    for (const PlacedGlyph& g : name)
        list.stroke(opaque(hex(0xf4f0ff)), g.outline, 1.2f);
    fillGlyphs(list,
               linear(0.0f, 70.0f, 0.0f, 104.0f,
                      {{0.0f, hex(0xe8fbff)},
                       {0.45f, hex(0x58c8ff)},
                       {0.55f, hex(0x3050c8)},
                       {1.0f, hex(0xff70d0)}}),
               name);

    const auto line = fonts.serif.centred("thanks for watching", 12.0f, 160.0f, 176.0f, 0.8f);
    fillGlyphs(list, opaque(hex(0xd8d0f0)), line,
               Affine::translation(-160.0f, -176.0f)
                   .then(Affine::shear(-0.18f))
                   .then(Affine::translation(160.0f, 176.0f)));
    return renderRaw(list);
}

std::vector<uint8_t> drawGreets(const Fonts& fonts) {
    DrawList list;
    backdrop(list, hex(0x04101c), hex(0x0a2030), hex(0x1a8a9a), 160.0f, 40.0f);
    waves(list, 184.0f, hex(0x7afcff), 3, 8);
    const auto title = fonts.sansBold.centred("greetings", 26.0f, 160.0f, 38.0f, 1.0f);
    fillGlyphs(list, premultiplied({0.0f, 0.0f, 0.0f}, 0.5f), title,
               Affine::translation(2.0f, 2.0f));
    fillGlyphs(list,
               linear(0.0f, 18.0f, 0.0f, 40.0f, {{0.0f, hex(0xffffff)}, {1.0f, hex(0x60e8d0)}}),
               title);
    Outline rule;
    rule.moveTo(70.0f, 48.0f);
    rule.lineTo(250.0f, 48.0f);
    list.stroke(premultiplied(hex(0x60e8d0), 0.8f), rule, 0.5f);

    const char* lines[] = {
        "to every demo maker who codes for the joy of it,",
        "to the trackers and musicians who make us move,",
        "to the pixel artists, one careful dot at a time,",
        "to the party organisers and all their helpers,",
        "to everyone who shares their code and tools,",
        "and to you, for watching to the end.",
    };
    float y = 70.0f;
    for (const char* text : lines) {
        fillGlyphs(list, opaque(hex(0xe4f4f4)), fonts.sans.centred(text, 10.5f, 160.0f, y));
        y += 17.0f;
    }
    return renderRaw(list);
}

std::vector<uint8_t> drawCredits(const Fonts& fonts) {
    DrawList list;
    backdrop(list, hex(0x140810), hex(0x2a0c1a), hex(0xb04a6a), 160.0f, 30.0f);
    waves(list, 186.0f, hex(0xffb0c8), 3, 9);
    const auto title = fonts.sansBold.centred("credits", 26.0f, 160.0f, 36.0f, 1.0f);
    fillGlyphs(list, premultiplied({0.0f, 0.0f, 0.0f}, 0.5f), title,
               Affine::translation(2.0f, 2.0f));
    fillGlyphs(list,
               linear(0.0f, 16.0f, 0.0f, 38.0f, {{0.0f, hex(0xffffff)}, {1.0f, hex(0xffa0c0)}}),
               title);

    const char* roles[][2] = {{"code", "Morvane"}, {"music", "Morvane"}, {"graphics", "Morvane"}};
    float y = 64.0f;
    for (const auto& role : roles) {
        const auto left =
            fonts.sans.layout(role[0], 12.0f, 152.0f - fonts.sans.measure(role[0], 12.0f), y);
        fillGlyphs(list, opaque(hex(0xc8a8b8)), left);
        fillGlyphs(list, opaque(hex(0xfff0f4)), fonts.sansBold.layout(role[1], 12.0f, 168.0f, y));
        Outline dot;
        dot.ellipse(160.0f, y - 4.0f, 1.5f, 1.5f);
        list.fill(opaque(hex(0xffa0c0)), dot);
        y += 18.0f;
    }
    Outline rule;
    rule.moveTo(90.0f, 118.0f);
    rule.lineTo(230.0f, 118.0f);
    list.stroke(premultiplied(hex(0xffa0c0), 0.7f), rule, 0.5f);
    fillGlyphs(list, opaque(hex(0xc8a8b8)),
               fonts.serif.centred("made with", 11.0f, 160.0f, 136.0f));
    fillGlyphs(list, opaque(hex(0xfff0f4)),
               fonts.sans.centred("SDL2,  libopenmpt,  zlib,", 11.0f, 160.0f, 154.0f));
    fillGlyphs(list, opaque(hex(0xfff0f4)),
               fonts.sans.centred("FreeType  and the DejaVu fonts", 11.0f, 160.0f, 170.0f));
    return renderRaw(list);
}

std::vector<uint8_t> drawLogo(const Fonts& fonts) {
    DrawList list;
    // Plate on whole pixels: its edges have full coverage, so no grey rim on black.
    constexpr float kLeft = 236.0f;
    constexpr float kTop = 184.0f;
    constexpr float kPlateWidth = 80.0f;
    constexpr float kPlateHeight = 13.0f;
    Outline border;
    border.rect(kLeft, kTop, kPlateWidth, kPlateHeight);
    border.rect(kLeft + 1.0f, kTop + 1.0f, kPlateWidth - 2.0f, kPlateHeight - 2.0f);
    list.fill(opaque(hex(0x9a88e0)), border);
    Outline plate;
    plate.rect(kLeft + 1.0f, kTop + 1.0f, kPlateWidth - 2.0f, kPlateHeight - 2.0f);
    list.fill(linear(0.0f, kTop, 0.0f, kTop + kPlateHeight,
                     {{0.0f, hex(0x3a2a6a)}, {1.0f, hex(0x1c1440)}}),
              plate);
    // A small ring emblem and the name, anti-aliased against the plate only.
    Outline ring;
    ring.ellipse(kLeft + 7.5f, kTop + 6.5f, 4.0f, 4.0f);
    ring.ellipse(kLeft + 7.5f, kTop + 6.5f, 2.5f, 2.5f);
    list.fill(opaque(hex(0x7afcff)), ring);
    fillGlyphs(list, opaque(hex(0xf0ecff)),
               fonts.sansBold.layout("MORVANE", 9.0f, kLeft + 14.0f, kTop + 10.0f, 0.6f));
    return renderRaw(list);
}

void writePictures(const std::string& dir) {
    const Fonts fonts;
    auto save = [&](const char* name, const std::vector<uint8_t>& rgb) {
        writeFileBytes(dir + "/" + name, rgb);
    };
    save("morvane.raw", drawMorvane(fonts));
    save("pelu.raw", drawPelu());
    save("greets.raw", drawGreets(fonts));
    save("logo.raw", drawLogo(fonts));
    save("credits.raw", drawCredits(fonts));
}
