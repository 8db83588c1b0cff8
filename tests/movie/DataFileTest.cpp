// Data files are read as the bytes they hold, on every system: a C runtime that opens files
// in text mode (Windows without _O_BINARY) folds CR LF and stops at 0x1A, and a movie then
// reads short or not at all. Only regular files open: a folder or a device is refused with
// the reason in errno.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "movie/DataFile.h"
#include "movie/MovieTestFiles.h"
#include "support/TestSystem.h"

namespace {

std::vector<uint8_t> readAll(int fd) {
    std::vector<uint8_t> bytes;
    uint8_t block[97];
    for (;;) {
        const auto got = read(fd, block, sizeof block);
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
    return bytes;
}

TEST(DataFile, ReadsEveryByteAsItIsStored) {
    // CR LF pairs, lone CR and LF, 0x1A (a text-mode end of file) early on, and every value.
    std::vector<uint8_t> bytes = {'M', 'V', 0x0D, 0x0A, 0x1A, 0x00, 0x0A, 0x0D, 0x0D, 0x0A, 0x1A};
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<uint8_t>(value));
        }
    }
    TempDirectory dir;
    const std::string path = dir.file("bytes.mvz.gz");
    writeFileBytes(path, bytes);
    const int fd = openDataFile(path.c_str());
    ASSERT_GE(fd, 0) << path;
    const std::vector<uint8_t> read = readAll(fd);
    close(fd);
    ASSERT_EQ(read.size(), bytes.size());
    EXPECT_EQ(read, bytes);
}

TEST(DataFile, RefusesWhatIsNotARegularFileWithTheReason) {
    TempDirectory dir;
    errno = 0;
    EXPECT_EQ(openDataFile(dir.file("missing.raw").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);

    std::filesystem::create_directory(dir.file("folder.raw"));
    errno = 0;
    EXPECT_EQ(openDataFile(dir.file("folder.raw").c_str()), -1);
    EXPECT_EQ(errno, EISDIR);

    errno = 0;
    EXPECT_EQ(openDataFile(nullDevice()), -1) << nullDevice();
    EXPECT_EQ(errno, EINVAL) << nullDevice();

    errno = 0;
    EXPECT_EQ(openDataFile(nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
}

} // namespace
