// IMD: a text header ended by 0x1A, then one record per track (mode, cylinder, head, sector
// count, size code, the sector maps) followed by one typed data record per sector.
#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>

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

// The comment up to the 0x1A: control characters dropped, each run of CR and LF one line break.
[[nodiscard]] std::string headerText(std::span<const std::uint8_t> header) {
    std::string text;
    for (const std::uint8_t b : header) {
        if (b > 31) {
            text += static_cast<char>(b);
        } else if ((b == 13 || b == 10) &&
                   !(text.empty() ||
                     (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0))) {
            text += "\r\n";
        }
    }
    return text;
}

struct TrackHeader {
    int mode = 0;
    int cylinder = 0;
    std::uint8_t headByte = 0;
    int count = 0;
    int sizeCode = 0;
    std::size_t numbering = 0;  // where each map starts
    std::size_t cylinderMap = 0;
    std::size_t headMap = 0;

    [[nodiscard]] int side() const { return headByte & kHeadBitSide; }
    [[nodiscard]] std::size_t sectorLength() const { return std::size_t{128} << sizeCode; }
};

// The track header at `pos` with its sector maps; `pos` moves past them. Where they cannot be
// read, the loader is told why and nothing is returned.
[[nodiscard]] std::optional<TrackHeader> readTrackHeader(const ByteReader& in, std::size_t& pos,
                                                         const std::string& path,
                                                         TrackRecordLoader& loader) {
    if (!in.has(pos, 5)) {
        loader.stop(path + " ends inside a track header; the rest is lost.");
        return std::nullopt;
    }
    TrackHeader t{.mode = in.u8(pos),
                  .cylinder = in.u8(pos + 1),
                  .headByte = in.u8(pos + 2),
                  .count = in.u8(pos + 3),
                  .sizeCode = in.u8(pos + 4)};
    pos += 5;
    if (t.sizeCode > kMaxSizeCode) {
        loader.stop("The track record of cylinder " + std::to_string(t.cylinder) + " head " +
                    std::to_string(t.side()) + " has size code " + std::to_string(t.sizeCode) +
                    ", which the format does not define; the rest of " + path + " cannot be read.");
        return std::nullopt;
    }
    const auto count = static_cast<std::size_t>(t.count);
    t.numbering = pos;
    t.cylinderMap = t.numbering + count;
    t.headMap = t.cylinderMap + ((t.headByte & kHeadBitCylinderMap) != 0 ? count : 0);
    pos = t.headMap + ((t.headByte & kHeadBitHeadMap) != 0 ? count : 0);
    if (!in.has(t.numbering, pos - t.numbering)) {
        loader.stop(path + " ends inside the sector maps of cylinder " +
                    std::to_string(t.cylinder) + " head " + std::to_string(t.side()) +
                    "; that track and the rest are lost.");
        return std::nullopt;
    }
    return t;
}

struct SectorRecord {
    std::uint8_t cylinder = 0;
    std::uint8_t head = 0;
    std::uint8_t record = 0;
    std::uint8_t type = 0;
    RecordType kind{};
    std::span<const std::uint8_t> raw;
    bool cut = false;
};

// Sector `k` of the track: its id from the maps and its data record at `pos`, which moves past
// it. After the file has ended (`ended`) a sector reads as record type 0.
[[nodiscard]] SectorRecord readSectorRecord(const ByteReader& in, std::size_t& pos,
                                            const TrackHeader& t, int k, bool ended) {
    const auto index = static_cast<std::size_t>(k);
    SectorRecord s;
    s.cylinder = (t.headByte & kHeadBitCylinderMap) != 0 ? in.u8(t.cylinderMap + index)
                                                         : static_cast<std::uint8_t>(t.cylinder);
    s.head = (t.headByte & kHeadBitHeadMap) != 0 ? in.u8(t.headMap + index)
                                                 : static_cast<std::uint8_t>(t.side());
    s.record = in.u8(t.numbering + index);
    s.type = ended ? 0 : in.u8(pos++);
    s.kind = s.type < kRecordTypes.size() ? kRecordTypes[s.type] : RecordType{false, false, 0x00, ""};
    if (s.kind.hasData) {
        const std::size_t stored = s.kind.compressed ? 1 : t.sectorLength();
        s.raw = in.bytes(pos, stored);
        pos += stored;
        s.cut = s.raw.size() < stored;
    }
    return s;
}

// Puts one sector in the store with its data, status and markers. False when the store could
// not hold it.
[[nodiscard]] bool storeSector(const TrackHeader& t, const SectorRecord& s, DiskImage& disk,
                               LogEditor& text, TrackRecordLoader& loader) {
    SectorEntry* entry = loader.keepSector(t.side(), t.cylinder, s.cylinder, s.head, s.record);
    if (entry == nullptr) {
        return false;
    }
    entry->sizeCode = static_cast<std::uint8_t>(t.sizeCode);
    entry->singleDensity = t.mode < kFirstMfmMode ? 1 : 0;
    const std::size_t length = t.sectorLength();
    std::vector<std::uint8_t> sector;
    if (s.type == 0) {
        sector.assign(length, 0xE5);
    } else if (s.kind.compressed && !s.cut) {
        sector.assign(length, s.raw[0]);
    } else {
        sector.assign(s.raw.begin(), s.raw.end());
    }
    setSectorData(*entry, sector);
    entry->status = s.kind.status;
    setDataState(disk, t.side(), t.cylinder, disk.track(t.side(), t.cylinder).sectorCount - 1,
                 dataStateOf({.noDataField = !s.kind.hasData,
                              .cutShort = s.cut,
                              .crcError = (s.kind.status & status::dataCrcError) != 0},
                             entry->sizeCode));
    if (!s.kind.marker.empty()) {
        text.mark(s.kind.marker);
    }
    if (s.cut && (entry->status & status::dataCrcError) == 0) {
        entry->status |= status::dataCrcError;
        text.mark(" CRC");
    }
    return true;
}

