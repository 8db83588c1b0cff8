// BGRA bytes in memory read as a little-endian 0xAARRGGBB word, the layout of our
// buffers; the premultiplied pixel format takes the file's colours as they are.

#include "AggFrameRenderer.h"

#include <agg_bezier_arc.h>
#include <agg_conv_curve.h>
#include <agg_conv_transform.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>
#include <agg_trans_affine.h>

#include "PathWords.h"

namespace {

struct AggBuilder {
    agg::path_storage* storage;

    void moveTo(float x, float y) { storage->move_to(x, y); }
    void lineTo(float x, float y) { storage->line_to(x, y); }
    void quadTo(float cx, float cy, float x, float y, float, float) {
        storage->curve3(cx, cy, x, y);
    }
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
        storage->curve4(c1x, c1y, c2x, c2y, x, y);
    }
    // bezier_arc's first vertex is a move_to; join_path turns it into a line from the pen.
    void arcTo(float ox, float oy, float rx, float ry, float theta0, float theta1) {
        agg::bezier_arc arc(ox, oy, rx, ry, theta0, theta1 - theta0);
        storage->join_path(arc);
    }
    void close() { storage->close_polygon(); }
};

} // namespace

struct AggFrameRenderer::Pipeline {
    using PixelFormat = agg::pixfmt_bgra32_pre;
    using BaseRenderer = agg::renderer_base<PixelFormat>;

    // The scale applies to the points of the path, control points and the arcs' Bezier
    // pieces alike, so curves are flattened at the target's size.
    Pipeline(uint32_t* pixels, int32_t width, int32_t height, double scaleX, double scaleY)
        : rows(reinterpret_cast<agg::int8u*>(pixels), static_cast<unsigned>(width),
               static_cast<unsigned>(height), width * static_cast<int>(sizeof(uint32_t))),
          format(rows), base(format), solid(base), scale(scaleX, scaleY), scaled(storage, scale),
          curves(scaled) {
        rasterizer.filling_rule(agg::fill_even_odd);
    }

    agg::rendering_buffer rows;
    PixelFormat format;
    BaseRenderer base;
    agg::renderer_scanline_aa_solid<BaseRenderer> solid;
    agg::rasterizer_scanline_aa<> rasterizer;
    agg::scanline_u8 scanline;
    agg::path_storage storage;
    agg::trans_affine_scaling scale;
    agg::conv_transform<agg::path_storage> scaled;
    agg::conv_curve<agg::conv_transform<agg::path_storage>> curves;
};

AggFrameRenderer::AggFrameRenderer(int32_t width, int32_t height)
    : FrameRenderer(width, height),
      pipeline(std::make_unique<Pipeline>(target(), width, height, scaleX(), scaleY())) {}

AggFrameRenderer::~AggFrameRenderer() = default;

void AggFrameRenderer::render(size_t frameIndex) {
    Pipeline& p = *pipeline;
    p.base.clear(agg::rgba8(0, 0, 0, 255));
    AggBuilder builder{&p.storage};
    pathwords::Walker<AggBuilder> walker(builder, arcs());
    for (const BenchShape& shape : source->frames[frameIndex].shapes) {
        const uint32_t c = shape.colour;
        p.solid.color(agg::rgba8((c >> 16) & 0xFFu, (c >> 8) & 0xFFu, c & 0xFFu, c >> 24));
        for (const BenchPath& path : shape.paths) {
            p.storage.remove_all();
            walker.walk(path.words, path.wordCount);
            p.rasterizer.reset();
            p.rasterizer.add_path(p.curves);
            agg::render_scanlines(p.rasterizer, p.scanline, p.solid);
        }
    }
}
