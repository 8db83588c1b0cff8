// FrameBudget against the player: a frame a writer's budget accepts must read back whole,
// and one it refuses must be refused by the reader, on both sides of each bound.
#include "movie/FrameBudget.h"

#include <gtest/gtest.h>

#include <vector>

#include "MovieTestFiles.h"
#include "movie/MovieWriter.h"

namespace {

struct BudgetCase {
    const char* name;
    std::vector<uint32_t> commandWords; // one command, repeated
    size_t repeats;
    bool fits;
};

std::vector<uint32_t> repeated(const std::vector<uint32_t>& words, size_t repeats) {
    std::vector<uint32_t> out;
    out.reserve(words.size() * repeats);
    for (size_t i = 0; i < repeats; ++i) {
        out.insert(out.end(), words.begin(), words.end());
    }
    return out;
}

class FrameBudgetAgreesWithReader : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(FrameBudgetAgreesWithReader, OnOnePathFrame) {
    const BudgetCase& c = GetParam();
    const std::vector<uint32_t> words = repeated(c.commandWords, c.repeats);
    FrameBudget budget;
    const bool fits = budget.addFrameStart() && budget.addShape() &&
                      budget.addPath(words.data(), static_cast<uint32_t>(words.size()));
    EXPECT_EQ(fits, c.fits) << FrameBudget::boundText(budget.passed());

    TempDirectory dir;
    const std::string file = dir.file("frame.mvz");
    MovieWriter writer;
    ASSERT_TRUE(writer.open(file.c_str(), MovieWriter::Format::kRaw));
    writer.writeHeader(1);
    writer.writeFrameStart(1);
    writer.writeShapeStart(0xff000000u, 1);
    writer.writePath(words.data(), static_cast<uint32_t>(words.size()));
    ASSERT_TRUE(writer.close());
    MoviePlayer reader;
    reader.openFile(file.c_str());
    MovieFrame frame;
    const bool read = reader.readFrame(&frame) == MoviePlayer::FrameStatus::kFrame;
    EXPECT_EQ(read, fits) << "the reader and the budget disagree";
}

// An arc command is 8 words and may flatten into kArcLineBound lines; a line command is
// 3 words and 1 line.
constexpr uint32_t kArc = pathcode::kArc;
constexpr uint32_t kLine = pathcode::kLine;
constexpr size_t kArcsAtLineBound =
    static_cast<size_t>(MoviePlayer::kMaxFrameLines / framebudget::kArcLineBound);
// Line commands whose words alone come within a few bytes of the decoded bound.
constexpr size_t kLinesNearByteBound = MoviePlayer::kMaxFrameBytes / (3 * sizeof(uint32_t));

INSTANTIATE_TEST_SUITE_P(
    Bounds, FrameBudgetAgreesWithReader,
    ::testing::Values(
        BudgetCase{
            "ArcsJustWithinTheLineBound", {kArc, 0, 0, 0, 0, 0, 0, 0}, kArcsAtLineBound, true},
        BudgetCase{
            "ArcsOnePastTheLineBound", {kArc, 0, 0, 0, 0, 0, 0, 0}, kArcsAtLineBound + 1, false},
        BudgetCase{"LinesWellWithinTheByteBound", {kLine, 0, 0}, kLinesNearByteBound - 1000, true},
        BudgetCase{"LinesPastTheByteBound", {kLine, 0, 0}, kLinesNearByteBound + 10, false}),
    [](const ::testing::TestParamInfo<BudgetCase>& param) {
        return std::string(param.param.name);
    });

} // namespace
