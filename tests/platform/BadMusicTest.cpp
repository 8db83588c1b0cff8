// Music files that are not what the show expects, loaded through the module library on
// SDL's dummy audio driver: each row gives its error code (whose text the show prints
// before exiting with status 1), leaves no file open, and leaves the library able to load
// a good module afterwards.

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestTune.h"
#include "platform/LibraryMusic.h"
#include "platform/ModuleLibrary.h"
#include "support/OpenFiles.h"

namespace {

struct MusicCase {
    const char* name;
    // Puts something at path, given the bytes of a good module.
    std::function<void(const std::string& path, const std::vector<uint8_t>& tune)> make;
    int32_t error;
    const char* text;
    // Why the row cannot exist on this system (support/TestSystem.h), or nullptr.
    const char* (*missingHere)() = [] { return static_cast<const char*>(nullptr); };
};

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t count) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
}

const MusicCase kMusicCases[] = {
    {"Missing", [](const std::string&, const std::vector<uint8_t>&) {}, kMusicFileNotFound,
     "File not found"},
    {"Empty", [](const std::string& p, const std::vector<uint8_t>& t) { writeBytes(p, t, 0); },
     kMusicUnknownFormat, "Unknown file format"},
    {"NotAModule",
     [](const std::string& p, const std::vector<uint8_t>&) {
         std::ofstream(p) << std::string(3000, 'x');
     },
     kMusicUnknownFormat, "Unknown file format"},
    // The signature and part of the song header: 80 of its 336 header bytes.
    {"CutInTheHeader",
     [](const std::string& p, const std::vector<uint8_t>& t) { writeBytes(p, t, 80); },
     kMusicUnknownFormat, "Unknown file format"},
    {"Directory",
     [](const std::string& p, const std::vector<uint8_t>&) {
         std::filesystem::create_directory(p);
     },
     kMusicFileLoad, "Error loading file"},
    {"NamedPipe", [](const std::string& p, const std::vector<uint8_t>&) { makeNamedPipe(p); },
     kMusicFileLoad, "Error loading file", noNamedPipes},
    {"Device", [](const std::string& p, const std::vector<uint8_t>&) { linkToEndlessDevice(p); },
     kMusicFileLoad, "Error loading file", noEndlessDevice},
};

void PrintTo(const MusicCase& row, std::ostream* out) {
    *out << row.name;
}

class MusicFiles : public ::testing::TestWithParam<MusicCase> {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("tilsen-badmusic-" + std::to_string(processId()) + "-" + GetParam().name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_P(MusicFiles, FailWithTheirCodeAndLeaveNothingOpen) {
    if (const char* why = GetParam().missingHere()) {
        GTEST_SKIP() << why;
    }
    const std::vector<uint8_t> tune = writeXm(makeTestTune());
    const std::string bad = (dir / "music.xm").string();
    GetParam().make(bad, tune);
    const std::string good = (dir / "good.xm").string();
    writeBytes(good, tune, tune.size());

    ModuleLibrary library;
    ASSERT_TRUE(library.init(44100, 64, 2));
    const int filesBefore = openFileCount();
    EXPECT_EQ(library.loadSong(bad.c_str()), kNoSong);
    EXPECT_EQ(library.lastError(), GetParam().error);
    EXPECT_STREQ(errorText(library.lastError()), GetParam().text);
    EXPECT_EQ(openFileCount(), filesBefore);

    const SongHandle song = library.loadSong(good.c_str());
    EXPECT_NE(song, kNoSong);
    EXPECT_TRUE(library.freeSong(song));
    library.close();
}

INSTANTIATE_TEST_SUITE_P(BadInput, MusicFiles, ::testing::ValuesIn(kMusicCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
