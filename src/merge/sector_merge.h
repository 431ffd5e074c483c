#pragma once

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

enum class MergeOutcome {
    Skipped,   // the boot area (records 0..2 of cylinder 0, side 0) is never touched
    NoMatch,   // no source sector with that record on the same track
    Replaced,  // data and status taken from the source
    Kept,      // the source's copy is damaged and the target's is not: the good copy stays
};

// The decision for one target sector, given the last source slot on the same track and side
// with the same record (nullptr when there is none).
[[nodiscard]] MergeOutcome decideMerge(int cylinder, int side, const SectorEntry& target,
                                       const SectorEntry* lastSourceMatch);

// The log text of a visited sector's outcome, after its T/H/S field; empty for NoMatch.
// `status` is the status of the sector that decided: the replacing one, or the refused one.
[[nodiscard]] std::string mergeOutcomeText(MergeOutcome outcome, std::uint8_t status);

// Copies sectors of `source` into `target` by track, side and record, walking the target's
// geometry. Only data and status of target slots change.
void mergeImages(DiskImage& target, const DiskImage& source, OperationLog& log);

}  // namespace sv
