// replay_main.cpp - runs a fuzz target's LLVMFuzzerTestOneInput over every file of the folders
// named on the command line (the seed corpus and the regressions), so that any build replays them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code missing;
        if (!fs::is_directory(argv[i], missing)) continue;  // a target without regressions yet
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // A crash names the input it died on.
            std::fprintf(stderr, "%s\n", file.string().c_str());
            static const uint8_t kNothing = 0;  // libFuzzer never hands over a null pointer either
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return 0;
}
