// CLI11 throws its help request and its parse errors; they end here, one way for every tool.
#include "ToolCli.h"

#include <iostream>

namespace toolcli {

int parse(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return kParsed;
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << e.what() << "\n" << app.help();
        return kUsageStatus;
    }
}

} // namespace toolcli
