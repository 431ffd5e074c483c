// The sector-table DSK image: blocks of a 2901-entry table (three bytes each), a write-protect
// byte, then the data of the used entries in table order. A file with more sectors holds
// further blocks, each starting where the previous block's data ends.
#include "formats/dsk.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/byte_reader.h"
#include "formats/image_file.h"
#include "formats/save_preflight.h"

namespace sv {

namespace {

constexpr std::size_t kEntriesPerBlock = 2901;
constexpr std::size_t kWriteProtectOffset = kEntriesPerBlock * 3;
constexpr std::size_t kBlockTableBytes = kWriteProtectOffset + 1;
constexpr std::uint8_t kFreeEntry = 0xFF;

constexpr std::uint8_t kFlagMfm = 0x80;
constexpr std::uint8_t kFlagSide = 0x10;
constexpr std::uint8_t kFlagCrcError = 0x08;

// File size bits -> sizeCode, and back.
constexpr std::array<std::uint8_t, 4> kSizeCodeOfBits{1, 0, 3, 2};
constexpr std::array<std::uint8_t, 4> kBitsOfSizeCode{1, 0, 3, 2};

// Data-mark code -> the status bits damBit1/damBit0 (FM and MFM differ for code 1).
constexpr std::array<std::uint8_t, 4> kFmMarkBits{0x03, 0x02, 0x01, 0x00};
constexpr std::array<std::uint8_t, 4> kMfmMarkBits{0x03, 0x00, 0x01, 0x00};

constexpr std::uint16_t kLongTrackLength = 10816;
constexpr std::uint16_t kShortTrackLength = 6528;
constexpr int kLongTrackMinSectors = 19;

std::uint8_t markCode(const SectorEntry& entry) {
    const int bits = entry.status & 3;
    if (entry.singleDensity == 1) {
        return static_cast<std::uint8_t>(3 - bits);  // FB 0, FA 1, F9 2, F8 3
    }
    switch (bits) {
        case 0:
            return 1;  // F8
        case 1:
            return 2;  // F9
        default:
            return 0;  // FB, and FA, which MFM has no code for
    }
}

// A used table entry: the sector's ID and flags. Its data follows the table, in entry order.
struct TableEntry {
    std::uint8_t cylinder;
    std::uint8_t record;
    std::uint8_t flags;

