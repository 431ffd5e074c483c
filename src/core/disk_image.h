#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace sv {

inline constexpr int kMaxSides = 2;
inline constexpr int kMaxCylinders = 80;
inline constexpr int kMaxSectorsPerTrack = 30;
inline constexpr int kSectorDataBytes = 1024;
inline constexpr int kSourcePathChars = 128;

// Bits of SectorEntry::status. The data address mark is 0xF8 + (status & 3).
namespace status {
inline constexpr std::uint8_t damBit0 = 0x01;
inline constexpr std::uint8_t damBit1 = 0x02;
inline constexpr std::uint8_t deletedData = 0x04;
inline constexpr std::uint8_t dataCrcError = 0x40;
inline constexpr std::uint8_t idCrcError = 0x80;
}  // namespace status

using SectorData = std::array<std::uint8_t, kSectorDataBytes>;

// What a slot's data bytes are, kept beside the store so SectorEntry keeps its layout. `status`
// says what the disk recorded (marks, CRC bits); the state says whether the bytes were read.
enum class DataState : std::uint8_t {
    Good,         // read, CRC good
    CrcError,     // read as it came, CRC failed
    NoDataField,  // an ID without its data field: the bytes are fill, not read
    NotCaptured,  // the image says the sector was skipped: the bytes are fill
    CutShort,     // the file ended inside the data: the rest is fill
    Clipped,      // longer than the bytes a slot keeps: the first 1024 are kept
};

struct SectorEntry {
    std::uint8_t cylinder;
    std::uint8_t head;
    std::uint8_t record;
    std::uint8_t singleDensity;  // 1 = FM, 0 = MFM
    std::uint8_t status;
    std::uint8_t sizeCode;  // length 128 << sizeCode
    SectorData data;

    [[nodiscard]] std::size_t lengthBytes() const { return std::size_t{128} << (sizeCode & 0x1F); }
    [[nodiscard]] std::uint8_t dataAddressMark() const {
        return static_cast<std::uint8_t>(0xF8 + (status & 3));
    }
};

struct TrackRecord {
    std::uint8_t sectorCount;
    // Slot k (1-based in the log and the docs) is sectors[k - 1]; the order is the order found.
    std::array<SectorEntry, kMaxSectorsPerTrack> sectors;
};

struct DiskImage {
    std::uint8_t writeProtect;
    std::uint8_t trackCount;  // cylinders per side; 0 = no disk loaded
    std::uint8_t sideCount;
    std::uint16_t trackLength;  // bytes per DMK track, pointer table included
    std::uint8_t formatFlags;   // DMK option flags; 0x10 = single-sided
    std::array<std::array<TrackRecord, kMaxCylinders>, kMaxSides> tracks;  // [side][cylinder]
    std::array<char, kSourcePathChars> sourcePath;
    // dataStates[side][cylinder][slot], parallel to tracks; zero (Good) after clear.
    std::array<std::array<std::array<DataState, kMaxSectorsPerTrack>, kMaxCylinders>, kMaxSides>
        dataStates;
    // written[side][cylinder] is 1 when the track or its data states may have changed since the
    // last clear, so clear zeroes only those. Write tracks through track() or appendSector (never
    // tracks[][] directly): the mutable accessor sets the mark.
    std::array<std::array<std::uint8_t, kMaxCylinders>, kMaxSides> written;

    [[nodiscard]] TrackRecord& track(int side, int cylinder) {
        written[side][cylinder] = 1;
        return tracks[side][cylinder];
    }
    [[nodiscard]] const TrackRecord& track(int side, int cylinder) const {
        return tracks[side][cylinder];
    }
};

// The store is large (about 5 MB); it lives on the heap, allocated once, zeroed.
struct DiskImageDeleter {
    void operator()(DiskImage* disk) const;
};
using DiskImagePtr = std::unique_ptr<DiskImage, DiskImageDeleter>;
[[nodiscard]] DiskImagePtr makeDiskImage();

// Sets every byte to zero: trackCount 0, every slot zero. Costs the tracks written since the last
// clear, not the whole store.
void clear(DiskImage& disk);

[[nodiscard]] inline bool isEmpty(const DiskImage& disk) { return disk.trackCount == 0; }

// The one guarded way into the store: the next free slot of (side, cylinder), counted in
// sectorCount and zeroed (its data state Good), or nullptr when the position or the track is beyond the capacity.
[[nodiscard]] SectorEntry* appendSector(DiskImage& disk, int side, int cylinder);

// The state of slot `slot` (0-based) of (side, cylinder); Good for positions outside the store.
[[nodiscard]] DataState dataState(const DiskImage& disk, int side, int cylinder, int slot);
// Positions outside the store are ignored.
void setDataState(DiskImage& disk, int side, int cylinder, int slot, DataState state);
// The name scripts see: "good", "crcError", "noDataField", "notCaptured", "cutShort", "clipped".
[[nodiscard]] std::string_view dataStateName(DataState state);

// The geometry the sectors occupy: one more than the highest cylinder and side that hold a
// sector, and never less than trackCount and sideCount.
struct HeldGeometry {
    int cylinders;
    int sides;
};
[[nodiscard]] HeldGeometry heldGeometry(const DiskImage& disk);

// The line a load adds when sectors lie outside the geometry it states (trackCount, sideCount):
// how many and where. Empty when every sector is inside.
[[nodiscard]] std::string outsideGeometryNote(const DiskImage& disk);

class LogEditor;
// Adds outsideGeometryNote above the closing line, when there is one. Every loader calls it last.
void noteOutsideGeometry(LogEditor& log, const DiskImage& disk);

// What a reader found of a sector's data field; the state follows from it, the most telling
// fact first (a sector not captured says more than one cut short, and so on).
struct DataFacts {
    bool notCaptured = false;
    bool noDataField = false;
    bool cutShort = false;
    bool crcError = false;
};
[[nodiscard]] DataState dataStateOf(const DataFacts& facts, std::uint8_t sizeCode);

// Whether the slot's bytes are fill rather than read: nothing of them came from the disk.
[[nodiscard]] inline bool isFill(DataState state) {
    return state == DataState::NoDataField || state == DataState::NotCaptured;
}

// Assigns the data field: the bytes given, cut to 1024, the rest of the field spaces.
void setSectorData(SectorEntry& entry, std::span<const std::uint8_t> bytes);

// The slot (0-based) readSectorData takes for (cylinder, side, record), or -1 when none matches.
[[nodiscard]] int findSectorSlot(const DiskImage& disk, int cylinder, int side, int record);
// The 0-based slot of the last sector of the track with that record, or -1: the one sector a
// lookup by record finds.
[[nodiscard]] int lastSlotOfRecord(const TrackRecord& track, int record);

// The last slot of the track whose record matches wins; status, cylinder and head are not
// compared. When nothing matches the buffer is left exactly as it was. Returns whether a slot
// matched. Positions outside the store match nothing.
bool readSectorData(int cylinder, int side, int record, const DiskImage& disk, SectorData& buffer);

// The analysis' gather: the slot readSectorData picks, with its state. A sector the disk does not
// hold comes back as 0xE5 (the formatted-disk byte, so a hex view shows where it is) with the
// state NoDataField, never as the bytes of an earlier read.
[[nodiscard]] DataState gatherSector(int cylinder, int side, int record, const DiskImage& disk,
                                     SectorData& buffer);

// sourcePath is padded with spaces or cut to 128 characters.
void setSourcePath(DiskImage& disk, std::string_view path);
[[nodiscard]] std::string sourcePathTrimmed(const DiskImage& disk);

}  // namespace sv
