#include "mkdisk/fixture.h"

namespace mkdisk {

namespace {

constexpr std::size_t kEntries = 2901;
constexpr std::size_t kTableBytes = kEntries * 3 + 1;

std::uint8_t markCode(const Sector& s) {
    if (s.fm) {
        return static_cast<std::uint8_t>(0xFB - s.mark);  // FB 0, FA 1, F9 2, F8 3
    }
    switch (s.mark) {
    case 0xF8: return 1;
    case 0xF9: return 2;
    default: return 0;
    }
}

}  // namespace

std::vector<std::uint8_t> writeDsk(const Disk& disk, const DskOptions& options) {
    static constexpr std::uint8_t kSizeBits[4] = {1, 0, 3, 2};
    std::vector<const Sector*> order;
    for (int h = 0; h < disk.sides; ++h) {
        for (int c = 0; c < disk.cylinders; ++c) {
            for (const Sector& s : disk.at(c, h).sectors) order.push_back(&s);
        }
    }
    std::vector<std::uint8_t> file;
    std::size_t next = 0;
    do {
        const std::size_t table = file.size();
        file.resize(table + kTableBytes, 0xFF);
        file[table + kTableBytes - 1] = options.writeProtected ? 0x00 : 0xFF;
        for (std::size_t e = 0; e < kEntries && next < order.size(); ++e, ++next) {
            const Sector& s = *order[next];
            file[table + 3 * e] = s.cylinder;
            file[table + 3 * e + 1] = s.record;
            file[table + 3 * e + 2] = static_cast<std::uint8_t>(
                (s.fm ? 0 : 0x80) | (markCode(s) << 5) | ((s.head & 1) << 4) |
                (s.badDataCrc ? 0x08 : 0) | kSizeBits[s.sizeCode & 3]);
            const auto data = sectorBytes(s);
            file.insert(file.end(), data.begin(), data.end());
        }
    } while (next < order.size());
    return file;
}

}  // namespace mkdisk