// The sectors of one track record; where the file ends inside it, the loader is told.
void loadTrack(const ByteReader& in, std::size_t& pos, const TrackHeader& t,
               const std::string& path, DiskImage& disk, LogEditor& text,
               TrackRecordLoader& loader) {
    // Once the file has ended, the track's remaining sectors load as record type 0 does, so
    // every sector the numbering map names is kept and a merge can fill it.
    int unread = 0;
    std::string cutField;
    for (int k = 0; k < t.count; ++k) {
        const bool ended = !in.has(pos) || !cutField.empty();
        const SectorRecord s = readSectorRecord(in, pos, t, k, ended);
        if (ended) {
            ++unread;
        }
        if (storeSector(t, s, disk, text, loader) && s.cut) {
            cutField = shortSectorField(s.cylinder, s.head, s.record);
        }
    }
    const std::string after =
        unread > 0 ? "; " + plural(unread, "sector after it loads", "sectors after it load") +
                         " as unavailable (0xE5, BadID)."
                   : ".";
    if (!cutField.empty()) {
        loader.stop(path + " ends inside the data of " + cutField +
                    "; what is missing reads as spaces, marked CRC" + after);
    } else if (unread > 0) {
        loader.stop(path + " ends inside cylinder " + std::to_string(t.cylinder) + " head " +
                    std::to_string(t.side()) + "; " +
                    plural(unread, "sector of that track loads", "sectors of that track load") +
                    " as unavailable (0xE5, BadID).");
    }
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
    const auto headerBytes = static_cast<std::size_t>(headerEnd - bytes.begin());
    text.line(headerText(bytes.first(headerBytes)));

    std::size_t pos = headerBytes + 1;
    disk.formatFlags = 0x10;
    disk.sideCount = 1;
    disk.trackLength = trackLengthForMode(in.u8(pos));
    TrackRecordLoader loader(text, disk, path);
    while (in.has(pos, 2) && !loader.stopped()) {
        const std::optional<TrackHeader> track = readTrackHeader(in, pos, path, loader);
        if (!track) {
            break;
        }
        if (track->side() == 1) {
            disk.formatFlags = 0x00;
            disk.sideCount = 2;
        }
        loader.beginTrack(track->cylinder);
        loadTrack(in, pos, *track, path, disk, text, loader);
    }
    loader.finish(" - IMD image loaded.");
}

std::string sideLogPath(const std::string& path) {
    return path.substr(0, path.size() - std::min<std::size_t>(3, path.size())) + "log";
}

constexpr std::string_view kSideLogOpening = "Loading IMD Image: ";
// The opening, a path and CR LF; a longer file is none of ours.
constexpr std::uint64_t kLongestSideLog = 8192;

// The side log beside `path`, or the one line that says why there is none.
void writeSideLog(const std::string& path, LogEditor& text) {
    const std::string sideLog = sideLogPath(path);
    if (sideLog == path) {
        return;
    }
    // A file already there is replaced only when it is a side log: the user's own NAME.log
    // (notes on the imaging, say) is never lost to it.
    std::error_code ec;
    if (std::filesystem::symlink_status(sideLog, ec).type() != std::filesystem::file_type::not_found) {
        const FileBytes existing = readWholeFile(sideLog, kLongestSideLog);
        std::string why;
        if (existing.error == ReadFileError::TooLarge) {
            why = "it is longer than a side log";
        } else if (!existing.ok()) {
            why = "it could not be read: " + existing.cause;
        } else if (!std::string_view(reinterpret_cast<const char*>(existing.bytes.data()),
                                     existing.bytes.size())
                        .starts_with(kSideLogOpening)) {
            why = "it does not start with \"" + std::string(kSideLogOpening) + "\"";
        }
        if (!why.empty()) {
            text.line("No side log was written: " + sideLog +
                      " is kept, as it is not a side log of an IMD load (" + why + ").");
            return;
        }
    }
    const std::string line = std::string(kSideLogOpening) + path + "\r\n";
    const WriteResult written = writeFileAtomically(
        sideLog, std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
    if (!written.ok()) {
        text.line("The side log file " + sideLog + " could not be written.");
        text.line(causeLine(written.cause));
    }
}

}  // namespace

void loadImdImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& options) {
    clear(disk);
    LogEditor text(log, "Loading IMD Image: " + path);
    const auto bytes = readImageFile(path, text, ReaderWording::WithoutFullStops);
    if (!bytes) {
        return;
    }
    if (options.imdSideLog) {
        writeSideLog(path, text);
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
