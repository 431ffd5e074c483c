#pragma once

// Which system wrote a Model II disk: the signature tests in their fixed order, the values the
// listings need, the disk title and the DiskInfo text.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/entry_table.h"

namespace sv {

// The Model II check: large-track disks only.
[[nodiscard]] bool isModel2Disk(const DiskImage& disk);

// Runs the signature tests on a disk that passed the Model II check; the first that matches
// decides. Reads through `reader`, whose buffer is left as the last test left it.
[[nodiscard]] Recognition recogniseSystem(SectorReader& reader);

// CP/M sector table: 1, 1 + skew, ... wrapping by sectorsPerTrack. Entry 0 is 0.
[[nodiscard]] std::vector<std::uint8_t> cpmSectorTable(int sectorsPerTrack, int skew);
// UCSD sector table: as CP/M's, but a wrap lands one further on (2:1 gives odd, then even).
[[nodiscard]] std::vector<std::uint8_t> ucsdSectorTable(int sectorsPerTrack, int interleave);

// The DiskInfo label: the title, then "DirTrack=" with the track in decimal and hexadecimal.
[[nodiscard]] std::string diskInfoText(const Recognition& recognition);

inline constexpr const char* kNotModel2Text = "Not a Model II Disk";

}  // namespace sv
