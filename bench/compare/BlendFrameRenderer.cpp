// Blend2D takes straight colours: each shape's premultiplied colour is divided by its
// alpha (rounded) once per shape.

#include "BlendFrameRenderer.h"

#include <blend2d/blend2d.h>

#include <algorithm>

#include "PathWords.h"

namespace {

constexpr uint32_t kByteMax = 255u;

struct BlendBuilder {
    BLPath* path;

    void moveTo(float x, float y) { path->move_to(x, y); }
    void lineTo(float x, float y) { path->line_to(x, y); }
    void quadTo(float cx, float cy, float x, float y, float, float) { path->quad_to(cx, cy, x, y); }
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
        path->cubic_to(c1x, c1y, c2x, c2y, x, y);
    }
    // Not a new figure: the arc's start is joined to the pen, which it equals.
    void arcTo(float ox, float oy, float rx, float ry, float theta0, float theta1) {
        path->arc_to(ox, oy, rx, ry, theta0, theta1 - theta0, false);
    }
    void close() { path->close(); }
};

BLRgba32 straight(uint32_t colour) {
    const uint32_t a = colour >> 24;
    if (a == 0) {
        return BLRgba32(0u);
    }
    const auto un = [a](uint32_t v) { return std::min(kByteMax, (v * kByteMax + a / 2) / a); };
    return BLRgba32(un((colour >> 16) & 0xFFu), un((colour >> 8) & 0xFFu), un(colour & 0xFFu), a);
}

} // namespace

struct BlendFrameRenderer::Context {
    // fill_all covers the whole image whatever the transform.
    Context(uint32_t* pixels, int32_t width, int32_t height, double scaleX, double scaleY,
            int32_t threads) {
        image.create_from_data(width, height, BL_FORMAT_PRGB32, pixels,
                               width * static_cast<intptr_t>(sizeof(uint32_t)));
        BLContextCreateInfo info{};
        // 0: synchronous, on the calling thread.
        info.thread_count = threads > 1 ? static_cast<uint32_t>(threads) : 0u;
        context.begin(image, info);
        context.set_fill_rule(BL_FILL_RULE_EVEN_ODD);
        context.scale(scaleX, scaleY);
    }
    ~Context() { context.end(); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    BLImage image;
    BLContext context;
    BLPath path;
};

BlendFrameRenderer::BlendFrameRenderer(int32_t width, int32_t height, int32_t threads)
    : FrameRenderer(width, height),
      context(std::make_unique<Context>(target(), width, height, scaleX(), scaleY(), threads)) {}

BlendFrameRenderer::~BlendFrameRenderer() = default;

void BlendFrameRenderer::render(size_t frameIndex) {
    BLContext& ctx = context->context;
    BLPath& path = context->path;
    ctx.set_comp_op(BL_COMP_OP_SRC_COPY);
    ctx.fill_all(BLRgba32(0xFF000000u));
    ctx.set_comp_op(BL_COMP_OP_SRC_OVER);
    BlendBuilder builder{&path};
    pathwords::Walker<BlendBuilder> walker(builder, arcs());
    for (const BenchShape& shape : source->frames[frameIndex].shapes) {
        if ((shape.colour >> 24) == 0) {
            continue;
        }
        const BLRgba32 colour = straight(shape.colour);
        for (const BenchPath& bp : shape.paths) {
            path.clear();
            walker.walk(bp.words, bp.wordCount);
            ctx.fill_path(path, colour);
        }
    }
    ctx.flush(BL_CONTEXT_FLUSH_SYNC);
}
