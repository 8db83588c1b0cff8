// Movie files through the shared MovieWriter (gzip level 9, fixed header bytes).
#include "MovieOutput.h"

#include <stdexcept>

#include "movie/MovieWriter.h"

void writeMovie(const std::string& fileName, int32_t frameCount,
                const std::function<void(int32_t, DrawList&)>& draw) {
    MovieWriter writer;
    if (!writer.open(fileName.c_str()))
        throw std::runtime_error("cannot create " + fileName);
    writer.writeHeader(static_cast<uint32_t>(frameCount));
    DrawList list;
    for (int32_t frame = 0; frame < frameCount; ++frame) {
        list.clear();
        draw(frame, list);
        list.writeFrame(writer);
    }
    if (!writer.close())
        throw std::runtime_error("cannot write " + fileName);
}
