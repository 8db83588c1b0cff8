// Conversion between movies and their text form. Decoding reads through the player's own
// frame reader, so the tool sees a movie exactly as the show does.
#include "MovieText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>
#include <vector>

#include "AtomicFile.h"
#include "MovieCheck.h"
#include "geometry/Path.h"
#include "movie/FrameBudget.h"
#include "movie/MovieFrame.h"
#include "movie/MoviePlayer.h"
#include "movie/MovieWriter.h"

namespace {
constexpr int kHexDigits = 8;
constexpr int kHexBase = 16;

std::string hexWord(uint32_t word) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%08x", word);
    return text.data();
}

bool parseHex(std::string_view token, uint32_t& word) {
    if (token.size() < 3 || token.size() > 2 + kHexDigits || token[0] != '0' ||
        (token[1] != 'x' && token[1] != 'X')) {
        return false;
    }
    const char* end = token.data() + token.size();
    const auto result = std::from_chars(token.data() + 2, end, word, kHexBase);
    return result.ec == std::errc() && result.ptr == end;
}

bool parseUnsigned(std::string_view token, uint32_t& value) {
    const char* end = token.data() + token.size();
    const auto result = std::from_chars(token.data(), end, value);
    return !token.empty() && result.ec == std::errc() && result.ptr == end;
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            ++i;
        }
        if (i > start) {
            tokens.push_back(line.substr(start, i - start));
        }
    }
    return tokens;
}

// Builds "'token' rest" without operator+ chains, which GCC 12 misreports under -Wrestrict.
std::string quoted(std::string_view token, std::string_view rest) {
    std::string text;
    text.reserve(token.size() + rest.size() + 2);
    text += '\'';
    text.append(token);
    text += '\'';
    text.append(rest);
    return text;
}

// The longest line the text form needs is a command with its operands, under 200
// characters; a longer one is refused rather than held, whatever its length. Comment
// lines may be longer: their rest is skipped unread.
constexpr size_t kMaxLineLength = 1024;
// Words one path may hold before its words alone pass the player's decoded-frame bound.
constexpr size_t kMaxPathWords = MoviePlayer::kMaxFrameBytes / sizeof(uint32_t);

enum class LineRead { kLine, kEnd, kTooLong };

// Reads one line (without its newline) into line, holding at most kMaxLineLength
// characters of it.
LineRead readLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    bool any = false;
    bool comment = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return any ? LineRead::kLine : LineRead::kEnd;
        }
        any = true;
        if (c == '\n') {
            return LineRead::kLine;
        }
        if (line.size() < kMaxLineLength) {
            line.push_back(static_cast<char>(c));
            if (line.size() == kMaxLineLength) {
                const size_t first = line.find_first_not_of(" \t\r");
                comment = first != std::string::npos && line[first] == '#';
            }
        } else if (!comment) {
            // Skip to the end of the line so the message can name it, then refuse it.
            while (c != '\n') {
                const int next = buffer->sbumpc();
                if (next == std::char_traits<char>::eof() || next == '\n') {
                    break;
                }
            }
            return LineRead::kTooLong;
        }
    }
}

struct TextShape {
    uint32_t colour = 0;
    std::vector<std::vector<uint32_t>> paths;
};
} // namespace

std::string formatOperand(uint32_t word) {
    const auto value = std::bit_cast<float>(word);
    if (std::isfinite(value)) {
        std::array<char, 32> text{};
        const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
        uint32_t back = 0;
        const std::string decimal(text.data(), result.ptr);
        if (result.ec == std::errc() && parseOperand(decimal, back) && back == word) {
            return decimal;
        }
    }
    return hexWord(word);
}

bool parseOperand(std::string_view token, uint32_t& word) {
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        return parseHex(token, word);
    }
    float value = 0.0f;
    const char* end = token.data() + token.size();
    const auto result = std::from_chars(token.data(), end, value);
    if (token.empty() || result.ec != std::errc() || result.ptr != end) {
        return false;
    }
    word = std::bit_cast<uint32_t>(value);
    return true;
}

bool decodeMovie(const std::string& movieFile, std::ostream& out, std::string& error) {
    MoviePlayer reader;
    const int32_t frameCount = reader.openFile(movieFile.c_str());
    if (reader.hasEnded()) {
        error = movieFile + ": cannot open the file or read its header";
        return false;
    }
    out << "movie " << hexWord(reader.headerWord()) << ' ' << static_cast<uint32_t>(frameCount)
        << '\n';
    MovieFrame frame;
    int64_t framesRead = 0;
    while (reader.readFrame(&frame) == MoviePlayer::FrameStatus::kFrame) {
        ++framesRead;
        out << "frame\n";
        for (const Shape& shape : frame.shapes) {
            out << "shape " << hexWord(shape.paint ? shape.paint->colour : 0u) << '\n';
            for (const Path& path : shape.paths) {
                out << "path\n";
                const auto count = static_cast<size_t>(path.wordCount);
                pathcode::Reader pathWords(path.words.get(), count);
                pathcode::Command command;
                while (pathWords.next(command)) {
                    out << pathcode::kNames[command.code];
                    for (int32_t i = 0; i < command.operandCount; ++i) {
                        out << ' ' << formatOperand(command.operands[i]);
                    }
                    out << '\n';
                }
                for (size_t i = pathWords.position(); i < count; ++i) {
                    out << "word " << hexWord(path.words[i]) << '\n';
                }
            }
        }
    }
    if (reader.endStatus() != MoviePlayer::FrameStatus::kEnd) {
        error = movieFile + ": " + damageText(reader.endStatus()) + " in frame " +
                std::to_string(framesRead);
        return false;
    }
    return static_cast<bool>(out);
}

