// Runs the fuzz target without libFuzzer: over every file named on the command line (or
// in a folder named there), and over fixed mutations of each (every cut, byte flips from a
// seeded generator), so that a plain compiler build checks the same code paths.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
constexpr int kFlipsPerSeed = 256;
// Cuts are tried at every byte of the first bytes, then at word steps.
constexpr size_t kDenseCuts = 64;

void run(const std::vector<uint8_t>& input) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

void runWithMutations(const std::vector<uint8_t>& seed, uint32_t& state) {
    run(seed);
    for (size_t cut = 0; cut < seed.size(); cut += cut < kDenseCuts ? 1 : 4) {
        run(std::vector<uint8_t>(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(cut)));
    }
    if (seed.empty()) {
        return;
    }
    for (int i = 0; i < kFlipsPerSeed; ++i) {
        std::vector<uint8_t> mutant = seed;
        state = state * 1664525u + 1013904223u;
        const size_t at = (state >> 8) % mutant.size();
        state = state * 1664525u + 1013904223u;
        // Alternate between flipping one bit and writing an extreme byte.
        mutant[at] = (i % 2 == 0) ? static_cast<uint8_t>(mutant[at] ^ (1u << (state >> 29)))
                                  : static_cast<uint8_t>((state >> 24) % 2 == 0 ? 0xFF : 0x00);
        run(mutant);
    }
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
        } else {
            files.push_back(arg);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::cerr << argv[0] << ": no input files\n";
        return 1;
    }
    uint32_t state = 20240601u;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::cerr << argv[0] << ": cannot read " << file << "\n";
            return 1;
        }
        const std::vector<uint8_t> seed(std::istreambuf_iterator<char>(in), {});
        runWithMutations(seed, state);
    }
    std::cout << "replayed " << files.size() << " seeds with their mutations\n";
    return 0;
}
