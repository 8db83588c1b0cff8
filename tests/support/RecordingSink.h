// A PathSink that records every command it receives (in `calls`) and every straight
// line that reaches emitLine (in `lines`). Commands are still carried out by PathSink, so
// the pen, the subpath start and the flattening behave as in any other sink.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "geometry/PathSink.h"

struct RecordedCall {
    std::string name;
    std::vector<float> args;

    friend bool operator==(const RecordedCall&, const RecordedCall&) = default;
    friend std::ostream& operator<<(std::ostream& out, const RecordedCall& call) {
        out << call.name << "(";
        for (size_t i = 0; i < call.args.size(); ++i)
            out << (i ? ", " : "") << call.args[i];
        return out << ")";
    }
};

struct RecordedLine {
    float x0, y0, x1, y1;

    friend bool operator==(const RecordedLine&, const RecordedLine&) = default;
    friend std::ostream& operator<<(std::ostream& out, const RecordedLine& line) {
        return out << "(" << line.x0 << ", " << line.y0 << ")-(" << line.x1 << ", " << line.y1
                   << ")";
    }
};

class RecordingSink : public PathSink {
public:
    void beginPath() override {
        calls.push_back({"beginPath", {}});
        PathSink::beginPath();
    }
    void moveTo(float x, float y) override {
        calls.push_back({"moveTo", {x, y}});
        PathSink::moveTo(x, y);
    }
    void lineTo(float x, float y) override {
        calls.push_back({"lineTo", {x, y}});
        PathSink::lineTo(x, y);
    }
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) override {
        calls.push_back({"cubicTo", {c1x, c1y, c2x, c2y, x, y}});
        PathSink::cubicTo(c1x, c1y, c2x, c2y, x, y);
    }
    void quadTo(float cx, float cy, float x, float y) override {
        calls.push_back({"quadTo", {cx, cy, x, y}});
        PathSink::quadTo(cx, cy, x, y);
    }
    void arcTo(float rx, float ry, float x, float y, float e, float f, float g) override {
        calls.push_back({"arcTo", {rx, ry, x, y, e, f, g}});
        PathSink::arcTo(rx, ry, x, y, e, f, g);
    }
    void closePath() override {
        calls.push_back({"closePath", {}});
        PathSink::closePath();
    }
    void endPath() override {
        calls.push_back({"endPath", {}});
        PathSink::endPath();
    }
    void emitLine(float x0, float y0, float x1, float y1) override {
        lines.push_back({x0, y0, x1, y1});
    }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& call : calls)
            result.push_back(call.name);
        return result;
    }

    std::vector<RecordedCall> calls;
    std::vector<RecordedLine> lines;
};
