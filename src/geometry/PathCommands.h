// The path's command words: the codes, their operand counts and names, and the one reader
// every walk over the words uses. A path is a code word followed by its float operands
// (stored as their bit patterns), again and again. A replay stops at the first code from
// kFirstEnd on, or at a command whose operands run past the last word; pathcode::Reader
// stops exactly there and says where, so every walk stops where the replay stops.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

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

// Operand words per code, the one table every walk uses. Codes kFirstEnd and above have none.
constexpr int32_t operandCount(uint32_t code) {
    constexpr int32_t counts[kFirstEnd] = {0, 2, 2, 4, 6, 7, 0};
    return code < kFirstEnd ? counts[code] : 0;
}

// The name of each code below kFirstEnd, as the movie tool's text form spells it.
inline constexpr std::array<std::string_view, kFirstEnd> kNames = {"nop",   "move", "line", "quad",
                                                                   "cubic", "arc",  "close"};

// One whole command: its code (below kFirstEnd) and its operand words, where they lie.
struct Command {
    uint32_t code = kNop;
    const uint32_t* operands = nullptr;
    int32_t operandCount = 0;

    float operand(int32_t i) const { return std::bit_cast<float>(operands[i]); }
};

// Reads words [0, count) one whole command at a time. next stops (false) at the end of the
// words, at a code from kFirstEnd on, or at a command whose operands run past the end; the
// reader then stays where it stopped: position() is the first word not read (the end code,
// or the code of the cut command), and ended() says whether every word was read.
class Reader {
public:
    Reader(const uint32_t* words, size_t wordCount) : base(words), count(wordCount) {}

    bool next(Command& command) {
        if (at >= count) {
            return false;
        }
        const uint32_t code = base[at];
        if (code >= kFirstEnd) {
            return false;
        }
        const auto operands = static_cast<size_t>(operandCount(code));
        if (operands > count - at - 1) {
            return false;
        }
        command.code = code;
        command.operands = base + at + 1;
        command.operandCount = static_cast<int32_t>(operands);
        at += 1 + operands;
        return true;
    }

    size_t position() const { return at; }
    // Words from position() on: after an end code, or in a cut command.
    size_t restCount() const { return count - at; }
    bool ended() const { return at == count; }

private:
    const uint32_t* base;
    size_t count;
    size_t at = 0;
};
} // namespace pathcode
