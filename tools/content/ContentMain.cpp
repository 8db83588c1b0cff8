// tilsen-content OUTDIR: writes every file the show plays into OUTDIR (created if need
// be). The output depends on nothing but this program and the DejaVu fonts. Each file is
// put in place whole: a failed run leaves the files of an earlier one as they were.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "AtomicFile.h"
#include "Content.h"
#include "ToolCli.h"
#include "driver/StandardStreams.h"

int main(int argc, char** argv) {
    // Before any file is opened: a closed stream must not become the output's descriptor.
    keepStandardStreams();
    CLI::App app{"Writes the show's music, movies and pictures into OUTDIR.", "tilsen-content"};
    std::string outDir;
    app.add_option("OUTDIR", outDir, "folder to write into (created if need be)")->required();
    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    AtomicFile::removeTempFilesOnSignals();
    std::error_code ec;
    const std::filesystem::path dir(outDir);
    if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec)) {
        std::fprintf(stderr, "tilsen-content: %s: it exists and is not a folder\n", outDir.c_str());
        return 1;
    }
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "tilsen-content: cannot create the folder %s: %s\n", outDir.c_str(),
                     ec.message().c_str());
        return 1;
    }
    try {
        writeAllContent(dir.string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tilsen-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
