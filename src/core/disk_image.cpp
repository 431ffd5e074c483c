#include "core/disk_image.h"

#include <algorithm>
#include <cstring>

namespace sv {

std::unique_ptr<DiskImage> makeDiskImage() { return std::make_unique<DiskImage>(); }

void clear(DiskImage& disk) { std::memset(static_cast<void*>(&disk), 0, sizeof disk); }

SectorEntry* appendSector(DiskImage& disk, int side, int cylinder) {
    if (side < 0 || side >= kMaxSides || cylinder < 0 || cylinder >= kMaxCylinders) {
        return nullptr;
    }
    TrackRecord& track = disk.track(side, cylinder);
    if (track.sectorCount >= kMaxSectorsPerTrack) {
        return nullptr;
    }
    disk.dataStates[side][cylinder][track.sectorCount] = DataState::Good;
    SectorEntry& entry = track.sectors[track.sectorCount++];
    entry = SectorEntry{};
    return &entry;
}

namespace {
bool insideStore(int side, int cylinder, int slot) {
    return side >= 0 && side < kMaxSides && cylinder >= 0 && cylinder < kMaxCylinders &&
           slot >= 0 && slot < kMaxSectorsPerTrack;
}
}  // namespace

DataState dataState(const DiskImage& disk, int side, int cylinder, int slot) {
    return insideStore(side, cylinder, slot) ? disk.dataStates[side][cylinder][slot]
                                             : DataState::Good;
}

void setDataState(DiskImage& disk, int side, int cylinder, int slot, DataState state) {
    if (insideStore(side, cylinder, slot)) {
        disk.dataStates[side][cylinder][slot] = state;
    }
}

std::string_view dataStateName(DataState state) {
    switch (state) {
        case DataState::Good: return "good";
        case DataState::CrcError: return "crcError";
        case DataState::NoDataField: return "noDataField";
        case DataState::NotCaptured: return "notCaptured";
        case DataState::CutShort: return "cutShort";
        case DataState::Clipped: return "clipped";
    }
    return "good";
}

HeldGeometry heldGeometry(const DiskImage& disk) {
    HeldGeometry held{disk.trackCount, disk.sideCount};
    for (int side = 0; side < kMaxSides; ++side) {
        for (int cylinder = 0; cylinder < kMaxCylinders; ++cylinder) {
            if (disk.track(side, cylinder).sectorCount > 0) {
                held.cylinders = std::max(held.cylinders, cylinder + 1);
                held.sides = std::max(held.sides, side + 1);
            }
        }
    }
    return held;
}

void setSectorData(SectorEntry& entry, std::span<const std::uint8_t> bytes) {
    const std::size_t kept = std::min<std::size_t>(bytes.size(), kSectorDataBytes);
    std::copy_n(bytes.begin(), kept, entry.data.begin());
    std::fill(entry.data.begin() + static_cast<std::ptrdiff_t>(kept), entry.data.end(),
              std::uint8_t{0x20});
}

bool readSectorData(int cylinder, int side, int record, const DiskImage& disk, SectorData& buffer) {
    if (side < 0 || side >= kMaxSides || cylinder < 0 || cylinder >= kMaxCylinders) {
        return false;
    }
    const TrackRecord& track = disk.track(side, cylinder);
    const int slot = lastSlotOfRecord(track, record);
    if (slot < 0) {
        return false;
    }
    buffer = track.sectors[slot].data;
    return true;
}

int lastSlotOfRecord(const TrackRecord& track, int record) {
    int found = -1;
    for (int slot = 0; slot < std::min<int>(track.sectorCount, kMaxSectorsPerTrack); ++slot) {
        if (track.sectors[slot].record == record) {
            found = slot;
        }
    }
    return found;
}

void setSourcePath(DiskImage& disk, std::string_view path) {
    disk.sourcePath.fill(' ');
    std::copy_n(path.begin(), std::min<std::size_t>(path.size(), kSourcePathChars),
                disk.sourcePath.begin());
}

std::string sourcePathTrimmed(const DiskImage& disk) {
    std::string path(disk.sourcePath.begin(), disk.sourcePath.end());
    while (!path.empty() && (path.back() == ' ' || path.back() == '\0')) {
        path.pop_back();
    }
    return path;
}

}  // namespace sv
