#include "merge/sector_merge.h"

#include <algorithm>

namespace sv {

namespace {

constexpr std::uint8_t kDamaged = status::dataCrcError | status::idCrcError;

// How little of a copy was read: 0 read clean, 1 read with a fault, 2 nothing read (fill).
int untrust(std::uint8_t status, DataState state) {
    if (isFill(state)) {
        return 2;
    }
    return (status & kDamaged) != 0 || state == DataState::CrcError ||
                   state == DataState::CutShort
               ? 1
               : 0;
}

std::string problemText(std::uint8_t status, DataState state) {
    if ((status & status::dataCrcError) != 0) {
        return " CRC";
    }
    if ((status & status::idCrcError) != 0) {
        return " BadID";
    }
    if (isFill(state)) {
        return " " + std::string(dataStateName(state));
    }
    return {};
}

}  // namespace

MergeOutcome decideMerge(int cylinder, int side, const SectorEntry& target,
                         const SectorEntry* lastSourceMatch, DataState targetState,
                         DataState sourceState) {
    if (cylinder == 0 && side == 0 && target.record < 3) {
        return MergeOutcome::Skipped;
    }
    if (lastSourceMatch == nullptr) {
        return MergeOutcome::NoMatch;
    }
    // A copy never gives way to one less read than itself.
    if (untrust(lastSourceMatch->status, sourceState) > untrust(target.status, targetState)) {
        return MergeOutcome::Kept;
    }
    return MergeOutcome::Replaced;
}

std::string mergeOutcomeText(MergeOutcome outcome, std::uint8_t status, DataState state) {
    switch (outcome) {
    case MergeOutcome::Skipped: return "-> Skipped";
    case MergeOutcome::NoMatch: return {};
    case MergeOutcome::Replaced: return " -> Merged" + problemText(status, state) + " -> Replaced";
    case MergeOutcome::Kept: return " -> Kept (source" + problemText(status, state) + ")";
    }
    return {};
}

void mergeImages(DiskImage& target, const DiskImage& source, OperationLog& log) {
    LogEditor text(log, "Merging disk Images:");
    text.openField(mergeSectorField(0, 0, 0), true);
    const HeldGeometry held = heldGeometry(target);
    const int cylinders = std::min<int>(held.cylinders, kMaxCylinders);
    const int sides = std::min<int>(held.sides, kMaxSides);
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            TrackRecord& track = target.track(s, c);
            const TrackRecord& from = source.track(s, c);
            const int fromCount = std::min<int>(from.sectorCount, kMaxSectorsPerTrack);
            for (int i = 0; i < std::min<int>(track.sectorCount, kMaxSectorsPerTrack); ++i) {
                SectorEntry& entry = track.sectors[i];
                int matchSlot = -1;
                for (int j = 0; j < fromCount; ++j) {
                    if (from.sectors[j].record == entry.record) {
                        matchSlot = j;
                    }
                }
                const SectorEntry* match = matchSlot < 0 ? nullptr : &from.sectors[matchSlot];
                const DataState sourceState = dataState(source, s, c, matchSlot);
                const MergeOutcome outcome =
                    decideMerge(c, s, entry, match, dataState(target, s, c, i), sourceState);
                text.setField(sectorField(entry.cylinder, entry.head, entry.record));
                if (outcome == MergeOutcome::NoMatch) {
                    continue;
                }
                if (outcome == MergeOutcome::Replaced) {
                    entry.data = match->data;
                    entry.status = match->status;
                    setDataState(target, s, c, i, sourceState);
                }
                text.mark(mergeOutcomeText(outcome, match != nullptr ? match->status : 0,
                                           sourceState),
                          "");
            }
        }
    }
    text.setField("");
    text.finish(" - Disk Images merged.");
}

}  // namespace sv
