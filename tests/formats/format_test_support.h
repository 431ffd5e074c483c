#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "mkdisk/fixture.h"

namespace svtest {

struct Loaded {
    sv::DiskImagePtr disk = sv::makeDiskImage();
    std::string log;
};

using BytesLoader = void (*)(std::span<const std::uint8_t>, const std::string&, sv::DiskImage&,
                             sv::OperationLog&);

inline Loaded loadBytes(BytesLoader load, const std::vector<std::uint8_t>& bytes,
                        const std::string& path) {
    Loaded out;
    sv::TextSink log;
    load(bytes, path, *out.disk, log);
    out.log = log.currentText();
    return out;
}

// Two cylinders of one side, records 1..4 on each: good sectors (status 0x03) of `sizeCode`,
// every byte of sector (cylinder, record) being fillOf(cylinder, record).
inline sv::DiskImagePtr smallDisk(const std::function<std::uint8_t(int, int)>& fillOf,
                                                std::uint8_t sizeCode = 0) {
    auto disk = sv::makeDiskImage();
    disk->trackCount = 2;
    disk->sideCount = 1;
    for (int c = 0; c < 2; ++c) {
        for (int r = 1; r <= 4; ++r) {
            sv::SectorEntry* e = sv::appendSector(*disk, 0, c);
            e->cylinder = static_cast<std::uint8_t>(c);
            e->record = static_cast<std::uint8_t>(r);
            e->sizeCode = sizeCode;
            e->status = 0x03;
            e->data.fill(fillOf(c, r));
        }
    }
    return disk;
}

inline sv::DiskImagePtr smallDisk(std::uint8_t fill) {
    return smallDisk([fill](int, int) { return fill; });
}

inline const sv::SectorEntry& sectorAt(const sv::DiskImage& disk, int side, int cylinder, int index) {
    return disk.track(side, cylinder).sectors[static_cast<std::size_t>(index)];
}

// The first `length` bytes of a slot's data.
inline std::vector<std::uint8_t> sectorData(const sv::SectorEntry& e, std::size_t length) {
    length = std::min(length, e.data.size());
    return {e.data.begin(), e.data.begin() + static_cast<std::ptrdiff_t>(length)};
}

// Every sector of the model as it should load: same IDs in the same order, same data.
inline void expectSectorsMatch(const mkdisk::Disk& model, const sv::DiskImage& disk) {
    for (int c = 0; c < model.cylinders; ++c) {
        for (int h = 0; h < model.sides; ++h) {
            const auto& sectors = model.at(c, h).sectors;
            ASSERT_EQ(disk.track(h, c).sectorCount, sectors.size()) << "C" << c << " H" << h;
            for (std::size_t k = 0; k < sectors.size(); ++k) {
                const auto& e = disk.track(h, c).sectors[k];
                const auto& s = sectors[k];
                EXPECT_EQ(e.cylinder, s.cylinder);
                EXPECT_EQ(e.head, s.head);
                EXPECT_EQ(e.record, s.record);
                EXPECT_EQ(e.sizeCode, s.sizeCode);
                EXPECT_EQ(e.singleDensity, s.fm ? 1 : 0);
                if (!s.noDataField && !s.badIdCrc) {
                    EXPECT_EQ(sectorData(e, mkdisk::sectorBytes(s).size()), mkdisk::sectorBytes(s))
                        << "C" << c << " H" << h << " R" << int(s.record);
                }
            }
        }
    }
}

// Fills every sector with bytes that differ per sector and per position.
inline void fillPattern(mkdisk::Disk& disk) {
    for (auto& t : disk.tracks) {
        for (auto& s : t.sectors) {
            s.data.resize(std::size_t{128} << s.sizeCode);
            for (std::size_t i = 0; i < s.data.size(); ++i) {
                s.data[i] = static_cast<std::uint8_t>(s.cylinder * 7 + s.head * 13 + s.record * 3 + i / 5);
            }
        }
    }
}

}  // namespace svtest

namespace svtest {
inline std::string sourcePathOf(const sv::DiskImage& disk) { return sv::sourcePathTrimmed(disk); }
}  // namespace svtest
