// CLI11 throws its help request and its parse errors; they end here, one way for every tool.
#include "ToolCli.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

namespace toolcli {

std::string levelOptionName(cpu::SimdLevel level) {
    std::string name = cpu::levelName(level);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

CLI::Option* addLevelOption(CLI::App& app, cpu::SimdLevel& level, const std::string& what) {
    const std::vector<cpu::SimdLevel> levels = cpu::availableLevels();
    std::vector<std::string> names;
    for (const cpu::SimdLevel l : levels) {
        names.push_back(levelOptionName(l));
    }
    // The check runs first, so the name is always among them.
    const auto pick = [&level, levels, names](const std::string& name) {
        level = levels[static_cast<size_t>(std::find(names.begin(), names.end(), name) -
                                           names.begin())];
    };
    return app
        .add_option_function<std::string>(
            "--level", pick,
            what + " (default the machine's: " + levelOptionName(cpu::machineLevel()) + ")")
        ->check(CLI::IsMember(names));
}

CLI::Validator wholeNumber(int64_t low, int64_t high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            // from_chars alone would take a leading minus; only digits are a whole number.
            const bool digits = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
                return c >= '0' && c <= '9';
            });
            int64_t value = 0;
            const char* end = text.data() + text.size();
            const auto result = std::from_chars(text.data(), end, value);
            if (!digits || result.ec != std::errc() || result.ptr != end || value < low ||
                value > high) {
                return "'" + text + "' is not a whole number from " + std::to_string(low) + " to " +
                       std::to_string(high);
            }
            // Leading zeros could be read as octal further on; the value is decimal.
            text = std::to_string(value);
            return std::string();
        },
        "INT in [" + std::to_string(low) + " - " + std::to_string(high) + "]");
}

CLI::Validator countValidator() {
    return wholeNumber(0, UINT32_MAX).description("COUNT");
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
