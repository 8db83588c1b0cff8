// Checks on the files the build generated: movies that the player reads cleanly and
// the rasterizer draws in full, pictures of the right size, a logo without dark rims.
#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "CellCount.h"
#include "Timeline.h"
#include "geometry/Path.h"

namespace {
const std::string kDir = TILSEN_DATA_DIR;
constexpr uint32_t kTag = 0x5A505448u;

// What a file holds: a movie's words as gzip gives them back (the compressed bytes are
// zlib's business), any other file as it is.
std::vector<uint8_t> contentOf(const std::string& dir, const std::string& name) {
    if (name.ends_with(".gz")) {
        std::vector<uint8_t> bytes;
        gzFile file = gzopen((dir + "/" + name).c_str(), "rb");
        if (file == nullptr)
            return bytes;
        std::array<uint8_t, 65536> buffer{};
        int got = 0;
        while ((got = gzread(file, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
        gzclose(file);
        return bytes;
    }
    std::ifstream in(dir + "/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

std::vector<uint32_t> readMovieWords(const std::string& name) {
    const std::vector<uint8_t> bytes = contentOf(kDir, name);
    std::vector<uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * sizeof(uint32_t));
    return words;
}

std::vector<uint8_t> readFile(const std::string& name) {
    return contentOf(kDir, name);
}

struct MovieSummary {
    uint32_t headerFrames = 0;
    uint32_t framesPresent = 0;
    bool wellFormed = true;
    std::string problem;
    std::array<int64_t, 7> commands{};
    int64_t maxCells = 0;
    int64_t translucentShapes = 0;
    int64_t pathsWithSeveralSubpaths = 0;
    int64_t maxShapes = 0;
};

// Walks a path's words: whole commands only, a move first, arcs whose radii reach.
bool checkPath(const uint32_t* w, uint32_t n, MovieSummary& s) {
    float penX = 0.0f;
    float penY = 0.0f;
    int32_t moves = 0;
    bool first = true;
    pathcode::Reader reader(w, n);
    pathcode::Command command;
    while (reader.next(command)) {
        const uint32_t code = command.code;
        const int32_t operands = command.operandCount;
        if (first && code != pathcode::kMove) {
            s.problem = "path does not start with a move";
            return false;
        }
        first = false;
        auto at = [&](int32_t k) { return command.operand(k); };
        for (int32_t k = 0; k < operands; ++k) {
            if (!std::isfinite(at(k))) {
                s.problem = "operand not finite";
                return false;
            }
        }
        if (code == pathcode::kArc) {
            // The arc needs a centre: half the chord, in radius units, at most 1.
            const float mx = (penX + at(2)) / 2.0f;
            const float my = (penY + at(3)) / 2.0f;
            const float u = (penX - mx) / at(0);
            const float v = (penY - my) / at(1);
            if (u * u + v * v > 1.0f || (u == 0.0f && v == 0.0f)) {
                s.problem = "arc without a centre";
                return false;
            }
        }
        if (code == pathcode::kMove)
            ++moves;
        if (operands >= 2) {
            penX = code == pathcode::kArc ? at(2) : at(operands - 2);
            penY = code == pathcode::kArc ? at(3) : at(operands - 1);
        }
        ++s.commands[code];
    }
    if (!reader.ended()) {
        s.problem =
            w[reader.position()] >= pathcode::kFirstEnd ? "end code inside a path" : "cut command";
        return false;
    }
    if (moves > 1)
        ++s.pathsWithSeveralSubpaths;
    const std::vector<uint32_t> words(w, w + n);
    s.maxCells = std::max(s.maxCells, countCells(words));
    return true;
}

MovieSummary summarise(const std::vector<uint32_t>& words) {
    MovieSummary s;
    if (words.size() < 2) {
        s.wellFormed = false;
        s.problem = "no header";
        return s;
    }
    s.headerFrames = words[1];
    size_t i = 2;
    auto need = [&](size_t k) {
        if (i + k > words.size()) {
            s.wellFormed = false;
            s.problem = "stream cut short";
            return false;
        }
        return true;
    };
    while (i < words.size() && s.wellFormed) {
        const uint32_t shapes = words[i++];
        s.maxShapes = std::max<int64_t>(s.maxShapes, shapes);
        for (uint32_t sh = 0; sh < shapes && s.wellFormed; ++sh) {
            if (!need(2))
                break;
            const uint32_t colour = words[i++];
            const uint32_t alpha = colour >> 24;
            if (((colour >> 16) & 0xFFu) > alpha || ((colour >> 8) & 0xFFu) > alpha ||
                (colour & 0xFFu) > alpha) {
                s.wellFormed = false;
                s.problem = "colour not premultiplied";
            }
            if (alpha < 255u)
                ++s.translucentShapes;
            const uint32_t paths = words[i++];
            for (uint32_t p = 0; p < paths && s.wellFormed; ++p) {
                if (!need(2))
                    break;
                if (words[i] != kTag) {
                    s.wellFormed = false;
                    s.problem = "bad tag";
                    break;
                }
                const uint32_t count = words[i + 1];
                i += 2;
                if (!need(count))
                    break;
                if (!checkPath(&words[i], count, s))
                    s.wellFormed = false;
                i += count;
            }
        }
        if (s.wellFormed)
            ++s.framesPresent;
    }
    return s;
}

// FNV-1a over the bytes: a fingerprint to pin the generated files with.
uint64_t fingerprint(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325u;
    for (const uint8_t b : bytes) {
        h = (h ^ b) * 0x100000001b3u;
    }
    return h;
}

struct Pinned {
    const char* name;
    size_t size;
    uint64_t fingerprint;
};

void expectPinned(const std::string& dir, const std::vector<Pinned>& files) {
    for (const Pinned& pin : files) {
        const std::vector<uint8_t> bytes = contentOf(dir, pin.name);
        EXPECT_EQ(bytes.size(), pin.size) << pin.name;
        EXPECT_EQ(fingerprint(bytes), pin.fingerprint)
            << pin.name << ": now {\"" << pin.name << "\", " << bytes.size() << "u, 0x" << std::hex
            << fingerprint(bytes) << "u}";
    }
}

struct MovieCase {
    const char* file;
    uint32_t frames;
};

class GeneratedMovie : public testing::TestWithParam<MovieCase> {};
} // namespace

TEST_P(GeneratedMovie, HoldsItsHeaderCountOfWellFormedFramesTheRasterizerDrawsInFull) {
    const MovieSummary s = summarise(readMovieWords(GetParam().file));
    ASSERT_TRUE(s.wellFormed) << s.problem;
    EXPECT_EQ(s.headerFrames, GetParam().frames);
    EXPECT_EQ(s.framesPresent, s.headerFrames);
    EXPECT_LE(s.maxCells, kRasterCellLimit);
    EXPECT_GT(s.translucentShapes, 0);
    EXPECT_GT(s.pathsWithSeveralSubpaths, 0);
}

INSTANTIATE_TEST_SUITE_P(Movies, GeneratedMovie,
                         testing::Values(MovieCase{"presents.mvz.gz", timeline::kPresentsFrames},
                                         MovieCase{"tavo01.mvz.gz", timeline::kTavoFrames},
                                         MovieCase{"main02.mvz.gz", timeline::kMainFrames}));

TEST(GeneratedMovies, UseEveryCommandKindAndHundredsOfShapesInTheMainPart) {
    std::array<int64_t, 7> total{};
    for (const char* name : {"presents.mvz.gz", "tavo01.mvz.gz", "main02.mvz.gz"}) {
        const MovieSummary s = summarise(readMovieWords(name));
        for (size_t k = 0; k < total.size(); ++k)
            total[k] += s.commands[k];
    }
    for (uint32_t code : {pathcode::kMove, pathcode::kLine, pathcode::kQuad, pathcode::kCubic,
                          pathcode::kArc, pathcode::kClose}) {
        EXPECT_GT(total[code], 0) << "code " << code;
    }
    EXPECT_GE(summarise(readMovieWords("main02.mvz.gz")).maxShapes, 200);
}

TEST(GeneratedPictures, AreFullSizeAndNotBlank) {
    for (const char* name : {"morvane.raw", "pelu.raw", "greets.raw", "logo.raw", "credits.raw"}) {
        const std::vector<uint8_t> rgb = readFile(name);
        ASSERT_EQ(rgb.size(), 192000u) << name;
        size_t lit = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            lit += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0 ? 1 : 0;
        EXPECT_GT(lit, 500u) << name;
    }
}

TEST(GeneratedPictures, LogoIsOnPureBlackWithoutDarkRims) {
    const std::vector<uint8_t> rgb = readFile("logo.raw");
    ASSERT_EQ(rgb.size(), 192000u);
    size_t lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const uint8_t brightest = std::max({rgb[i], rgb[i + 1], rgb[i + 2]});
        if (brightest == 0)
            continue;
        ++lit;
        // Anything the overlay copies must be clearly visible, never a near-black rim.
        EXPECT_GE(brightest, 24) << "pixel " << i / 3;
    }
    EXPECT_GT(lit, 0u);
    EXPECT_LT(lit, 64000u / 10u) << "a small logo, the rest transparent";
}

// The generated files pinned byte for byte (a movie by the words gzip gives back). They come
// from our own arithmetic, floatmath's sines and cosines (not the C library's) and the DejaVu
// glyph outlines FreeType reads (fonts-dejavu-core), so every machine with those fonts gives
// these bytes. A change to the content tool that changes them changes the pins, and says why.
TEST(GeneratedData, IsTheSameBytesOnEveryMachine) {
    expectPinned(kDir, {
                           {"music.xm", 284598u, 0x7b96436989143327u},
                           {"presents.mvz.gz", 3007428u, 0xc1f71b403d9d60f4u},
                           {"tavo01.mvz.gz", 6838708u, 0x614090ed24a2b3cdu},
                           {"main02.mvz.gz", 6923828u, 0x12714d089c95e2b5u},
                           {"morvane.raw", 192000u, 0x7f6b6c19c6d60c81u},
                           {"pelu.raw", 192000u, 0xe1b510c3726b811au},
                           {"greets.raw", 192000u, 0x7977e8b83d7300d7u},
                           {"credits.raw", 192000u, 0x740eee15e45d5740u},
                           {"logo.raw", 192000u, 0xe1f78dbb7130a23fu},
                       });
}

#if defined(TILSEN_BENCH_MOVIES_DIR)
// The build's 12-frame benchmark movies, pinned the same way: the benchmarks and the
// differential tests compare runs on them.
TEST(GeneratedData, BenchMoviesAreTheSameBytesOnEveryMachine) {
    expectPinned(TILSEN_BENCH_MOVIES_DIR, {
                                              {"glyphs.mvz.gz", 1737980u, 0x93e7cc5e6156852fu},
                                              {"blobs.mvz.gz", 24440u, 0xe36511bd18fbfdb9u},
                                              {"dense.mvz.gz", 959624u, 0x4ac3b16d424b68d6u},
                                              {"arcs.mvz.gz", 84152u, 0xb57722b3c387bebdu},
                                          });
}
#endif
