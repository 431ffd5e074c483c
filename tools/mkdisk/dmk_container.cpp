#include <algorithm>

#include "mkdisk/fixture.h"

namespace mkdisk {

namespace {

// Builds one track's bytes after the 128-byte pointer table, remembering where each ID mark is.
class DmkTrack {
public:
    explicit DmkTrack(std::size_t length) : bytes_(length, 0) {}

    void put(std::uint8_t b, int times = 1) {
        for (int i = 0; i < times; ++i) {
            if (pos_ < bytes_.size()) {
                bytes_[pos_] = b;
            }
            ++pos_;
        }
    }
    std::size_t pos() const { return pos_; }
    void seek(std::size_t pos) { pos_ = pos; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 128;
};

void putFmByte(DmkTrack& t, const Sector& s, std::uint8_t b) {
    t.put(b, s.fmSingleBytes ? 1 : 2);
}

std::uint16_t writeFmSector(DmkTrack& t, const Sector& s) {
    for (int i = 0; i < 6; ++i) putFmByte(t, s, 0x00);
    const auto idPos = static_cast<std::uint16_t>(t.pos());
    std::vector<std::uint8_t> id{0xFE, s.cylinder, s.head, s.record, s.sizeCode};
    std::uint16_t crc = floppyCrc(id);
    if (s.badIdCrc) crc ^= 0x5A5A;
    for (const auto b : id) putFmByte(t, s, b);
    putFmByte(t, s, static_cast<std::uint8_t>(crc >> 8));
    putFmByte(t, s, static_cast<std::uint8_t>(crc));
    for (int i = 0; i < 11; ++i) putFmByte(t, s, 0xFF);
    if (!s.noDataField) {
        for (int i = 0; i < 6; ++i) putFmByte(t, s, 0x00);
        std::vector<std::uint8_t> field{s.mark};
        const auto data = sectorBytes(s);
        field.insert(field.end(), data.begin(), data.end());
        crc = floppyCrc(field);
        if (s.badDataCrc) crc ^= 0x1234;
        for (const auto b : field) putFmByte(t, s, b);
        putFmByte(t, s, static_cast<std::uint8_t>(crc >> 8));
        putFmByte(t, s, static_cast<std::uint8_t>(crc));
    }
    for (int i = 0; i < 27; ++i) putFmByte(t, s, 0xFF);
    return idPos;  // FM pointers have bit 15 clear
}

// MFM bytes of a sector before its closing gap.
std::size_t mfmSectorBytes(const Sector& s) {
    return 12 + 3 + 7 + 22 + (s.noDataField ? 0 : 12 + 3 + 1 + sectorBytes(s).size() + 2);
}

std::uint16_t writeMfmSector(DmkTrack& t, const Sector& s, int closingGap) {
    t.put(0x00, 12);
    t.put(0xA1, 3);
    const auto idPos = static_cast<std::uint16_t>(t.pos() | 0x8000);
    std::vector<std::uint8_t> id{0xA1, 0xA1, 0xA1, 0xFE, s.cylinder, s.head, s.record, s.sizeCode};
    std::uint16_t crc = floppyCrc(id);
    if (s.badIdCrc) crc ^= 0x5A5A;
    for (std::size_t i = 3; i < id.size(); ++i) t.put(id[i]);
    t.put(static_cast<std::uint8_t>(crc >> 8));
    t.put(static_cast<std::uint8_t>(crc));
    t.put(0x4E, 22);
    if (!s.noDataField) {
        t.put(0x00, 12);
        t.put(0xA1, 3);
        std::vector<std::uint8_t> field{0xA1, 0xA1, 0xA1, s.mark};
        const auto data = sectorBytes(s);
        field.insert(field.end(), data.begin(), data.end());
        crc = floppyCrc(field);
        if (s.badDataCrc) crc ^= 0x1234;
        for (std::size_t i = 3; i < field.size(); ++i) t.put(field[i]);
        t.put(static_cast<std::uint8_t>(crc >> 8));
        t.put(static_cast<std::uint8_t>(crc));
    }
    t.put(0x4E, closingGap);
    return idPos;
}

}  // namespace

std::vector<std::uint8_t> writeDmk(const Disk& disk, const DmkOptions& options) {
    std::vector<std::uint8_t> file(16, 0);
    file[1] = static_cast<std::uint8_t>(disk.cylinders);
    file[2] = static_cast<std::uint8_t>(options.trackLength);
    file[3] = static_cast<std::uint8_t>(options.trackLength >> 8);
    file[4] = static_cast<std::uint8_t>((disk.sides == 1 ? 0x10 : 0) |
                                        (options.singleDensityFlag ? 0x40 : 0));
    for (int c = 0; c < disk.cylinders; ++c) {
        for (int h = 0; h < disk.sides; ++h) {
            DmkTrack t(options.trackLength);
            const bool fmTrack = !disk.at(c, h).sectors.empty() && disk.at(c, h).sectors[0].fm;
            t.put(fmTrack ? 0xFF : 0x4E, 64);
            // A full track of 30 MFM sectors closes its sectors with shorter gaps, as the
            // systems that format them do, so that every sector fits the track length.
            const auto& sectors = disk.at(c, h).sectors;
            std::size_t used = 128 + 64;
            for (const Sector& s : sectors) {
                used += s.fm ? 0 : mfmSectorBytes(s) + 40;
            }
            int closingGap = 40;
            if (used > options.trackLength && !sectors.empty()) {
                const std::size_t over = used - options.trackLength;
                closingGap = std::max<int>(
                    8, 40 - static_cast<int>((over + sectors.size() - 1) / sectors.size()));
            }
            std::vector<std::uint16_t> pointers;
            int n = 0;
            for (const Sector& s : sectors) {
                pointers.push_back(s.fm ? writeFmSector(t, s) : writeMfmSector(t, s, closingGap));
                if (options.pointerHolesEvery > 0 && ++n % options.pointerHolesEvery == 0) {
                    pointers.push_back(0);
                }
            }
            auto& bytes = t.bytes();
            const std::size_t end = std::min(t.pos(), bytes.size());
            std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(end), bytes.end(),
                      fmTrack ? 0xFF : 0x4E);
            for (std::size_t i = 0; i < pointers.size() && i < 64; ++i) {
                bytes[i * 2] = static_cast<std::uint8_t>(pointers[i]);
                bytes[i * 2 + 1] = static_cast<std::uint8_t>(pointers[i] >> 8);
            }
            file.insert(file.end(), bytes.begin(), bytes.end());
        }
    }
    return file;
}

}  // namespace mkdisk
