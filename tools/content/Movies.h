// The three movies of the show, each written as a gzip-compressed movie file.
#pragma once

#include <string>

struct Fonts;

// The group's name assembling, then "presents" (66 ms frames).
void writePresents(const std::string& fileName, const Fonts& fonts);
// Layers of translucent light in fluid motion (40 ms frames).
void writeTavo(const std::string& fileName);
// A night flight over a city, hundreds of shapes a frame (100 ms frames).
void writeMain(const std::string& fileName, const Fonts& fonts);
