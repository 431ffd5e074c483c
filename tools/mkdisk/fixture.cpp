#include "mkdisk/fixture.h"

#include <fstream>
#include <stdexcept>

namespace mkdisk {

Disk::Disk(int cylinderCount, int sideCount)
    : cylinders(cylinderCount), sides(sideCount),
      tracks(static_cast<std::size_t>(cylinderCount * sideCount)) {}

Sector* Disk::find(int cylinder, int side, int record) {
    for (Sector& s : at(cylinder, side).sectors) {
        if (s.record == record) {
            return &s;
        }
    }
    return nullptr;
}

Disk shapedDisk(int cylinders, int sides, TrackShape boot, TrackShape rest) {
    Disk disk(cylinders, sides);
    for (int c = 0; c < cylinders; ++c) {
        for (int h = 0; h < sides; ++h) {
            const bool fm = c == 0 && h == 0;
            const TrackShape& shape = fm ? boot : rest;
            for (int r = shape.firstRecord; r <= shape.lastRecord; ++r) {
                Sector s;
                s.cylinder = static_cast<std::uint8_t>(c);
                s.head = static_cast<std::uint8_t>(h);
                s.record = static_cast<std::uint8_t>(r);
                s.sizeCode = shape.sizeCode;
                s.fm = fm;
                disk.at(c, h).sectors.push_back(s);
            }
        }
    }
    return disk;
}

Disk model2Disk(int sides, int cylinders) {
    return shapedDisk(cylinders, sides, {1, 26, 0}, {1, 26, 1});
}

std::vector<std::uint8_t> sectorBytes(const Sector& sector) {
    std::vector<std::uint8_t> bytes = sector.data;
    bytes.resize(std::size_t{128} << (sector.sizeCode & 7), 0xE5);
    return bytes;
}

std::uint16_t floppyCrc(const std::vector<std::uint8_t>& bytes, std::uint16_t crc) {
    for (const std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("mkdisk: cannot write " + path);
    }
}

}  // namespace mkdisk
