#pragma once

// A disk as the fixture generator sees it: tracks of sectors, each with its ID, encoding, mark,
// data and deliberate faults. The containers (DMK, IMD, TD0, DSK, raw, HFE, SCP) turn it into
// file bytes with code of their own, never the engine's writers, so a reader is not tested only
// against the writer it shares code with.

#include <cstdint>
#include <string>
#include <vector>

namespace mkdisk {

struct Sector {
    std::uint8_t cylinder = 0;
    std::uint8_t head = 0;
    std::uint8_t record = 1;
    std::uint8_t sizeCode = 1;
    bool fm = false;
    std::uint8_t mark = 0xFB;          // data address mark: FB normal, F8 deleted, F9, FA
    std::vector<std::uint8_t> data;    // padded with 0xE5 (or cut) to 128 << sizeCode
    bool badIdCrc = false;
    bool badDataCrc = false;
    bool fmSingleBytes = false;        // DMK: store this FM sector's bytes once, not doubled
    bool noDataField = false;          // an ID without a data field
    int weakGoodRevolution = -1;       // SCP: the data reads differently in every revolution
                                       // but this one, where it reads well
    bool notCaptured = false;          // TD0: skipped by the imaging program (flag 0x10, no data)
};

struct Track {
    std::vector<Sector> sectors;
};

struct Disk {
    int cylinders = 0;
    int sides = 1;
    std::vector<Track> tracks;  // index cylinder * sides + side
    std::string comment;        // IMD and TD0 comment text

    Disk(int cylinderCount, int sideCount);
    Track& at(int cylinder, int side) { return tracks[static_cast<std::size_t>(cylinder * sides + side)]; }
    const Track& at(int cylinder, int side) const {
        return tracks[static_cast<std::size_t>(cylinder * sides + side)];
    }
    // The sector of (cylinder, side) with that record, or nullptr.
    Sector* find(int cylinder, int side, int record);
};

// Records firstRecord..lastRecord of 128 << sizeCode bytes, in order.
struct TrackShape {
    int firstRecord;
    int lastRecord;
    std::uint8_t sizeCode;
};

// Cylinder 0 side 0 in FM with the `boot` shape, every other track MFM with `rest`; data 0xE5.
[[nodiscard]] Disk shapedDisk(int cylinders, int sides, TrackShape boot, TrackShape rest);

// The Model II geometry: cylinder 0 side 0 FM 26 x 128, every other track MFM 26 x 256,
// records 1..26 in order, data 0xE5.
[[nodiscard]] Disk model2Disk(int sides, int cylinders = 77);

// The sector's data padded with 0xE5 or cut to its length.
[[nodiscard]] std::vector<std::uint8_t> sectorBytes(const Sector& sector);

// The floppy CRC, bit by bit (deliberately not the engine's table).
[[nodiscard]] std::uint16_t floppyCrc(const std::vector<std::uint8_t>& bytes, std::uint16_t crc = 0xFFFF);

struct DmkOptions {
    std::uint16_t trackLength = 10560;
    bool singleDensityFlag = false;   // header bit 6
    int pointerHolesEvery = 0;        // > 0: a zero pointer entry after every n sectors
};
[[nodiscard]] std::vector<std::uint8_t> writeDmk(const Disk& disk, const DmkOptions& options = {});

struct ImdOptions {
    std::string date = "07/03/2009 14:05:09";
    bool compress = true;     // sectors of one repeated byte as compressed records
    bool forceMaps = false;   // write cylinder and head maps on every track
};
[[nodiscard]] std::vector<std::uint8_t> writeImd(const Disk& disk, const ImdOptions& options = {});

enum class Td0Encoding { Raw, Pattern, Rle, Mixed };  // Mixed: by record number, all three kinds
struct Td0Options {
    std::uint8_t driveType = 2;
    Td0Encoding encoding = Td0Encoding::Mixed;
    bool emptyComment = false;  // a comment block of length 0
    std::vector<std::uint8_t> created{109, 2, 7, 14, 5, 9};  // year-1900, month-1, day, h, m, s
    bool advancedLzw = false;  // "td", version 1.1: the body as 12-bit LZW codes, one per byte
};
[[nodiscard]] std::vector<std::uint8_t> writeTd0(const Disk& disk, const Td0Options& options = {});

struct DskOptions {
    bool writeProtected = false;
};
[[nodiscard]] std::vector<std::uint8_t> writeDsk(const Disk& disk, const DskOptions& options = {});

// The sector data only, track after track, each track's sectors in record order.
[[nodiscard]] std::vector<std::uint8_t> writeRaw(const Disk& disk);

// Bit-level containers, 8-inch rates (FM 250, MFM 500 kbit/s, 360 rpm), IBM gaps; the cells come
// from mkdisk's own FM/MFM encoder.
[[nodiscard]] std::vector<std::uint8_t> writeHfe(const Disk& disk);

struct ScpOptions {
    int revolutions = 3;
    double jitterCells = 0.10;  // each transition moved by up to this part of a cell, either way
    bool speedVariation = true; // revolution 1 turns 3 % slow, revolution 2 3 % fast, and every
                                // revolution drifts 1 % within itself
    bool indexCued = true;
    std::uint32_t seed = 1;
};
[[nodiscard]] std::vector<std::uint8_t> writeScp(const Disk& disk, const ScpOptions& options = {});

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace mkdisk
