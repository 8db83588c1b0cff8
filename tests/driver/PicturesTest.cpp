// Raw picture loading and the full-frame pixel passes.
#include "driver/Pictures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class RawPicture : public ::testing::Test {
protected:
    std::string write(const std::vector<uint8_t>& bytes) {
        const std::string name =
            (std::filesystem::temp_directory_path() /
             ("tilsen_pic_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw"))
                .string();
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        files.push_back(name);
        return name;
    }
    void TearDown() override {
        for (const auto& f : files)
            std::remove(f.c_str());
    }
    std::vector<std::string> files;
};

TEST_F(RawPicture, BytesBecomeRgbWordsInFileOrder) {
    const auto name =
        write({0x12, 0x34, 0x56, 0xFF, 0x00, 0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    const auto pic = loadRawPicture(name.c_str(), 2, 2);
    EXPECT_EQ(pic[0], 0x00123456u);
    EXPECT_EQ(pic[1], 0x00FF0080u);
    EXPECT_EQ(pic[2], 0x00010203u);
    EXPECT_EQ(pic[3], 0x00040506u);
}

TEST_F(RawPicture, BytesPastThePictureAreIgnored) {
    const auto name = write({1, 2, 3, 4, 5, 6, 7, 8, 9});
    const auto pic = loadRawPicture(name.c_str(), 2, 1);
    EXPECT_EQ(pic[0], 0x00010203u);
    EXPECT_EQ(pic[1], 0x00040506u);
}

TEST_F(RawPicture, ShortOrMissingFileLeavesTheRestBlack) {
    const auto name = write({0xAA, 0xBB, 0xCC, 0xDD});
    const auto pic = loadRawPicture(name.c_str(), 3, 1);
    EXPECT_EQ(pic[0], 0x00AABBCCu);
    EXPECT_EQ(pic[1], 0u) << "a partial pixel is not used";
    EXPECT_EQ(pic[2], 0u);

    const auto missing = loadRawPicture("no/such/picture.raw", 320, 200);
    for (int i = 0; i < 320 * 200; ++i)
        ASSERT_EQ(missing[i], 0u) << i;
}

TEST(PixelPasses, OverlayCopiesOnlyNonZeroPixels) {
    std::vector<uint32_t> dst{0x11, 0x22, 0x33, 0x44};
    const std::vector<uint32_t> zeros(4, 0);
    overlayPixels(dst.data(), zeros.data(), 2, 2);
    EXPECT_EQ(dst, (std::vector<uint32_t>{0x11, 0x22, 0x33, 0x44}));

    const std::vector<uint32_t> logo{0, 0x00FFFFFF, 0, 0x00000001};
    overlayPixels(dst.data(), logo.data(), 2, 2);
    EXPECT_EQ(dst, (std::vector<uint32_t>{0x11, 0x00FFFFFF, 0x33, 0x00000001}));

    copyPixels(dst.data(), zeros.data(), 2, 2);
    EXPECT_EQ(dst, zeros);
    copyPixels(dst.data(), logo.data(), 0, 2);
    EXPECT_EQ(dst, zeros) << "a count of 0 does nothing";
}

TEST(PixelPasses, GreyNoiseFollowsTheShiftRegister) {
    noiseState = 0x12345;
    uint32_t first = 0xFF000000;
    addGreyNoise(&first, 1, 1);
    EXPECT_EQ(first, 0xFF090909u);
    EXPECT_EQ(noiseState, 0x400091A2u);

    // Against the bit recurrence b[n+31] = b[n] ^ b[n+3] over a full frame.
    noiseState = 0x12345;
    std::vector<uint8_t> bits;
    for (int i = 0; i < 31; ++i)
        bits.push_back(static_cast<uint8_t>((0x12345u >> i) & 1u));
    std::vector<uint32_t> frame(320 * 200, 0xFF0F0F0F);
    addGreyNoise(frame.data(), 320, 200);
    for (size_t i = 0; i < frame.size(); ++i) {
        ASSERT_EQ(frame[i], 0xFF0F0F0Fu) << "saturated low nibbles never change";
    }
    for (size_t n = 0; n < 64000; ++n)
        bits.push_back(bits[n] ^ bits[n + 3]);
    uint32_t expected = 0;
    for (int i = 0; i < 31; ++i)
        expected |= uint32_t{bits[64000 + static_cast<size_t>(i)]} << i;
    EXPECT_EQ(noiseState, expected);
    EXPECT_EQ(noiseState >> 31, 0u);
}

} // namespace
