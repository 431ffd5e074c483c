#pragma once

// What a writer's format cannot hold for a given disk, found before a byte is written. Each
// writer describes its losses as a table of rules; the same table tells the log what to say
// and tells the round-trip tests which sectors may come back changed.

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

struct SectorPlace {
    int side;
    int cylinder;
    int slot;  // 0-based
    friend bool operator==(const SectorPlace&, const SectorPlace&) = default;
};

// One kind of loss. The line reads count + " " + (one or many) + tail; a rule whose writer
// already marks every such sector on its own line has an empty tail and adds no line.
struct LossRule {
    std::string_view one;   // "sector has"
    std::string_view many;  // "sectors have"
    std::string_view tail;  // " a bad ID; ..."
    bool (*applies)(const SectorEntry& entry, DataState state, int side, int cylinder);
};

struct SaveLoss {
    const LossRule* rule;
    std::vector<SectorPlace> sectors;
};

struct SavePreflight {
    std::vector<SaveLoss> losses;

    // Whether the save reports this sector as not coming back as it is.
    [[nodiscard]] bool reports(const SectorPlace& place) const;
    // One line per kind of loss, in rule order.
    [[nodiscard]] std::vector<std::string> lines() const;
};

// Every sector of the held geometry checked against the rules.
[[nodiscard]] SavePreflight preflightSave(const DiskImage& disk, std::span<const LossRule> rules);

// The sides and cylinders a writer walks: the geometry held, so no loaded sector is left out.
void forEachHeldSector(const DiskImage& disk,
                       const auto& visit /* (const SectorEntry&, DataState, side, cylinder, slot) */) {
    const HeldGeometry held = heldGeometry(disk);
    for (int s = 0; s < std::min(held.sides, kMaxSides); ++s) {
        for (int c = 0; c < std::min(held.cylinders, kMaxCylinders); ++c) {
            const TrackRecord& track = disk.track(s, c);
            for (int k = 0; k < track.sectorCount && k < kMaxSectorsPerTrack; ++k) {
                visit(track.sectors[k], dataState(disk, s, c, k), s, c, k);
            }
        }
    }
}

}  // namespace sv
