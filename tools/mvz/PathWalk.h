// Splits path words into whole commands. A code of 7 or more, or a command whose
// operands run past the end, stops the walk: the words from there on are "rest".
#pragma once

#include <cstddef>
#include <cstdint>

struct PathCommand {
    uint32_t code = 0;
    const uint32_t* operands = nullptr;
    int32_t operandCount = 0;
};

class PathWalk {
public:
    PathWalk(const uint32_t* pathWords, size_t wordCount) : words(pathWords), count(wordCount) {}
    // The next whole command; false at the end or at the rest.
    bool next(PathCommand& command);
    // Words not part of any whole command (from the position where next stopped).
    size_t restStart() const { return position; }
    size_t restCount() const { return count - position; }

private:
    const uint32_t* words;
    size_t count;
    size_t position = 0;
};
