// The DejaVu faces the content draws its text with, loaded once.
#pragma once

#include "GlyphFont.h"

struct Fonts {
    GlyphFont sansBold{dejavuPath("DejaVuSans-Bold.ttf")};
    GlyphFont sans{dejavuPath("DejaVuSans.ttf")};
    GlyphFont serif{dejavuPath("DejaVuSerif.ttf")};
    GlyphFont serifBold{dejavuPath("DejaVuSerif-Bold.ttf")};
    GlyphFont monoBold{dejavuPath("DejaVuSansMono-Bold.ttf")};
};

void writePresents(const std::string& fileName, const Fonts& fonts);
void writeTavo(const std::string& fileName);
void writeMain(const std::string& fileName, const Fonts& fonts);
