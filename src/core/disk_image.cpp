#include "core/disk_image.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/operation_log.h"

namespace sv {

// The zeroes come from calloc: the system hands out zeroed pages, so a new store costs nothing
// until it is written, and then only the pages written. Filling 5 MB here was most of the time a
// small load and save took.
static_assert(std::is_trivially_default_constructible_v<DiskImage> &&
              std::is_trivially_destructible_v<DiskImage>);

DiskImagePtr makeDiskImage() {
    void* zeroed = std::calloc(1, sizeof(DiskImage));
    if (zeroed == nullptr) {
        throw std::bad_alloc();
    }
    return DiskImagePtr(static_cast<DiskImage*>(zeroed));
}

void DiskImageDeleter::operator()(DiskImage* disk) const { std::free(disk); }

void clear(DiskImage& disk) {
    for (int side = 0; side < kMaxSides; ++side) {
        for (int cylinder = 0; cylinder < kMaxCylinders; ++cylinder) {
            if (disk.written[side][cylinder] != 0) {
                std::memset(static_cast<void*>(&disk.tracks[side][cylinder]), 0, sizeof(TrackRecord));
                disk.dataStates[side][cylinder].fill(DataState{});
            }
        }
    }
    // The header with its padding, the path, and the marks with the tail padding.
    std::memset(static_cast<void*>(&disk), 0, offsetof(DiskImage, tracks));
    disk.sourcePath.fill('\0');
    std::memset(static_cast<void*>(&disk.written), 0, sizeof disk - offsetof(DiskImage, written));
}

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
        disk.written[side][cylinder] = 1;
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

std::string outsideGeometryNote(const DiskImage& disk) {
    int count = 0;
    int firstCylinder = -1;
    int firstSide = 0;
    int lastCylinder = 0;
    int lastSide = 0;
    for (int c = 0; c < kMaxCylinders; ++c) {
        for (int s = 0; s < kMaxSides; ++s) {
            const int held = disk.track(s, c).sectorCount;
            if (held == 0 || (c < disk.trackCount && s < disk.sideCount)) {
                continue;
            }
            if (firstCylinder < 0) {
                firstCylinder = c;
                firstSide = s;
            }
            lastCylinder = c;
            lastSide = s;
            count += std::min(held, kMaxSectorsPerTrack);
        }
    }
    if (count == 0) {
        return {};
    }
    const auto place = [](int c, int s) {
        return "cylinder " + std::to_string(c) + " side " + std::to_string(s);
    };
    std::string where = place(firstCylinder, firstSide);
    if (lastCylinder != firstCylinder || lastSide != firstSide) {
        where += " to " + place(lastCylinder, lastSide);
    }
    return std::to_string(count) + (count == 1 ? " sector lies" : " sectors lie") +
           " outside the stated " + std::to_string(disk.trackCount) +
           (disk.trackCount == 1 ? " cylinder and " : " cylinders and ") +
           std::to_string(disk.sideCount) + (disk.sideCount == 1 ? " side" : " sides") + " (" +
           where + "); kept, and saved, merged and analysed with the rest.";
}

void noteOutsideGeometry(LogEditor& log, const DiskImage& disk) {
    if (const std::string note = outsideGeometryNote(disk); !note.empty()) {
        addNotesAboveClosing(log, {note}, log.field());
    }
}

DataState dataStateOf(const DataFacts& facts, std::uint8_t sizeCode) {
    if (facts.notCaptured) {
        return DataState::NotCaptured;
    }
    if (facts.noDataField) {
        return DataState::NoDataField;
    }
    if (facts.cutShort) {
        return DataState::CutShort;
    }
    if (sizeCode > 3) {
        return DataState::Clipped;
    }
    return facts.crcError ? DataState::CrcError : DataState::Good;
}

void setSectorData(SectorEntry& entry, std::span<const std::uint8_t> bytes) {
    const std::size_t kept = std::min<std::size_t>(bytes.size(), kSectorDataBytes);
    std::copy_n(bytes.begin(), kept, entry.data.begin());
    std::fill(entry.data.begin() + static_cast<std::ptrdiff_t>(kept), entry.data.end(),
              std::uint8_t{0x20});
}

int findSectorSlot(const DiskImage& disk, int cylinder, int side, int record) {
    if (side < 0 || side >= kMaxSides || cylinder < 0 || cylinder >= kMaxCylinders) {
        return -1;
    }
    const TrackRecord& track = disk.track(side, cylinder);
    return lastSlotOfRecord(track, record);
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

bool readSectorData(int cylinder, int side, int record, const DiskImage& disk, SectorData& buffer) {
    const int slot = findSectorSlot(disk, cylinder, side, record);
    if (slot < 0) {
        return false;
    }
    buffer = disk.track(side, cylinder).sectors[slot].data;
    return true;
}

DataState gatherSector(int cylinder, int side, int record, const DiskImage& disk,
                       SectorData& buffer) {
    const int slot = findSectorSlot(disk, cylinder, side, record);
    if (slot < 0) {
        buffer.fill(0xE5);
        return DataState::NoDataField;
    }
    buffer = disk.track(side, cylinder).sectors[slot].data;
    return dataState(disk, side, cylinder, slot);
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
