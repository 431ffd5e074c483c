// IMD: a text header ended by 0x1A, then one record per track (mode, cylinder, head, sector
// count, size code, the sector maps) followed by one typed data record per sector.
#include <algorithm>
#include <array>

#include "core/byte_reader.h"
#include "core/file_io.h"
#include "formats/image_file.h"
#include "formats/imd.h"

namespace sv {

namespace {

constexpr std::uint8_t kHeaderEnd = 0x1A;
constexpr std::uint8_t kHeadBitSide = 0x01;
constexpr std::uint8_t kHeadBitHeadMap = 0x40;
constexpr std::uint8_t kHeadBitCylinderMap = 0x80;
constexpr int kFirstMfmMode = 3;
constexpr int kMaxSizeCode = 6;  // 8192 bytes, the largest the format defines

struct RecordType {
    bool hasData;
    bool compressed;
    std::uint8_t status;
    std::string_view marker;
};

// Data record types 0..8.
constexpr std::array<RecordType, 9> kRecordTypes{{
    {false, false, 0x83, " BadID"},  // data unavailable
    {true, false, 0x03, ""},
    {true, true, 0x03, ""},
    {true, false, 0x04, ""},
    {true, true, 0x04, ""},
    {true, false, 0x43, " CRC"},
    {true, true, 0x43, " CRC"},
    {true, false, 0x44, " CRC"},
    {true, true, 0x44, " CRC"},
}};

std::uint16_t trackLengthForMode(int mode) {
    switch (mode) {
    case 0:
    case 3: return 10560;
    case 1:
    case 2:
    case 4:
    case 5: return 6528;
    default: return 0;
    }
}

std::string plural(int count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void decodeImd(std::span<const std::uint8_t> bytes, DiskImage& disk, LogEditor& text,
               const std::string& path) {
    const ByteReader in(bytes);
    const auto headerEnd = std::find(bytes.begin(), bytes.end(), kHeaderEnd);
    if (headerEnd == bytes.end()) {
        text.fail(path + " has no end of header (0x1A); it is not an IMD image",
                  "Operation aborted");
        return;
    }

    std::string header;
    for (auto it = bytes.begin(); it != headerEnd; ++it) {
        if (*it > 31) {
            header += static_cast<char>(*it);
        } else if ((*it == 13 || *it == 10) &&
                   !(header.empty() ||
                     (header.size() >= 2 && header.compare(header.size() - 2, 2, "\r\n") == 0))) {
            header += "\r\n";
        }
    }
    text.line(header);

    std::size_t pos = static_cast<std::size_t>(headerEnd - bytes.begin()) + 1;
    disk.formatFlags = 0x10;
    disk.sideCount = 1;
    disk.trackLength = trackLengthForMode(in.u8(pos));
    text.openField(shortSectorField(0, 0, 0), false);

    std::string lastField = shortSectorField(0, 0, 0);
    SkippedSectors beyond;
    std::string endNote;
    int tracksKept = 0;
    std::vector<std::uint8_t> sector;
    while (in.has(pos, 2) && endNote.empty()) {
        if (!in.has(pos, 5)) {
            endNote = path + " ends inside a track header; the rest is lost.";
            break;
        }
        const int mode = in.u8(pos);
        const int cylinder = in.u8(pos + 1);
        const std::uint8_t headByte = in.u8(pos + 2);
        const int count = in.u8(pos + 3);
        const int sizeCode = in.u8(pos + 4);
        pos += 5;
        const int side = headByte & kHeadBitSide;
        if (sizeCode > kMaxSizeCode) {
            endNote = "The track record of cylinder " + std::to_string(cylinder) + " head " +
                      std::to_string(side) + " has size code " + std::to_string(sizeCode) +
                      ", which the format does not define; the rest of " + path +
                      " cannot be read.";
            break;
        }
        const std::size_t numbering = pos;
        const std::size_t cylinderMap = numbering + static_cast<std::size_t>(count);
        const std::size_t headMap =
            cylinderMap + ((headByte & kHeadBitCylinderMap) != 0 ? static_cast<std::size_t>(count) : 0);
        pos = headMap + ((headByte & kHeadBitHeadMap) != 0 ? static_cast<std::size_t>(count) : 0);
        if (!in.has(numbering, pos - numbering)) {
            endNote = path + " ends inside the sector maps of cylinder " +
                      std::to_string(cylinder) + " head " + std::to_string(side) +
                      "; that track and the rest are lost.";
            break;
        }
        if (side == 1) {
            disk.formatFlags = 0x00;
            disk.sideCount = 2;
        }
        if (cylinder < kMaxCylinders) {
            ++tracksKept;
        }

        const std::size_t length = std::size_t{128} << sizeCode;
        // Once the file has ended, the track's remaining sectors load as record type 0 does, so
        // every sector the numbering map names is kept and a merge can fill it.
        int unread = 0;
        std::string cutField;
        for (int k = 0; k < count; ++k) {
            const auto index = static_cast<std::size_t>(k);
            const std::uint8_t c = (headByte & kHeadBitCylinderMap) != 0
                                       ? in.u8(cylinderMap + index)
                                       : static_cast<std::uint8_t>(cylinder);
            const std::uint8_t h = (headByte & kHeadBitHeadMap) != 0 ? in.u8(headMap + index)
                                                                    : static_cast<std::uint8_t>(side);
            const std::uint8_t r = in.u8(numbering + index);
            const bool ended = !in.has(pos) || !cutField.empty();
            const std::uint8_t type = ended ? 0 : in.u8(pos++);
            const RecordType kind =
                type < kRecordTypes.size() ? kRecordTypes[type] : RecordType{false, false, 0x00, ""};
            std::span<const std::uint8_t> raw;
            bool cut = false;
            if (kind.hasData) {
                raw = in.bytes(pos, kind.compressed ? 1 : length);
                pos += kind.compressed ? 1 : length;
                cut = raw.size() < (kind.compressed ? 1u : length);
            }
            if (ended) {
                ++unread;
            }

            SectorEntry* entry = appendSector(disk, side, cylinder);
            if (entry == nullptr) {
                beyond.add(shortSectorField(c, h, r));
                continue;
            }
            entry->cylinder = c;
            entry->head = h;
            entry->record = r;
            entry->sizeCode = static_cast<std::uint8_t>(sizeCode);
            entry->singleDensity = mode < kFirstMfmMode ? 1 : 0;
            lastField = shortSectorField(c, h, r);
            text.setField(lastField);
            if (type == 0) {
                sector.assign(length, 0xE5);
            } else if (kind.compressed && !cut) {
                sector.assign(length, raw[0]);
            } else {
                sector.assign(raw.begin(), raw.end());
            }
            setSectorData(*entry, sector);
            entry->status = kind.status;
            setDataState(disk, side, cylinder, disk.track(side, cylinder).sectorCount - 1,
                         dataStateOf({.noDataField = !kind.hasData,
                                      .cutShort = cut,
                                      .crcError = (kind.status & status::dataCrcError) != 0},
                                     entry->sizeCode));
            if (!kind.marker.empty()) {
                text.mark(kind.marker);
            }
            if (cut && (entry->status & status::dataCrcError) == 0) {
                entry->status |= status::dataCrcError;
                text.mark(" CRC");
            }
            if (cut) {
                cutField = lastField;
            }
        }
        const std::string after =
            unread > 0 ? "; " + plural(unread, "sector after it loads", "sectors after it load") +
                             " as unavailable (0xE5, BadID)."
                       : ".";
        if (!cutField.empty()) {
            endNote = path + " ends inside the data of " + cutField +
                      "; what is missing reads as spaces, marked CRC" + after;
        } else if (unread > 0) {
            endNote = path + " ends inside cylinder " + std::to_string(cylinder) + " head " +
                      std::to_string(side) + "; " +
                      plural(unread, "sector of that track loads", "sectors of that track load") +
                      " as unavailable (0xE5, BadID).";
        }
    }

    finishTrackRecordLoad(text, disk, path, tracksKept, endNote, beyond, lastField, " - IMD image loaded.");
}

std::string sideLogPath(const std::string& path) {
    return path.substr(0, path.size() - std::min<std::size_t>(3, path.size())) + "log";
}

}  // namespace

void loadImdImage(const std::string& path, DiskImage& disk, OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading IMD Image: " + path);
    const auto bytes = readImageFile(path, text, ReaderWording::WithoutFullStops);
    if (!bytes) {
        return;
    }
    const std::string sideLog = sideLogPath(path);
    if (sideLog != path) {
        const std::string line = "Loading IMD Image: " + path + "\r\n";
        if (!writeFileAtomically(sideLog, std::span(reinterpret_cast<const std::uint8_t*>(line.data()),
                                                    line.size()))) {
            text.line("The side log file " + sideLog + " could not be written.");
        }
    }
    decodeImd(*bytes, disk, text, path);
}

void loadImdBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading IMD Image: " + path);
    decodeImd(bytes, disk, text, path);
}

}  // namespace sv
