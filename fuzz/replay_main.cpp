// replay_main.cpp - runs a fuzz target's LLVMFuzzerTestOneInput over every file of the folders
// named on the command line (the seed corpus and the regressions), so that any build replays them,
// once on each path of the line codec that the processor has.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "format/codec_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code missing;
        if (!fs::is_directory(argv[i], missing)) continue;  // a target without regressions yet
        std::vector<fs::path> folder;
        for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
            if (entry.is_regular_file()) folder.push_back(entry.path());
        }
        std::sort(folder.begin(), folder.end());
        files.insert(files.end(), folder.begin(), folder.end());
    }
    int paths = 0;
    for (int index = 0; index < uuarc::kCodecPathCount; ++index) {
        const auto path = static_cast<uuarc::CodecPath>(index);
        if (!uuarc::SetCodecPath(path)) continue;
        ++paths;
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // A crash names the input and the path it died on.
            std::fprintf(stderr, "%s (%s)\n", file.string().c_str(), uuarc::CodecPathName(path));
            static const uint8_t kNothing = 0;  // libFuzzer never hands over a null pointer either
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
        }
    }
    uuarc::SetCodecPath(uuarc::BestCodecPath());
    std::printf("replayed %zu inputs on each of %d codec paths\n", files.size(), paths);
    return 0;
}
