// The benchmark movies: four kinds of frame that stress different parts of a renderer,
// written deterministically from code so that a clone of the repository has them.
//   glyphs  text as glyph outlines (quadratic curves): a title and a scroller
//   blobs   a few large translucent shapes bounded by cubic curves, one with a hole
//   dense   about 1000 small polygons
//   arcs    rings and discs drawn with the arc command alone
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BenchMovieKind {
    const char* name; // file name without ".mvz.gz"
    const char* what;
};

// The four kinds, in the order the bench and the tests use them.
const std::vector<BenchMovieKind>& benchMovieKinds();

// Writes "<name>.mvz.gz" of every kind into dir, each frameCount frames long. Throws
// std::runtime_error naming the file when one cannot be written.
void writeBenchMovies(const std::string& dir, int32_t frameCount);
