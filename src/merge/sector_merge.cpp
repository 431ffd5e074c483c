#include "merge/sector_merge.h"

#include <algorithm>

namespace sv {

namespace {

constexpr std::uint8_t kDamaged = status::dataCrcError | status::idCrcError;

std::string problemText(std::uint8_t status) {
    if ((status & status::dataCrcError) != 0) {
        return " CRC";
    }
    if ((status & status::idCrcError) != 0) {
        return " BadID";
    }
    return {};
}

}  // namespace

MergeOutcome decideMerge(int cylinder, int side, const SectorEntry& target,
                         const SectorEntry* lastSourceMatch) {
    if (cylinder == 0 && side == 0 && target.record < 3) {
        return MergeOutcome::Skipped;
    }
    if (lastSourceMatch == nullptr) {
        return MergeOutcome::NoMatch;
    }
    if ((lastSourceMatch->status & kDamaged) != 0 && (target.status & kDamaged) == 0) {
        return MergeOutcome::Kept;
    }
    return MergeOutcome::Replaced;
}

std::string mergeOutcomeText(MergeOutcome outcome, std::uint8_t status) {
    switch (outcome) {
    case MergeOutcome::Skipped: return "-> Skipped";
    case MergeOutcome::NoMatch: return {};
    case MergeOutcome::Replaced: return " -> Merged" + problemText(status) + " -> Replaced";
    case MergeOutcome::Kept: return " -> Kept (source" + problemText(status) + ")";
    }
    return {};
}

void mergeImages(DiskImage& target, const DiskImage& source, OperationLog& log) {
    LogEditor text(log, "Merging disk Images:");
    text.openField(mergeSectorField(0, 0, 0), true);
    const int cylinders = std::min<int>(target.trackCount, kMaxCylinders);
    const int sides = std::min<int>(target.sideCount, kMaxSides);
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            TrackRecord& track = target.track(s, c);
            const TrackRecord& from = source.track(s, c);
            const int fromCount = std::min<int>(from.sectorCount, kMaxSectorsPerTrack);
            for (int i = 0; i < std::min<int>(track.sectorCount, kMaxSectorsPerTrack); ++i) {
                SectorEntry& entry = track.sectors[i];
                const SectorEntry* match = nullptr;
                for (int j = 0; j < fromCount; ++j) {
                    if (from.sectors[j].record == entry.record) {
                        match = &from.sectors[j];
                    }
                }
                const MergeOutcome outcome = decideMerge(c, s, entry, match);
                text.setField(sectorField(entry.cylinder, entry.head, entry.record));
                if (outcome == MergeOutcome::NoMatch) {
                    continue;
                }
                if (outcome == MergeOutcome::Replaced) {
                    entry.data = match->data;
                    entry.status = match->status;
                }
                text.mark(mergeOutcomeText(outcome, match != nullptr ? match->status : 0), "");
            }
        }
    }
    text.setField("");
    text.finish(" - Disk Images merged.");
}

}  // namespace sv
