// Picture files that are not what the show expects. Each row puts something in the place
// of a picture; the loader must still return a full 320x200 picture holding the pixels the
// file supplied (black for the rest), keep its memory to the picture and one file buffer,
// and leave no file open.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/Pictures.h"
#include "movie/MovieTestFiles.h"
#include "support/AllocationTracker.h"
#include "support/OpenFiles.h"

namespace {

constexpr int32_t kW = 320;
constexpr int32_t kH = 200;
constexpr size_t kPictureBytes = kW * kH * 3; // 192,000

// Distinct, non-zero-ish bytes so that a pixel built from the wrong offset shows.
std::vector<uint8_t> patternBytes(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t k = 0; k < n; ++k) {
        bytes[k] = static_cast<uint8_t>(k * 7 + 3);
    }
    return bytes;
}

struct PictureCase {
    const char* name;
    // Puts something at path; returns the bytes a reader can get from it.
    std::function<std::vector<uint8_t>(const std::string& path)> make;
    // Skip when this returns true (the row cannot be set up here).
    std::function<bool(const std::string& path)> unusable = [](const std::string&) {
        return false;
    };
    // Why the row cannot exist on this system (support/TestSystem.h), or nullptr.
    const char* (*missingHere)() = [] { return static_cast<const char*>(nullptr); };
};

std::vector<uint8_t> fileOf(const std::string& path, size_t n) {
    const std::vector<uint8_t> bytes = patternBytes(n);
    writeFileBytes(path, bytes);
    return bytes;
}

const PictureCase kPictureCases[] = {
    {"Missing", [](const std::string&) { return std::vector<uint8_t>{}; }},
    {"Empty", [](const std::string& p) { return fileOf(p, 0); }},
    {"ShortByAPartPixel", [](const std::string& p) { return fileOf(p, 1000); }},
    {"Exact", [](const std::string& p) { return fileOf(p, kPictureBytes); }},
    {"LongerThanAPicture", [](const std::string& p) { return fileOf(p, kPictureBytes + 5001); }},
    {"Directory",
     [](const std::string& p) {
         std::filesystem::create_directory(p);
         return std::vector<uint8_t>{};
     }},
    // Opening a pipe without a writer would wait for one forever.
    {"NamedPipe",
     [](const std::string& p) {
         makeNamedPipe(p);
         return std::vector<uint8_t>{};
     },
     [](const std::string&) { return false; }, noNamedPipes},
    {"Unreadable",
     [](const std::string& p) {
         fileOf(p, kPictureBytes);
         setReadable(p, false);
         return std::vector<uint8_t>{};
     },
     // Root reads it anyway (CI runs as root): the row then runs as another user.
     [](const std::string& p) { return std::ifstream(p).good(); }, noUnreadableFiles},
};

// In a child that has given up root: the picture of an unreadable file is all black and
// nothing is left open. Exit status 0 when so.
[[noreturn]] void loadAsNobody(const std::string& path) {
    if (!becomeNobody()) {
        std::exit(2);
    }
    const int filesBefore = openFileCount();
    const std::unique_ptr<uint32_t[]> picture = loadRawPicture(path.c_str(), kW, kH);
    const bool black =
        std::all_of(picture.get(), picture.get() + kW * kH, [](uint32_t p) { return p == 0; });
    std::exit(black && openFileCount() == filesBefore ? 0 : 1);
}

void PrintTo(const PictureCase& row, std::ostream* out) {
    *out << row.name;
}

class PictureFiles : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureFiles, GiveAFullPictureOfTheBytesPresentAndLeaveNothingOpen) {
    if (const char* why = GetParam().missingHere()) {
        GTEST_SKIP() << why;
    }
    TempDirectory dir;
    const std::string path = dir.file("pelu.raw");
    const std::vector<uint8_t> bytes = GetParam().make(path);
    if (GetParam().unusable(path)) {
        if (!isSuperuser()) {
            GTEST_SKIP() << "the file can be read here anyway";
        }
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(loadAsNobody(path), ::testing::ExitedWithCode(0), "");
        setReadable(path, true);
        return;
    }
    const int filesBefore = openFileCount();

    allocationtracker::start();
    std::unique_ptr<uint32_t[]> picture = loadRawPicture(path.c_str(), kW, kH);
    allocationtracker::stop();

    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(openFileCount(), filesBefore);
    // The picture and the bytes of one picture; nothing grows with the file.
    EXPECT_LE(allocationtracker::peakBytes(), kW * kH * 4 + kPictureBytes + 4096);

    const size_t whole = std::min(bytes.size(), kPictureBytes) / 3;
    int wrong = 0;
    for (size_t i = 0; i < size_t{kW} * kH && wrong < 5; ++i) {
        const uint32_t expected = i < whole ? uint32_t{bytes[3 * i]} << 16 |
                                                  uint32_t{bytes[3 * i + 1]} << 8 |
                                                  uint32_t{bytes[3 * i + 2]}
                                            : 0u;
        if (picture[i] != expected) {
            ++wrong;
            ADD_FAILURE() << "pixel " << i << ": 0x" << std::hex << picture[i] << ", expected 0x"
                          << expected;
        }
    }
    if (std::filesystem::exists(path)) {
        setReadable(path, true);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInput, PictureFiles, ::testing::ValuesIn(kPictureCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
