#include "core/sector_health.h"

#include <algorithm>

#include "core/operation_log.h"

namespace sv {

SectorHealth sectorHealth(const SectorEntry& entry, DataState state) {
    if ((entry.status & status::idCrcError) != 0) {
        return SectorHealth::BadId;
    }
    if (state == DataState::NoDataField || state == DataState::NotCaptured) {
        return SectorHealth::NoData;
    }
    if ((entry.status & status::dataCrcError) != 0 || state == DataState::CrcError ||
        state == DataState::CutShort) {
        return SectorHealth::DataCrcError;
    }
    if ((entry.status & status::deletedData) != 0 || entry.dataAddressMark() == 0xF8) {
        return SectorHealth::Deleted;
    }
    return SectorHealth::Good;
}

SectorHealth sectorHealth(const DiskImage& disk, int side, int cylinder, int slot) {
    if (side < 0 || side >= kMaxSides || cylinder < 0 || cylinder >= kMaxCylinders || slot < 0 ||
        slot >= kMaxSectorsPerTrack) {
        return SectorHealth::Good;
    }
    return sectorHealth(disk.track(side, cylinder).sectors[slot],
                        dataState(disk, side, cylinder, slot));
}

std::string_view sectorHealthName(SectorHealth health) {
    switch (health) {
    case SectorHealth::Good: return "good";
    case SectorHealth::Deleted: return "deleted";
    case SectorHealth::DataCrcError: return "dataCrcError";
    case SectorHealth::NoData: return "noData";
    case SectorHealth::BadId: return "badId";
    }
    return "good";
}

std::vector<SectorName> damagedSectors(const DiskImage& disk) {
    std::vector<SectorName> damaged;
    const HeldGeometry held = heldGeometry(disk);
    for (int c = 0; c < std::min(held.cylinders, kMaxCylinders); ++c) {
        for (int s = 0; s < std::min(held.sides, kMaxSides); ++s) {
            const TrackRecord& track = disk.track(s, c);
            for (int i = 0; i < std::min<int>(track.sectorCount, kMaxSectorsPerTrack); ++i) {
                if (isDamaged(sectorHealth(disk, s, c, i))) {
                    const SectorEntry& e = track.sectors[i];
                    damaged.push_back({e.cylinder, e.head, e.record});
                }
            }
        }
    }
    return damaged;
}

std::string summaryLine(std::span<const std::string> counts, std::span<const SectorName> damaged) {
    std::string line;
    for (const std::string& count : counts) {
        line += count;
        line += ", ";
    }
    line += std::to_string(damaged.size());
    line += " still damaged";
    const std::size_t shown = std::min<std::size_t>(damaged.size(), kSummaryNamesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        line += i == 0 ? ": " : ", ";
        line += shortSectorField(damaged[i].cylinder, damaged[i].head, damaged[i].record);
    }
    if (damaged.size() > shown) {
        line += " and " + std::to_string(damaged.size() - shown) + " more";
    }
    return line;
}

}  // namespace sv
