// Counts the crossing cells one fill of a path makes on a target of the show's size,
// walking the path with the same flattening the player uses. The rasterizer keeps a
// fixed number of cells per fill and drops the rest, so every generated path is checked
// against it.
#pragma once

#include <cstdint>
#include <vector>

// Cells the rasterizer stores per fill.
inline constexpr int64_t kRasterCellLimit = 4095;
// What the content allows itself: a margin below the limit.
inline constexpr int64_t kCellBudget = 3900;

// Cells of one fill of the path words on a width x height target, curves flattened
// into 16 pieces.
int64_t countCells(const std::vector<uint32_t>& words, int32_t width = 320, int32_t height = 200);
