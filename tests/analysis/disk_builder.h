#pragma once

// Model II disks built in memory for the analysis tests: sectors placed where a test wants them.

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "core/disk_image.h"

namespace svtest {

class DiskBuilder {
public:
    explicit DiskBuilder(int sides = 1, int cylinders = 77) : disk_(sv::makeDiskImage()) {
        disk_->trackCount = static_cast<std::uint8_t>(cylinders);
        disk_->sideCount = static_cast<std::uint8_t>(sides);
        disk_->trackLength = 10560;
    }

    // A sector of 128 << sizeCode bytes holding `bytes` at its start, the rest zero.
    std::vector<std::uint8_t>& sector(int cylinder, int side, int record, int sizeCode = 1) {
        sv::SectorEntry* e = sv::appendSector(*disk_, side, cylinder);
        e->cylinder = static_cast<std::uint8_t>(cylinder);
        e->head = static_cast<std::uint8_t>(side);
        e->record = static_cast<std::uint8_t>(record);
        e->sizeCode = static_cast<std::uint8_t>(sizeCode);
        e->status = sv::status::damBit0 | sv::status::damBit1;
        pending_.push_back({e, std::vector<std::uint8_t>(std::size_t{128} << sizeCode, 0)});
        return pending_.back().bytes;
    }

    static void put(std::vector<std::uint8_t>& bytes, std::size_t position, std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            bytes.at(position - 1 + i) = static_cast<std::uint8_t>(text[i]);
        }
    }

    // Writes every pending sector into the store and hands the disk over.
    sv::DiskImage& disk() {
        for (auto& p : pending_) {
            sv::setSectorData(*p.entry, p.bytes);
        }
        return *disk_;
    }

private:
    struct Pending {
        sv::SectorEntry* entry;
        std::vector<std::uint8_t> bytes;
    };
    sv::DiskImagePtr disk_;
    std::deque<Pending> pending_;  // references stay valid as it grows
};

}  // namespace svtest
