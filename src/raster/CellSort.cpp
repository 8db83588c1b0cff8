// sortCells: a stable least-significant-byte-first radix sort of the cell words, four
// passes of 8 bits, cells -> sortScratch -> cells -> sortScratch -> cells. It equals
// std::stable_sort on the unsigned words. The count table is shared by every rasterizer,
// cleared once at the first sort; each pass hands it back all zero.
#include <cstddef>
#include <cstdint>

#include "raster/Rasterizer.h"

namespace {

constexpr int32_t kBuckets = 256;
constexpr int32_t kPasses = 4;
constexpr uint32_t kByteMask = 0xFFu;

uint32_t counts[kBuckets];
uint32_t positions[kBuckets];
bool countsNeedClearing = true;

} // namespace

void Rasterizer::sortCells() {
    if (countsNeedClearing) {
        for (uint32_t& c : counts) {
            c = 0;
        }
        countsNeedClearing = false;
    }
    const std::size_t n = static_cast<std::size_t>(cellCount());
    Cell* source = cells.get();
    Cell* destination = sortScratch.get();

    for (std::size_t i = 0; i < n; ++i) {
        ++counts[source[i] & kByteMask];
    }
    for (int32_t pass = 0; pass < kPasses; ++pass) {
        const uint32_t shift = static_cast<uint32_t>(pass) * 8u;
        uint32_t start = 0;
        for (int32_t bucket = 0; bucket < kBuckets; ++bucket) {
            positions[bucket] = start;
            start += counts[bucket];
            counts[bucket] = 0;
        }
        if (pass + 1 < kPasses) {
            // The next pass's counts come from the words as they are scattered.
            const uint32_t nextShift = shift + 8u;
            for (std::size_t i = 0; i < n; ++i) {
                const Cell c = source[i];
                destination[positions[(c >> shift) & kByteMask]++] = c;
                ++counts[(c >> nextShift) & kByteMask];
            }
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const Cell c = source[i];
                destination[positions[(c >> shift) & kByteMask]++] = c;
            }
        }
        Cell* const swapped = source;
        source = destination;
        destination = swapped;
    }
}
