#pragma once

// What one sector of the store amounts to for a user: read well, deleted, or damaged in one of
// three ways. Built from the status bits and the data state together, so a sector whose bytes
// are fill never counts as good even when its status bits are clean. The merge, the read and
// the disk survey all judge sectors through this, and name the damaged ones the same way.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk_image.h"

namespace sv {

// Ordered by weight: when a sector has several faults, the heaviest names it.
enum class SectorHealth : std::uint8_t {
    Good,
    Deleted,       // a deleted-data mark (F8), read well
    DataCrcError,  // the data failed its CRC, or the file ended inside it
    NoData,        // no data field was read: the bytes are fill
    BadId,         // the ID failed its CRC
};

[[nodiscard]] SectorHealth sectorHealth(const SectorEntry& entry, DataState state);
// Slot `slot` (0-based) of (side, cylinder); Good outside the store.
[[nodiscard]] SectorHealth sectorHealth(const DiskImage& disk, int side, int cylinder, int slot);

[[nodiscard]] inline bool isDamaged(SectorHealth health) {
    return health == SectorHealth::DataCrcError || health == SectorHealth::NoData ||
           health == SectorHealth::BadId;
}

// The names scripts see: "good", "deleted", "dataCrcError", "noData", "badId".
[[nodiscard]] std::string_view sectorHealthName(SectorHealth health);

// A sector as summaries name it: its ID's cylinder and head, and its record.
struct SectorName {
    int cylinder;
    int head;
    int record;
};

// Every damaged sector of the disk, by cylinder, then side, then slot, over the geometry its
// sectors occupy.
[[nodiscard]] std::vector<SectorName> damagedSectors(const DiskImage& disk);

// The summary line that ends the merge and the read: the counts given, joined by ", ", then
// "K still damaged: T012 H1 S07, T013 H0 S01" naming the first 20 and ending "and N more"
// when there are more; "0 still damaged" when none is.
//   summaryLine({"12 sectors replaced", "3 kept (source damaged)"}, damagedSectors(disk))
[[nodiscard]] std::string summaryLine(std::span<const std::string> counts,
                                      std::span<const SectorName> damaged);

inline constexpr int kSummaryNamesShown = 20;

}  // namespace sv
