// Text as outlines: glyphs of a TrueType font read through FreeType and turned into
// move, line, quadratic and cubic commands (FT_Outline_Decompose). Outlines come out in
// pixel units, y downwards, baseline at y = 0 before placement. Holes in glyphs such as
// "O" are inner contours of the same outline and are cut by the even-odd rule.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Outline.h"

struct PlacedGlyph {
    Outline outline; // in pixels, already placed
    float originX;   // pen position on the baseline
    float advance;   // in pixels
    Point2 centre;   // middle of the glyph's box
};

class GlyphFont {
public:
    // Throws std::runtime_error when the file cannot be read as a font.
    explicit GlyphFont(const std::string& fileName);
    ~GlyphFont();
    GlyphFont(const GlyphFont&) = delete;
    GlyphFont& operator=(const GlyphFont&) = delete;

    // The glyphs of an ASCII text at the given pixel size (em height), pen starting at
    // (x, baseline), with the font's kerning and extra letter spacing in pixels.
    std::vector<PlacedGlyph> layout(const std::string& text, float size, float x, float baseline,
                                    float spacing = 0.0f) const;
    // Width of the laid-out text in pixels.
    float measure(const std::string& text, float size, float spacing = 0.0f) const;
    // Laid out so that its width is centred on centreX.
    std::vector<PlacedGlyph> centred(const std::string& text, float size, float centreX,
                                     float baseline, float spacing = 0.0f) const;
    // All glyphs of a layout in one outline.
    static Outline merge(const std::vector<PlacedGlyph>& glyphs);

private:
    struct Face;
    std::unique_ptr<Face> face;
};

// The DejaVu fonts of the Debian package fonts-dejavu-core.
std::string dejavuPath(const std::string& fileName);
