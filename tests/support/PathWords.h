// Reads a Path back as a list of commands with their first two operands, for comparing
// the output of path filters with hand-worked outlines.
#pragma once

#include <algorithm>
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

// The whole commands the replay reads, as pathcode::Reader yields them.
inline std::vector<PathCommand> commandsOf(const Path& path) {
    std::vector<PathCommand> result;
    pathcode::Reader reader(path.words.get(), static_cast<size_t>(std::max(path.wordCount, 0)));
    pathcode::Command command;
    while (reader.next(command)) {
        PathCommand listed{command.code};
        if (command.operandCount >= 2) {
            listed.x = command.operand(0);
            listed.y = command.operand(1);
        }
        result.push_back(listed);
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
