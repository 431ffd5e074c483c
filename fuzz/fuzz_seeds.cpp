// fuzz_seeds DIR: writes a seed corpus per harness from every generated sample, in every
// container, into DIR/<harness>/.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis_input.h"
#include "core/operation_log.h"
#include "formats/dmk.h"
#include "mkdisk/samples.h"

namespace fs = std::filesystem;

namespace {

// Enough flux for the first two or three sectors of a track.
constexpr std::size_t kFluxWordsKept = 5000;
constexpr std::size_t kHfeBlocksKept = 8;
constexpr std::size_t kDmkTrackBytesKept = 128 + 1200;

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}
void putLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// The SCP with one revolution of each track, its first kFluxWordsKept words, and no checksum.
std::vector<std::uint8_t> shortScp(const std::vector<std::uint8_t>& scp) {
    constexpr std::size_t kTable = 0x10;
    constexpr std::size_t kEntries = 168;
    std::vector<std::uint8_t> out(scp.begin(), scp.begin() + kTable);
    out[5] = 1;
    putLe32(out, 0x0C, 0);
    out.resize(kTable + 4 * kEntries, 0);
    for (std::size_t t = 0; t < kEntries; ++t) {
        const std::uint32_t tdh = le32(scp, kTable + 4 * t);
        if (tdh == 0) {
            continue;
        }
        const std::size_t words = std::min<std::size_t>(le32(scp, tdh + 8), kFluxWordsKept);
        const std::size_t data = tdh + le32(scp, tdh + 12);
        putLe32(out, kTable + 4 * t, static_cast<std::uint32_t>(out.size()));
        const std::size_t at = out.size();
        out.insert(out.end(), scp.begin() + static_cast<std::ptrdiff_t>(tdh),
                   scp.begin() + static_cast<std::ptrdiff_t>(tdh + 16));
        putLe32(out, at + 8, static_cast<std::uint32_t>(words));
        putLe32(out, at + 12, 16);
        out.insert(out.end(), scp.begin() + static_cast<std::ptrdiff_t>(data),
                   scp.begin() + static_cast<std::ptrdiff_t>(data + 2 * words));
    }
    return out;
}

// The DMK of the first track alone, one-sided, cut to its first kDmkTrackBytesKept bytes: a
// sector or two, and pointers past the end for the reader to refuse.
std::vector<std::uint8_t> shortDmk(const std::vector<std::uint8_t>& dmk) {
    constexpr std::size_t kHeader = 16;
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(dmk[2] | dmk[3] << 8), kDmkTrackBytesKept);
    std::vector<std::uint8_t> out(dmk.begin(), dmk.begin() + static_cast<std::ptrdiff_t>(kHeader + length));
    out[1] = 1;
    out[2] = static_cast<std::uint8_t>(length);
    out[3] = static_cast<std::uint8_t>(length >> 8);
    out[4] |= 0x10;
    return out;
}

