// Music start-up over a scripted library: the call order on success, and for each
// failure the one line on standard output and exit status 1 (checked in a death-test
// child whose standard output is joined to standard error).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/LibraryMusic.h"
#include "support/TestSystem.h"

namespace {

class ScriptedLibrary : public MusicLibrary {
public:
    float version() override {
        calls.push_back("version");
        return libraryVersion;
    }
    bool init(int32_t rate, int32_t channels, uint32_t flags) override {
        calls.push_back("init " + std::to_string(rate) + " " + std::to_string(channels) + " " +
                        std::to_string(flags));
        error = initError;
        return initError == 0;
    }
    int32_t lastError() override { return error; }
    void close() override { calls.push_back("close"); }
    SongHandle loadSong(const char* name) override {
        calls.push_back(std::string("load ") + name);
        error = loadError;
        return loadError == 0 ? 7 : kNoSong;
    }
    bool playSong(SongHandle s) override {
        calls.push_back("play " + std::to_string(s));
        return true;
    }
    bool freeSong(SongHandle s) override {
        calls.push_back("free " + std::to_string(s));
        return true;
    }
    uint32_t playTime(SongHandle s) override { return s == 7 ? 1234u : 0u; }
    int32_t masterVolume(SongHandle) override { return 256; }
    bool setMasterVolume(SongHandle s, int32_t v) override {
        calls.push_back("volume " + std::to_string(s) + " " + std::to_string(v));
        return true;
    }

    std::vector<std::string> calls;
    float libraryVersion = 3.6f;
    int32_t initError = 0;
    int32_t loadError = 0;
    int32_t error = 0;
};

void startWithStdoutOnStderr(LibraryMusic& music) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    music.startMusic();
}

} // namespace

TEST(MusicStart, SuccessRunsVersionInitLoadPlayThenStopFreesAndCloses) {
    ScriptedLibrary library;
    LibraryMusic music(library);
    music.startMusic();
    EXPECT_EQ(music.playTime(), 1234u);
    music.setMasterVolume(200);
    music.stopMusic();
    EXPECT_EQ(library.calls,
              (std::vector<std::string>{"version", "init 44100 64 2", "load music.xm", "play 7",
                                        "volume 7 200", "free 7", "close"}));
}

using MusicStartDeathTest = ::testing::Test;

TEST_F(MusicStartDeathTest, OldLibraryVersionPrintsTheRequiredVersion) {
    ScriptedLibrary library;
    library.libraryVersion = 3.59f;
    LibraryMusic music(library);
    EXPECT_EXIT(
        startWithStdoutOnStderr(music), ::testing::ExitedWithCode(1),
        "^Error : You are using the wrong DLL version!  You should be using FMOD 3\\.60\n$");
}

TEST_F(MusicStartDeathTest, EachFailurePrintsItsTextAndExitsOne) {
    struct Case {
        int32_t initError;
        int32_t loadError;
        const char* line;
    };
    // A missing file also says, on standard error, where it was looked for and what to do
    // there. (Windows' death tests take gtest's simple expressions: no brackets.)
    const std::string notFound =
        std::string("^File not found\n.*: music\\.xm was not found in .+; .*") +
        missingMusicAdvice() + "\n$";
    const Case cases[] = {
        {3, 0, "^Error initializing output device\\.\n$"},
        {0, 9, notFound.c_str()},
        {0, 10, "^Unknown file format\n$"},
        {0, 11, "^Error loading file\n$"},
        {0, 12, "^Not enough memory \n$"},
        {0, 99, "^Unknown error\n$"},
    };
    for (const Case& c : cases) {
        ScriptedLibrary library;
        library.initError = c.initError;
        library.loadError = c.loadError;
        LibraryMusic music(library);
        EXPECT_EXIT(startWithStdoutOnStderr(music), ::testing::ExitedWithCode(1), c.line) << c.line;
    }
}

TEST(ErrorText, TableAndUnknownCodes) {
    EXPECT_STREQ(errorText(0), "No errors");
    EXPECT_STREQ(errorText(3), "Error initializing output device.");
    EXPECT_STREQ(errorText(4), "The output device is already in use and cannot be reused.");
    EXPECT_STREQ(errorText(6), "Soundcard does not support the features needed for this "
                               "soundsystem (16bit stereo output)");
    EXPECT_STREQ(errorText(9), "File not found");
    EXPECT_STREQ(errorText(10), "Unknown file format");
    EXPECT_STREQ(errorText(11), "Error loading file");
    EXPECT_STREQ(errorText(12), "Not enough memory ");
    EXPECT_STREQ(errorText(13), "The version number of this file format is not supported");
    EXPECT_STREQ(errorText(14), "An invalid parameter was passed to this function");
    EXPECT_STREQ(errorText(18), "Required Mediaplayer codec is not installed");
    EXPECT_STREQ(errorText(19), "Unknown error");
    EXPECT_STREQ(errorText(-1), "Unknown error");
    EXPECT_STREQ(errorText(1 << 30), "Unknown error");
}
