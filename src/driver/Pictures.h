// Full-screen raw pictures and the three full-frame pixel operations of the scenes.
// Arrays are width x height consecutive 32-bit pixels; a count <= 0 does nothing.
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

// The noise register, process-wide and never reseeded.
extern uint32_t noiseState;
