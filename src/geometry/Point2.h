// A point or vector in path coordinates: two single-precision floats.
#pragma once

struct Point2 {
    float x = 0.0f;
    float y = 0.0f;

    friend constexpr Point2 operator+(Point2 a, Point2 b) { return {a.x + b.x, a.y + b.y}; }
    friend constexpr Point2 operator-(Point2 a, Point2 b) { return {a.x - b.x, a.y - b.y}; }
    friend constexpr bool operator==(Point2 a, Point2 b) = default;
};
