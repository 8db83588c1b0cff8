// The module player on SDL's dummy audio driver: error codes for each kind of bad
// input, and a written tune that plays with a play time that starts at 0 and advances.
// The play-time arithmetic and the volume gain are checked as plain functions.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestTune.h"
#include "platform/ModuleLibrary.h"
#include "support/TestSystem.h"

namespace {

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("tilsen-music-" + std::to_string(processId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const char* name, const std::string& bytes) const {
        const std::string p = (path / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
};

} // namespace

TEST(ModuleLibraryErrors, EachBadStepGivesItsCode) {
    ModuleLibrary library;
    EXPECT_EQ(library.loadSong("music.xm"), kNoSong);
    EXPECT_EQ(library.lastError(), kMusicNotInitialised);

    ASSERT_TRUE(library.init(44100, 64, 2)) << SDL_GetError();
    EXPECT_FALSE(library.init(44100, 64, 2));
    EXPECT_EQ(library.lastError(), kMusicAlreadyInitialised);

    TempDir dir;
    EXPECT_EQ(library.loadSong((dir.path / "missing.xm").string().c_str()), kNoSong);
    EXPECT_EQ(library.lastError(), kMusicFileNotFound);
    EXPECT_EQ(library.loadSong(dir.file("text.xm", std::string(4000, 'x')).c_str()), kNoSong);
    EXPECT_EQ(library.lastError(), kMusicUnknownFormat);
    EXPECT_EQ(library.loadSong(dir.file("empty.xm", "").c_str()), kNoSong);
    EXPECT_EQ(library.lastError(), kMusicUnknownFormat);
    EXPECT_EQ(library.loadSong(dir.path.string().c_str()), kNoSong); // a directory
    EXPECT_EQ(library.lastError(), kMusicFileLoad);

    EXPECT_EQ(library.playTime(kNoSong), 0u);
    EXPECT_FALSE(library.playSong(42));
    EXPECT_EQ(library.lastError(), kMusicInvalidParameter);
    library.close();
    library.close(); // twice is harmless
}

TEST(ModuleLibraryPlayback, PlayTimeStartsAtZeroAdvancesAndNeverGoesBack) {
    TempDir dir;
    const std::vector<uint8_t> bytes = writeXm(makeTestTune());
    const std::string name = dir.file("music.xm", std::string(bytes.begin(), bytes.end()));

    ModuleLibrary library;
    ASSERT_TRUE(library.init(44100, 64, 2)) << SDL_GetError();
    const SongHandle song = library.loadSong(name.c_str());
    ASSERT_NE(song, kNoSong) << library.lastError();
    EXPECT_EQ(library.masterVolume(song), 256);
    EXPECT_FALSE(library.setMasterVolume(song, 257));
    EXPECT_FALSE(library.setMasterVolume(song, -1));
    EXPECT_TRUE(library.setMasterVolume(song, 128));
    EXPECT_EQ(library.masterVolume(song), 128);
    EXPECT_EQ(library.playTime(song), 0u);

    ASSERT_TRUE(library.playSong(song));
    // The dummy device consumes buffers in real time; allow plenty of wall time.
    const auto start = std::chrono::steady_clock::now();
    uint32_t last = 0;
    while (last < 150 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        const uint32_t t = library.playTime(song);
        ASSERT_GE(t, last);
        last = t;
    }
    EXPECT_GE(last, 150u);
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(last, wall + 1.0); // never ahead of the wall clock since play

    EXPECT_TRUE(library.freeSong(song));
    EXPECT_EQ(library.playTime(song), 0u);
    library.close();
}

TEST(HeardFrames, HandedLessOneBufferPlusAtMostOneBufferSinceHandOver) {
    EXPECT_EQ(ModuleLibrary::heardFrames(0, 1024, 500), 0u);
    EXPECT_EQ(ModuleLibrary::heardFrames(1024, 1024, 0), 0u);
    EXPECT_EQ(ModuleLibrary::heardFrames(1024, 1024, 300), 300u);
    EXPECT_EQ(ModuleLibrary::heardFrames(4096, 1024, 100), 3172u);
    EXPECT_EQ(ModuleLibrary::heardFrames(4096, 1024, 5000), 4096u);
}

TEST(ApplyVolume, GainIsLinearInSteps) {
    int16_t s[4] = {1000, -1000, 32767, -32768};
    ModuleLibrary::applyVolume(s, 4, 256);
    EXPECT_EQ(s[0], 1000);
    EXPECT_EQ(s[3], -32768);
    ModuleLibrary::applyVolume(s, 4, 128);
    EXPECT_EQ(s[0], 500);
    EXPECT_EQ(s[1], -500);
    EXPECT_EQ(s[2], 16383);
    EXPECT_EQ(s[3], -16384);
    ModuleLibrary::applyVolume(s, 4, 0);
    for (int16_t v : s)
        EXPECT_EQ(v, 0);
}
