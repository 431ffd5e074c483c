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
// with the same record (nullptr when there is none) and the data states of both. A copy is
// never replaced by one less read than itself: a clean read by a damaged one, or read bytes by
// fill (no data field, not captured).
[[nodiscard]] MergeOutcome decideMerge(int cylinder, int side, const SectorEntry& target,
                                       const SectorEntry* lastSourceMatch,
                                       DataState targetState = DataState::Good,
                                       DataState sourceState = DataState::Good);

// The log text of a visited sector's outcome, after its T/H/S field; empty for NoMatch.
// `status` and `state` are the sector's that decided: the replacing one, or the refused one.
[[nodiscard]] std::string mergeOutcomeText(MergeOutcome outcome, std::uint8_t status,
                                           DataState state = DataState::Good);

// Whether two images hold one disk. Compared are the sectors good on both with the same ID
// (cylinder, head, record, size), leaving out those whose bytes are all one value: formatted,
// unused sectors are alike on every disk.
struct SameDiskCheck {
    static constexpr int kMinimumCompared = 50;
    static constexpr int kMinimumEqualPercent = 20;

    int compared = 0;
    int equal = 0;

    // At least 50 compared and fewer than 20% of them equal.
    [[nodiscard]] bool differentDisks() const {
        return compared >= kMinimumCompared && equal * 100 < compared * kMinimumEqualPercent;
    }
    // Rounded to the nearest integer, halves to even.
    [[nodiscard]] int equalPercent() const;
};

// Pairs sectors as the merge does, over the target's geometry.
[[nodiscard]] SameDiskCheck checkSameDisk(const DiskImage& target, const DiskImage& source);

struct MergeResult {
    bool merged = false;  // false: the images are two different disks and nothing changed
    int replaced = 0;
    int kept = 0;
    SameDiskCheck sameDisk;
};

enum class DifferentDisks {
    Refuse,  // say so in one line and change nothing
    Merge,   // the user confirmed: merge all the same
};

// Copies sectors of `source` into `target` by track, side and record, walking the target's
// geometry as held. Only data, status and data state of target slots change. Above the closing
// line goes the summary: what was replaced, what was kept, what is still damaged.
MergeResult mergeImages(DiskImage& target, const DiskImage& source, OperationLog& log,
                        DifferentDisks differentDisks = DifferentDisks::Refuse);

}  // namespace sv
