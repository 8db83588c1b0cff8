// Movie files through the shared MovieWriter (gzip level 9, fixed header bytes), written
// under a temporary name and put in place only when whole (with every other held file).
#include "MovieOutput.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "movie/MovieWriter.h"

namespace {
// The HeldFiles that takes finished files, if one lives.
HeldFiles* holder = nullptr;
} // namespace

HeldFiles::HeldFiles() {
    if (holder != nullptr) {
        throw std::logic_error("files are already held");
    }
    holder = this;
}

HeldFiles::~HeldFiles() {
    holder = nullptr;
}

void HeldFiles::placeAll() {
    std::string error;
    for (const std::unique_ptr<AtomicFile>& file : files) {
        if (!file->commit(error)) {
            throw std::runtime_error(error);
        }
    }
    files.clear();
}

void writeFileAtomically(const std::string& fileName,
                         const std::function<void(const std::string&)>& write) {
    auto file = std::make_unique<AtomicFile>(fileName);
    std::string error;
    if (!file->create(error)) {
        throw std::runtime_error(error);
    }
    write(file->tempName());
    if (holder != nullptr) {
        holder->files.push_back(std::move(file));
        return;
    }
    if (!file->commit(error)) {
        throw std::runtime_error(error);
    }
}

void writeFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
    writeFileAtomically(fileName, [&](const std::string& tempName) {
        struct Closer {
            void operator()(std::FILE* file) const { std::fclose(file); }
        };
        std::unique_ptr<std::FILE, Closer> file(std::fopen(tempName.c_str(), "wb"));
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
            std::fflush(file.get()) != 0) {
            throw std::runtime_error(fileError(fileName, errno));
        }
        if (std::fclose(file.release()) != 0) {
            throw std::runtime_error(fileError(fileName, errno));
        }
    });
}

void writeMovie(const std::string& fileName, int32_t frameCount,
                const std::function<void(int32_t, DrawList&)>& draw) {
    writeFileAtomically(fileName, [&](const std::string& tempName) {
        MovieWriter writer;
        if (!writer.open(tempName.c_str())) {
            throw std::runtime_error(fileError(fileName, writer.errorNumber()));
        }
        writer.writeHeader(static_cast<uint32_t>(frameCount));
        DrawList list;
        for (int32_t frame = 0; frame < frameCount; ++frame) {
            list.clear();
            draw(frame, list);
            list.writeFrame(writer);
        }
        if (!writer.close()) {
            throw std::runtime_error(fileError(fileName, writer.errorNumber()));
        }
    });
}
