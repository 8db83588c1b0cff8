// Frame names are made and recognised in one place, so that what a tool removes as an old
// frame is exactly what some run of a tool could have written.
#include "FrameFiles.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace {
constexpr std::string_view kPrefix = "frame";
constexpr size_t kExtensionLength = 4;
} // namespace

std::string frameFileName(uint64_t number, const std::string& extension) {
    std::array<char, 32> digits{};
    std::snprintf(digits.data(), digits.size(), "%06" PRIu64, number);
    return std::string(kPrefix) + digits.data() + extension;
}

bool isFrameFileName(const std::string& name) {
    if (name.size() <= kPrefix.size() + kExtensionLength ||
        name.compare(0, kPrefix.size(), kPrefix) != 0) {
        return false;
    }
    const std::string extension = name.substr(name.size() - kExtensionLength);
    if (extension != ".png" && extension != ".raw") {
        return false;
    }
    size_t first = kPrefix.size();
    if (name[first] == '_') {
        ++first;
    }
    const size_t last = name.size() - kExtensionLength;
    return first < last && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(first),
                                       name.begin() + static_cast<std::ptrdiff_t>(last),
                                       [](char c) { return c >= '0' && c <= '9'; });
}

bool removeOtherFrames(const std::string& folder, std::vector<std::string> written,
                       uint32_t& removed, std::string& error) {
    namespace fs = std::filesystem;
    std::sort(written.begin(), written.end());
    removed = 0;
    std::error_code listed;
    fs::directory_iterator entries(folder, listed);
    if (listed) {
        error = folder + ": cannot list the folder: " + listed.message();
        return false;
    }
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (!isFrameFileName(name) || std::binary_search(written.begin(), written.end(), name)) {
            continue;
        }
        std::error_code gone;
        if (fs::remove(entry.path(), gone)) {
            ++removed;
        } else if (gone) {
            error = entry.path().string() + ": cannot remove an old frame: " + gone.message();
            return false;
        }
    }
    return true;
}