    [[nodiscard]] int side() const { return (flags & kFlagSide) != 0 ? 1 : 0; }
    [[nodiscard]] std::uint8_t sizeCode() const { return kSizeCodeOfBits[flags & 3]; }
    [[nodiscard]] std::size_t length() const { return std::size_t{128} << sizeCode(); }
};

[[nodiscard]] std::optional<TableEntry> tableEntry(const ByteReader& in, std::size_t at) {
    if (in.u8(at) == kFreeEntry) {
        return std::nullopt;
    }
    return TableEntry{in.u8(at), in.u8(at + 1), in.u8(at + 2)};
}

// A block after the first is read only when all of it is there: the table, a write-protect
// byte of 0x00 or 0xFF, and the data its entries name. Anything else is trailing bytes (the
// padding of a file transfer, say), not sectors.
bool isWholeBlock(const ByteReader& in, std::size_t block) {
    if (!in.has(block, kBlockTableBytes)) {
        return false;
    }
    const std::uint8_t protect = in.u8(block + kWriteProtectOffset);
    if (protect != 0x00 && protect != 0xFF) {
        return false;
    }
    std::size_t data = 0;
    for (std::size_t e = 0; e < kEntriesPerBlock; ++e) {
        if (const auto entry = tableEntry(in, block + 3 * e)) {
            data += entry->length();
        }
    }
    return in.has(block + kBlockTableBytes, data);
}

// What a load found besides the sectors kept: the notes above its closing line.
struct DskLoad {
    SkippedSectors beyondCylinders;
    SkippedSectors beyondSlots;
    int shortSectors = 0;
    int highestCylinder = -1;
    bool tableCut = false;
    std::size_t trailing = 0;
    std::string lastField = sectorField(0, 0, 0);
};

void keepEntry(const TableEntry& t, std::span<const std::uint8_t> data, DiskImage& disk,
               LogEditor& text, DskLoad& load) {
    const int side = t.side();
    if (t.cylinder >= kMaxCylinders) {
        load.beyondCylinders.add(sectorField(t.cylinder, side, t.record));
        return;
    }
    SectorEntry* entry = appendSector(disk, side, t.cylinder);
    if (entry == nullptr) {
        load.beyondSlots.add(sectorField(t.cylinder, side, t.record));
        return;
    }
    if (side == 1) {
        disk.sideCount = 2;
    }
    load.highestCylinder = std::max<int>(load.highestCylinder, t.cylinder);
    entry->cylinder = t.cylinder;
    entry->head = static_cast<std::uint8_t>(side);
    entry->record = t.record;
    entry->sizeCode = t.sizeCode();
    entry->singleDensity = (t.flags & kFlagMfm) != 0 ? 0 : 1;
    load.lastField = sectorField(t.cylinder, side, t.record);
    text.setField(load.lastField);
    setSectorData(*entry, data);
    const bool cutShort = data.size() < t.length();
    setDataState(
        disk, side, t.cylinder, disk.track(side, t.cylinder).sectorCount - 1,
        dataStateOf({.cutShort = data.size() < std::min<std::size_t>(t.length(), kSectorDataBytes),
                     .crcError = (t.flags & kFlagCrcError) != 0},
                    entry->sizeCode));
    const int code = (t.flags >> 5) & 3;
    entry->status = entry->singleDensity == 1 ? kFmMarkBits[code] : kMfmMarkBits[code];
    // A sector cut off by the end of the file is not good data.
    if (cutShort) {
        ++load.shortSectors;
    }
    if ((t.flags & kFlagCrcError) != 0 || cutShort) {
        entry->status |= status::dataCrcError;
        text.mark(" CRC");
    }
}

// The entries of the block at `block` and their data; returns where the block's data ends.
[[nodiscard]] std::size_t readBlock(const ByteReader& in, std::size_t block, DiskImage& disk,
                                    LogEditor& text, DskLoad& load) {
    if (!in.has(block, kBlockTableBytes)) {
        load.tableCut = true;
    }
    std::size_t dataPos = block + kBlockTableBytes;
    for (std::size_t e = 0; e < kEntriesPerBlock && in.has(block + 3 * e, 3); ++e) {
        if (const auto entry = tableEntry(in, block + 3 * e)) {
            keepEntry(*entry, in.bytes(dataPos, entry->length()), disk, text, load);
            dataPos += entry->length();
        }
    }
    return dataPos;
}

[[nodiscard]] std::vector<std::string> loadNotes(const DskLoad& load, const std::string& path) {
    std::vector<std::string> notes;
    if (load.tableCut) {
        notes.push_back(path + " ends inside a sector table; the entries after the end are lost.");
    }
    if (load.shortSectors > 0) {
        notes.push_back(path + " ends inside the data of " + std::to_string(load.shortSectors) +
                        (load.shortSectors == 1 ? " sector" : " sectors") +
                        "; what is missing reads as spaces, marked CRC.");
    }
    if (load.trailing > 0) {
        notes.push_back(path + " has " + std::to_string(load.trailing) +
                        " bytes after its last sector table that are not another table with its "
                        "data; they are ignored.");
    }
    if (load.beyondCylinders.any()) {
        notes.push_back(load.beyondCylinders.report("lie beyond cylinder 79"));
    }
    if (load.beyondSlots.any()) {
        notes.push_back(load.beyondSlots.report("are beyond the 30th sector of their track"));
    }
    return notes;
}

void decodeDsk(std::span<const std::uint8_t> bytes, DiskImage& disk, LogEditor& text,
               const std::string& path) {
    const ByteReader in(bytes);
    disk.writeProtect = in.u8(kWriteProtectOffset) == 0x00 ? 0xFF : 0x00;
    disk.sideCount = 1;
    text.openField(sectorField(0, 0, 0), true);

    DskLoad load;
    for (std::size_t block = 0; block < bytes.size();) {
        if (block > 0 && !isWholeBlock(in, block)) {
            load.trailing = bytes.size() - block;
            break;
        }
        block = readBlock(in, block, disk, text, load);
    }

    std::vector<std::string> notes = loadNotes(load, path);
    if (load.highestCylinder < 0) {
        abortEmptyLoad(text, disk, std::move(notes),
                       path + " holds no sector entry that could be read.",
                       ReaderWording::WithFullStops);
        return;
    }
    // Every cylinder that holds a sector is inside the geometry, also past a track that holds
    // none (an unreadable track leaves no entries).
    disk.trackCount = static_cast<std::uint8_t>(load.highestCylinder + 1);
    if (disk.trackCount > 1) {
        disk.trackLength = disk.track(0, 0).sectorCount >= kLongTrackMinSectors ? kLongTrackLength
                                                                                : kShortTrackLength;
    }
    if (std::string note = outsideGeometryNote(disk); !note.empty()) {
        notes.push_back(std::move(note));
    }
    addNotesAboveClosing(text, notes, load.lastField);
    text.finish(" - DSK image loaded.");
}

}  // namespace

void loadDskImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& /*options*/) {
    clear(disk);
    LogEditor text(log, "Loading DSK Image: " + path);
    const auto bytes = readImageFile(path, text, ReaderWording::WithFullStops);
    if (!bytes) {
        return;
    }
    decodeDsk(*bytes, disk, text, path);
}

