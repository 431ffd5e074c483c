#include <algorithm>

#include "mkdisk/fixture.h"

namespace mkdisk {

std::vector<std::uint8_t> writeRaw(const Disk& disk) {
    std::vector<std::uint8_t> file;
    for (int c = 0; c < disk.cylinders; ++c) {
        for (int h = 0; h < disk.sides; ++h) {
            std::vector<Sector> sectors = disk.at(c, h).sectors;
            std::stable_sort(sectors.begin(), sectors.end(),
                             [](const Sector& a, const Sector& b) { return a.record < b.record; });
            for (const Sector& s : sectors) {
                const auto data = sectorBytes(s);
                file.insert(file.end(), data.begin(), data.end());
            }
        }
    }
    return file;
}

}  // namespace mkdisk
