// Word storage of a Path: growth, append and insert, and the replay into a PathSink.
// Every walk over the words (insert positions and emit) stops at the end of the words in
// use, also when a trailing command lacks some of its operands.
#include "geometry/Path.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include "geometry/PathSink.h"

namespace {

uint32_t wordOf(float value) {
    return std::bit_cast<uint32_t>(value);
}

} // namespace

Path::Path(const Path& other) {
    appendPath(other);
}

Path& Path::operator=(const Path& other) {
    if (this != &other) {
        clearWords();
        appendPath(other);
    }
    return *this;
}

Path::Path(Path&& other) noexcept
    : words(std::move(other.words)), wordCount(other.wordCount), capacity(other.capacity) {
    other.wordCount = 0;
    other.capacity = 0;
}

Path& Path::operator=(Path&& other) noexcept {
    if (this != &other) {
        words = std::move(other.words);
        wordCount = other.wordCount;
        capacity = other.capacity;
        other.wordCount = 0;
        other.capacity = 0;
    }
    return *this;
}

Path::~Path() = default;

void Path::setWords(const uint32_t* source, int32_t n) {
    clearWords();
    if (n <= 0 || source == nullptr) {
        return;
    }
    // Every word is written by the copy, so the storage is not zeroed first.
    words = std::make_unique_for_overwrite<uint32_t[]>(static_cast<size_t>(n));
    std::copy_n(source, n, words.get());
    wordCount = n;
    capacity = n;
}

void Path::clearWords() {
    words.reset();
    wordCount = 0;
    capacity = 0;
}

void Path::reserveWords(int32_t extra) {
    const int64_t needed = static_cast<int64_t>(wordCount) + std::max(extra, 0);
    if (capacity >= needed) {
        return;
    }
    // Whole steps of kGrowthStep past the current capacity, at least `needed`.
    const int64_t steps = (needed - capacity + kGrowthStep - 1) / kGrowthStep;
    const int64_t grown = capacity + steps * kGrowthStep;
    if (grown > std::numeric_limits<int32_t>::max()) {
        throw std::bad_alloc();
    }
    auto fresh = std::make_unique<uint32_t[]>(static_cast<size_t>(grown));
    if (wordCount > 0) {
        std::copy_n(words.get(), wordCount, fresh.get());
    }
    words = std::move(fresh);
    capacity = static_cast<int32_t>(grown);
}

void Path::appendMoveTo(float x, float y) {
    reserveWords(3);
    words[static_cast<size_t>(wordCount)] = pathcode::kMove;
    words[static_cast<size_t>(wordCount) + 1] = wordOf(x);
    words[static_cast<size_t>(wordCount) + 2] = wordOf(y);
    wordCount += 3;
}

void Path::appendLineTo(float x, float y) {
    reserveWords(3);
    words[static_cast<size_t>(wordCount)] = pathcode::kLine;
    words[static_cast<size_t>(wordCount) + 1] = wordOf(x);
    words[static_cast<size_t>(wordCount) + 2] = wordOf(y);
    wordCount += 3;
}

void Path::appendClose() {
    reserveWords(1);
    words[static_cast<size_t>(wordCount)] = pathcode::kClose;
    wordCount += 1;
}

int32_t Path::commandPosition(int32_t index) const {
    int32_t position = 0;
    for (int32_t i = 0; i < index && position < wordCount; ++i) {
        const uint32_t code = words[static_cast<size_t>(position)];
        position += 1 + pathcode::operandCount(code);
    }
    // A trailing command with missing operands ends the walk at the end of the words.
    return std::min(position, wordCount);
}

void Path::insertWords(int32_t index, const uint32_t* inserted, int32_t k) {
    reserveWords(k);
    // Found after growing: the walk reads the (possibly moved) array in use.
    const int32_t position = commandPosition(index);
    uint32_t* base = words.get();
    std::copy_backward(base + position, base + wordCount, base + wordCount + k);
    std::copy_n(inserted, k, base + position);
    wordCount += k;
}

void Path::insertMoveTo(int32_t index, float x, float y) {
    const uint32_t inserted[3] = {pathcode::kMove, wordOf(x), wordOf(y)};
    insertWords(index, inserted, 3);
}

void Path::insertLineTo(int32_t index, float x, float y) {
    const uint32_t inserted[3] = {pathcode::kLine, wordOf(x), wordOf(y)};
    insertWords(index, inserted, 3);
}

void Path::insertClose(int32_t index) {
    const uint32_t inserted[1] = {pathcode::kClose};
    insertWords(index, inserted, 1);
}

void Path::appendPath(const Path& other) {
    // Read the count first: other may be this path, whose words move when it grows.
    const int32_t n = other.wordCount;
    if (n <= 0) {
        return;
    }
    reserveWords(n);
    std::copy_n(other.words.get(), n, words.get() + wordCount);
    wordCount += n;
}

void Path::emit(PathSink* sink) const {
    if (sink == nullptr) {
        return;
    }
    // Through the reference every command stays a virtual call.
    replay(*sink);
}
