#pragma once

// Disk health at a glance: every track side's sectors in the order found with what each amounts
// to, the records missing from each track's sequence, the counts, and the layout in runs. The
// front ends (info, map, the disk map window) only render this.

#include <optional>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "core/sector_health.h"

namespace sv {

struct SurveyedSector {
    int slot;  // 0-based slot of the track
    std::uint8_t cylinder;
    std::uint8_t head;
    std::uint8_t record;
    std::uint8_t sizeCode;
    bool singleDensity;
    std::uint8_t status;
    DataState state;
    SectorHealth health;

    [[nodiscard]] std::size_t lengthBytes() const {
        return std::size_t{128} << (sizeCode & 0x1F);
    }
};

struct TrackSurvey {
    int cylinder;
    int side;
    std::vector<SurveyedSector> sectors;  // in the order found
    // Records of 1..n not on the track, n the highest record found with a good ID (records above
    // the 30 a track can hold do not stretch the sequence).
    std::vector<int> missingRecords;
};

struct HealthCounts {
    int good = 0;
    int deleted = 0;
    int dataCrcError = 0;
    int noData = 0;
    int badId = 0;
    int missing = 0;  // records missing from the sequences, not sectors held

    [[nodiscard]] int sectors() const { return good + deleted + dataCrcError + noData + badId; }
};

// Cylinders firstCylinder..lastCylinder, sides firstSide..lastSide, all laid out alike.
struct LayoutRun {
    int firstCylinder;
    int lastCylinder;
    int firstSide;
    int lastSide;
    std::string layout;  // "MFM 26 x 256"; "FM 1 x 128 + MFM 25 x 256"; "no sectors"
};

struct DiskSurvey {
    int trackCount = 0;  // as the image states its geometry
    int sideCount = 0;
    int trackLength = 0;
    int cylinders = 0;  // the geometry the sectors occupy, never less than the stated one
    int sides = 0;
    std::vector<TrackSurvey> tracks;  // every track side of the held geometry, cylinder-major
    HealthCounts counts;
    std::vector<LayoutRun> layout;

    // The track side, or nullptr outside the geometry.
    [[nodiscard]] const TrackSurvey* track(int cylinder, int side) const;
};

[[nodiscard]] DiskSurvey surveyDisk(const DiskImage& disk);

// A sector as the store holds it: track side and 0-based slot.
struct SectorPlace {
    int cylinder;
    int side;
    int slot;
    auto operator<=>(const SectorPlace&) const = default;
};

// Where the analysis' lookup of (cylinder, side, record) lands: the last slot of the track with
// that record. Turns a file's sector list into places on the map.
[[nodiscard]] std::optional<SectorPlace> placeOfRecord(const DiskImage& disk, int cylinder,
                                                       int side, int record);

// One character per sector on the map: '.' good, 'D' deleted, 'C' data CRC error, 'N' no data,
// 'B' bad ID; '-' a record missing from the sequence.
[[nodiscard]] char healthSymbol(SectorHealth health);
inline constexpr char kMissingSymbol = '-';

// The track side's map row: its sectors' symbols in the order found, then one '-' per missing
// record.
[[nodiscard]] std::string trackSymbols(const TrackSurvey& track);

// "T001-T076 H0-1 MFM 26 x 256", "T000 H0 FM 26 x 128".
[[nodiscard]] std::string layoutRunText(const LayoutRun& run);

// "FM" or "MFM".
[[nodiscard]] const char* densityName(bool singleDensity);

}  // namespace sv