bool saveDskImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    LogEditor text(log, "Saving DSK Image: " + path);

    // Refused before anything is written: the table has no code for these lengths, so the file
    // would not read back.
    bool refused = false;
    forEachHeldSector(disk, [&](const SectorEntry& e, DataState, int, int, int) {
        if (e.sizeCode > 3 && !refused) {
            refused = true;
            text.fail(sectorField(e.cylinder, e.head, e.record) + " is " +
                          std::to_string(e.lengthBytes()) +
                          " bytes long; DSK holds sectors of 128 to 1024 bytes only.",
                      "Operation aborted.");
        }
    });
    if (refused) {
        return false;
    }
    const SavePreflight preflight = dskSavePreflight(disk);

    std::vector<std::uint8_t> file;
    std::size_t block = 0;
    std::size_t e = 0;
    const auto startBlock = [&] {
        block = file.size();
        file.resize(block + kBlockTableBytes, kFreeEntry);
        file[block + kWriteProtectOffset] = disk.writeProtect != 0 ? 0x00 : 0xFF;
        e = 0;
    };
    startBlock();
    text.openField(sectorField(0, 0, 0), true);
    std::string lastField = sectorField(0, 0, 0);
    forEachHeldSector(disk, [&](const SectorEntry& entry, DataState state, int s, int c, int) {
        if (e == kEntriesPerBlock) {
            startBlock();
        }
        // The table places a sector by the cylinder and side it names, so the track's own are
        // written: the sector reloads where it was, whatever its ID says.
        std::uint8_t flags = static_cast<std::uint8_t>(
            (entry.singleDensity == 1 ? 0 : kFlagMfm) | (markCode(entry) << 5) |
            (s == 1 ? kFlagSide : 0) | kBitsOfSizeCode[entry.sizeCode & 3]);
        lastField = sectorField(entry.cylinder, entry.head, entry.record);
        text.setField(lastField);
        if ((entry.status & status::dataCrcError) != 0 || isFill(state) ||
            state == DataState::CutShort) {
            flags |= kFlagCrcError;
            text.mark(" CRC");
        }
        file[block + 3 * e] = static_cast<std::uint8_t>(c);
        file[block + 3 * e + 1] = entry.record;
        file[block + 3 * e + 2] = flags;
        file.insert(file.end(), entry.data.begin(),
                    entry.data.begin() + static_cast<std::ptrdiff_t>(entry.lengthBytes()));
        ++e;
    });
    addNotesAboveClosing(text, preflight.lines(), lastField);
    if (!commitImageFile(path, file, text)) {
        return false;
    }
    text.finish(" - DSK image saved.");
    return true;
}

namespace {

constexpr std::array<LossRule, 6> kDskLosses{{
    {"sector has", "sectors have", " a bad ID; DSK cannot mark that, so it is saved as a good ID.",
     [](const SectorEntry& e, DataState, int, int) {
         return (e.status & status::idCrcError) != 0;
     }},
    {"sector has", "sectors have",
     " an ID cylinder that is not its track's; DSK keeps one cylinder number, so the track's is "
     "saved.",
     [](const SectorEntry& e, DataState, int, int c) { return e.cylinder != c; }},
    {"sector has", "sectors have",
     " an ID head that is not its side; DSK keeps the side only, so the side is saved as the head.",
     [](const SectorEntry& e, DataState, int s, int) { return e.head != s; }},
    {"sector has", "sectors have",
     " the MFM data mark FA, which DSK has no code for; it is saved as FB.",
     [](const SectorEntry& e, DataState, int, int) {
         return e.singleDensity == 0 && (e.status & 3) == 2;
     }},
    {"sector has", "sectors have", " deleted data; DSK keeps its mark but not the deleted flag.",
     [](const SectorEntry& e, DataState, int, int) {
         return (e.status & status::deletedData) != 0;
     }},
    {"sector holds", "sectors hold",
     " fill, not data (no data field, not captured or cut short); DSK cannot say so, so it is "
     "saved as a CRC error.",
     [](const SectorEntry&, DataState state, int, int) {
         return isFill(state) || state == DataState::CutShort;
     }},
}};

}  // namespace

SavePreflight dskSavePreflight(const DiskImage& disk) { return preflightSave(disk, kDskLosses); }

void loadDskBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading DSK Image: " + path);
    decodeDsk(bytes, disk, text, path);
}

}  // namespace sv
