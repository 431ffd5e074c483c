// IMD file bytes -> the reader -> the IMD writer -> the reader: every sector the writer does not
// report before it writes comes back with its ID, density, size, data CRC error, deleted mark and data.
#include <algorithm>
#include <cstring>

#include "formats/imd.h"
#include "fuzz_support.h"
#include "imd_mutator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sv::DiskImage& disk = svfuzz::sharedDisk();
    svfuzz::NullLog log;
    sv::loadImdBytes(svfuzz::input(data, size), "fuzz.imd", disk, log);
    if (sv::isEmpty(disk)) {
        return 0;
    }
    sv::LogEditor text(log, "Saving IMD Image: fuzz.imd");
    const sv::SavePreflight reported = sv::imdSavePreflight(disk);
    const auto file = sv::encodeImd(disk, text, "01/01/2000 00:00:00");
    static auto again = sv::makeDiskImage();
    sv::loadImdBytes(file, "fuzz.imd", *again, log);
    const sv::HeldGeometry held = sv::heldGeometry(disk);
    for (int side = 0; side < held.sides; ++side) {
        for (int c = 0; c < held.cylinders; ++c) {
            const sv::TrackRecord& a = disk.track(side, c);
            const sv::TrackRecord& b = again->track(side, c);
            if (a.sectorCount != b.sectorCount) {
                __builtin_trap();
            }
            for (int k = 0; k < a.sectorCount; ++k) {
                if (reported.reports({side, c, k})) {
                    continue;
                }
                const sv::SectorEntry& x = a.sectors[k];
                const sv::SectorEntry& y = b.sectors[k];
                const bool deletedX = (x.status & sv::status::deletedData) != 0 || x.dataAddressMark() == 0xF8;
                const bool deletedY = y.dataAddressMark() == 0xF8;
                const std::size_t length = std::min<std::size_t>(x.lengthBytes(), sv::kSectorDataBytes);
                if (x.cylinder != y.cylinder || x.head != y.head || x.record != y.record ||
                    x.singleDensity != y.singleDensity || x.sizeCode != y.sizeCode || deletedX != deletedY ||
                    std::memcmp(x.data.data(), y.data.data(), length) != 0) {
                    __builtin_trap();
                }
                // Sectors longer than the 1024 bytes held are reported and saved as data errors.
                if (x.sizeCode <= 3 && (x.status & sv::status::dataCrcError) != (y.status & sv::status::dataCrcError)) {
                    __builtin_trap();
                }
            }
        }
    }
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    return svfuzz::imd::mutate(data, size, maxSize, seed);
}
