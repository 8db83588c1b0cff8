// Full-screen raw pictures and the three full-frame pixel operations of the scenes, at the
// pictures' own 320x200 and enlarged for sharp drawing. Arrays are width x height
// consecutive 32-bit pixels; a count <= 0 does nothing.
#pragma once

#include <cstdint>
#include <memory>

// Reads width x height pixels of red, green, blue bytes into 0x00RRGGBB words. Pixels
// the file does not supply (missing or short file) are 0.
std::unique_ptr<uint32_t[]> loadRawPicture(const char* fileName, int32_t width, int32_t height);
void copyPixels(uint32_t* dst, const uint32_t* src, int32_t width, int32_t height);
// Copies the non-zero pixels only: pure black is transparent.
void overlayPixels(uint32_t* dst, const uint32_t* src, int32_t width, int32_t height);
// ORs a 4-bit grey level from a 31-bit shift register into every pixel.
void addGreyNoise(uint32_t* pixels, int32_t width, int32_t height);

// The enlarged overlay of src (width x height) at dstWidth x dstHeight, for blendOverlay.
// Black stays transparent by deciding on the source pixels: each destination pixel is
// scaleSharp of src (black adds nothing) in its colour bytes, and scaleSharp of the
// source's opacity (0 for black, 255 otherwise) in its top byte. So the colour is
// premultiplied by the opacity, and edges blend with what lies under them, not with black.
void scaleOverlay(const uint32_t* src, int32_t width, int32_t height, uint32_t* dst,
                  int32_t dstWidth, int32_t dstHeight);
// Puts a scaleOverlay picture over dst: per colour byte, over + dst * (255 - a) / 255
// rounded and at most 255, a being over's top byte. a = 0 leaves dst as it is.
void blendOverlay(uint32_t* dst, const uint32_t* over, int32_t width, int32_t height);
// addGreyNoise for a width x height picture shown at dstWidth x dstHeight: the register
// steps once per source pixel, exactly as addGreyNoise does, and every destination pixel
// takes the level of the source pixel it lies on, so the grain keeps its size.
void addGreyNoiseScaled(uint32_t* pixels, int32_t width, int32_t height, int32_t dstWidth,
                        int32_t dstHeight);

// The noise register, process-wide and never reseeded.
extern uint32_t noiseState;
