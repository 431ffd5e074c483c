// The first four bytes name a layout (cylinders, heads, sectors, size code and flags), the rest
// is the raw image. A disk that loads is written raw when it can be and read back: every sector
// must come back with its data.
#include <cstring>

#include "formats/raw.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    sv::RawGeometry geometry;
    geometry.cylinders = 1 + data[0] % sv::kMaxCylinders;
    geometry.heads = 1 + (data[1] & 1);
    geometry.rest = {1 + data[2] % sv::kMaxSectorsPerTrack, static_cast<std::uint8_t>(data[3] & 3),
                     (data[3] & 0x10) != 0, (data[3] & 0x20) != 0 ? 0 : 1};
    geometry.boot = (data[3] & 0x40) != 0 ? sv::RawTrackShape{26, 0, true, geometry.rest.firstRecord}
                                          : geometry.rest;
    geometry.bootSides = (data[3] & 0x80) != 0 ? 2 : 1;
    const auto image = svfuzz::input(data + 4, size - 4);

    sv::DiskImage& disk = svfuzz::sharedDisk();
    svfuzz::NullLog log;
    sv::loadRawBytes(image, "fuzz.img", nullptr, disk, log);
    sv::loadRawBytes(image, "fuzz.img", &geometry, disk, log);
    if (sv::isEmpty(disk)) {
        return 0;
    }
    sv::LogEditor text(log, "Saving Raw Image: fuzz.img");
    std::string reason;
    const auto written = sv::rawGeometryOf(disk, reason);
    const auto file = sv::encodeRaw(disk, text);
    if (!file) {
        return 0;
    }
    static auto again = sv::makeDiskImage();
    sv::loadRawBytes(*file, "fuzz.img", &*written, *again, log);
    for (int side = 0; side < written->heads; ++side) {
        for (int c = 0; c < written->cylinders; ++c) {
            const sv::TrackRecord& a = disk.track(side, c);
            const sv::TrackRecord& b = again->track(side, c);
            if (a.sectorCount != b.sectorCount) {
                __builtin_trap();
            }
            for (int k = 0; k < a.sectorCount; ++k) {
                const sv::SectorEntry& x = a.sectors[k];
                const sv::SectorEntry& y = b.sectors[x.record - b.sectors[0].record];
                if (y.record != x.record || std::memcmp(x.data.data(), y.data.data(), x.lengthBytes()) != 0) {
                    __builtin_trap();
                }
            }
        }
    }
    return 0;
}
