// Command walk over path words, shared by the listing and the statistics.
#include "PathWalk.h"

#include "geometry/Path.h"

bool PathWalk::next(PathCommand& command) {
    if (position >= count) {
        return false;
    }
    const uint32_t code = words[position];
    if (code >= pathcode::kFirstEnd) {
        return false;
    }
    const auto operands = static_cast<size_t>(pathcode::operandCount(code));
    if (count - position - 1 < operands) {
        return false;
    }
    command.code = code;
    command.operands = words + position + 1;
    command.operandCount = static_cast<int32_t>(operands);
    position += 1 + operands;
    return true;
}
