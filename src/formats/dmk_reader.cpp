#include <algorithm>
#include <array>

#include "core/byte_reader.h"
#include "core/crc16.h"
#include "formats/dmk.h"
#include "formats/image_file.h"

namespace sv {

namespace {

constexpr std::uint8_t kFirstDataMark = 0xF8;
constexpr std::uint8_t kLastDataMark = 0xFB;
// Size codes above 7 name sectors longer than any track; reading stops at the track's end anyway.
constexpr int kLargestSizeShift = 7;
// A controller gives up on the data mark 30 (FM) or 43 (MFM) bytes after the ID's CRC; the
// search allows half as much again for loose gaps, and no more, so an ID without a data field
// never takes the next sector's.
constexpr std::size_t kFmDataMarkWindow = 45;
constexpr std::size_t kMfmDataMarkWindow = 65;

// Reads one sector's fields from a track, one logical byte at a time: every other byte of an FM
// sector stored doubled, every byte otherwise. Reads past the track give 0.
class SectorCursor {
public:
    SectorCursor(const ByteReader& track, std::size_t position, std::size_t step)
        : track_(track), position_(position), step_(step) {}

    [[nodiscard]] std::size_t position() const { return position_; }

    std::uint8_t next() {
        if (atEnd()) {
            return 0;
        }
        const std::uint8_t b = track_.u8(position_);
        position_ += step_;
        return b;
    }
    // A CRC as stored: high byte first.
    std::uint16_t next16() {
        const std::uint8_t high = next();
        const std::uint8_t low = next();
        return static_cast<std::uint16_t>((high << 8) | low);
    }
    [[nodiscard]] bool atEnd() const { return !track_.has(position_); }
    // How many more bytes can be read before the track ends.
    [[nodiscard]] std::size_t remaining() const {
        return atEnd() ? 0 : (track_.size() - position_ + step_ - 1) / step_;
    }
    // Reads the next `n` bytes, or those that remain, into the CRC register, keeping the first
    // of them in `kept`; returns the register.
    std::uint16_t take(std::size_t n, std::uint16_t crc, std::span<std::uint8_t> kept) {
        n = std::min(n, remaining());
        if (n == 0) {
            return crc;
        }
        const auto bytes = track_.bytes(position_, (n - 1) * step_ + 1);
        position_ += n * step_;
        if (step_ == 1) {
            std::copy_n(bytes.begin(), std::min(kept.size(), n), kept.begin());
            return crc16(bytes, crc);
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t b = bytes[i * step_];
            crc = crc16Update(crc, b);
            if (i < kept.size()) {
                kept[i] = b;
            }
        }
        return crc;
    }

private:
    const ByteReader& track_;
    std::size_t position_;
    std::size_t step_;
};

// Reads the sector whose ID mark is at `position`; its data mark is looked for before
// `nextId`, the track offset of the next ID on the track. Returns what was found of the data.
DataFacts readSector(const ByteReader& track, std::size_t position, std::size_t nextId, bool mfm,
                     SectorEntry& entry, LogEditor& text) {
    DataFacts facts;
    const bool doubled = !mfm && track.has(position, 2) && track.u8(position) == track.u8(position + 1);
    SectorCursor in(track, position, doubled ? 2 : 1);

    std::uint16_t crc = mfm ? kCrc16AfterMfmSync : kCrc16Initial;
    crc = crc16Update(crc, in.next());  // the ID mark, not compared with 0xFE
    std::array<std::uint8_t, 4> id{};
    for (std::uint8_t& b : id) {
        b = in.next();
        crc = crc16Update(crc, b);
    }
    entry.cylinder = id[0];
    entry.head = id[1];
    entry.record = id[2];
    entry.sizeCode = id[3];
    entry.singleDensity = mfm ? 0 : 1;
    text.setField(sectorField(entry.cylinder, entry.head, entry.record));

    const std::uint16_t storedIdCrc = in.next16();
    if (storedIdCrc != crc) {
        entry.status |= status::idCrcError;
        text.mark(" BadID");
    }

    std::uint8_t mark = 0;
    const std::size_t window = mfm ? kMfmDataMarkWindow : kFmDataMarkWindow;
    for (std::size_t searched = 0; searched < window && !in.atEnd() && in.position() < nextId;
         ++searched) {
        const std::uint8_t b = in.next();
        if (b >= kFirstDataMark && b <= kLastDataMark) {
            mark = b;
            break;
        }
    }
    if (mark == 0) {
        entry.status |= status::dataCrcError | status::damBit0 | status::damBit1;
        setSectorData(entry, {});
        text.mark(" CRC");
        facts.noDataField = true;
        return facts;
    }
    if (mark == 0xF8) {
        entry.status |= status::deletedData;
    }
    entry.status |= mark & (status::damBit0 | status::damBit1);

    crc = crc16Update(mfm ? kCrc16AfterMfmSync : kCrc16Initial, mark);
    const std::size_t length = std::size_t{128} << std::min<int>(entry.sizeCode, kLargestSizeShift);
    std::array<std::uint8_t, kSectorDataBytes> kept{};
    const std::size_t read = std::min(length, in.remaining());
    const std::size_t keptCount = std::min(read, kept.size());
    // A field that runs past the track is a CRC error whatever its bytes: those kept are read,
    // and none is summed.
    const bool whole = in.remaining() >= length + 2;
    crc = in.take(whole ? length : keptCount, crc, kept);
    setSectorData(entry, std::span<const std::uint8_t>(kept.data(), keptCount));
    facts.cutShort = keptCount < std::min<std::size_t>(length, kSectorDataBytes);
    if (!whole || in.next16() != crc) {
        entry.status |= status::dataCrcError;
        facts.crcError = true;
        text.mark(" CRC");
    }
    if (entry.sizeCode > 3) {
        text.mark(" - size code " + std::to_string(entry.sizeCode) + ": sector of " +
                  (entry.sizeCode > kLargestSizeShift ? std::string("more than 16384")
                                                       : std::to_string(length)) +
                  " bytes, first 1024 kept");
    }
    return facts;
}

}  // namespace

void decodeDmk(std::span<const std::uint8_t> file, DiskImage& disk, LogEditor& text) {
    const ByteReader header(file);
    if (file.size() < kDmkHeaderBytes) {
        text.fail("The file is too short for a DMK header (" + std::to_string(file.size()) +
                      " bytes).",
                  "Operation aborted.");
        return;
    }
    const int headerTracks = header.u8(1);
    const std::uint16_t headerTrackLength = header.le16(2);
    const std::uint8_t flags = header.u8(4);
    const int sides = (flags & kDmkSingleSided) != 0 ? 1 : 2;
    if (headerTracks == 0) {
        text.fail("The DMK header names no tracks.", "Operation aborted.");
        return;
    }
    if (headerTrackLength <= kDmkPointerTableBytes) {
        text.fail("The DMK header's track length of " + std::to_string(headerTrackLength) +
                      " bytes cannot hold a track.",
                  "Operation aborted.");
        return;
    }

    int cylinders = std::min(headerTracks, kMaxCylinders);
    if (headerTracks > kMaxCylinders) {
        text.line("The header names " + std::to_string(headerTracks) + " tracks; the first " +
                  std::to_string(kMaxCylinders) + " are read.");
    }
    const std::size_t completeTracks = (file.size() - kDmkHeaderBytes) / headerTrackLength;
    if (completeTracks < static_cast<std::size_t>(cylinders * sides)) {
        const int promised = cylinders * sides;
        cylinders = static_cast<int>((completeTracks + sides - 1) / sides);
        text.line("The file ends after " + std::to_string(completeTracks) + " of the " +
                  std::to_string(promised) + " tracks its header promises; the complete tracks are kept.");
        if (cylinders == 0) {
            text.fail("The file holds no complete track.", "Operation aborted.");
            return;
        }
    }

    disk.trackCount = static_cast<std::uint8_t>(cylinders);
    disk.sideCount = static_cast<std::uint8_t>(sides);
    disk.trackLength = headerTrackLength > kDmkLongTrackThreshold ? kDmkLongTrackLength : headerTrackLength;
    disk.formatFlags = flags;
    text.openField(sectorField(0, 0, 0), false);

    std::size_t trackStart = kDmkHeaderBytes;
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s, trackStart += headerTrackLength) {
            if (trackStart + headerTrackLength > file.size()) {
                continue;  // the missing side of the last, half-present cylinder
            }
            const ByteReader track(file.subspan(trackStart, headerTrackLength));
            std::array<std::size_t, kDmkPointerEntries> idOffsets{};
            for (int k = 0; k < kDmkPointerEntries; ++k) {
                idOffsets[static_cast<std::size_t>(k)] =
                    track.le16(static_cast<std::size_t>(k) * 2) & 0x7FFF;
            }
            int dropped = 0;
            for (int k = 0; k < kDmkPointerEntries; ++k) {
                const std::uint16_t pointer = track.le16(static_cast<std::size_t>(k) * 2);
                if (pointer == 0) {
                    continue;
                }
                const std::size_t at = pointer & 0x7FFF;
                std::size_t nextId = track.size();
                for (const std::size_t other : idOffsets) {
                    if (other > at && other < nextId) {
                        nextId = other;
                    }
                }
                SectorEntry* entry = appendSector(disk, s, c);
                if (entry == nullptr) {
                    ++dropped;
                    continue;
                }
                const int slot = disk.track(s, c).sectorCount - 1;
                const DataFacts facts =
                    readSector(track, at, nextId, (pointer & kDmkPointerMfm) != 0, *entry, text);
                setDataState(disk, s, c, slot, dataStateOf(facts, entry->sizeCode));
            }
            if (dropped > 0) {
                text.mark(" - track holds " + std::to_string(kMaxSectorsPerTrack + dropped) +
                          " IDs; the first " + std::to_string(kMaxSectorsPerTrack) + " are kept");
            }
        }
    }
    noteOutsideGeometry(text, disk);
    text.finish(" - DMK image loaded.");
}

void loadDmkImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& /*options*/) {
    clear(disk);
    LogEditor text(log, "Loading DMK Image: " + path);
    const auto file = readImageFile(path, text, ReaderWording::WithFullStops);
    if (!file) {
        return;
    }
    decodeDmk(*file, disk, text);
    if (isEmpty(disk)) {
        return;
    }
    setSourcePath(disk, path);
}

}  // namespace sv
