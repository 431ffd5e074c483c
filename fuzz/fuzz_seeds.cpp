// fuzz_seeds DIR: writes a seed corpus per harness from every generated sample, in every
// container, into DIR/<harness>/.
#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis_input.h"
#include "core/operation_log.h"
#include "formats/dmk.h"
#include "mkdisk/samples.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* harness : {"dmk", "imd", "td0", "dsk", "analysis", "basic", "document_index",
                                "lzw", "lzhuf", "raw", "imd_writer"}) {
        fs::create_directories(root / harness);
    }
    auto disk = sv::makeDiskImage();
    for (const auto& sample : mkdisk::samples()) {
        const std::string name(sample.name);
        const mkdisk::Disk model = sample.build();
        const auto dmk = mkdisk::writeDmk(model);
        mkdisk::writeFile((root / "dmk" / (name + ".dmk")).string(), dmk);
        mkdisk::writeFile((root / "imd" / (name + ".imd")).string(), mkdisk::writeImd(model));
        mkdisk::writeFile((root / "imd_writer" / (name + ".imd")).string(), mkdisk::writeImd(model));
        // The raw harness reads its layout from four bytes before the image.
        auto raw = mkdisk::writeRaw(model);
        raw.insert(raw.begin(), {76, static_cast<std::uint8_t>(model.sides - 1), 25, 0x41});
        mkdisk::writeFile((root / "raw" / (name + ".img")).string(), raw);
        mkdisk::writeFile((root / "td0" / (name + ".td0")).string(), mkdisk::writeTd0(model));
        mkdisk::writeFile((root / "dsk" / (name + ".dsk")).string(), mkdisk::writeDsk(model));
        sv::clear(*disk);
        sv::TextSink log;
        sv::LogEditor text(log, "seed");
        sv::decodeDmk(dmk, *disk, text);
        mkdisk::writeFile((root / "analysis" / (name + ".bin")).string(),
                          svfuzz::analysisInputOf(*disk));
    }
    return 0;
}