// The HFE of one cylinder with its track cut to the first kHfeBlocksKept blocks.
std::vector<std::uint8_t> shortHfe(const std::vector<std::uint8_t>& hfe) {
    constexpr std::size_t kBlock = 512;
    const std::size_t lut = std::size_t{hfe[0x12]} * kBlock;
    const std::size_t start = std::size_t{static_cast<std::size_t>(hfe[lut] | hfe[lut + 1] << 8)} * kBlock;
    const std::size_t length = std::min<std::size_t>(kHfeBlocksKept * kBlock, hfe.size() - start);
    std::vector<std::uint8_t> out(hfe.begin(), hfe.begin() + 2 * kBlock);
    out[0x12] = 1;
    out[0x13] = 0;
    std::fill(out.begin() + kBlock, out.end(), std::uint8_t{0xFF});
    out[kBlock] = 2;
    out[kBlock + 1] = 0;
    out[kBlock + 2] = static_cast<std::uint8_t>(length);
    out[kBlock + 3] = static_cast<std::uint8_t>(length >> 8);
    out.insert(out.end(), hfe.begin() + static_cast<std::ptrdiff_t>(start),
               hfe.begin() + static_cast<std::ptrdiff_t>(start + length));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* harness : {"dmk", "imd", "td0", "dsk", "hfe", "scp", "pll", "analysis", "basic",
                                "document_index", "lzw", "lzhuf", "raw", "imd_writer"}) {
        fs::create_directories(root / harness);
    }
    auto disk = sv::makeDiskImage();
    for (const auto& sample : mkdisk::samples()) {
        const std::string name(sample.name);
        const mkdisk::Disk model = sample.build();
        // Seeds are small, so the fuzzer spends its time on the records rather than on copies
        // of the same track: the first two cylinders of every sample (the whole real disks are
        // a corpus of their own).
        mkdisk::Disk head = model;
        head.cylinders = std::min(head.cylinders, 2);
        head.tracks.resize(static_cast<std::size_t>(head.cylinders * head.sides));
        const auto dmkHead = mkdisk::writeDmk(head);
        mkdisk::writeFile((root / "dmk" / (name + ".dmk")).string(), dmkHead);
        mkdisk::writeFile((root / "dmk" / (name + "-short.dmk")).string(), shortDmk(dmkHead));
        mkdisk::writeFile((root / "imd" / (name + ".imd")).string(), mkdisk::writeImd(head));
        mkdisk::writeFile((root / "imd_writer" / (name + ".imd")).string(), mkdisk::writeImd(head));
        // The raw harness reads its layout from four bytes before the image.
        auto raw = mkdisk::writeRaw(head);
        raw.insert(raw.begin(), {static_cast<std::uint8_t>(head.cylinders - 1),
                                 static_cast<std::uint8_t>(head.sides - 1), 25, 0x41});
        mkdisk::writeFile((root / "raw" / (name + ".img")).string(), raw);
        mkdisk::writeFile((root / "td0" / (name + ".td0")).string(), mkdisk::writeTd0(head));
        mkdisk::writeFile((root / "dsk" / (name + ".dsk")).string(), mkdisk::writeDsk(head));
        // Flux files hold the first cylinder, cut to the first few sectors of each side.
        mkdisk::Disk first = model;
        first.cylinders = 1;
        first.tracks.resize(static_cast<std::size_t>(first.sides));
        mkdisk::writeFile((root / "hfe" / (name + ".hfe")).string(), shortHfe(mkdisk::writeHfe(first)));
        const auto scp = shortScp(mkdisk::writeScp(first, {.revolutions = 1}));
        mkdisk::writeFile((root / "scp" / (name + ".scp")).string(), scp);
        // The flux words of the first track in the harness's interval bytes, one cell period
        // byte in front.
        const std::size_t tdh = scp[0x10] | scp[0x11] << 8 | scp[0x12] << 16;
        const std::size_t words = tdh + (scp[tdh + 12] | scp[tdh + 13] << 8 | scp[tdh + 14] << 16);
        std::vector<std::uint8_t> flux{0xFF};
        for (std::size_t at = words; at + 1 < std::min(words + kFluxWordsKept * 2, scp.size()); at += 2) {
            if (scp[at] == 0 && scp[at + 1] != 0xFF) {
                flux.push_back(scp[at + 1]);
            } else {
                flux.insert(flux.end(), {0xFF, scp[at], scp[at + 1]});
            }
        }
        mkdisk::writeFile((root / "pll" / (name + ".bin")).string(), flux);
        // The analysis needs the whole disk (directories lie mid-disk); its input holds only
        // the quarters that are not fill.
        const auto dmk = mkdisk::writeDmk(model);
        sv::clear(*disk);
        sv::TextSink log;
        sv::LogEditor text(log, "seed");
        sv::decodeDmk(dmk, *disk, text);
        mkdisk::writeFile((root / "analysis" / (name + ".bin")).string(),
                          svfuzz::analysisInputOf(*disk));
    }
    return 0;
}
