#include <algorithm>

#include "mkdisk/fixture.h"

namespace mkdisk {

namespace {

bool allSame(const std::vector<std::uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == bytes[0]; });
}

}  // namespace

std::vector<std::uint8_t> writeImd(const Disk& disk, const ImdOptions& options) {
    std::vector<std::uint8_t> file;
    const std::string header = "IMD 1.18: " + options.date + "\r\n" + disk.comment;
    file.insert(file.end(), header.begin(), header.end());
    file.push_back(0x1A);
    for (int c = 0; c < disk.cylinders; ++c) {
        for (int h = 0; h < disk.sides; ++h) {
            const Track& track = disk.at(c, h);
            if (track.sectors.empty()) {
                continue;
            }
            const bool cylinderMap =
                options.forceMaps || std::any_of(track.sectors.begin(), track.sectors.end(),
                                                 [&](const Sector& s) { return s.cylinder != c; });
            const bool headMap =
                options.forceMaps || std::any_of(track.sectors.begin(), track.sectors.end(),
                                                 [&](const Sector& s) { return s.head != h; });
            file.push_back(track.sectors[0].fm ? 0 : 3);
            file.push_back(static_cast<std::uint8_t>(c));
            file.push_back(static_cast<std::uint8_t>(h | (cylinderMap ? 0x80 : 0) | (headMap ? 0x40 : 0)));
            file.push_back(static_cast<std::uint8_t>(track.sectors.size()));
            file.push_back(track.sectors[0].sizeCode);  // one size per track in this container
            for (const Sector& s : track.sectors) file.push_back(s.record);
            if (cylinderMap) {
                for (const Sector& s : track.sectors) file.push_back(s.cylinder);
            }
            if (headMap) {
                for (const Sector& s : track.sectors) file.push_back(s.head);
            }
            for (const Sector& s : track.sectors) {
                if (s.noDataField || s.badIdCrc) {
                    file.push_back(0);  // data unavailable
                    continue;
                }
                const auto data = sectorBytes(s);
                const bool compressed = options.compress && allSame(data);
                const int type = 1 + (compressed ? 1 : 0) + (s.mark == 0xF8 ? 2 : 0) +
                                 (s.badDataCrc ? 4 : 0);
                file.push_back(static_cast<std::uint8_t>(type));
                if (compressed) {
                    file.push_back(data[0]);
                } else {
                    file.insert(file.end(), data.begin(), data.end());
                }
            }
        }
    }
    return file;
}

}  // namespace mkdisk
