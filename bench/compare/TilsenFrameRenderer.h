// Our own frame, drawn as the movie player draws it, from a frame model built up front.
#pragma once

#include <memory>
#include <vector>

#include "FrameRenderer.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"

class TilsenFrameRenderer final : public FrameRenderer {
public:
    TilsenFrameRenderer();
    const char* label() const override { return "ours"; }
    void prepare(const BenchMovie& movie) override;
    void render(size_t frameIndex) override;
    const uint32_t* pixels() const override { return buffer.get(); }

private:
    struct Shape {
        std::unique_ptr<SolidPaint> paint;
        std::vector<Path> paths;
    };
    using Frame = std::vector<Shape>;

    std::vector<Frame> frames;
    std::unique_ptr<uint32_t[]> buffer;
};
