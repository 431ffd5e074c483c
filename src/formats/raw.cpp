#include "formats/raw.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/byte_reader.h"
#include "formats/image_file.h"
#include "formats/save_preflight.h"

namespace sv {

namespace {

constexpr std::uint16_t kEightInchTrackLength = 10560;
constexpr std::uint16_t kSmallTrackLength = 6528;
constexpr int kEightInchCylinders = 77;
constexpr std::uint8_t kMaxRawSizeCode = 3;  // a slot holds 1024 bytes

constexpr RawTrackShape kFm26x128{26, 0, true, 1};
constexpr RawTrackShape kMfm26x256{26, 1, false, 1};
constexpr RawTrackShape kMfm16x512{16, 2, false, 1};

constexpr RawGeometry uniform(int cylinders, int heads, RawTrackShape shape) {
    return {cylinders, heads, shape, 1, shape};
}
constexpr RawGeometry withBoot(int cylinders, int heads, RawTrackShape boot, RawTrackShape rest,
                               int bootSides = 1) {
    return {cylinders, heads, boot, bootSides, rest};
}

// Sizes that name a layout. Where two layouts share a size the Model II one is taken and the log
// names the other.
constexpr std::array kLayouts{
    RawLayout{256256, uniform(77, 1, kFm26x128), "8-inch single density (IBM 3740, CP/M)", ""},
    RawLayout{509184, withBoot(77, 1, kFm26x128, kMfm26x256), "Model II, one side", ""},
    RawLayout{512512, uniform(77, 1, kMfm26x256), "Model II, one side, uniform first track",
              "77 x 2 x 26 x 128 FM (8-inch two-sided single density)"},
    RawLayout{1018368, withBoot(77, 2, kFm26x128, kMfm26x256, 2),
              "8-inch two sides, cylinder 0 FM on both sides", ""},
    RawLayout{1021696, withBoot(77, 2, kFm26x128, kMfm26x256), "Model II, two sides", ""},
    RawLayout{1025024, uniform(77, 2, kMfm26x256), "Model II, two sides, uniform first track", ""},
    RawLayout{625920, withBoot(77, 1, kFm26x128, kMfm16x512), "Model II CP/M, one side, 16 x 512",
              "77:1:8:1024:fm0 (8 x 1024)"},
    RawLayout{1256704, withBoot(77, 2, kFm26x128, kMfm16x512), "Model II, two sides, 16 x 512",
              "77:2:8:1024:fm0 (8 x 1024)"},
    RawLayout{587136, withBoot(77, 1, {27, 0, true, 0}, {30, 1, false, 0}), "Model II LS-DOS, one side", ""},
    RawLayout{1178496, withBoot(77, 2, {27, 0, true, 0}, {30, 1, false, 0}), "Model II LS-DOS, two sides", ""},
    RawLayout{368640, uniform(40, 2, {9, 2, false, 1}), "5.25-inch 40 x 2 x 9 x 512 MFM", ""},
    RawLayout{377856, uniform(41, 2, {9, 2, false, 1}), "5.25-inch 41 x 2 x 9 x 512 MFM", ""},
    RawLayout{89600, uniform(35, 1, {10, 1, true, 0}), "5.25-inch Model I, 35 x 10 x 256 FM", ""},
    RawLayout{102400, uniform(40, 1, {10, 1, true, 0}), "5.25-inch 40 x 10 x 256 FM", ""},
};

std::string shapeText(const RawTrackShape& shape) {
    std::string text = std::to_string(shape.sectors) + " x " +
                       std::to_string(128 << shape.sizeCode) + (shape.fm ? " FM" : " MFM");
    if (shape.firstRecord != 1) {
        text += ", records from " + std::to_string(shape.firstRecord);
    }
    return text;
}

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string trackName(int cylinder, int side) {
    return "cylinder " + std::to_string(cylinder) + " side " + std::to_string(side);
}

void decodeRaw(std::span<const std::uint8_t> bytes, const std::string& path,
               const RawGeometry* given, DiskImage& disk, LogEditor& text) {
    const RawLayout* layout = given == nullptr ? rawLayoutForSize(bytes.size()) : nullptr;
    if (given == nullptr && layout == nullptr) {
        text.fail(path + " is " + std::to_string(bytes.size()) +
                      " bytes long, a size of no known raw layout; name its layout with "
                      "--geometry CYL:HEADS:SECTORS:SIZE[:fm0].",
                  "Operation aborted.");
        return;
    }
    const RawGeometry& geometry = given != nullptr ? *given : layout->geometry;
    std::string how = path + ": " + std::to_string(bytes.size()) + " bytes, read as " +
                      describeRawGeometry(geometry);
    if (layout != nullptr) {
        how += " (" + std::string(layout->name) + ")";
    }
    text.line(how + ".");
    if (layout != nullptr && !layout->alsoFits.empty()) {
        text.line("The same size also fits " + std::string(layout->alsoFits) +
                  "; use --geometry to read it so.");
    }

    disk.sideCount = static_cast<std::uint8_t>(geometry.heads);
    disk.formatFlags = geometry.heads == 1 ? 0x10 : 0x00;
    disk.trackLength = geometry.cylinders >= kEightInchCylinders ? kEightInchTrackLength : kSmallTrackLength;
    text.openField(shortSectorField(0, 0, 0), false);

    const ByteReader in(bytes);
    std::string lastField = shortSectorField(0, 0, 0);
    std::vector<std::string> notes;
    std::size_t pos = 0;
    int cylindersHeld = 0;
    std::size_t missing = 0;
    std::string firstMissing;
    for (int c = 0; c < geometry.cylinders; ++c) {
        for (int h = 0; h < geometry.heads; ++h) {
            const RawTrackShape& shape = geometry.shapeOf(c, h);
            const std::size_t length = std::size_t{128} << shape.sizeCode;
            for (int k = 0; k < shape.sectors; ++k) {
                const int record = shape.firstRecord + k;
                if (!in.has(pos)) {
                    if (missing++ == 0) {
                        firstMissing = shortSectorField(c, h, record);
                    }
                    continue;
                }
                const auto data = in.bytes(pos, length);
                pos += length;
                SectorEntry* entry = appendSector(disk, h, c);
                if (entry == nullptr) {
                    continue;  // the layouts are checked against the store's capacity
                }
                const int slot = disk.track(h, c).sectorCount - 1;
                entry->cylinder = static_cast<std::uint8_t>(c);
                entry->head = static_cast<std::uint8_t>(h);
                entry->record = static_cast<std::uint8_t>(record);
                entry->sizeCode = shape.sizeCode;
                entry->singleDensity = shape.fm ? 1 : 0;
                entry->status = status::damBit0 | status::damBit1;
                setSectorData(*entry, data);
                lastField = shortSectorField(c, h, record);
                text.setField(lastField);
                cylindersHeld = c + 1;
                if (data.size() < length) {
                    entry->status |= status::dataCrcError;
                    setDataState(disk, h, c, slot, DataState::CutShort);
                    text.mark(" CRC");
                    notes.push_back(path + " ends inside the data of " + lastField +
                                    "; what is missing reads as spaces, marked CRC.");
                }
            }
        }
    }
    if (missing > 0) {
        notes.push_back(path + " ends before " + firstMissing + ": " +
                        plural(missing, "sector", "sectors") + " of the layout are not in the file.");
    }
    if (pos < bytes.size()) {
        notes.push_back(plural(bytes.size() - pos, "byte", "bytes") +
                        " after the last sector of the layout are not read.");
    }
    if (cylindersHeld == 0) {
        abortEmptyLoad(text, disk, std::move(notes), path + " holds no sector.", ReaderWording::WithFullStops);
        return;
    }
    disk.trackCount = static_cast<std::uint8_t>(geometry.cylinders);
    addNotesAboveClosing(text, notes, lastField);
    noteOutsideGeometry(text, disk);
    text.finish(" - Raw image loaded.");
    setSourcePath(disk, path);
}

// The shape of one track of the disk, or why it has none.
std::optional<RawTrackShape> trackShape(const DiskImage& disk, int side, int cylinder,
                                        std::string& reason) {
    const TrackRecord& track = disk.track(side, cylinder);
    const int count = std::min<int>(track.sectorCount, kMaxSectorsPerTrack);
    if (count == 0) {
        reason = "it holds no sector";
        return std::nullopt;
    }
    const SectorEntry& first = track.sectors[0];
    std::array<bool, 256> seen{};
    int lowest = 255;
    for (int k = 0; k < count; ++k) {
        const SectorEntry& e = track.sectors[k];
        if (e.sizeCode != first.sizeCode || e.singleDensity != first.singleDensity) {
            reason = "its sectors differ in size or density";
            return std::nullopt;
        }
        if (seen[e.record]) {
            reason = "record " + std::to_string(e.record) + " is on it twice";
            return std::nullopt;
        }
        seen[e.record] = true;
        lowest = std::min<int>(lowest, e.record);
    }
    if (lowest + count > 256 || !std::all_of(seen.begin() + lowest, seen.begin() + lowest + count,
                                             [](bool b) { return b; })) {
        reason = "its records have gaps";
        return std::nullopt;
    }
    return RawTrackShape{count, first.sizeCode, first.singleDensity == 1, lowest};
}

// A raw image holds data only: every sector reads back good, status 0x03, its ID its position.
constexpr std::array<LossRule, 5> kRawLosses{{
    {"sector holds", "sectors hold",
     " fill, not data (no data field, not captured or cut short); a raw image cannot say so, so "
     "the fill is saved as data.",
     [](const SectorEntry&, DataState state, int, int) {
         return isFill(state) || state == DataState::CutShort;
     }},
    {"sector has", "sectors have",
     " a data CRC error; a raw image cannot mark it, so the bytes are saved as held.",
     [](const SectorEntry& e, DataState state, int, int) {
         return !isFill(state) && state != DataState::CutShort &&
                ((e.status & status::dataCrcError) != 0 || state == DataState::CrcError);
     }},
    {"sector has", "sectors have", " a bad ID; a raw image holds no IDs.",
     [](const SectorEntry& e, DataState, int, int) { return (e.status & status::idCrcError) != 0; }},
    {"sector has", "sectors have", " a deleted or unusual data mark; a raw image holds no marks.",
     [](const SectorEntry& e, DataState, int, int) {
         return (e.status & ~(status::dataCrcError | status::idCrcError)) != (status::damBit0 | status::damBit1);
     }},
    {"sector has", "sectors have", " an ID naming another cylinder or head; a raw image holds no IDs.",
     [](const SectorEntry& e, DataState, int s, int c) { return e.cylinder != c || e.head != s; }},
}};

}  // namespace

SavePreflight rawSavePreflight(const DiskImage& disk) { return preflightSave(disk, kRawLosses); }

std::uint64_t RawGeometry::bytes() const {
    std::uint64_t total = 0;
    for (int c = 0; c < cylinders; ++c) {
        for (int h = 0; h < heads; ++h) {
            total += shapeOf(c, h).bytes();
        }
    }
    return total;
}

const RawLayout* rawLayoutForSize(std::uint64_t bytes) {
    for (const RawLayout& layout : kLayouts) {
        if (layout.bytes == bytes) {
            return &layout;
        }
    }
    return nullptr;
}

std::optional<RawGeometry> parseRawGeometry(std::string_view text, std::string& error) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (colon == std::string_view::npos) {
            break;
        }
        start = colon + 1;
    }
    error = "the geometry " + std::string(text) +
            " is not CYL:HEADS:SECTORS:SIZE[:fm0][:fm|:mfm][:r0] (cylinders 1-80, heads 1-2, "
            "sectors 1-30, size 128, 256, 512 or 1024)";
    if (parts.size() < 4) {
        return std::nullopt;
    }
    std::array<int, 4> n{};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto [end, ec] = std::from_chars(parts[i].data(), parts[i].data() + parts[i].size(), n[i]);
        if (ec != std::errc{} || end != parts[i].data() + parts[i].size()) {
            return std::nullopt;
        }
    }
    const int sizeCode = n[3] == 128 ? 0 : n[3] == 256 ? 1 : n[3] == 512 ? 2 : n[3] == 1024 ? 3 : -1;
    if (n[0] < 1 || n[0] > kMaxCylinders || n[1] < 1 || n[1] > kMaxSides || n[2] < 1 ||
        n[2] > kMaxSectorsPerTrack || sizeCode < 0) {
        return std::nullopt;
    }
    RawTrackShape rest{n[2], static_cast<std::uint8_t>(sizeCode), sizeCode == 0, 1};
    bool fmBoot = false;
    for (std::size_t i = 4; i < parts.size(); ++i) {
        if (parts[i] == "fm0") {
            fmBoot = true;
        } else if (parts[i] == "fm" || parts[i] == "mfm") {
            rest.fm = parts[i] == "fm";
        } else if (parts[i] == "r0") {
            rest.firstRecord = 0;
        } else {
            return std::nullopt;
        }
    }
    RawTrackShape boot = rest;
    if (fmBoot) {
        boot = kFm26x128;
        boot.firstRecord = rest.firstRecord;
    }
    error.clear();
    return RawGeometry{n[0], n[1], boot, 1, rest};
}

