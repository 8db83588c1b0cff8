#include "movie/MovieWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "MovieTestFiles.h"

namespace {

// One frame, one shape of colour 0xFF332211 and one path of two words.
void writeSmallMovie(MovieWriter& writer) {
    writer.writeHeader(250, 7);
    writer.writeFrameStart(1);
    writer.writeShapeStart(0xFF332211u, 1);
    const uint32_t words[] = {1u, 0x41A00000u};
    writer.writePath(words, 2);
}

std::vector<uint8_t> gunzip(const std::string& name) {
    gzFile in = gzopen(name.c_str(), "rb");
    std::vector<uint8_t> bytes(4096);
    const int n = gzread(in, bytes.data(), static_cast<unsigned>(bytes.size()));
    gzclose(in);
    bytes.resize(n > 0 ? n : 0);
    return bytes;
}

const std::vector<uint8_t> kSmallStream = {
    0x07, 0,    0,    0,    0xFA, 0,    0,    0,    // header word 0, frame count 250
    0x01, 0,    0,    0,                            // one shape
    0x11, 0x22, 0x33, 0xFF, 0x01, 0,    0,    0,    // colour, one path
    0x48, 0x54, 0x50, 0x5A, 0x02, 0,    0,    0,    // tag "HTPZ", two words
    0x01, 0,    0,    0,    0x00, 0x00, 0xA0, 0x41, // move code, 20.0f
};

TEST(MovieWriter, RawStreamIsLittleEndianWordsInRecordOrder) {
    TempDirectory dir;
    MovieWriter writer;
    ASSERT_TRUE(writer.open(dir.file("raw.mvz").c_str(), MovieWriter::Format::kRaw));
    writeSmallMovie(writer);
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(readFileBytes(dir.file("raw.mvz")), kSmallStream);
}

TEST(MovieWriter, GzipHoldsTheSameStreamAndIsByteForByteRepeatable) {
    TempDirectory dir;
    for (const char* name : {"a.gz", "b.gz"}) {
        MovieWriter writer;
        ASSERT_TRUE(writer.open(dir.file(name).c_str()));
        writeSmallMovie(writer);
        ASSERT_TRUE(writer.close());
    }
    const std::vector<uint8_t> a = readFileBytes(dir.file("a.gz"));
    ASSERT_GE(a.size(), 10u);
    // gzip magic, deflate, no flags (so no name), time stamp 0.
    EXPECT_EQ(a[0], 0x1F);
    EXPECT_EQ(a[1], 0x8B);
    EXPECT_EQ(a[3], 0);
    EXPECT_EQ(a[4] | a[5] | a[6] | a[7], 0);
    EXPECT_EQ(a, readFileBytes(dir.file("b.gz")));
    EXPECT_EQ(gunzip(dir.file("a.gz")), kSmallStream);
}

TEST(MovieWriter, LargeStreamSurvivesManyCompressionChunks) {
    TempDirectory dir;
    std::vector<uint32_t> words(300000);
    uint32_t state = 12345;
    for (uint32_t& w : words) {
        state = state * 1664525u + 1013904223u;
        w = state;
    }
    MovieWriter writer;
    ASSERT_TRUE(writer.open(dir.file("big.gz").c_str()));
    writer.writeWords(words.data(), words.size());
    ASSERT_TRUE(writer.close());

    gzFile in = gzopen(dir.file("big.gz").c_str(), "rb");
    std::vector<uint32_t> back(words.size() + 1);
    const int n = gzread(in, back.data(), static_cast<unsigned>(back.size() * 4));
    gzclose(in);
    ASSERT_EQ(n, static_cast<int>(words.size() * 4));
    back.resize(words.size());
    EXPECT_EQ(back, words); // host is little-endian
}

TEST(MovieWriter, UnwritablePathFailsToOpen) {
    MovieWriter writer;
    EXPECT_FALSE(writer.open("/nonexistent-dir/x.mvz.gz"));
    EXPECT_FALSE(writer.close());
}

} // namespace
