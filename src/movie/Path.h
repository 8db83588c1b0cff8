// One outline as a flat, growable array of 32-bit command words: a code word followed
// by its float operands (stored as their bit patterns). The movie file stores paths in
// exactly this form, so decoding a path is a copy of its words.
#pragma once

#include <cstdint>
#include <memory>

class PathSink;

namespace pathcode {
inline constexpr uint32_t kNop = 0;
inline constexpr uint32_t kMove = 1;
inline constexpr uint32_t kLine = 2;
inline constexpr uint32_t kQuad = 3;
inline constexpr uint32_t kCubic = 4;
inline constexpr uint32_t kArc = 5;
inline constexpr uint32_t kClose = 6;
// Codes from here on end a replay.
inline constexpr uint32_t kFirstEnd = 7;

// Operand words per code, the one table both the position walk and the replay use.
// Codes kFirstEnd and above have none.
constexpr int32_t operandCount(uint32_t code) {
    constexpr int32_t counts[kFirstEnd] = {0, 2, 2, 4, 6, 7, 0};
    return code < kFirstEnd ? counts[code] : 0;
}
} // namespace pathcode

class Path {
public:
    // Storage grows in steps of this many words.
    static constexpr int32_t kGrowthStep = 256;

    Path() = default;
    Path(const Path& other);
    Path& operator=(const Path& other);
    Path(Path&& other) noexcept;
    Path& operator=(Path&& other) noexcept;
    virtual ~Path();

    void setWords(const uint32_t* source, int32_t n);
    void clearWords();
    void reserveWords(int32_t extra);

    void appendMoveTo(float x, float y);
    void appendLineTo(float x, float y);
    void appendClose();
    void insertMoveTo(int32_t index, float x, float y);
    void insertLineTo(int32_t index, float x, float y);
    void insertClose(int32_t index);
    void appendPath(const Path& other);

    // Replays the words into sink as PathSink commands.
    void emit(PathSink* sink) const;

    // Word offset of command number index (0 for index <= 0), or wordCount when the
    // path holds fewer commands. Never past the words in use.
    int32_t commandPosition(int32_t index) const;

    std::unique_ptr<uint32_t[]> words;
    int32_t wordCount = 0;
    int32_t capacity = 0;

private:
    // Inserts k words before command number index.
    void insertWords(int32_t index, const uint32_t* inserted, int32_t k);
};
