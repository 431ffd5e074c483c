#include "survey/disk_survey.h"

#include <algorithm>
#include <array>

#include "core/operation_log.h"

namespace sv {

namespace {

std::vector<int> missingRecords(const std::vector<SurveyedSector>& sectors) {
    std::array<bool, kMaxSectorsPerTrack + 1> present{};
    int highest = 0;
    for (const SurveyedSector& s : sectors) {
        if (s.record <= kMaxSectorsPerTrack) {
            present[s.record] = true;
            if (s.health != SectorHealth::BadId) {
                highest = std::max<int>(highest, s.record);
            }
        }
    }
    std::vector<int> missing;
    for (int record = 1; record <= highest; ++record) {
        if (!present[static_cast<std::size_t>(record)]) {
            missing.push_back(record);
        }
    }
    return missing;
}

void count(HealthCounts& counts, SectorHealth health) {
    switch (health) {
    case SectorHealth::Good: ++counts.good; break;
    case SectorHealth::Deleted: ++counts.deleted; break;
    case SectorHealth::DataCrcError: ++counts.dataCrcError; break;
    case SectorHealth::NoData: ++counts.noData; break;
    case SectorHealth::BadId: ++counts.badId; break;
    }
}

// The track's sectors grouped by density and size, in the order each kind first appears.
std::string trackLayout(const TrackSurvey& track) {
    struct Group {
        bool singleDensity;
        std::size_t lengthBytes;
        int count;
    };
    std::vector<Group> groups;
    for (const SurveyedSector& s : track.sectors) {
        auto same = [&s](const Group& g) {
            return g.singleDensity == s.singleDensity && g.lengthBytes == s.lengthBytes();
        };
        if (auto it = std::find_if(groups.begin(), groups.end(), same); it != groups.end()) {
            ++it->count;
        } else {
            groups.push_back({s.singleDensity, s.lengthBytes(), 1});
        }
    }
    if (groups.empty()) {
        return "no sectors";
    }
    std::string text;
    for (const Group& g : groups) {
        if (!text.empty()) {
            text += " + ";
        }
        text += densityName(g.singleDensity);
        text += ' ' + std::to_string(g.count) + " x " + std::to_string(g.lengthBytes);
    }
    return text;
}

struct SideRange {
    int firstSide;
    int lastSide;
    std::string layout;
    bool operator==(const SideRange&) const = default;
};

std::vector<LayoutRun> layoutRuns(const DiskSurvey& survey) {
    std::vector<LayoutRun> runs;
    std::vector<SideRange> previous;
    std::size_t runStart = 0;
    for (int c = 0; c < survey.cylinders; ++c) {
        std::vector<SideRange> ranges;
        for (int s = 0; s < survey.sides; ++s) {
            std::string layout = trackLayout(*survey.track(c, s));
            if (!ranges.empty() && ranges.back().layout == layout) {
                ranges.back().lastSide = s;
            } else {
                ranges.push_back({s, s, std::move(layout)});
            }
        }
        if (c > 0 && ranges == previous) {
            for (std::size_t i = runStart; i < runs.size(); ++i) {
                runs[i].lastCylinder = c;
            }
            continue;
        }
        runStart = runs.size();
        for (const SideRange& r : ranges) {
            runs.push_back({c, c, r.firstSide, r.lastSide, r.layout});
        }
        previous = std::move(ranges);
    }
    return runs;
}

}  // namespace

const TrackSurvey* DiskSurvey::track(int cylinder, int side) const {
    if (cylinder < 0 || cylinder >= cylinders || side < 0 || side >= sides) {
        return nullptr;
    }
    return &tracks[static_cast<std::size_t>(cylinder * sides + side)];
}

DiskSurvey surveyDisk(const DiskImage& disk) {
    DiskSurvey survey;
    survey.trackCount = disk.trackCount;
    survey.sideCount = disk.sideCount;
    survey.trackLength = disk.trackLength;
    const HeldGeometry held = heldGeometry(disk);
    survey.cylinders = std::min(held.cylinders, kMaxCylinders);
    survey.sides = std::min(held.sides, kMaxSides);
    for (int c = 0; c < survey.cylinders; ++c) {
        for (int s = 0; s < survey.sides; ++s) {
            TrackSurvey track{c, s, {}, {}};
            const TrackRecord& record = disk.track(s, c);
            for (int i = 0; i < std::min<int>(record.sectorCount, kMaxSectorsPerTrack); ++i) {
                const SectorEntry& e = record.sectors[i];
                const DataState state = dataState(disk, s, c, i);
                const SectorHealth health = sectorHealth(e, state);
                track.sectors.push_back({i, e.cylinder, e.head, e.record, e.sizeCode,
                                         e.singleDensity == 1, e.status, state, health});
                count(survey.counts, health);
            }
            track.missingRecords = missingRecords(track.sectors);
            survey.counts.missing += static_cast<int>(track.missingRecords.size());
            survey.tracks.push_back(std::move(track));
        }
    }
    survey.layout = layoutRuns(survey);
    return survey;
}

std::optional<SectorPlace> placeOfRecord(const DiskImage& disk, int cylinder, int side,
                                         int record) {
    if (side < 0 || side >= kMaxSides || cylinder < 0 || cylinder >= kMaxCylinders) {
        return std::nullopt;
    }
    const int slot = lastSlotOfRecord(disk.track(side, cylinder), record);
    return slot < 0 ? std::nullopt : std::optional(SectorPlace{cylinder, side, slot});
}

char healthSymbol(SectorHealth health) {
    switch (health) {
    case SectorHealth::Good: return '.';
    case SectorHealth::Deleted: return 'D';
    case SectorHealth::DataCrcError: return 'C';
    case SectorHealth::NoData: return 'N';
    case SectorHealth::BadId: return 'B';
    }
    return '.';
}

std::string trackSymbols(const TrackSurvey& track) {
    std::string row;
    for (const SurveyedSector& s : track.sectors) {
        row += healthSymbol(s.health);
    }
    row.append(track.missingRecords.size(), kMissingSymbol);
    return row;
}

std::string layoutRunText(const LayoutRun& run) {
    std::string text = "T" + zeroPadded(run.firstCylinder, 3);
    if (run.lastCylinder != run.firstCylinder) {
        text += "-T" + zeroPadded(run.lastCylinder, 3);
    }
    text += " H" + std::to_string(run.firstSide);
    if (run.lastSide != run.firstSide) {
        text += "-" + std::to_string(run.lastSide);
    }
    return text + " " + run.layout;
}

const char* densityName(bool singleDensity) { return singleDensity ? "FM" : "MFM"; }

}  // namespace sv
