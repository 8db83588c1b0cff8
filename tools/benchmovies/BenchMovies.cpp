// Frame drawing of the benchmark movies. Every number comes from the frame index and a
// seeded Random, so two runs give the same bytes. Sizes follow what the movies are meant
// to stress: hundreds of small curved paths, a few huge translucent ones, a thousand tiny
// polygons, and arcs.
#include "BenchMovies.h"

#include <cmath>
#include <functional>

#include "Affine.h"
#include "Colour.h"
#include "DrawList.h"
#include "Fonts.h"
#include "MovieOutput.h"
#include "Random.h"
#include "geometry/FloatMath.h"

namespace {
constexpr float kWidth = static_cast<float>(DrawList::kWidth);
constexpr float kHeight = static_cast<float>(DrawList::kHeight);
constexpr float kTwoPi = 6.2831855f;

// Glyphs: a title in large type over eleven lines of small scrolling text.
constexpr float kTitleSize = 30.0f;
constexpr float kScrollSize = 9.0f;
constexpr int32_t kScrollLines = 7;
constexpr float kScrollLineStep = 20.0f;
constexpr float kScrollSpeed = 3.0f; // pixels per frame

// Blobs: closed cubic splines through points on a wobbling circle.
constexpr int32_t kBlobs = 7;
constexpr int32_t kBlobPoints = 8;

// Dense: that many polygons of 3 to 7 corners, a few pixels across.
constexpr int32_t kDensePolygons = 1000;

// Arcs: rings (two ellipses, the inner one a hole under the even-odd rule) and discs.
constexpr int32_t kRings = 30;
constexpr int32_t kDiscs = 12;

const char* const kScrollText =
    "The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs. "
    "Sphinx of black quartz, judge my vow! How vexingly quick daft zebras jump. "
    "0123456789 (curves) [quads] {glyphs} & more: ~%$#@ ";

void drawGlyphs(int32_t index, DrawList& list, const Fonts& fonts) {
    const float frame = static_cast<float>(index);
    const std::string text(kScrollText);
    for (int32_t line = 0; line < kScrollLines; ++line) {
        const float baseline = 58.0f + kScrollLineStep * static_cast<float>(line);
        const float speed = kScrollSpeed * (1.0f + 0.25f * static_cast<float>(line % 3));
        const float x = 4.0f - std::fmod(frame * speed + 37.0f * static_cast<float>(line), 300.0f);
        const std::string shifted = text.substr(static_cast<size_t>(line) * 7u) + text;
        const GlyphFont& font = line % 2 == 0 ? fonts.sans : fonts.serif;
        const Rgb colour = mix(hex(0x7fd0ff), hex(0xffe07f),
                               static_cast<float>(line) / static_cast<float>(kScrollLines - 1));
        for (const PlacedGlyph& glyph : font.layout(shifted, kScrollSize, x, baseline)) {
            if (glyph.originX > kWidth) {
                break;
            }
            list.fill(premultiplied(colour, 0.9f), glyph.outline);
        }
    }
    const auto title = fonts.serifBold.centred("MORVANE TILSEN", kTitleSize, kWidth / 2.0f, 38.0f);
    const float wobble = 0.08f * floatmath::sin(frame * 0.15f);
    for (size_t i = 0; i < title.size(); ++i) {
        const PlacedGlyph& g = title[i];
        const Affine place = Affine::translation(-g.centre.x, -g.centre.y)
                                 .then(Affine::rotation(wobble * static_cast<float>(i % 3)))
                                 .then(Affine::translation(g.centre.x, g.centre.y));
        list.fill(opaque(hex(0xffffff)), g.outline.transformed(place));
    }
}

// A closed cubic spline through n points (Catmull-Rom tangents turned into cubic controls).
void addSpline(Outline& outline, const std::vector<Point2>& points) {
    const size_t n = points.size();
    outline.moveTo(points[0].x, points[0].y);
    for (size_t i = 0; i < n; ++i) {
        const Point2 p0 = points[(i + n - 1) % n];
        const Point2 p1 = points[i];
        const Point2 p2 = points[(i + 1) % n];
        const Point2 p3 = points[(i + 2) % n];
        outline.cubicTo(p1.x + (p2.x - p0.x) / 6.0f, p1.y + (p2.y - p0.y) / 6.0f,
                        p2.x - (p3.x - p1.x) / 6.0f, p2.y - (p3.y - p1.y) / 6.0f, p2.x, p2.y);
    }
    outline.close();
}

std::vector<Point2> wobblyCircle(Point2 centre, float radius, float phase, Random& random) {
    std::vector<Point2> points;
    for (int32_t k = 0; k < kBlobPoints; ++k) {
        const float angle = kTwoPi * static_cast<float>(k) / static_cast<float>(kBlobPoints);
        const float r =
            radius * (0.75f + 0.25f * floatmath::sin(phase + random.range(0.0f, kTwoPi)));
        points.push_back(
            {centre.x + r * floatmath::cos(angle), centre.y + r * floatmath::sin(angle)});
    }
    return points;
}

void drawBlobs(int32_t index, DrawList& list) {
    const float frame = static_cast<float>(index);
    const Rgb colours[kBlobs] = {hex(0xff4060), hex(0x40a0ff), hex(0x60ff80), hex(0xffc040),
                                 hex(0xc060ff), hex(0x40ffe0), hex(0xffffff)};
    for (int32_t b = 0; b < kBlobs; ++b) {
        Random random(static_cast<uint32_t>(1000 + b));
        const float fb = static_cast<float>(b);
        const Point2 centre{kWidth / 2.0f + 90.0f * floatmath::sin(frame * 0.03f + fb * 1.7f),
                            kHeight / 2.0f + 55.0f * floatmath::cos(frame * 0.025f + fb * 2.3f)};
        const float radius = 60.0f + 12.0f * fb;
        Outline outline;
        addSpline(outline, wobblyCircle(centre, radius, frame * 0.07f, random));
        if (b == 0) {
            // The hole: an inner contour, cut out by the even-odd rule.
            addSpline(outline, wobblyCircle(centre, radius * 0.4f, frame * 0.11f, random));
        }
        list.fill(premultiplied(colours[b], 0.35f + 0.05f * fb), outline);
    }
}

void drawDense(int32_t index, DrawList& list) {
    const float frame = static_cast<float>(index);
    Random random(77u);
    for (int32_t i = 0; i < kDensePolygons; ++i) {
        const int32_t corners = 3 + random.below(5);
        const float x0 = random.range(0.0f, kWidth);
        const float y0 = random.range(0.0f, kHeight);
        const float vx = random.range(-1.5f, 1.5f);
        const float vy = random.range(-1.0f, 1.0f);
        const float size = random.range(2.0f, 7.0f);
        const float spin = random.range(-0.2f, 0.2f);
        const uint32_t rgb = random.next() & 0xffffffu;
        const float alpha = random.range(0.5f, 1.0f);
        const Point2 centre{std::fmod(x0 + vx * frame + kWidth, kWidth),
                            std::fmod(y0 + vy * frame + kHeight, kHeight)};
        std::vector<Point2> points;
        for (int32_t k = 0; k < corners; ++k) {
            const float angle =
                spin * frame + kTwoPi * static_cast<float>(k) / static_cast<float>(corners);
            points.push_back(
                {centre.x + size * floatmath::cos(angle), centre.y + size * floatmath::sin(angle)});
        }
        Outline outline;
        outline.polygon(points);
        list.fill(premultiplied(hex(rgb), alpha), outline);
    }
}

void drawArcs(int32_t index, DrawList& list) {
    const float frame = static_cast<float>(index);
    Random random(4242u);
    for (int32_t i = 0; i < kDiscs; ++i) {
        const float x = random.range(20.0f, kWidth - 20.0f);
        const float y = random.range(20.0f, kHeight - 20.0f);
        const float r =
            random.range(6.0f, 30.0f) * (1.0f + 0.3f * floatmath::sin(frame * 0.1f + x));
        Outline disc;
        disc.ellipse(x, y, r, r * random.range(0.5f, 1.0f));
        list.fill(premultiplied(hex(random.next() & 0xffffffu), 0.5f), disc);
    }
    for (int32_t i = 0; i < kRings; ++i) {
        const float fi = static_cast<float>(i);
        const float x = kWidth / 2.0f + 120.0f * floatmath::sin(fi * 0.7f + frame * 0.02f);
        const float y = kHeight / 2.0f + 70.0f * floatmath::cos(fi * 1.1f + frame * 0.03f);
        const float r = 8.0f + std::fmod(fi * 5.0f + frame * 1.5f, 60.0f);
        Outline ring;
        ring.ellipse(x, y, r, r * 0.8f);
        ring.ellipse(x, y, r * 0.7f, r * 0.8f * 0.7f);
        list.fill(premultiplied(mix(hex(0x40c0ff), hex(0xff40c0), fi / kRings), 0.6f), ring);
    }
}
} // namespace

const std::vector<BenchMovieKind>& benchMovieKinds() {
    static const std::vector<BenchMovieKind> kinds = {
        {"glyphs", "text as glyph outlines: a title and seven scrolling lines"},
        {"blobs", "seven large translucent cubic blobs, one with an even-odd hole"},
        {"dense", "1000 small polygons"},
        {"arcs", "rings and discs drawn with the arc command alone"}};
    return kinds;
}

void writeBenchMovies(const std::string& dir, int32_t frameCount) {
    const Fonts fonts;
    const std::function<void(int32_t, DrawList&)> draws[] = {
        [&](int32_t i, DrawList& list) { drawGlyphs(i, list, fonts); }, drawBlobs, drawDense,
        drawArcs};
    const auto& kinds = benchMovieKinds();
    for (size_t k = 0; k < kinds.size(); ++k) {
        writeMovie(dir + "/" + kinds[k].name + ".mvz.gz", frameCount, draws[k]);
    }
}
