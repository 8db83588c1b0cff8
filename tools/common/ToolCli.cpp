// CLI11 throws its help request and its parse errors; they end here, one way for every tool.
#include "ToolCli.h"

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>

namespace toolcli {

CLI::Validator countValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            uint32_t value = 0;
            const char* end = text.data() + text.size();
            const auto result = std::from_chars(text.data(), end, value);
            if (text.empty() || result.ec != std::errc() || result.ptr != end) {
                return "'" + text + "' is not a whole number from 0 to 4294967295";
            }
            return std::string();
        },
        "COUNT");
}

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
