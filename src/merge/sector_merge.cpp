#include "merge/sector_merge.h"

#include <algorithm>
#include <array>

#include "core/sector_health.h"

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

// The last slot of the source track with the record; -1 when none.
int lastMatch(const TrackRecord& from, std::uint8_t record) {
    int match = -1;
    for (int j = 0; j < std::min<int>(from.sectorCount, kMaxSectorsPerTrack); ++j) {
        if (from.sectors[j].record == record) {
            match = j;
        }
    }
    return match;
}

bool allOneValue(const SectorEntry& entry) {
    const std::size_t length = std::min<std::size_t>(entry.lengthBytes(), kSectorDataBytes);
    const auto end = entry.data.begin() + static_cast<std::ptrdiff_t>(length);
    return std::all_of(entry.data.begin(), end,
                       [&entry](std::uint8_t b) { return b == entry.data[0]; });
}

bool sameId(const SectorEntry& a, const SectorEntry& b) {
    return a.cylinder == b.cylinder && a.head == b.head && a.record == b.record &&
           a.sizeCode == b.sizeCode;
}

std::string plural(int count, const char* one, const char* many) {
    return std::to_string(count) + (count == 1 ? one : many);
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

int SameDiskCheck::equalPercent() const {
    if (compared == 0) {
        return 0;
    }
    const int whole = equal * 100 / compared;
    const int remainder = equal * 100 % compared;
    if (remainder * 2 > compared || (remainder * 2 == compared && whole % 2 == 1)) {
        return whole + 1;
    }
    return whole;
}

SameDiskCheck checkSameDisk(const DiskImage& target, const DiskImage& source) {
    SameDiskCheck check;
    const int cylinders = std::min<int>(target.trackCount, kMaxCylinders);
    const int sides = std::min<int>(target.sideCount, kMaxSides);
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            const TrackRecord& track = target.track(s, c);
            const TrackRecord& from = source.track(s, c);
            for (int i = 0; i < std::min<int>(track.sectorCount, kMaxSectorsPerTrack); ++i) {
                const SectorEntry& entry = track.sectors[i];
                const int j = lastMatch(from, entry.record);
                if (j < 0 || !sameId(entry, from.sectors[j]) ||
                    isDamaged(sectorHealth(target, s, c, i)) ||
                    isDamaged(sectorHealth(source, s, c, j)) || allOneValue(entry) ||
                    allOneValue(from.sectors[j])) {
                    continue;
                }
                const std::size_t length =
                    std::min<std::size_t>(entry.lengthBytes(), kSectorDataBytes);
                ++check.compared;
                if (std::equal(entry.data.begin(),
                               entry.data.begin() + static_cast<std::ptrdiff_t>(length),
                               from.sectors[j].data.begin())) {
                    ++check.equal;
                }
            }
        }
    }
    return check;
}

MergeResult mergeImages(DiskImage& target, const DiskImage& source, OperationLog& log,
                        DifferentDisks differentDisks) {
    MergeResult result;
    result.sameDisk = checkSameDisk(target, source);
    LogEditor text(log, "Merging disk Images:");
    if (result.sameDisk.differentDisks() && differentDisks == DifferentDisks::Refuse) {
        text.line("Nothing was merged: the two images hold different disks (of " +
                  plural(result.sameDisk.compared, " sector", " sectors") +
                  " good on both with the same ID, " +
                  std::to_string(result.sameDisk.equalPercent()) + "% hold the same data).");
        return result;
    }
    text.openField(mergeSectorField(0, 0, 0), true);
    const HeldGeometry held = heldGeometry(target);
    const int cylinders = std::min<int>(held.cylinders, kMaxCylinders);
    const int sides = std::min<int>(held.sides, kMaxSides);
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            TrackRecord& track = target.track(s, c);
            const TrackRecord& from = source.track(s, c);
            for (int i = 0; i < std::min<int>(track.sectorCount, kMaxSectorsPerTrack); ++i) {
                SectorEntry& entry = track.sectors[i];
                const int matchSlot = lastMatch(from, entry.record);
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
                    ++result.replaced;
                } else if (outcome == MergeOutcome::Kept) {
                    ++result.kept;
                }
                text.mark(mergeOutcomeText(outcome, match != nullptr ? match->status : 0,
                                           sourceState),
                          "");
            }
        }
    }
    const std::array counts{plural(result.replaced, " sector replaced", " sectors replaced"),
                            std::to_string(result.kept) + " kept (source damaged)"};
    text.setField(summaryLine(counts, damagedSectors(target)));
    text.line(" - Disk Images merged.");
    result.merged = true;
    return result;
}

}  // namespace sv
