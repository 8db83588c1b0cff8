// Fill source of a shape. The rasterizer seeks a paint to the start of a span and steps
// it pixel by pixel; a solid paint is asked once per span. Colours are premultiplied
// 0xAARRGGBB.
#pragma once

#include <array>
#include <cstdint>

#include "geometry/Transform2D.h"

class Paint {
public:
    Paint() = default;
    virtual ~Paint();
    // The next nextColour call concerns pixel (x, y) of the target.
    virtual void seek(int32_t x, int32_t y) = 0;
    // Colour of the current pixel, then one pixel to the right. With skip = 1 the
    // caller ignores the result but the paint must still advance.
    virtual uint32_t nextColour(int32_t skip) = 0;
    virtual bool isSolid() const = 0;
    // Kept because the paint interface has always offered this hook to derived paints;
    // it does nothing and nothing here calls it.
    virtual void reserved();

    // x, y, width, height of the shape being drawn, in path coordinates.
    std::array<float, 4> bounds{};
    Transform2D deviceToPaint;
    Transform2D paintTransform;

protected:
    Paint(const Paint&) = default;
    Paint& operator=(const Paint&) = default;
};