bool encodeMovie(std::istream& in, const EncodeFiles& files, std::string& error) {
    MovieWriter writer;
    if (!writer.open(files.outputFile.c_str())) {
        error = fileError(files.movieName, writer.errorNumber());
        return false;
    }
    bool haveHeader = false;
    bool inFrame = false;
    uint32_t promisedFrames = 0;
    int64_t headerLine = 0;
    uint32_t framesMade = 0;
    std::vector<TextShape> shapes;
    // The frame being read, against the player's bounds: each path is added when the next
    // record begins (or the text ends), its words checked on the way.
    FrameBudget budget;
    std::vector<uint32_t>* openPath = nullptr;
    const auto closePath = [&]() {
        if (openPath == nullptr) {
            return true;
        }
        const bool fits = budget.addPath(openPath->data(), static_cast<uint32_t>(openPath->size()));
        openPath = nullptr;
        return fits;
    };
    const auto flushFrame = [&]() {
        if (!inFrame) {
            return;
        }
        writer.writeFrameStart(static_cast<uint32_t>(shapes.size()));
        for (const TextShape& shape : shapes) {
            writer.writeShapeStart(shape.colour, static_cast<uint32_t>(shape.paths.size()));
            for (const auto& words : shape.paths) {
                writer.writePath(words.data(), static_cast<uint32_t>(words.size()));
            }
        }
        shapes.clear();
    };

    std::string line;
    int64_t lineNumber = 0;
    const auto fail = [&](const std::string& what) {
        error = files.textName + ": line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    const auto overBudget = [&]() {
        return fail("frame " + std::to_string(framesMade - 1) +
                    " would not play: " + FrameBudget::boundText(budget.passed()));
    };
    for (;;) {
        const LineRead read = readLine(in, line);
        if (read == LineRead::kEnd) {
            break;
        }
        ++lineNumber;
        if (read == LineRead::kTooLong) {
            return fail("longer than " + std::to_string(kMaxLineLength) +
                        " characters, more than any record needs");
        }
        const std::vector<std::string_view> tokens = splitWords(line);
        if (tokens.empty() || tokens[0][0] == '#') {
            continue;
        }
        const std::string_view keyword = tokens[0];
        if (!haveHeader) {
            uint32_t word0 = 0;
            uint32_t frameCount = 0;
            if (keyword != "movie" || tokens.size() != 3 || !parseHex(tokens[1], word0) ||
                !parseUnsigned(tokens[2], frameCount)) {
                return fail("expected 'movie <hex header word> <frame count>'");
            }
            writer.writeHeader(frameCount, word0);
            promisedFrames = frameCount;
            headerLine = lineNumber;
            haveHeader = true;
            continue;
        }
        if (keyword == "frame") {
            if (tokens.size() != 1) {
                return fail("'frame' takes nothing");
            }
            if (!closePath()) {
                return overBudget();
            }
            flushFrame();
            inFrame = true;
            ++framesMade;
            budget = FrameBudget();
            budget.addFrameStart();
            continue;
        }
        if (keyword == "shape") {
            uint32_t colour = 0;
            if (!inFrame || tokens.size() != 2 || !parseHex(tokens[1], colour)) {
                return fail("expected 'shape <hex colour>' inside a frame");
            }
            if (!closePath() || !budget.addShape()) {
                return overBudget();
            }
            shapes.push_back({colour, {}});
            continue;
        }
        if (keyword == "path") {
            if (shapes.empty() || tokens.size() != 1) {
                return fail("'path' takes nothing and belongs to a shape");
            }
            if (!closePath()) {
                return overBudget();
            }
            shapes.back().paths.emplace_back();
            openPath = &shapes.back().paths.back();
            continue;
        }
        if (shapes.empty() || shapes.back().paths.empty()) {
            return fail(quoted(keyword, " outside a path"));
        }
        std::vector<uint32_t>& words = shapes.back().paths.back();
        // A path's words alone past the decoded-frame bound: refused before it grows more.
        if (words.size() >= kMaxPathWords) {
            return fail("frame " + std::to_string(framesMade - 1) + " would not play: " +
                        FrameBudget::boundText(FrameBudget::Bound::kDecodedBytes));
        }
        if (keyword == "word") {
            uint32_t word = 0;
            if (tokens.size() != 2 || !parseHex(tokens[1], word)) {
                return fail("expected 'word <hex word>'");
            }
            words.push_back(word);
            continue;
        }
        uint32_t code = 0;
        while (code < pathcode::kFirstEnd && keyword != pathcode::kNames[code]) {
            ++code;
        }
        if (code == pathcode::kFirstEnd) {
            return fail(quoted(keyword, " is not a command"));
        }
        const auto operands = static_cast<size_t>(pathcode::operandCount(code));
        if (tokens.size() != operands + 1) {
            return fail(quoted(keyword, " takes " + std::to_string(operands) + " operands"));
        }
        words.push_back(code);
        for (size_t i = 1; i < tokens.size(); ++i) {
            uint32_t word = 0;
            if (!parseOperand(tokens[i], word)) {
                return fail(quoted(tokens[i], " is not an operand"));
            }
            words.push_back(word);
        }
    }
    if (!haveHeader) {
        lineNumber = 0;
        return fail("no 'movie' header line");
    }
    if (!closePath()) {
        return overBudget();
    }
    flushFrame();
    if (framesMade < promisedFrames) {
        lineNumber = headerLine;
        return fail("the header promises " + std::to_string(promisedFrames) +
                    " frames, the text holds " + std::to_string(framesMade));
    }
    if (!writer.close()) {
        error = fileError(files.movieName, writer.errorNumber());
        return false;
    }
    return true;
}