std::string rawGeometryText(const RawGeometry& g) {
    const RawTrackShape& r = g.rest;
    RawTrackShape fmBoot = kFm26x128;
    fmBoot.firstRecord = r.firstRecord;
    const bool plainBoot = g.boot == r;
    if (!(plainBoot || (g.boot == fmBoot && g.bootSides == 1))) {
        return {};
    }
    std::string text = std::to_string(g.cylinders) + ":" + std::to_string(g.heads) + ":" +
                       std::to_string(r.sectors) + ":" + std::to_string(128 << r.sizeCode);
    if (!plainBoot) {
        text += ":fm0";
    }
    if (r.fm != (r.sizeCode == 0)) {
        text += r.fm ? ":fm" : ":mfm";
    }
    if (r.firstRecord == 0) {
        text += ":r0";
    } else if (r.firstRecord != 1) {
        return {};
    }
    return text;
}

std::string describeRawGeometry(const RawGeometry& g) {
    std::string text = std::to_string(g.cylinders) + " cylinders, " +
                       plural(static_cast<std::size_t>(g.heads), "side", "sides") + ", " +
                       shapeText(g.rest);
    if (!(g.boot == g.rest)) {
        text += "; cylinder 0 " + std::string(g.bootSides == 1 ? "side 0 " : "") + shapeText(g.boot);
    }
    return text;
}

