// FreeType glyph loading in font units (no hinting, no scaling by FreeType), scaled and
// flipped to pixels here so that every size comes from the same exact outline.
#include "GlyphFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <stdexcept>

namespace {
constexpr const char* kFontDirectory = "/usr/share/fonts/truetype/dejavu/";

struct Decomposer {
    Outline* out;
    float scale;
    float x;
    float y;
    bool open = false;

    Point2 map(const FT_Vector* v) const {
        return {x + static_cast<float>(v->x) * scale, y - static_cast<float>(v->y) * scale};
    }
};

int moveTo(const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    if (d->open)
        d->out->close();
    const Point2 p = d->map(to);
    d->out->moveTo(p.x, p.y);
    d->open = true;
    return 0;
}
int lineTo(const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    const Point2 p = d->map(to);
    d->out->lineTo(p.x, p.y);
    return 0;
}
int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    const Point2 c = d->map(control);
    const Point2 p = d->map(to);
    d->out->quadTo(c.x, c.y, p.x, p.y);
    return 0;
}
int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    const Point2 a = d->map(c1);
    const Point2 b = d->map(c2);
    const Point2 p = d->map(to);
    d->out->cubicTo(a.x, a.y, b.x, b.y, p.x, p.y);
    return 0;
}
} // namespace

struct GlyphFont::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face != nullptr)
            FT_Done_Face(face);
        if (library != nullptr)
            FT_Done_FreeType(library);
    }
};

std::string dejavuPath(const std::string& fileName) {
    return kFontDirectory + fileName;
}

GlyphFont::GlyphFont(const std::string& fileName) : face(std::make_unique<Face>()) {
    if (FT_Init_FreeType(&face->library) != 0)
        throw std::runtime_error("FreeType did not start");
    if (FT_New_Face(face->library, fileName.c_str(), 0, &face->face) != 0) {
        throw std::runtime_error("cannot read font " + fileName);
    }
}

GlyphFont::~GlyphFont() = default;

std::vector<PlacedGlyph> GlyphFont::layout(const std::string& text, float size, float x,
                                           float baseline, float spacing) const {
    std::vector<PlacedGlyph> glyphs;
    FT_Face f = face->face;
    const float scale = size / static_cast<float>(f->units_per_EM);
    float pen = x;
    FT_UInt previous = 0;
    for (char ch : text) {
        const FT_UInt index =
            FT_Get_Char_Index(f, static_cast<FT_ULong>(static_cast<unsigned char>(ch)));
        if (previous != 0 && index != 0 && FT_HAS_KERNING(f)) {
            FT_Vector kern{};
            if (FT_Get_Kerning(f, previous, index, FT_KERNING_UNSCALED, &kern) == 0) {
                pen += static_cast<float>(kern.x) * scale;
            }
        }
        previous = index;
        if (FT_Load_Glyph(f, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0)
            continue;
        PlacedGlyph g;
        Decomposer d{&g.outline, scale, pen, baseline};
        FT_Outline_Funcs funcs{};
        funcs.move_to = moveTo;
        funcs.line_to = lineTo;
        funcs.conic_to = conicTo;
        funcs.cubic_to = cubicTo;
        FT_Outline_Decompose(&f->glyph->outline, &funcs, &d);
        if (d.open)
            g.outline.close();
        g.originX = pen;
        g.advance = static_cast<float>(f->glyph->advance.x) * scale + spacing;
        const auto b = g.outline.bounds();
        g.centre = g.outline.empty() ? Point2{pen + g.advance * 0.5f, baseline - size * 0.35f}
                                     : Point2{(b[0] + b[2]) * 0.5f, (b[1] + b[3]) * 0.5f};
        pen += g.advance;
        glyphs.push_back(std::move(g));
    }
    return glyphs;
}

float GlyphFont::measure(const std::string& text, float size, float spacing) const {
    const auto glyphs = layout(text, size, 0.0f, 0.0f, spacing);
    if (glyphs.empty())
        return 0.0f;
    return glyphs.back().originX + glyphs.back().advance - spacing;
}

std::vector<PlacedGlyph> GlyphFont::centred(const std::string& text, float size, float centreX,
                                            float baseline, float spacing) const {
    return layout(text, size, centreX - measure(text, size, spacing) * 0.5f, baseline, spacing);
}

Outline GlyphFont::merge(const std::vector<PlacedGlyph>& glyphs) {
    Outline all;
    for (const PlacedGlyph& g : glyphs)
        all.append(g.outline);
    return all;
}
