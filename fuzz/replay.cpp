// Runs a fuzz target once over every input in the files and folders named, without libFuzzer: the
// host tests replay each corpus this way, seeds and kept findings alike, under the sanitizers of
// the host build. With --xml=FILE it also writes a one-test result for the test summary.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::string xml;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--xml=")) {
            xml = arg.substr(6);
        } else if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else {
            inputs.emplace_back(arg);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "%s: no inputs\n", argv[0]);
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        if (!file.is_open()) {
            std::fprintf(stderr, "%s: cannot read\n", path.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    if (!xml.empty()) {
        fs::create_directories(fs::path(xml).parent_path());
        std::ofstream out(xml);
        out << "<?xml version=\"1.0\"?>\n<testsuites tests=\"1\" failures=\"0\" errors=\"0\" name=\""
            << fs::path(argv[0]).filename().string() << "\"/>\n";
    }
    return 0;
}
