// tilsen-content OUTDIR: writes every file the show plays into OUTDIR (created if need
// be). The output depends on nothing but this program and the DejaVu fonts.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "Content.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tilsen-content OUTDIR\n");
        return 2;
    }
    try {
        const std::filesystem::path dir(argv[1]);
        std::filesystem::create_directories(dir);
        writeAllContent(dir.string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tilsen-content: %s\n", e.what());
        return 1;
    }
    return 0;
}
