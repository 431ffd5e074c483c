#include "formats/hfe.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/byte_reader.h"
#include "formats/dmk.h"
#include "formats/image_file.h"
#include "track/cells.h"
#include "track/track_decoder.h"
#include "track/track_layout.h"

namespace sv {

namespace {

constexpr std::string_view kSignatureV1 = "HXCPICFE";
constexpr std::string_view kSignatureV3 = "HXCHFEV3";
constexpr std::size_t kBlockBytes = 512;
constexpr std::size_t kHalfBlockBytes = 256;
constexpr std::size_t kHeaderFieldsBytes = 0x1A;
constexpr std::uint8_t kEncodingMfm = 0x00;
constexpr std::uint8_t kEncodingFm = 0x02;
constexpr std::uint8_t kInterfaceGenericShugart = 0x07;
constexpr std::uint8_t kUseAlternate = 0x00;
constexpr std::uint8_t kNoAlternate = 0xFF;
// A side's length is half of a 16-bit byte count.
constexpr std::size_t kLargestSideBytes = 0x7FFF;
constexpr std::uint16_t kLongTrackThreshold = 8192;
constexpr std::uint16_t kLongTrackLength = 10560;
constexpr std::uint16_t kShortTrackLength = 6528;

// Version 3 stream opcodes, as read after reversing the stored byte.
constexpr std::uint8_t kOpNop = 0xF0;
constexpr std::uint8_t kOpSetIndex = 0xF1;
constexpr std::uint8_t kOpSetBitrate = 0xF2;
constexpr std::uint8_t kOpSkipBits = 0xF3;
constexpr std::uint8_t kOpRandom = 0xF4;
constexpr double kOpBitrateClock = 36000.0;  // kHz: bitrate = 36 MHz / (2 x operand)

std::uint8_t reversed(std::uint8_t b) {
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

struct Rate {
    std::uint16_t bitrateKbps;
    std::uint16_t rpm;
    std::size_t cellsPerRevolution;
};

// 8-inch disks (long tracks) turn at 360 rpm with 1 us cells; the others at 300 rpm with 2 us.
Rate rateFor(const DiskImage& disk) {
    if (disk.trackLength > kLongTrackThreshold) {
        return {500, 360, 166'667};
    }
    return {250, 300, 100'000};
}

// --- Reading

// A version 3 side stream to cells. Weak bits become cells without transitions: whatever reads
// there fails its CRC, as it would on the drive. Returns false at a rate change the reader does
// not follow.
bool expandV3(std::span<const std::uint8_t> bytes, std::uint16_t bitrateKbps, Cells& cells) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t op = reversed(bytes[i]);
        if ((op & 0xF0) != 0xF0) {
            unpackCellsLsbFirst(bytes.subspan(i, 1), cells);
            continue;
        }
        switch (op) {
        case kOpNop:
        case kOpSetIndex:
            break;
        case kOpSetBitrate: {
            if (++i >= bytes.size()) {
                return true;
            }
            const std::uint8_t operand = reversed(bytes[i]);
            const double kbps = operand == 0 ? 0.0 : kOpBitrateClock / (2.0 * operand);
            // The small steps writers use to keep the two sides in time are followed as they are.
            if (kbps < bitrateKbps * 0.9 || kbps > bitrateKbps * 1.1) {
                return false;
            }
            break;
        }
        case kOpSkipBits: {
            if (i + 2 >= bytes.size()) {
                return true;
            }
            const unsigned skip = std::min<unsigned>(reversed(bytes[i + 1]), 8);
            const std::uint8_t b = bytes[i + 2];
            const bool weak = reversed(b) == kOpRandom;
            for (unsigned bit = skip; bit < 8; ++bit) {
                cells.push_back(weak ? 0 : static_cast<std::uint8_t>((b >> bit) & 1));
            }
            i += 2;
            break;
        }
        case kOpRandom:
            cells.insert(cells.end(), 8, 0);
            break;
        default:
            break;  // an opcode of a later revision: it holds no cells
        }
    }
    return true;
}

// The bytes of one side: its 256-byte halves of the cylinder's blocks. Returns false when the
// file ends before them.
bool gatherSide(const ByteReader& in, std::size_t start, std::size_t sideBytes, int side,
                std::vector<std::uint8_t>& out) {
    out.clear();
    for (std::size_t k = 0; k < sideBytes; k += kHalfBlockBytes) {
        const std::size_t count = std::min(kHalfBlockBytes, sideBytes - k);
        const auto part = in.bytes(start + (k / kHalfBlockBytes) * kBlockBytes +
                                       static_cast<std::size_t>(side) * kHalfBlockBytes,
                                   count);
        out.insert(out.end(), part.begin(), part.end());
        if (part.size() < count) {
            return false;
        }
    }
    return true;
}

}  // namespace

void decodeHfe(std::span<const std::uint8_t> file, DiskImage& disk, LogEditor& text) {
    const ByteReader in(file);
    const std::string_view signature(reinterpret_cast<const char*>(file.data()),
                                      std::min<std::size_t>(file.size(), kSignatureV1.size()));
    const bool v3 = signature == kSignatureV3;
    if (signature != kSignatureV1 && !v3) {
        text.fail("The file is not an HFE image (its signature is not HXCPICFE or HXCHFEV3).",
                  "Operation aborted.");
        return;
    }
    if (file.size() < kHeaderFieldsBytes) {
        text.fail("The file is too short for an HFE header (" + std::to_string(file.size()) + " bytes).",
                  "Operation aborted.");
        return;
    }
    const int headerTracks = in.u8(9);
    const int sides = in.u8(10) == 1 ? 1 : 2;
    const std::uint16_t bitrateKbps = in.le16(12);
    const std::size_t lutStart = std::size_t{in.le16(0x12)} * kBlockBytes;
    if (headerTracks == 0) {
        text.fail("The HFE header names no tracks.", "Operation aborted.");
        return;
    }
    const int cylinders = std::min(headerTracks, kMaxCylinders);
    if (headerTracks > kMaxCylinders) {
        text.line("The header names " + std::to_string(headerTracks) + " tracks; the first " +
                  std::to_string(kMaxCylinders) + " are read.");
    }

    disk.trackCount = static_cast<std::uint8_t>(cylinders);
    disk.sideCount = static_cast<std::uint8_t>(sides);
    disk.trackLength = bitrateKbps >= 400 ? kLongTrackLength : kShortTrackLength;
    disk.formatFlags = sides == 1 ? 0x10 : 0;
    text.openField(sectorField(0, 0, 0), false);

    std::vector<std::string> notes;
    std::vector<std::uint8_t> sideBytes;
    Cells cells;
    int sectorsFound = 0;
    int keptCylinders = cylinders;
    for (int c = 0; c < cylinders; ++c) {
        const std::size_t entry = lutStart + static_cast<std::size_t>(c) * 4;
        const std::size_t start = std::size_t{in.le16(entry)} * kBlockBytes;
        const std::size_t length = in.le16(entry + 2);
        if (in.overran()) {
            notes.push_back("The track table ends before cylinder " + std::to_string(c) +
                            "; the cylinders before it are kept.");
            keptCylinders = c;
            break;
        }
        bool cut = false;
        for (int s = 0; s < sides; ++s) {
            cut = !gatherSide(in, start, length / 2, s, sideBytes) || cut;
            cells.clear();
            if (v3 && !expandV3(sideBytes, bitrateKbps, cells)) {
                notes.push_back("Cylinder " + std::to_string(c) + " side " + std::to_string(s) +
                                " changes its data rate inside the track, which this reader does "
                                "not follow; its sectors are not read.");
                continue;
            }
            if (!v3) {
                unpackCellsLsbFirst(sideBytes, cells);
            }
            int dropped = 0;
            for (const FoundSector& found : decodeCells(cells)) {
                const int slot = disk.track(s, c).sectorCount;
                SectorEntry* e = appendSector(disk, s, c);
                if (e == nullptr) {
                    ++dropped;
                    continue;
                }
                ++sectorsFound;
                setDataState(disk, s, c, slot, fillSlot(found, *e));
                text.setField(sectorField(e->cylinder, e->head, e->record));
                for (const std::string& marker : sectorMarkers(found)) {
                    text.mark(marker);
                }
            }
            if (dropped > 0) {
                text.mark(" - track holds " + std::to_string(kMaxSectorsPerTrack + dropped) +
                          " IDs; the first " + std::to_string(kMaxSectorsPerTrack) + " are kept");
            }
        }
        if (cut) {
            notes.push_back("The file ends inside cylinder " + std::to_string(c) +
                            "; what it holds of that cylinder is read.");
            keptCylinders = c + 1;
            break;
        }
    }
    if (sectorsFound == 0) {
        abortEmptyLoad(text, disk, std::move(notes), "No sector was found on any track.",
                       ReaderWording::WithFullStops);
        return;
    }
    disk.trackCount = static_cast<std::uint8_t>(std::max(keptCylinders, 1));
    addNotesAboveClosing(text, notes, text.field());
    noteOutsideGeometry(text, disk);
    text.finish(" - HFE image loaded.");
}

void loadHfeImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& /*options*/) {
    clear(disk);
    LogEditor text(log, "Loading HFE Image: " + path);
    const auto file = readImageFile(path, text, ReaderWording::WithFullStops);
    if (!file) {
        return;
    }
    decodeHfe(*file, disk, text);
    if (!isEmpty(disk)) {
        setSourcePath(disk, path);
    }
}

// --- Writing

SavePreflight hfeSavePreflight(const DiskImage& disk) { return dmkSavePreflight(disk); }

std::optional<std::vector<std::uint8_t>> encodeHfe(const DiskImage& disk, LogEditor& text) {
    const auto geometry = writtenGeometry(disk, text);
    if (!geometry) {
        return std::nullopt;
    }
    const int cylinders = geometry->cylinders;
    const int sides = geometry->sides;
    const Rate rate = rateFor(disk);
    text.openField(sectorField(0, 0, 0), false);

    // Both sides of a cylinder, as cells; a one-sided disk's second half is gap.
    std::vector<std::array<Cells, 2>> tracks(static_cast<std::size_t>(cylinders));
    std::vector<std::array<TrackByte, 2>> fills(static_cast<std::size_t>(cylinders));
    TrackSynthesis synthesis(disk);
    bool allFm = true;
    std::size_t longest = rate.cellsPerRevolution;
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < kMaxSides; ++s) {
            auto& cells = tracks[static_cast<std::size_t>(c)][static_cast<std::size_t>(s)];
            auto& fill = fills[static_cast<std::size_t>(c)][static_cast<std::size_t>(s)];
            CellEncoder encoder(cells);
            if (s >= sides) {
                fill = TrackByte{0x4E, false, false};
                continue;
            }
            const TrackLayout layout = synthesis.track(s, c, text);
            for (const TrackByte& b : layout.bytes) {
                encoder.put(b);
            }
            fill = layout.fill();
            allFm = allFm && layout.fmFirst;
            longest = std::max(longest, cells.size());
        }
    }
    const std::size_t revolution = (rate.cellsPerRevolution + 7) / 8 * 8;
    longest = std::max(revolution, (longest + 7) / 8 * 8);
    if (longest / 8 > kLargestSideBytes) {
        text.fail("A track needs " + std::to_string(longest) +
                      " cells, more than an HFE track can hold; nothing was saved.",
                  "Operation aborted.");
        return std::nullopt;
    }
    if (longest > revolution) {
        text.mark(" - the longest track needs " + std::to_string(longest) + " cells, more than the " +
                  std::to_string(revolution) + " of one revolution: every track is " +
                  std::to_string(longest) + " cells long");
    }
    const std::size_t sideBytes = longest / 8;
    const std::size_t blocksPerCylinder = (sideBytes + kHalfBlockBytes - 1) / kHalfBlockBytes;

    std::vector<std::uint8_t> file(2 * kBlockBytes, 0xFF);
    const std::string_view signature = kSignatureV1;
    std::copy(signature.begin(), signature.end(), file.begin());
    const TrackRecord& boot = disk.track(0, 0);
    const bool bootFm = boot.sectorCount > 0 && boot.sectors[0].singleDensity == 1;
    const std::uint8_t encoding = allFm ? kEncodingFm : kEncodingMfm;
    const std::array<std::uint8_t, kHeaderFieldsBytes - 8> fields{
        0,  // revision
        static_cast<std::uint8_t>(cylinders),
        static_cast<std::uint8_t>(sides),
        encoding,
        static_cast<std::uint8_t>(rate.bitrateKbps),
        static_cast<std::uint8_t>(rate.bitrateKbps >> 8),
        static_cast<std::uint8_t>(rate.rpm),
        static_cast<std::uint8_t>(rate.rpm >> 8),
        kInterfaceGenericShugart,
        0x01,  // reserved
        0x01,  // the track table in block 1
        0x00,
        static_cast<std::uint8_t>(disk.writeProtect != 0 ? 0x00 : 0xFF),
        0xFF,  // single step
        // An FM boot track on an MFM disk is named as such for a drive emulator's writes.
        bootFm && !allFm ? kUseAlternate : kNoAlternate,
        bootFm && !allFm ? kEncodingFm : kNoAlternate,
        kNoAlternate,
        kNoAlternate,
    };
    std::copy(fields.begin(), fields.end(), file.begin() + 8);
    for (int c = 0; c < cylinders; ++c) {
        const std::size_t block = 2 + static_cast<std::size_t>(c) * blocksPerCylinder;
        const std::size_t entry = kBlockBytes + static_cast<std::size_t>(c) * 4;
        file[entry] = static_cast<std::uint8_t>(block);
        file[entry + 1] = static_cast<std::uint8_t>(block >> 8);
        file[entry + 2] = static_cast<std::uint8_t>(sideBytes * 2);
        file[entry + 3] = static_cast<std::uint8_t>((sideBytes * 2) >> 8);
        if (block + blocksPerCylinder > 0xFFFF) {
            text.fail("The tracks need more blocks than an HFE track table can address; nothing was "
                      "saved.",
                      "Operation aborted.");
            return std::nullopt;
        }
    }
    file.reserve(file.size() + static_cast<std::size_t>(cylinders) * blocksPerCylinder * kBlockBytes);
    for (int c = 0; c < cylinders; ++c) {
        std::array<std::vector<std::uint8_t>, 2> packed;
        for (int s = 0; s < kMaxSides; ++s) {
            auto& cells = tracks[static_cast<std::size_t>(c)][static_cast<std::size_t>(s)];
            CellEncoder encoder(cells);
            while (cells.size() < longest) {
                encoder.put(fills[static_cast<std::size_t>(c)][static_cast<std::size_t>(s)]);
            }
            cells.resize(longest);
            packed[static_cast<std::size_t>(s)] = packCellsLsbFirst(cells);
        }
        for (std::size_t b = 0; b < blocksPerCylinder; ++b) {
            for (const auto& side : packed) {
                const std::size_t from = b * kHalfBlockBytes;
                const std::size_t count = std::min(kHalfBlockBytes, side.size() - from);
                file.insert(file.end(), side.begin() + static_cast<std::ptrdiff_t>(from),
                            side.begin() + static_cast<std::ptrdiff_t>(from + count));
                file.insert(file.end(), kHalfBlockBytes - count, 0x55);  // MFM gap cells as padding
            }
        }
    }
    return file;
}

bool saveHfeImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    LogEditor text(log, "Saving HFE Image: " + path);
    const auto file = encodeHfe(disk, text);
    return commitEncodedImage(path, file, hfeSavePreflight(disk).lines(), text, " - HFE image saved.");
}

}  // namespace sv
