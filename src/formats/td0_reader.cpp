// TD0 with normal compression: a 12-byte image header, an optional comment block, then track
// headers each followed by its sector headers and their data blocks, ended by a track header
// whose sector count is 0xFF.
#include <algorithm>
#include <optional>
#include <string_view>

#include "core/byte_reader.h"
#include "formats/image_file.h"
#include "formats/td0.h"
#include "formats/td0_advanced.h"

namespace sv {

namespace {

constexpr std::size_t kImageHeaderBytes = 12;
constexpr std::size_t kCommentHeaderBytes = 10;
constexpr std::uint8_t kSteppingComment = 0x80;
constexpr std::uint8_t kEndOfImage = 0xFF;
constexpr std::uint8_t kTrackHeadFm = 0x80;

constexpr std::uint8_t kFlagDataCrc = 0x02;
constexpr std::uint8_t kFlagDeleted = 0x04;
constexpr std::uint8_t kFlagNoData = 0x10;        // not copied: no data blocks follow
constexpr std::uint8_t kFlagIdWithoutData = 0x20;  // no data field found: no data blocks follow
constexpr std::uint8_t kFlagIdCrc = 0x80;
constexpr int kMaxDataSizeCode = 6;

constexpr std::string_view kMonthNames = "  JanFebMarAprMayJunJulAugSepOctNovDec";

std::uint16_t trackLengthForDriveType(int driveType) {
    switch (driveType) {
    case 1:
    case 3: return 6528;
    case 0:
    case 2:
    case 4:
    case 5:
    case 6: return 10560;
    default: return 0;
    }
}

std::string creationText(const ByteReader& in, std::size_t at) {
    const int year = in.u8(at);
    const int month = in.u8(at + 1);
    const std::size_t monthAt = static_cast<std::size_t>(3 * (month + 1) - 1);
    const std::string monthName =
        monthAt + 3 <= kMonthNames.size() ? std::string(kMonthNames.substr(monthAt, 3)) : "???";
    const int hour = in.u8(at + 3);
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return "Image created: " + zeroPadded(in.u8(at + 2), 2) + " " + monthName + " " +
           zeroPadded(1900 + year, 4) + " at " + zeroPadded(hour12, 2) + ":" +
           zeroPadded(in.u8(at + 4), 2) + ":" + zeroPadded(in.u8(at + 5), 2) +
           (hour > 11 ? "pm" : "am");
}

bool endsWithLineBreak(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

enum class BlockResult { Complete, FileEnded, Overlong };

// Appends `count` copies of `pattern`, never beyond `length` bytes in all. False when the
// pattern did not fit.
bool appendRepeated(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> pattern,
                    std::size_t count, std::size_t length) {
    const std::size_t wanted = count * pattern.size();
    const std::size_t put = std::min(wanted, length - out.size());
    const std::size_t at = out.size();
    out.resize(at + put);
    // One copy of the pattern, then what is written so far copied after itself: a whole number
    // of patterns each time, so the last, partial copy goes on where the pattern left off.
    std::uint8_t* to = out.data() + at;
    std::size_t filled = std::min(pattern.size(), put);
    std::copy_n(pattern.begin(), filled, to);
    while (filled < put) {
        const std::size_t n = std::min(filled, put - filled);
        std::copy_n(to, n, to + filled);
        filled += n;
    }
    return put == wanted;
}

// Decodes data blocks at `pos` until `length` bytes are complete, the file ends, or a block
// decodes to more than the sector holds.
BlockResult decodeBlocks(const ByteReader& in, std::size_t& pos, std::size_t length,
                         std::vector<std::uint8_t>& out) {
    out.clear();
    while (out.size() < length) {
        if (!in.has(pos, 3)) {
            pos = in.size();
            return BlockResult::FileEnded;
        }
        const std::uint8_t encoding = in.u8(pos + 2);
        pos += 3;
        switch (encoding) {
        case 0: {
            const auto raw = in.bytes(pos, length);
            out.assign(raw.begin(), raw.end());
            pos += length;
            if (raw.size() < length) {
                return BlockResult::FileEnded;
            }
            break;
        }
        case 1:
            while (out.size() < length) {
                if (!in.has(pos, 4)) {
                    pos = in.size();
                    return BlockResult::FileEnded;
                }
                const std::size_t count = in.le16(pos);
                if (!appendRepeated(out, in.bytes(pos + 2, 2), count, length)) {
                    pos += 4;
                    return BlockResult::Overlong;
                }
                pos += 4;
            }
            break;
        case 2:
            while (out.size() < length) {
                if (!in.has(pos, 2)) {
                    pos = in.size();
                    return BlockResult::FileEnded;
                }
                const std::size_t kind = in.u8(pos);
                const std::size_t n = in.u8(pos + 1);
                const std::size_t partBytes = kind == 0 ? n : 2 * kind;
                const auto part = in.bytes(pos + 2, partBytes);
                pos += 2 + partBytes;
                if (part.size() < partBytes) {
                    appendRepeated(out, part, 1, length);
                    return BlockResult::FileEnded;
                }
                if (!appendRepeated(out, part, kind == 0 ? 1 : n, length)) {
                    return BlockResult::Overlong;
                }
            }
            break;
        default:
            break;  // a block of no known kind adds nothing; the next block header follows
        }
    }
    return BlockResult::Complete;
}

struct TrackHeader {
    int cylinder = 0;
    std::uint8_t headByte = 0;
    int count = 0;

    [[nodiscard]] int side() const { return headByte & 1; }
};

struct SectorHeader {
    std::uint8_t cylinder = 0;
    std::uint8_t head = 0;
    std::uint8_t record = 0;
    std::uint8_t sizeCode = 0;
    std::uint8_t flags = 0;

    // Only a sector with a data field the image copied has data blocks.
    [[nodiscard]] bool hasBlocks() const {
        return (flags & (kFlagNoData | kFlagIdWithoutData)) == 0 && sizeCode <= kMaxDataSizeCode;
    }
};

// The sector header at `pos`; `pos` moves past it. Nothing when the file ends inside it.
[[nodiscard]] std::optional<SectorHeader> readSectorHeader(const ByteReader& in, std::size_t& pos) {
    if (!in.has(pos, 6)) {
        return std::nullopt;
    }
    const SectorHeader h{.cylinder = in.u8(pos),
                         .head = in.u8(pos + 1),
                         .record = in.u8(pos + 2),
                         .sizeCode = in.u8(pos + 3),
                         .flags = in.u8(pos + 4)};
    pos += 6;
    return h;
}

// Puts one sector with its decoded data in the store, or notes that the store cannot hold it.
void storeSector(const TrackHeader& t, const SectorHeader& h, const std::vector<std::uint8_t>& data,
                 BlockResult result, DiskImage& disk, LogEditor& text, TrackRecordLoader& loader) {
    SectorEntry* entry = loader.keepSector(t.side(), t.cylinder, h.cylinder, h.head, h.record);
    if (entry == nullptr) {
        return;
    }
    const DataFacts facts{.notCaptured = (h.flags & kFlagNoData) != 0,
                          .noDataField = (h.flags & kFlagIdWithoutData) != 0 ||
                                         (!h.hasBlocks() && (h.flags & kFlagNoData) == 0),
                          .cutShort = result == BlockResult::FileEnded,
                          .crcError = (h.flags & kFlagDataCrc) != 0 || result != BlockResult::Complete};
    setDataState(disk, t.side(), t.cylinder, disk.track(t.side(), t.cylinder).sectorCount - 1,
                 dataStateOf(facts, h.sizeCode));
    entry->sizeCode = h.sizeCode;
    entry->singleDensity = (t.headByte & kTrackHeadFm) != 0 ? 1 : 0;
    entry->status = (h.flags & kFlagDeleted) != 0 ? status::deletedData
                                                  : status::damBit0 | status::damBit1;
    setSectorData(*entry, data);
    if ((h.flags & kFlagIdCrc) != 0) {
        entry->status |= status::idCrcError;
        text.mark(" BadID");
    }
    if ((h.flags & (kFlagDataCrc | kFlagIdWithoutData)) != 0 || result != BlockResult::Complete) {
        entry->status |= status::dataCrcError;
        text.mark(" CRC");
    }
}

// The sectors of one track record; where the file ends inside it, the loader is told.
void loadTrack(const ByteReader& in, std::size_t& pos, const TrackHeader& t,
               const std::string& path, DiskImage& disk, LogEditor& text,
               TrackRecordLoader& loader) {
    std::vector<std::uint8_t> data;
    for (int k = 0; k < t.count; ++k) {
        const std::optional<SectorHeader> h = readSectorHeader(in, pos);
        if (!h) {
            loader.stop(path + " ends inside the track of cylinder " + std::to_string(t.cylinder) +
                        " head " + std::to_string(t.side()) + "; the tracks read so far are kept.");
            return;
        }
        data.clear();
        const BlockResult result = h->hasBlocks()
                                       ? decodeBlocks(in, pos, std::size_t{128} << h->sizeCode, data)
                                       : BlockResult::Complete;
        storeSector(t, *h, data, result, disk, text, loader);
        if (result == BlockResult::FileEnded) {
            loader.stop(path + " ends inside the data of " +
                        shortSectorField(h->cylinder, h->head, h->record) +
                        "; what is missing reads as spaces, marked CRC.");
            return;
        }
    }
}

void decodeTd0(std::span<const std::uint8_t> bytes, DiskImage& disk, LogEditor& text,
               const std::string& path) {
    // An advanced file is expanded first and then read as the normal file it stands for.
    Td0Expansion expansion;
    const bool advanced = bytes.size() >= 2 && bytes[0] == 't' && bytes[1] == 'd';
    if (advanced) {
        expansion = expandAdvancedTd0(bytes);
        if (!expansion.expanded.failure.empty()) {
            text.line(path + " " + expansion.expanded.failure + ".");
            text.fail(path + " uses Advanced Compression - Cannot ingest", "Operation aborted");
            return;
        }
        bytes = expansion.expanded.bytes;
    }
    const ByteReader in(bytes);
    const bool normal = in.has(0, 2) && bytes[0] == 'T' && bytes[1] == 'D';
    if (advanced) {
        text.line(path + " uses Advanced Compression (" + expansion.method + "), " +
                  std::to_string(bytes.size() - kTd0HeaderBytes) + " bytes expanded");
    } else if (normal) {
        text.line(path + " uses Normal Compression");
    }
    if (!normal || in.u8(2) != 0 || !in.has(0, kImageHeaderBytes)) {
        text.fail(path + " has a bad header", "Operation aborted");
        return;
    }

    const bool singleSided = in.u8(9) == 1;
    disk.formatFlags = singleSided ? 0x10 : 0x00;
    disk.sideCount = singleSided ? 1 : 2;
    disk.trackLength = trackLengthForDriveType(in.u8(6));

    std::size_t pos = kImageHeaderBytes;
    if ((in.u8(7) & kSteppingComment) != 0) {
        const std::size_t length = in.le16(pos + 2);
        std::string block = creationText(in, pos + 4) + "\r\n\r\n";
        for (const std::uint8_t b : in.bytes(pos + kCommentHeaderBytes, length)) {
            if (b > 31) {
                block += static_cast<char>(b);
            } else if (b == 0 && !endsWithLineBreak(block)) {
                block += "\r\n";
            }
        }
        text.line(block);
        pos += kCommentHeaderBytes + length;
    }
    TrackRecordLoader loader(text, disk, path);
    while (!loader.stopped()) {
        if (!in.has(pos, 4)) {
            loader.stop(path + " ends before its end-of-image mark; the tracks read so far are kept.");
            break;
        }
        const int count = in.u8(pos);
        if (count == kEndOfImage) {
            break;
        }
        const TrackHeader track{.cylinder = in.u8(pos + 1), .headByte = in.u8(pos + 2), .count = count};
        pos += 4;
        loader.beginTrack(track.cylinder);
        loadTrack(in, pos, track, path, disk, text, loader);
    }
    loader.finish(" - Teledisk image loaded.");
}

}  // namespace

void loadTd0Image(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& /*options*/) {
    clear(disk);
    LogEditor text(log, "Loading Teledisk Image: " + path);
    const auto bytes = readImageFile(path, text, ReaderWording::WithoutFullStops);
    if (!bytes) {
        return;
    }
    decodeTd0(*bytes, disk, text, path);
}

void loadTd0Bytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading Teledisk Image: " + path);
    decodeTd0(bytes, disk, text, path);
}

}  // namespace sv
