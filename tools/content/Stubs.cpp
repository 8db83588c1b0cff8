#include "Content.h"
void writeMovies(const std::string&) {}
void writePictures(const std::string&) {}
