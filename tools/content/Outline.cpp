// Outline building, transforming and writing as path command words.
#include "Outline.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "geometry/Path.h"

namespace {
// Arc end points and radii are snapped to this grid so the arc's centre is exact.
constexpr float kArcGrid = 64.0f;
// Cubic control distance for a quarter circle.
constexpr float kKappa = 0.5522847f;

float snap(float v) {
    return std::round(v * kArcGrid) / kArcGrid;
}

void push(std::vector<uint32_t>& out, float v) {
    out.push_back(std::bit_cast<uint32_t>(v));
}
} // namespace

void Outline::moveTo(float x, float y) {
    commands.push_back({Kind::Move, {{{x, y}, {}, {}}}});
}
void Outline::lineTo(float x, float y) {
    commands.push_back({Kind::Line, {{{x, y}, {}, {}}}});
}
void Outline::quadTo(float cx, float cy, float x, float y) {
    commands.push_back({Kind::Quad, {{{cx, cy}, {x, y}, {}}}});
}
void Outline::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    commands.push_back({Kind::Cubic, {{{c1x, c1y}, {c2x, c2y}, {x, y}}}});
}
void Outline::close() {
    commands.push_back({Kind::Close, {}});
}

void Outline::ellipse(float cx, float cy, float rx, float ry) {
    commands.push_back({Kind::Ellipse, {{{cx, cy}, {rx, ry}, {}}}});
}

void Outline::circleCubic(float cx, float cy, float r) {
    const float k = r * kKappa;
    moveTo(cx + r, cy);
    cubicTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
    cubicTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
    cubicTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
    cubicTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
    close();
}

void Outline::rect(float x, float y, float w, float h) {
    moveTo(x, y);
    lineTo(x + w, y);
    lineTo(x + w, y + h);
    lineTo(x, y + h);
    close();
}

void Outline::roundRect(float x, float y, float w, float h, float r) {
    r = std::min(r, std::min(w, h) * 0.5f);
    moveTo(x + r, y);
    lineTo(x + w - r, y);
    quadTo(x + w, y, x + w, y + r);
    lineTo(x + w, y + h - r);
    quadTo(x + w, y + h, x + w - r, y + h);
    lineTo(x + r, y + h);
    quadTo(x, y + h, x, y + h - r);
    lineTo(x, y + r);
    quadTo(x, y, x + r, y);
    close();
}

void Outline::polygon(const std::vector<Point2>& points) {
    if (points.empty())
        return;
    moveTo(points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        lineTo(points[i].x, points[i].y);
    close();
}

void Outline::append(const Outline& other) {
    commands.insert(commands.end(), other.commands.begin(), other.commands.end());
}

Outline Outline::transformed(const Affine& map) const {
    Outline out;
    out.commands.reserve(commands.size());
    const float scale = map.lengthScale();
    for (const Command& c : commands) {
        Command t = c;
        if (c.kind == Kind::Ellipse) {
            t.p[0] = map.apply(c.p[0]);
            if (map.keepsAxes()) {
                t.p[1] = {c.p[1].x * std::fabs(map.a), c.p[1].y * std::fabs(map.d)};
            } else {
                t.p[1] = {c.p[1].x * scale, c.p[1].y * scale};
            }
        } else {
            for (Point2& p : t.p)
                p = map.apply(p);
        }
        out.commands.push_back(t);
    }
    return out;
}

std::array<float, 4> Outline::bounds() const {
    bool any = false;
    std::array<float, 4> b{0.0f, 0.0f, 0.0f, 0.0f};
    auto add = [&](Point2 p) {
        if (!any) {
            b = {p.x, p.y, p.x, p.y};
            any = true;
            return;
        }
        b[0] = std::min(b[0], p.x);
        b[1] = std::min(b[1], p.y);
        b[2] = std::max(b[2], p.x);
        b[3] = std::max(b[3], p.y);
    };
    for (const Command& c : commands) {
        switch (c.kind) {
        case Kind::Move:
        case Kind::Line:
            add(c.p[0]);
            break;
        case Kind::Quad:
            add(c.p[0]);
            add(c.p[1]);
            break;
        case Kind::Cubic:
            add(c.p[0]);
            add(c.p[1]);
            add(c.p[2]);
            break;
        case Kind::Ellipse:
            add({c.p[0].x - c.p[1].x, c.p[0].y - c.p[1].y});
            add({c.p[0].x + c.p[1].x, c.p[0].y + c.p[1].y});
            break;
        case Kind::Close:
            break;
        }
    }
    return b;
}

std::vector<uint32_t> Outline::words() const {
    std::vector<uint32_t> out;
    out.reserve(commands.size() * 5);
    for (const Command& c : commands) {
        switch (c.kind) {
        case Kind::Move:
            out.push_back(pathcode::kMove);
            push(out, c.p[0].x);
            push(out, c.p[0].y);
            break;
        case Kind::Line:
            out.push_back(pathcode::kLine);
            push(out, c.p[0].x);
            push(out, c.p[0].y);
            break;
        case Kind::Quad:
            out.push_back(pathcode::kQuad);
            for (int32_t i = 0; i < 2; ++i) {
                push(out, c.p[static_cast<size_t>(i)].x);
                push(out, c.p[static_cast<size_t>(i)].y);
            }
            break;
        case Kind::Cubic:
            out.push_back(pathcode::kCubic);
            for (const Point2& p : c.p) {
                push(out, p.x);
                push(out, p.y);
            }
            break;
        case Kind::Close:
            out.push_back(pathcode::kClose);
            break;
        case Kind::Ellipse: {
            const float cx = snap(c.p[0].x);
            const float cy = snap(c.p[0].y);
            const float rx = std::max(snap(c.p[1].x), 1.0f / kArcGrid);
            const float ry = std::max(snap(c.p[1].y), 1.0f / kArcGrid);
            // Lower half from the right end, then upper half from the left end; the
            // arc command closes each half along the horizontal diameter.
            const float ends[2][2] = {{cx + rx, cx - rx}, {cx - rx, cx + rx}};
            for (const auto& end : ends) {
                out.push_back(pathcode::kMove);
                push(out, end[0]);
                push(out, cy);
                out.push_back(pathcode::kArc);
                push(out, rx);
                push(out, ry);
                push(out, end[1]);
                push(out, cy);
                push(out, 0.0f);
                push(out, 0.0f);
                push(out, 0.0f);
            }
            break;
        }
        }
    }
    return out;
}
