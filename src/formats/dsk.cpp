// The sector-table DSK image: blocks of a 2901-entry table (three bytes each), a write-protect
// byte, then the data of the used entries in table order. A file with more sectors holds
// further blocks, each starting where the previous block's data ends.
#include "formats/dsk.h"

#include <algorithm>
#include <array>

#include "core/byte_reader.h"
#include "formats/image_file.h"

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
    case 0: return 1;  // F8
    case 1: return 2;  // F9
    default: return 0;  // FB, and FA, which MFM has no code for
    }
}

void decodeDsk(std::span<const std::uint8_t> bytes, DiskImage& disk, LogEditor& text,
               const std::string& path) {
    const ByteReader in(bytes);
    disk.writeProtect = in.u8(kWriteProtectOffset) == 0x00 ? 0xFF : 0x00;
    disk.sideCount = 1;
    text.openField(sectorField(0, 0, 0), true);

    SkippedSectors beyondCylinders;
    SkippedSectors beyondSlots;
    int shortSectors = 0;
    int highestCylinder = -1;
    std::string lastField = sectorField(0, 0, 0);
    std::size_t block = 0;
    bool tableCut = false;
    while (block < bytes.size()) {
        if (!in.has(block, kBlockTableBytes)) {
            tableCut = true;
        }
        std::size_t dataPos = block + kBlockTableBytes;
        for (std::size_t e = 0; e < kEntriesPerBlock && in.has(block + 3 * e, 3); ++e) {
            const std::size_t at = block + 3 * e;
            const std::uint8_t cylinder = in.u8(at);
            if (cylinder == kFreeEntry) {
                continue;
            }
            const std::uint8_t record = in.u8(at + 1);
            const std::uint8_t flags = in.u8(at + 2);
            const int side = (flags & kFlagSide) != 0 ? 1 : 0;
            const std::uint8_t sizeCode = kSizeCodeOfBits[flags & 3];
            const std::size_t length = std::size_t{128} << sizeCode;
            const auto data = in.bytes(dataPos, length);
            dataPos += length;

            if (cylinder >= kMaxCylinders) {
                beyondCylinders.add(sectorField(cylinder, side, record));
                continue;
            }
            SectorEntry* entry = appendSector(disk, side, cylinder);
            if (entry == nullptr) {
                beyondSlots.add(sectorField(cylinder, side, record));
                continue;
            }
            if (side == 1) {
                disk.sideCount = 2;
            }
            highestCylinder = std::max<int>(highestCylinder, cylinder);
            entry->cylinder = cylinder;
            entry->head = static_cast<std::uint8_t>(side);
            entry->record = record;
            entry->sizeCode = sizeCode;
            entry->singleDensity = (flags & kFlagMfm) != 0 ? 0 : 1;
            lastField = sectorField(cylinder, side, record);
            text.setField(lastField);
            setSectorData(*entry, data);
            const int code = (flags >> 5) & 3;
            entry->status = entry->singleDensity == 1 ? kFmMarkBits[code] : kMfmMarkBits[code];
            // A sector cut off by the end of the file is not good data.
            if (data.size() < length) {
                ++shortSectors;
            }
            if ((flags & kFlagCrcError) != 0 || data.size() < length) {
                entry->status |= status::dataCrcError;
                text.mark(" CRC");
            }
        }
        block = dataPos;
    }

    std::vector<std::string> notes;
    if (tableCut) {
        notes.push_back(path + " ends inside a sector table; the entries after the end are lost.");
    }
    if (shortSectors > 0) {
        notes.push_back(path + " ends inside the data of " + std::to_string(shortSectors) +
                        (shortSectors == 1 ? " sector" : " sectors") +
                        "; what is missing reads as spaces, marked CRC.");
    }
    if (beyondCylinders.any()) {
        notes.push_back(beyondCylinders.report("lie beyond cylinder 79"));
    }
    if (beyondSlots.any()) {
        notes.push_back(beyondSlots.report("are beyond the 30th sector of their track"));
    }
    if (highestCylinder < 0) {
        abortEmptyLoad(text, disk, std::move(notes), path + " holds no sector entry that could be read.",
                       ReaderWording::WithFullStops);
        return;
    }
    // Every cylinder that holds a sector is inside the geometry, also past a track that holds
    // none (an unreadable track leaves no entries).
    disk.trackCount = static_cast<std::uint8_t>(highestCylinder + 1);
    if (disk.trackCount > 1) {
        disk.trackLength = disk.track(0, 0).sectorCount >= kLongTrackMinSectors ? kLongTrackLength
                                                                               : kShortTrackLength;
    }
    addNotesAboveClosing(text, notes, lastField);
    text.finish(" - DSK image loaded.");
}

}  // namespace

void loadDskImage(const std::string& path, DiskImage& disk, OperationLog& log) {
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
    for (int s = 0; s < disk.sideCount && s < kMaxSides; ++s) {
        for (int c = 0; c < disk.trackCount && c < kMaxCylinders; ++c) {
            const TrackRecord& track = disk.track(s, c);
            for (int k = 0; k < track.sectorCount && k < kMaxSectorsPerTrack; ++k) {
                const SectorEntry& e = track.sectors[k];
                if (e.sizeCode > 3) {
                    text.fail(sectorField(e.cylinder, e.head, e.record) + " is " +
                                  std::to_string(e.lengthBytes()) +
                                  " bytes long; DSK holds sectors of 128 to 1024 bytes only.",
                              "Operation aborted.");
                    return false;
                }
            }
        }
    }

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
    int idErrors = 0;
    std::string lastField = sectorField(0, 0, 0);
    for (int s = 0; s < disk.sideCount && s < kMaxSides; ++s) {
        for (int c = 0; c < disk.trackCount && c < kMaxCylinders; ++c) {
            const TrackRecord& track = disk.track(s, c);
            for (int k = 0; k < track.sectorCount && k < kMaxSectorsPerTrack; ++k) {
                const SectorEntry& entry = track.sectors[k];
                if (e == kEntriesPerBlock) {
                    startBlock();
                }
                std::uint8_t flags = static_cast<std::uint8_t>(
                    (entry.singleDensity == 1 ? 0 : kFlagMfm) | (markCode(entry) << 5) |
                    ((entry.head & 1) != 0 ? kFlagSide : 0) | kBitsOfSizeCode[entry.sizeCode & 3]);
                lastField = sectorField(entry.cylinder, entry.head, entry.record);
                text.setField(lastField);
                if ((entry.status & status::dataCrcError) != 0) {
                    flags |= kFlagCrcError;
                    text.mark(" CRC");
                }
                if ((entry.status & status::idCrcError) != 0) {
                    ++idErrors;
                }
                file[block + 3 * e] = entry.cylinder;
                file[block + 3 * e + 1] = entry.record;
                file[block + 3 * e + 2] = flags;
                file.insert(file.end(), entry.data.begin(),
                            entry.data.begin() + static_cast<std::ptrdiff_t>(entry.lengthBytes()));
                ++e;
            }
        }
    }
    if (idErrors > 0) {
        addNotesAboveClosing(
            text,
            {std::to_string(idErrors) + (idErrors == 1 ? " sector has" : " sectors have") +
             " a bad ID; DSK cannot mark that, so it is saved as a good ID."},
            lastField);
    }
    if (!commitImageFile(path, file, text)) {
        return false;
    }
    text.finish(" - DSK image saved.");
    return true;
}

void loadDskBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading DSK Image: " + path);
    decodeDsk(bytes, disk, text, path);
}

}  // namespace sv
