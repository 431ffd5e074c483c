#pragma once

// The Model II analysis as its front ends see it: analyseDisk recognises the system that wrote a
// disk, lists its directory and gathers every listed file's bytes, and returns all of it as one
// value. The window and the command-line program only render that value.
//
// Texts taken from the disk (titles, listing lines, BASIC listings) hold one char per disk byte;
// shown as Latin-1 they read as the disk wrote them.

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

// osCode values, as the character codes the analysis stores.
namespace os {
inline constexpr std::uint8_t trsdos = 'T';
inline constexpr std::uint8_t hsds = 'H';
inline constexpr std::uint8_t lsdos = 'L';
inline constexpr std::uint8_t dosplus = 'D';
inline constexpr std::uint8_t trsdos16 = '6';
inline constexpr std::uint8_t fmgCpm = 'F';
inline constexpr std::uint8_t picklesTroutCpm = 'P';
inline constexpr std::uint8_t lifeboatCpm = 'B';
inline constexpr std::uint8_t atonCpm = 'A';
inline constexpr std::uint8_t ucsdPascal = 'U';
inline constexpr std::uint8_t xenixTar = 'Z';
inline constexpr std::uint8_t unknown = 0xFF;
}  // namespace os

// Geometry and allocation of the CP/M family and UCSD Pascal; Model II/16 TRSDOS uses `sides`.
struct DiskParameters {
    std::uint8_t sides = 0;
    std::uint8_t sectorsPerTrack = 0;
    std::uint16_t sectorSize = 0;
    std::uint8_t interleave = 0;  // UCSD sector table step
    std::uint8_t skew = 0;        // CP/M sector table step
    // Record to read for logical sector i (1-based); entry 0 is 0. sectorsPerTrack + 1 entries.
    std::vector<std::uint8_t> sectorTable;
    std::uint8_t blockShift = 0;  // 3: 16 one-byte block numbers; else 8 two-byte, low first
    std::uint8_t blockMask = 0;   // block size (blockMask + 1) x 128
    std::uint8_t lastDirEntry = 0;
    std::uint8_t reservedTracks = 0;
};

struct Recognition {
    bool modelII = false;  // false: trackLength below 8192, nothing else examined
    std::uint8_t osCode = os::unknown;
    std::uint16_t dirTrack = 0;
    std::uint8_t firstDirSector = 0;
    std::uint8_t osVersion = 0;
    std::string diskTitle;
    std::optional<DiskParameters> parameters;  // set for Model II/16, CP/M family and UCSD

    [[nodiscard]] bool recognised() const { return modelII && osCode != os::unknown; }
};

// A sector as a listing read it: the cylinder and head (side) of the track, and its record.
struct SectorAddress {
    int cylinder = 0;
    int head = 0;
    int record = 0;
    friend bool operator==(const SectorAddress&, const SectorAddress&) = default;
};

enum class SectorProblem : std::uint8_t {
    Crc,      // data CRC error, or data cut short by the end of the image
    BadId,    // ID CRC error
    Missing,  // no such sector, or its ID without data
};

// "CRC", "BadID" or "missing", as `dir` and its JSON name them.
[[nodiscard]] const char* sectorProblemName(SectorProblem problem);

struct DamagedSector {
    SectorAddress at;
    SectorProblem problem = SectorProblem::Crc;
};

// The sectors a file's bytes were gathered from, in file order, and the damaged ones among them.
struct FileSectors {
    std::vector<SectorAddress> sectors;
    std::vector<DamagedSector> damaged;

    [[nodiscard]] bool isDamaged() const { return !damaged.empty(); }
};

// One row of the entry table: a listed file.
struct AnalysedEntry {
    int row = 0;  // the row the listing recorded it at (Model II/16 TRSDOS counts from 1)
    std::string listingLine;
    // The file's name as the listing shows it ("PAYROLL/BAS", "SYS \\ FILE"), without the
    // other fields of the line: what extraction names the file after.
    std::string fileName;
    std::vector<std::uint8_t> fileContent;
    // The detokenised listing, for the files the listing hands to the BASIC detokeniser.
    std::optional<std::string> basicListing;

    // The path extraction writes the file to, before host-safe rules: components separated by
    // '/' ("PAYROLL.BAS", "USER/LETTER", "etc/motd").
    std::string name;
    bool isDirectory = false;  // a tar directory: made as a folder, holds no bytes
    // The file's length as its system states it; never more than the gathered bytes.
    std::size_t size = 0;
    std::string date;  // ISO 8601, "" when the listing has none
    std::string note;  // why `size` is the gathered length although the directory said otherwise
    bool text = false;  // written converted by `extract --text`
    FileSectors sectors;

    [[nodiscard]] std::span<const std::uint8_t> exactContent() const {
        return std::span<const std::uint8_t>(fileContent).first(std::min(size, fileContent.size()));
    }
};

struct DiskAnalysis {
    Recognition recognition;
    std::string diskInfo;  // the DiskInfo label text, lines separated by "\r\n"
    std::vector<AnalysedEntry> entries;  // in row order
    // Indices into `entries` in the order the sorted list shows them: by line text compared
    // case-insensitively in ASCII, ties by row.
    std::vector<std::size_t> listOrder;
    // True when the gathered contents reached the analysis' memory budget and later files were
    // cut (only a hostile directory gets there; the log says so).
    bool contentTruncated = false;
    // What analyseDisk added to the log, one line each: the DOCUMENT/CTL index and the note on
    // cut contents.
    std::vector<std::string> reportLines;
};

// Recognises and lists `disk`. Its only report to `log` is `reportLines`, continuing the text
// the log shows.
[[nodiscard]] DiskAnalysis analyseDisk(const DiskImage& disk, OperationLog& log);

// The list order of a set of entries (see DiskAnalysis::listOrder).
[[nodiscard]] std::vector<std::size_t> sortedListOrder(const std::vector<AnalysedEntry>& entries);

}  // namespace sv
