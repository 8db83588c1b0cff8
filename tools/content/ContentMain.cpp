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

int main(int argc, char** argv) {
    CLI::App app{"Writes the show's music, movies and pictures into OUTDIR.", "tilsen-content"};
    std::string outDir;
    app.add_option("OUTDIR", outDir, "folder to write into (created if need be)")->required();
    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    AtomicFile::removeTempFilesOnSignals();
    try {
        const std::filesystem::path dir(outDir);
        std::filesystem::create_directories(dir);
        writeAllContent(dir.string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tilsen-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
