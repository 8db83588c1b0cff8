// The five raw pictures: 320 x 200 pixels of red, green, blue bytes, no header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DrawList.h"

struct Fonts;

// RGB bytes of a draw list rendered over black.
std::vector<uint8_t> renderRaw(const DrawList& list);

std::vector<uint8_t> drawMorvane(const Fonts& fonts);
std::vector<uint8_t> drawPelu();
std::vector<uint8_t> drawGreets(const Fonts& fonts);
std::vector<uint8_t> drawCredits(const Fonts& fonts);
// The overlay logo: a small plate on pure black. Its edges lie on whole pixels and all
// its anti-aliasing happens inside the plate, so no pixel outside is dark but not black.
std::vector<uint8_t> drawLogo(const Fonts& fonts);
