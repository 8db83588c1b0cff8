// The one concrete paint: one colour everywhere.
#pragma once

#include "geometry/Paint.h"

class SolidPaint final : public Paint {
public:
    explicit SolidPaint(uint32_t colourWord) : colour(colourWord) {}

    void seek(int32_t, int32_t) override {}
    uint32_t nextColour(int32_t) override { return colour; }
    bool isSolid() const override { return true; }

    uint32_t colour;
};
