// The DejaVu faces the content draws its text with, loaded once.
#pragma once

#include "GlyphFont.h"

struct Fonts {
    GlyphFont sansBold{dejavuPath("DejaVuSans-Bold.ttf")};
    GlyphFont sans{dejavuPath("DejaVuSans.ttf")};
    GlyphFont serif{dejavuPath("DejaVuSerif.ttf")};
    GlyphFont serifBold{dejavuPath("DejaVuSerif-Bold.ttf")};
};
