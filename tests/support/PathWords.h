// Reads a Path back as a list of commands with their first two operands, for comparing
// the output of path filters with hand-worked outlines.
#pragma once

#include <bit>
#include <cstdint>
#include <iomanip>
#include <ostream>
#include <vector>

#include "geometry/Path.h"

struct PathCommand {
    uint32_t code;
    float x = 0.0f;
    float y = 0.0f;

    friend bool operator==(const PathCommand&, const PathCommand&) = default;
    friend std::ostream& operator<<(std::ostream& out, const PathCommand& c) {
        return out << std::setprecision(9) << "{" << c.code << ", " << c.x << ", " << c.y << "}";
    }
};

inline std::vector<PathCommand> commandsOf(const Path& path) {
    std::vector<PathCommand> result;
    int32_t i = 0;
    while (i < path.wordCount) {
        const uint32_t code = path.words[i];
        const int32_t count = pathcode::operandCount(code);
        PathCommand command{code};
        if (count >= 2 && i + 2 < path.wordCount) {
            command.x = std::bit_cast<float>(path.words[i + 1]);
            command.y = std::bit_cast<float>(path.words[i + 2]);
        }
        result.push_back(command);
        i += 1 + count;
    }
    return result;
}

inline PathCommand M(float x, float y) {
    return {pathcode::kMove, x, y};
}
inline PathCommand L(float x, float y) {
    return {pathcode::kLine, x, y};
}
inline PathCommand C() {
    return {pathcode::kClose};
}
