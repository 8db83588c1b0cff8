// The show's options and the enlarged forms of its pictures, overlay and grain.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "driver/FrameScale.h"
#include "driver/Pictures.h"
#include "driver/ShowOptions.h"

namespace {

constexpr int32_t kW = 320;
constexpr int32_t kH = 200;

struct OptionCase {
    std::vector<std::string> args;
    int32_t result;
    bool sharp;
    const char* printed; // expected in the output (result 0) or the error text (result 2)
};

class ShowCommandLine : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ShowCommandLine, ParsesOrRefusesWithUsage) {
    const OptionCase& c = GetParam();
    std::vector<const char*> argv{"tilsen"};
    for (const std::string& a : c.args) {
        argv.push_back(a.c_str());
    }
    ShowOptions options;
    std::ostringstream out;
    std::ostringstream err;
    const int32_t result =
        parseShowOptions(static_cast<int>(argv.size()), argv.data(), options, out, err);
    EXPECT_EQ(result, c.result);
    if (result == kRunShow) {
        EXPECT_EQ(options.sharp, c.sharp);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "");
    } else if (result == 0) {
        EXPECT_NE(out.str().find(c.printed), std::string::npos) << out.str();
    } else {
        EXPECT_NE(err.str().find(c.printed), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("--sharp"), std::string::npos) << "usage missing: " << err.str();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, ShowCommandLine,
    ::testing::Values(OptionCase{{}, kRunShow, false, ""},
                      OptionCase{{"--sharp"}, kRunShow, true, ""},
                      OptionCase{{"--help"}, 0, false, "--sharp"},
                      OptionCase{{"-h"}, 0, false, "--help"},
                      OptionCase{{"--sharpen"}, kUsageExit, false, "--sharpen"},
                      OptionCase{{"movie.mvz"}, kUsageExit, false, "movie.mvz"}));

struct SizeCase {
    int32_t shownWidth, shownHeight, width, height;
};

class SharpFrameSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SharpFrameSize, FollowsTheRectangleWithinBounds) {
    const SizeCase& c = GetParam();
    const FrameRect r = sharpFrameSize(c.shownWidth, c.shownHeight);
    EXPECT_EQ(r.w, c.width);
    EXPECT_EQ(r.h, c.height);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SharpFrameSize,
                         ::testing::Values(SizeCase{1440, 1080, 1440, 1080},
                                           SizeCase{960, 720, 960, 720},
                                           SizeCase{3840, 2880, 3840, 2880},
                                           SizeCase{5120, 3840, 3840, 2880},
                                           SizeCase{0, 0, 320, 240}, SizeCase{-5, 100, 320, 240}));

// A white square of source pixels (100..139, 80..119) on transparent black.
std::vector<uint32_t> squareLogo() {
    std::vector<uint32_t> logo(kW * kH, 0);
    for (int32_t y = 80; y < 120; ++y) {
        for (int32_t x = 100; x < 140; ++x) {
            logo[static_cast<size_t>(y * kW + x)] = 0x00ffffffu;
        }
    }
    return logo;
}

uint32_t darkestChannel(uint32_t p) {
    return std::min({p >> 16 & 0xffu, p >> 8 & 0xffu, p & 0xffu});
}

TEST(SharpOverlay, EnlargedLogoEdgesHaveNoDarkFringe) {
    constexpr int32_t kOutW = 1280;
    constexpr int32_t kOutH = 960;
    const std::vector<uint32_t> logo = squareLogo();
    std::vector<uint32_t> over(kOutW * kOutH);
    scaleOverlay(logo.data(), kW, kH, over.data(), kOutW, kOutH);
    std::vector<uint32_t> frame(kOutW * kOutH, 0xff808080u);
    blendOverlay(frame.data(), over.data(), kOutW, kOutH);
    // Every pixel lies between the grey below and the white logo: never darker.
    int32_t blended = 0;
    for (size_t i = 0; i < frame.size(); ++i) {
        ASSERT_GE(darkestChannel(frame[i]), 0x80u)
            << "pixel " << i % kOutW << "," << i / kOutW << " is 0x" << std::hex << frame[i];
        blended += (frame[i] & 0xffffffu) != 0x808080u && (frame[i] & 0xffffffu) != 0xffffffu;
    }
    // Factor 4 then 800 -> 960 rows: the top and bottom edges are blended, the sides not.
    EXPECT_GT(blended, 0);
    EXPECT_EQ(frame[100 * kOutW + 400], 0xff808080u) << "far outside stays the movie";
    EXPECT_EQ(frame[480 * kOutW + 480], 0xffffffffu) << "inside is the logo";
    // Column 400 is source column 100, the logo's first: x = 399 is source column 99.
    EXPECT_EQ(frame[480 * kOutW + 399] & 0xffffffu, 0x808080u);
    EXPECT_EQ(frame[480 * kOutW + 400] & 0xffffffu, 0xffffffu);
}

TEST(SharpOverlay, AtTheSourceSizeEqualsTheBlackIsTransparentCopy) {
    std::vector<uint32_t> logo = squareLogo();
    logo[5] = 0x00000001u; // nearly black is still opaque
    std::vector<uint32_t> over(kW * kH);
    scaleOverlay(logo.data(), kW, kH, over.data(), kW, kH);
    std::vector<uint32_t> blended(kW * kH);
    std::vector<uint32_t> copied(kW * kH);
    for (size_t i = 0; i < blended.size(); ++i) {
        blended[i] = copied[i] = 0x00123456u + static_cast<uint32_t>(i % 97);
    }
    blendOverlay(blended.data(), over.data(), kW, kH);
    overlayPixels(copied.data(), logo.data(), kW, kH);
    for (size_t i = 0; i < blended.size(); ++i) {
        ASSERT_EQ(blended[i] & 0xffffffu, copied[i] & 0xffffffu) << "pixel " << i;
    }
}

TEST(SharpGrain, OneNoiseLevelPerSourcePixelEnlarged) {
    const uint32_t start = noiseState;
    std::vector<uint32_t> small(kW * kH, 0xff000000u);
    addGreyNoise(small.data(), kW, kH);
    const uint32_t afterSmall = noiseState;

    noiseState = start;
    constexpr int32_t kOutW = 960;
    constexpr int32_t kOutH = 720;
    std::vector<uint32_t> large(kOutW * kOutH, 0xff000000u);
    addGreyNoiseScaled(large.data(), kW, kH, kOutW, kOutH);
    EXPECT_EQ(noiseState, afterSmall) << "the register steps once per source pixel";
    // Output pixel (x, y) lies on source pixel (x / 3, y * 200 / 720).
    for (int32_t y = 0; y < kOutH; y += 7) {
        for (int32_t x = 0; x < kOutW; x += 5) {
            const uint32_t want = small[static_cast<size_t>(y * kH / kOutH * kW + x / 3)];
            ASSERT_EQ(large[static_cast<size_t>(y * kOutW + x)], want) << x << "," << y;
        }
    }
}

} // namespace
