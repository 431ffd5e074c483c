// fuzz_replay HARNESS DIR: runs every file of DIR through the harness's entry point, as the
// fuzzer would, without the fuzzer. Each harness is compiled with its entry under its own name
// (svReplay_<harness>), so one program holds them all. A crash or a sanitizer report fails the
// run; the name of the file being run is printed first.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#define SV_HARNESSES(X)                                                                         \
    X(dmk) X(imd) X(td0) X(dsk) X(hfe) X(scp) X(pll) X(analysis) X(basic) X(document_index)   \
    X(lzw) X(lzhuf) X(raw) X(imd_writer)

#define SV_DECLARE(name) extern "C" int svReplay_##name(const std::uint8_t*, std::size_t);
SV_HARNESSES(SV_DECLARE)

// The custom mutators call the fuzzer's own mutation; the replay never mutates.
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t*, std::size_t size, std::size_t) { return size; }

namespace {

struct Harness {
    std::string_view name;
    int (*run)(const std::uint8_t*, std::size_t);
};

#define SV_ENTRY(name) Harness{#name, svReplay_##name},
constexpr Harness kHarnesses[] = {SV_HARNESSES(SV_ENTRY)};

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_replay HARNESS DIR\n");
        return 2;
    }
    const auto harness = std::find_if(std::begin(kHarnesses), std::end(kHarnesses),
                                      [&](const Harness& h) { return h.name == argv[1]; });
    if (harness == std::end(kHarnesses)) {
        std::fprintf(stderr, "fuzz_replay: no harness %s\n", argv[1]);
        return 2;
    }
    std::error_code ec;
    if (!fs::is_directory(argv[2], ec)) {
        std::fprintf(stderr, "fuzz_replay: %s is not a folder\n", argv[2]);
        return 2;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(argv[2])) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        std::printf("%s\n", path.filename().c_str());
        std::fflush(stdout);
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        // An empty vector's data() may be null; the fuzzer never passes null.
        const std::uint8_t none = 0;
        harness->run(bytes.empty() ? &none : bytes.data(), bytes.size());
    }
    std::printf("%zu inputs of %s replayed\n", files.size(), argv[1]);
    return files.empty() ? 1 : 0;
}