void loadRawBytes(std::span<const std::uint8_t> bytes, const std::string& path,
                  const RawGeometry* geometry, DiskImage& disk, OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading Raw Image: " + path);
    decodeRaw(bytes, path, geometry, disk, text);
}

void loadRawImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& /*options*/) {
    clear(disk);
    LogEditor text(log, "Loading Raw Image: " + path);
    if (const auto bytes = readImageFile(path, text, ReaderWording::WithFullStops)) {
        decodeRaw(*bytes, path, nullptr, disk, text);
    }
}

void loadRawImageAs(const std::string& path, const RawGeometry& geometry, DiskImage& disk,
                    OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading Raw Image: " + path);
    if (const auto bytes = readImageFile(path, text, ReaderWording::WithFullStops)) {
        decodeRaw(*bytes, path, &geometry, disk, text);
    }
}

std::optional<RawGeometry> rawGeometryOf(const DiskImage& disk, std::string& reason) {
    const HeldGeometry held = heldGeometry(disk);
    const int cylinders = std::min(held.cylinders, kMaxCylinders);
    const int sides = std::clamp(held.sides, 1, kMaxSides);
    std::string why;
    const auto shapeAt = [&](int side, int cylinder) {
        auto shape = trackShape(disk, side, cylinder, why);
        if (!shape) {
            reason = "cylinder " + std::to_string(cylinder) + " side " + std::to_string(side) +
                     " does not fit a raw image: " + why;
        }
        return shape;
    };
    if (cylinders == 0) {
        reason = "the disk holds no sector";
        return std::nullopt;
    }
    const auto boot = shapeAt(0, 0);
    if (!boot) {
        return std::nullopt;
    }
    RawGeometry g{cylinders, sides, *boot, 1, *boot};
    if (cylinders > 1) {
        const auto rest = shapeAt(0, 1);
        if (!rest) {
            return std::nullopt;
        }
        g.rest = *rest;
    } else if (sides > 1) {
        const auto rest = shapeAt(1, 0);
        if (!rest) {
            return std::nullopt;
        }
        g.rest = *rest;
    }
    if (sides > 1 && cylinders > 1) {
        const auto side1 = shapeAt(1, 0);
        if (!side1) {
            return std::nullopt;
        }
        if (*side1 == g.boot && !(g.boot == g.rest)) {
            g.bootSides = 2;
        }
    }
    for (int c = 0; c < cylinders; ++c) {
        for (int h = 0; h < sides; ++h) {
            const auto shape = shapeAt(h, c);
            if (!shape) {
                return std::nullopt;
            }
            if (!(*shape == g.shapeOf(c, h))) {
                reason = trackName(c, h) + " does not fit a raw image: it holds " + shapeText(*shape) +
                         ", the other tracks " + shapeText(g.shapeOf(c, h));
                return std::nullopt;
            }
            if (shape->sizeCode > kMaxRawSizeCode) {
                reason = trackName(c, h) + " holds sectors of " + std::to_string(128 << shape->sizeCode) +
                         " bytes, of which only 1024 are held";
                return std::nullopt;
            }
        }
    }
    return g;
}

