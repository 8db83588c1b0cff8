// The show's options through CLI11. CLI11's own exit codes are not used: a bad command
// line always exits with kUsageExit, after the reason and the usage.
#include "driver/ShowOptions.h"

#include <CLI/CLI.hpp>
#include <ostream>

int32_t parseShowOptions(int argc, const char* const* argv, ShowOptions& options, std::ostream& out,
                         std::ostream& err) {
    CLI::App app{"Morvane TILSEN: the show, in a window, with its music.\n"
                 "Data files are read from the working directory.",
                 "tilsen"};
    bool sharp = false;
    app.add_flag("--sharp", sharp,
                 "Draw the vector scenes at the window's own resolution (up to 3840x2880) "
                 "instead of enlarging 320x200 frames");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        err << "tilsen: " << error.what() << "\n" << app.help();
        return kUsageExit;
    }
    options.sharp = sharp;
    return kRunShow;
}
