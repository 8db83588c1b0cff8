// tilsen-sound-check: opens the sound output the way the show does (same library, same
// rate, same choice of drivers) and closes it again. Status 0 when it opened, 1 when not;
// ./demo.sh runs it to choose SDL's silent driver on a machine without a sound device.
#include <cstdio>

#include "ToolCli.h"
#include "platform/LibraryMusic.h"
#include "platform/ModuleLibrary.h"

int main(int argc, char** argv) {
    CLI::App app{"Opens and closes the show's sound output. Status 0 when a sound device could be "
                 "opened, 1 when not.",
                 "tilsen-sound-check"};
    bool quiet = false;
    app.add_flag("-q,--quiet", quiet, "print nothing, give only the status");
    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    ModuleLibrary library;
    const bool opened = library.init(LibraryMusic::kMixRate, LibraryMusic::kSoftwareChannels,
                                     LibraryMusic::kInitFlags);
    if (!quiet) {
        std::printf("%s\n", opened ? "a sound device opened" : "no sound device could be opened");
    }
    if (opened) {
        library.close();
    }
    return opened ? 0 : 1;
}