std::optional<std::vector<std::uint8_t>> encodeRaw(const DiskImage& disk, LogEditor& text) {
    std::string reason;
    const auto geometry = rawGeometryOf(disk, reason);
    if (!geometry) {
        text.fail("A raw image cannot hold this disk: " + reason + ".", "Operation aborted.");
        return std::nullopt;
    }
    text.openField(shortSectorField(0, 0, 0), true);
    std::vector<std::uint8_t> file;
    file.reserve(geometry->bytes());
    std::string lastField = shortSectorField(0, 0, 0);
    for (int c = 0; c < geometry->cylinders; ++c) {
        for (int h = 0; h < geometry->heads; ++h) {
            const TrackRecord& track = disk.track(h, c);
            std::array<int, kMaxSectorsPerTrack> order{};
            for (int k = 0; k < track.sectorCount; ++k) {
                order[static_cast<std::size_t>(k)] = k;
            }
            std::sort(order.begin(), order.begin() + track.sectorCount, [&](int a, int b) {
                return track.sectors[a].record < track.sectors[b].record;
            });
            for (int i = 0; i < track.sectorCount; ++i) {
                const int slot = order[static_cast<std::size_t>(i)];
                const SectorEntry& e = track.sectors[slot];
                lastField = shortSectorField(e.cylinder, e.head, e.record);
                text.setField(lastField);
                file.insert(file.end(), e.data.begin(),
                            e.data.begin() + static_cast<std::ptrdiff_t>(e.lengthBytes()));
            }
        }
    }
    std::vector<std::string> notes = rawSavePreflight(disk).lines();
    const std::string form = rawGeometryText(*geometry);
    const RawLayout* bySize = rawLayoutForSize(file.size());
    if (bySize != nullptr && bySize->geometry == *geometry) {
        notes.push_back("Written as " + describeRawGeometry(*geometry) + "; its size names that layout.");
    } else {
        notes.push_back("Written as " + describeRawGeometry(*geometry) +
                        (form.empty() ? "; its size names no layout, and no --geometry form says it."
                                      : "; load it with --geometry " + form + "."));
    }
    addNotesAboveClosing(text, notes, lastField);
    return file;
}

bool saveRawImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    LogEditor text(log, "Saving Raw Image: " + path);
    const auto file = encodeRaw(disk, text);
    return commitEncodedImage(path, file, {}, text, " - Raw image saved.");
}

}  // namespace sv
