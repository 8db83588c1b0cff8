// Sizing and scaling of the 320x200 frame for a 4:3 picture (pixels 1.2 times as tall
// as wide) with sharp pixels: a whole-number nearest-neighbour enlargement first, then a
// linear stretch of what remains. The window and the recorder size frames the same way;
// the recorder also scales on the processor with scaleSharp.
#pragma once

#include <cstdint>

struct FrameRect {
    int32_t x, y, w, h;
};

// The largest 4:3 rectangle inside width x height, centred.
FrameRect fitFourByThree(int32_t width, int32_t height);
// The whole-number enlargement done with nearest neighbour before the linear stretch:
// the largest factor at which the enlarged frame still fits the target, at least 1.
int32_t sharpFactor(const FrameRect& target, int32_t frameWidth, int32_t frameHeight);

// Largest frame a sharp display draws; a larger 4:3 rectangle gets it stretched.
inline constexpr int32_t kMaxSharpWidth = 3840;
inline constexpr int32_t kMaxSharpHeight = 2880;
// Smallest: the window's least 4:3 rectangle.
inline constexpr int32_t kMinSharpWidth = 320;
inline constexpr int32_t kMinSharpHeight = 240;
// The frame size a sharp display draws at to fill a shownWidth x shownHeight rectangle:
// that size, each side kept within the smallest and largest above.
FrameRect sharpFrameSize(int32_t shownWidth, int32_t shownHeight);

// Scales src (width x height, pitch width, 0x??RRGGBB; the top byte is ignored) into dst
// (dstWidth x dstHeight, pitch dstWidth, 0xFFRRGGBB). Equals: enlarge every pixel to an
// f x f block (f = sharpFactor of the destination), then sample that image bilinearly at
// the destination's pixel centres, clamped at the edges, with weights in 1/256 steps and
// each interpolation rounded to the nearest byte. Sizes <= 0 do nothing.
void scaleSharp(const uint32_t* src, int32_t width, int32_t height, uint32_t* dst, int32_t dstWidth,
                int32_t dstHeight);
