// Cairo takes straight (unpremultiplied) source colours, so each shape's colour is
// divided by its alpha once per shape; quadratics are raised to cubics, arcs are
// cairo_arc (through a scaled space for elliptic ones).

#include "CairoFrameRenderer.h"

#include <cairo.h>

#include "PathWords.h"

namespace {

constexpr double kByteMax = 255.0;

struct CairoBuilder {
    cairo_t* cr;

    void moveTo(float x, float y) { cairo_move_to(cr, x, y); }
    void lineTo(float x, float y) { cairo_line_to(cr, x, y); }
    void quadTo(float cx, float cy, float x, float y, float penX, float penY) {
        const double twoThirds = 2.0 / 3.0;
        const double c[2] = {cx, cy};
        const double from[2] = {penX, penY};
        const double to[2] = {x, y};
        cairo_curve_to(cr, from[0] + twoThirds * (c[0] - from[0]),
                       from[1] + twoThirds * (c[1] - from[1]), to[0] + twoThirds * (c[0] - to[0]),
                       to[1] + twoThirds * (c[1] - to[1]), to[0], to[1]);
    }
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
        cairo_curve_to(cr, c1x, c1y, c2x, c2y, x, y);
    }
    // cairo_arc joins the pen to the arc's start with a line, which is the pen itself.
    void arcTo(float ox, float oy, float rx, float ry, float theta0, float theta1) {
        if (rx == ry) {
            cairo_arc(cr, ox, oy, rx, theta0, theta1);
            return;
        }
        cairo_save(cr);
        cairo_translate(cr, ox, oy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0.0, 0.0, 1.0, theta0, theta1);
        cairo_restore(cr);
    }
    void close() { cairo_close_path(cr); }
};

} // namespace

// ARGB32 rows need no padding: the stride Cairo asks for is the buffer's, 4 bytes a pixel.
CairoFrameRenderer::CairoFrameRenderer(int32_t width, int32_t height)
    : FrameRenderer(width, height) {
    surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(target()),
                                                  CAIRO_FORMAT_ARGB32, width, height,
                                                  width * static_cast<int>(sizeof(uint32_t)));
    context = cairo_create(surface);
    cairo_set_fill_rule(context, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_scale(context, scaleX(), scaleY());
}

CairoFrameRenderer::~CairoFrameRenderer() {
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}

void CairoFrameRenderer::render(size_t frameIndex) {
    cairo_t* cr = context;
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.0);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    CairoBuilder builder{cr};
    pathwords::Walker<CairoBuilder> walker(builder, arcs());
    for (const BenchShape& shape : source->frames[frameIndex].shapes) {
        const uint32_t alpha = shape.colour >> 24;
        if (alpha == 0) {
            continue;
        }
        const double a = static_cast<double>(alpha);
        cairo_set_source_rgba(cr, static_cast<double>((shape.colour >> 16) & 0xFFu) / a,
                              static_cast<double>((shape.colour >> 8) & 0xFFu) / a,
                              static_cast<double>(shape.colour & 0xFFu) / a, a / kByteMax);
        for (const BenchPath& path : shape.paths) {
            walker.walk(path.words, path.wordCount);
            cairo_fill(cr);
        }
    }
    cairo_surface_flush(surface);
}
