// Replays path command words into an outside library's path builder. Curves stay
// curves and an arc stays an arc: the builder gets its centre and parameter range and
// draws it with its own arc primitive, followed by a close, as the replay does. Asked to,
// the walker hands on each arc as the polyline the rasterizer draws for it instead (its
// fixed 0.01-radian walk), so that every library fills the very edges ours does.
#pragma once

#include <cmath>
#include <cstdint>

#include "geometry/Flattening.h"
#include "geometry/PathCommands.h"

namespace pathwords {

enum class Arcs {
    kOwn,         // the builder's own arc primitive
    kOurPolyline, // lines through the points of the rasterizer's arc walk
};

// Builder needs moveTo, lineTo, quadTo(cx, cy, x, y, penX, penY),
// cubicTo(c1x, c1y, c2x, c2y, x, y), close() and arcTo(ox, oy, rx, ry, theta0, theta1):
// the ellipse of centre (ox, oy) and radii (rx, ry) from parameter theta0 up to theta1
// (theta1 > theta0), starting at the pen.
template <typename Builder> class Walker {
public:
    explicit Walker(Builder& target, Arcs arcWay = Arcs::kOwn) : builder(target), arcs(arcWay) {}

    void walk(const uint32_t* words, uint32_t count) {
        startPending = true;
        pathcode::Reader reader(words, count);
        pathcode::Command command;
        while (reader.next(command)) {
            auto f = [&command](int32_t i) { return command.operand(i); };
            switch (command.code) {
            case pathcode::kMove:
                move(f(0), f(1));
                break;
            case pathcode::kLine:
                line(f(0), f(1));
                break;
            case pathcode::kQuad:
                builder.quadTo(f(0), f(1), f(2), f(3), penX, penY);
                penX = f(2);
                penY = f(3);
                break;
            case pathcode::kCubic:
                builder.cubicTo(f(0), f(1), f(2), f(3), f(4), f(5));
                penX = f(4);
                penY = f(5);
                break;
            case pathcode::kArc:
                arc(f(0), f(1), f(2), f(3));
                close();
                break;
            case pathcode::kClose:
                close();
                break;
            default:
                break;
            }
        }
    }

private:
    static constexpr float kTwoPi = 6.2831855f;
    // Radii that exactly fit the chord often come out a rounding step too small.
    static constexpr float kHalfChordTolerance = 1.0e-5f;

    void move(float x, float y) {
        if (startPending) {
            startX = x;
            startY = y;
            startPending = false;
        }
        penX = x;
        penY = y;
        builder.moveTo(x, y);
    }

    void line(float x, float y) {
        builder.lineTo(x, y);
        penX = x;
        penY = y;
    }

    void close() {
        builder.close();
        penX = startX;
        penY = startY;
        startPending = true;
    }

    // The ellipse from the pen to (x, y) in the direction of increasing parameter, found
    // as the rasterizer finds it, handed to the builder's arc and ended with a line to the
    // exact end point. An arc without a centre (chord longer than the ellipse allows, or
    // none) is a line.
    void arc(float rx, float ry, float x, float y) {
        if (arcs == Arcs::kOurPolyline) {
            // The walk's last point is the end point itself.
            flattening::arc(rx, ry, penX, penY, x, y,
                            [this](float px, float py) { builder.lineTo(px, py); });
            penX = x;
            penY = y;
            return;
        }
        const float mx = (penX + x) / 2.0f;
        const float my = (penY + y) / 2.0f;
        const float u = (penX - mx) / rx;
        const float v = (penY - my) / ry;
        const float halfChord = std::sqrt(u * u + v * v);
        if (!(halfChord > 0.0f && halfChord <= 1.0f + kHalfChordTolerance) ||
            !std::isfinite(halfChord)) {
            line(x, y);
            return;
        }
        const float w = std::sqrt(std::fmax(0.0f, 1.0f - halfChord * halfChord));
        const float ox = mx - rx * w * v / halfChord;
        const float oy = my + ry * w * u / halfChord;
        const float theta0 = std::atan2((penY - oy) / ry, (penX - ox) / rx);
        float theta1 = std::atan2((y - oy) / ry, (x - ox) / rx);
        if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(theta0) ||
            !std::isfinite(theta1)) {
            line(x, y);
            return;
        }
        if (theta0 > theta1) {
            theta1 += kTwoPi;
        }
        builder.arcTo(ox, oy, rx, ry, theta0, theta1);
        line(x, y);
    }

    Builder& builder;
    Arcs arcs;
    float startX = 0.0f;
    float startY = 0.0f;
    float penX = 0.0f;
    float penY = 0.0f;
    bool startPending = true;
};

} // namespace pathwords
