// One outline as a flat, growable array of 32-bit command words: a code word followed
// by its float operands (stored as their bit patterns; geometry/PathCommands.h). The movie
// file stores paths in exactly this form, so decoding a path is a copy of its words.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry/PathCommands.h"

class PathSink;

class Path {
public:
    // Storage grows in steps of this many words.
    static constexpr int32_t kGrowthStep = 256;

    Path() = default;
    Path(const Path& other);
    Path& operator=(const Path& other);
    Path(Path&& other) noexcept;
    Path& operator=(Path&& other) noexcept;
    // Virtual so that a path type derived for a tool is destroyed whole through a Path
    // pointer; nothing here derives from it.
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
    // The same replay into anything with PathSink's command functions, called directly:
    // beginPath, then one call per command, then endPath unless an end code or a command
    // with missing operands stops the replay first.
    template <class Sink> void replay(Sink& sink) const {
        replayWords(words.get(), wordCount, sink);
    }
    // The replay of a path holding words [0, wordCount), read where they lie.
    template <class Sink>
    static void replayWords(const uint32_t* words, int32_t wordCount, Sink& sink);

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

template <class Sink>
void Path::replayWords(const uint32_t* const base, const int32_t wordCount, Sink& sink) {
    sink.beginPath();
    pathcode::Reader reader(base, wordCount > 0 ? static_cast<size_t>(wordCount) : 0);
    pathcode::Command command;
    while (reader.next(command)) {
        auto f = [&command](int32_t i) { return command.operand(i); };
        switch (command.code) {
        case pathcode::kMove:
            sink.moveTo(f(0), f(1));
            break;
        case pathcode::kLine:
            sink.lineTo(f(0), f(1));
            break;
        case pathcode::kQuad:
            sink.quadTo(f(0), f(1), f(2), f(3));
            break;
        case pathcode::kCubic:
            sink.cubicTo(f(0), f(1), f(2), f(3), f(4), f(5));
            break;
        case pathcode::kArc:
            sink.arcTo(f(0), f(1), f(2), f(3), f(4), f(5), f(6));
            sink.closePath();
            break;
        case pathcode::kClose:
            sink.closePath();
            break;
        default: // kNop
            break;
        }
    }
    // An end code or a command with missing operands stops the replay before the end.
    if (reader.ended()) {
        sink.endPath();
    }
}
