#include "formats/scp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "formats/image_file.h"
#include "track/pll.h"
#include "track/track_decoder.h"

namespace sv {

namespace {

constexpr std::string_view kSignature = "SCP";
constexpr std::size_t kHeaderBytes = 0x10;
constexpr std::size_t kTableEntries = 168;
constexpr std::uint8_t kFlagIndexCued = 0x01;
constexpr std::uint8_t kFlagReadWrite = 0x10;
constexpr double kBaseTickNs = 25.0;
constexpr std::uint32_t kOverflowTicks = 65536;
// Revolutions taken per track: more add nothing to a vote and cost time.
constexpr int kLargestRevolutions = 16;
// Two reads of one sector lie this close, as a part of the revolution (a 26-sector FM track
// spaces its sectors 3.6 % apart).
constexpr double kSameSectorAngle = 0.015;
constexpr std::uint16_t kLongTrackLength = 10560;
constexpr std::uint16_t kShortTrackLength = 6528;
constexpr double kLongestFastCellNs = 1300.0;

struct Read {
    FoundSector sector;
    double angle;  // where in the revolution its ID lies, 0..1
    int revolution;
};

// The reads of one sector across the revolutions.
struct SectorReads {
    double angle;
    std::vector<const Read*> copies;  // one per revolution at most
    int badIdReads = 0;
};

bool sameId(const FoundSector& a, const FoundSector& b) {
    return a.cylinder == b.cylinder && a.head == b.head && a.record == b.record && a.sizeCode == b.sizeCode;
}

bool hasRevolution(const SectorReads& group, int revolution) {
    return std::any_of(group.copies.begin(), group.copies.end(),
                       [&](const Read* r) { return r->revolution == revolution; });
}

// The copy the others agree with in most bytes: a copy as it was read, never a blend of copies.
const Read* mostAgreedCopy(const std::vector<const Read*>& copies) {
    const Read* best = nullptr;
    std::size_t bestScore = 0;
    for (const Read* a : copies) {
        std::size_t score = 0;
        for (const Read* b : copies) {
            if (a == b) {
                continue;
            }
            const std::size_t n = std::min(a->sector.data.size(), b->sector.data.size());
            for (std::size_t i = 0; i < n; ++i) {
                score += a->sector.data[i] == b->sector.data[i] ? 1 : 0;
            }
        }
        if (best == nullptr || score > bestScore) {
            best = a;
            bestScore = score;
        }
    }
    return best;
}

std::string inRevolutions(int count, int revolutions) {
    return " in " + std::to_string(count) + " of " + std::to_string(revolutions) + " revolutions";
}

struct TrackResult {
    std::vector<SectorEntry> sectors;
    std::vector<DataState> states;
    std::vector<std::vector<std::string>> markers;
    double cellNs = 0;
    bool any = false;
};

// One sector kept from its reads, with the lines that say how it was chosen.
void keepSector(const SectorReads& group, int revolutions, bool idGood, TrackResult& out) {
    std::vector<const Read*> withData;
    const Read* good = nullptr;
    int crcErrors = 0;
    for (const Read* r : group.copies) {
        if (!r->sector.dataFound) {
            continue;
        }
        withData.push_back(r);
        if (r->sector.dataCrcGood && good == nullptr) {
            good = r;
        } else if (!r->sector.dataCrcGood) {
            ++crcErrors;
        }
    }
    const Read* chosen = good != nullptr ? good : (withData.empty() ? group.copies.front() : mostAgreedCopy(withData));
    std::vector<std::string> markers;
    if (!idGood) {
        markers.push_back(" BadID" + inRevolutions(group.badIdReads, revolutions) + ", no good ID");
    }
    if (withData.empty()) {
        markers.push_back(" no data field" + inRevolutions(static_cast<int>(group.copies.size()), revolutions));
    } else if (crcErrors > 0) {
        markers.push_back(" CRC" + inRevolutions(crcErrors, revolutions) +
                          (good != nullptr ? ", good copy kept" : ", no good copy"));
    }
    for (std::string& m : sectorMarkers(chosen->sector)) {
        if (m.rfind(" - size code", 0) == 0) {
            markers.push_back(std::move(m));
        }
    }
    SectorEntry entry{};
    out.states.push_back(fillSlot(chosen->sector, entry));
    out.sectors.push_back(entry);
    out.markers.push_back(std::move(markers));
}

// Groups the reads of every revolution into sectors and keeps the best copy of each.
void combineRevolutions(const std::vector<Read>& reads, int revolutions, bool indexCued, TrackResult& out) {
    // Without an index the revolutions start anywhere: reads are matched by ID alone.
    const double tolerance = indexCued ? kSameSectorAngle : 2.0;
    std::vector<SectorReads> good;
    for (const Read& r : reads) {
        if (!r.sector.idCrcGood) {
            continue;
        }
        auto it = std::find_if(good.begin(), good.end(), [&](const SectorReads& g) {
            return sameId(g.copies.front()->sector, r.sector) && !hasRevolution(g, r.revolution) &&
                   std::abs(g.angle - r.angle) < tolerance;
        });
        if (it == good.end()) {
            good.push_back({r.angle, {&r}, 0});
        } else {
            it->copies.push_back(&r);
        }
    }
    // A damaged ID where a good one was read in another revolution is a failed read of that
    // sector; elsewhere it is a sector no revolution read well, kept and reported.
    std::vector<SectorReads> bad;
    for (const Read& r : reads) {
        if (r.sector.idCrcGood) {
            continue;
        }
        const auto near = [&](const SectorReads& g) { return std::abs(g.angle - r.angle) < kSameSectorAngle; };
        if (indexCued && std::any_of(good.begin(), good.end(), near)) {
            continue;
        }
        auto it = std::find_if(bad.begin(), bad.end(), [&](const SectorReads& g) {
            return near(g) && !hasRevolution(g, r.revolution);
        });
        if (it == bad.end()) {
            bad.push_back({r.angle, {&r}, 1});
        } else {
            it->copies.push_back(&r);
            ++it->badIdReads;
        }
    }
    if (!indexCued) {
        bad.clear();  // without positions a damaged ID cannot be told from a failed read
    }
    struct Ordered {
        const SectorReads* group;
        bool idGood;
    };
    std::vector<Ordered> order;
    for (const SectorReads& g : good) {
        order.push_back({&g, true});
    }
    for (const SectorReads& g : bad) {
        order.push_back({&g, false});
    }
    if (indexCued) {
        std::stable_sort(order.begin(), order.end(),
                         [](const Ordered& a, const Ordered& b) { return a.group->angle < b.group->angle; });
    }
    for (const Ordered& o : order) {
        keepSector(*o.group, revolutions, o.idGood, out);
    }
}

struct Header {
    int revolutions;
    int startTrack;
    int endTrack;
    std::uint8_t flags;
    int heads;
    double tickNs;
};

// Decodes one track's revolutions into its kept sectors.
TrackResult decodeTrack(const ByteReader& in, std::size_t tdh, const Header& h, Cells& cells,
                        std::vector<std::uint32_t>& intervals, std::vector<std::string>& notes) {
    TrackResult out;
    std::vector<Read> reads;
    double cellTicks = 0;
    int revolutions = 0;
    const int taken = std::min(h.revolutions, kLargestRevolutions);
    for (int r = 0; r < taken; ++r) {
        const std::size_t entry = tdh + 4 + 12 * static_cast<std::size_t>(r);
        const std::uint32_t count = in.le32(entry + 4);
        const std::uint32_t offset = in.le32(entry + 8);
        if (count == 0 || in.overran()) {
            continue;
        }
        const auto words = in.bytes(tdh + offset, std::size_t{count} * 2);
        intervals.clear();
        std::uint32_t carried = 0;
        for (std::size_t i = 0; i + 1 < words.size(); i += 2) {
            const std::uint32_t w = static_cast<std::uint32_t>(words[i] << 8 | words[i + 1]);
            if (w == 0) {
                carried = std::min<std::uint32_t>(carried + kOverflowTicks, 0x7FFF0000U);
                continue;
            }
            intervals.push_back(carried + w);
            carried = 0;
        }
        if (intervals.empty()) {
            continue;
        }
        if (cellTicks == 0) {
            cellTicks = detectCellTicks(intervals, h.tickNs);
        }
        cells.clear();
        fluxToCells(intervals, cellTicks, cells);
        ++revolutions;
        for (FoundSector& s : decodeCells(cells)) {
            const double angle = static_cast<double>(s.position) / static_cast<double>(cells.size());
            reads.push_back({std::move(s), angle, r});
        }
    }
    if (in.overran()) {
        notes.push_back("The file ends inside the flux of track " + std::to_string(in.u8(tdh + 3)) +
                        "; what is there is read.");
    }
    out.cellNs = cellTicks * h.tickNs;
    out.any = !reads.empty();
    if (out.any) {
        combineRevolutions(reads, revolutions, (h.flags & kFlagIndexCued) != 0, out);
    }
    return out;
}

std::uint32_t checksum(std::span<const std::uint8_t> file) {
    std::uint32_t sum = 0;
    for (std::size_t i = kHeaderBytes; i < file.size(); ++i) {
        sum += file[i];
    }
    return sum;
}

}  // namespace

void decodeScp(std::span<const std::uint8_t> file, DiskImage& disk, LogEditor& text) {
    ByteReader in(file);
    const std::string_view signature(reinterpret_cast<const char*>(file.data()),
                                      std::min(file.size(), kSignature.size()));
    if (signature != kSignature) {
        text.fail("The file is not an SCP image (it does not begin with SCP).", "Operation aborted.");
        return;
    }
    if (file.size() < kHeaderBytes) {
        text.fail("The file is too short for an SCP header (" + std::to_string(file.size()) + " bytes).",
                  "Operation aborted.");
        return;
    }
    const int cellWidth = in.u8(9);
    const Header h{in.u8(5), in.u8(6), in.u8(7), in.u8(8), in.u8(0x0A), kBaseTickNs * (1 + in.u8(0x0B))};
    if (cellWidth != 0 && cellWidth != 16) {
        text.fail("The file's flux words are " + std::to_string(cellWidth) +
                      " bits wide; only 16-bit words are read.",
                  "Operation aborted.");
        return;
    }
    if (h.revolutions == 0) {
        text.fail("The SCP header names no revolutions.", "Operation aborted.");
        return;
    }
    std::vector<std::string> notes;
    if (h.revolutions > kLargestRevolutions) {
        notes.push_back("The file holds " + std::to_string(h.revolutions) + " revolutions of every track; the first " +
                        std::to_string(kLargestRevolutions) + " are decoded.");
    }
    const std::uint32_t stored = in.le32(0x0C);
    if (stored != 0 && (h.flags & kFlagReadWrite) == 0 && stored != checksum(file)) {
        notes.push_back("The file's checksum does not match its contents; its tracks are read as they are.");
    }

    // A table shorter than 168 entries ends where the first track header begins.
    std::size_t entries = kTableEntries;
    for (std::size_t t = 0; t < kTableEntries; ++t) {
        const std::uint32_t offset = in.le32(kHeaderBytes + 4 * t);
        if (offset != 0 && offset >= kHeaderBytes && offset < kHeaderBytes + 4 * entries) {
            entries = (offset - kHeaderBytes) / 4;
        }
    }
    std::vector<std::uint32_t> offsets;
    for (std::size_t t = 0; t < entries; ++t) {
        offsets.push_back(in.has(kHeaderBytes + 4 * t, 4) ? in.le32(kHeaderBytes + 4 * t) : 0);
    }
    bool even = false;
    bool odd = false;
    for (std::size_t t = 0; t < offsets.size(); ++t) {
        if (offsets[t] != 0) {
            (t % 2 == 0 ? even : odd) = true;
        }
    }
    // One-sided files number their tracks 2c + h, or (older writers) one after another.
    const bool consecutive = h.heads != 0 && even && odd;

    struct Placed {
        int cylinder;
        int side;
        TrackResult result;
    };
    std::vector<Placed> placed;
    // Both grow to the longest revolution once and are reused for every track after.
    Cells cells;
    std::vector<std::uint32_t> intervals;
    const int last = std::min<int>(h.endTrack, static_cast<int>(offsets.size()) - 1);
    for (int t = h.startTrack; t <= last; ++t) {
        const std::uint32_t tdh = offsets[static_cast<std::size_t>(t)];
        if (tdh == 0) {
            continue;  // no flux captured here
        }
        if (in.u8(tdh) != 'T' || in.u8(tdh + 1) != 'R' || in.u8(tdh + 2) != 'K') {
            notes.push_back("Track entry " + std::to_string(t) + " does not lead to a track header; it is skipped.");
            continue;
        }
        const int cylinder = consecutive ? t : t / 2;
        // The heads byte names side 0 (1) or side 1 (2); a value the format does not define reads
        // as side 0 rather than as a side beyond the disk.
        const int side = consecutive ? (h.heads == 2 ? 1 : 0) : t % 2;
        TrackResult result = decodeTrack(in, tdh, h, cells, intervals, notes);
        in.resetOverrun();
        if (result.any) {
            placed.push_back({cylinder, side, std::move(result)});
        }
    }

    // A 48-tpi disk read in a 96-tpi drive: its IDs name half the drive's track number.
    int halfNamed = 0;
    int fullNamed = 0;
    for (const Placed& p : placed) {
        if (p.cylinder >= 2 && !p.result.sectors.empty()) {
            const int id = p.result.sectors.front().cylinder;
            halfNamed += id == p.cylinder / 2 ? 1 : 0;
            fullNamed += id == p.cylinder ? 1 : 0;
        }
    }
    const bool doubleStepped = halfNamed > fullNamed;
    if (doubleStepped) {
        notes.push_back(std::string("The tracks are double-stepped (a 48-tpi disk read in a 96-tpi drive") +
                        ((h.flags & 0x02) != 0 ? ", as the header says" : "") +
                        "): every second track is kept.");
    }

    text.openField(shortSectorField(0, 0, 0), false);
    SkippedSectors beyond;
    int cylinders = 0;
    int sides = 1;
    double cellNs = 0;
    for (const Placed& p : placed) {
        if (doubleStepped && p.cylinder % 2 != 0) {
            continue;
        }
        const int c = doubleStepped ? p.cylinder / 2 : p.cylinder;
        for (std::size_t k = 0; k < p.result.sectors.size(); ++k) {
            const SectorEntry& found = p.result.sectors[k];
            const int slot = c < kMaxCylinders && p.side < kMaxSides ? disk.track(p.side, c).sectorCount : 0;
            SectorEntry* e = appendSector(disk, p.side, c);
            if (e == nullptr) {
                beyond.add(shortSectorField(found.cylinder, found.head, found.record));
                continue;
            }
            *e = found;
            setDataState(disk, p.side, c, slot, p.result.states[k]);
            cylinders = std::max(cylinders, c + 1);
            sides = std::max(sides, p.side + 1);
            cellNs = cellNs == 0 ? p.result.cellNs : cellNs;
            text.setField(shortSectorField(found.cylinder, found.head, found.record));
            for (const std::string& marker : p.result.markers[k]) {
                text.mark(marker);
            }
        }
    }
    if (beyond.any()) {
        notes.push_back(beyond.report("lie beyond cylinder 79 or the 30th sector of a track"));
    }
    if (cylinders == 0) {
        abortEmptyLoad(text, disk, std::move(notes), "No sector was found in the flux of any track.",
                       ReaderWording::WithFullStops);
        return;
    }
    disk.trackCount = static_cast<std::uint8_t>(cylinders);
    disk.sideCount = static_cast<std::uint8_t>(sides);
    disk.trackLength = cellNs <= kLongestFastCellNs ? kLongTrackLength : kShortTrackLength;
    disk.formatFlags = sides == 1 ? 0x10 : 0;
    addNotesAboveClosing(text, notes, text.field());
    noteOutsideGeometry(text, disk);
    text.finish(" - SCP image loaded.");
}

void loadScpImage(const std::string& path, DiskImage& disk, OperationLog& log,
                  const LoadOptions& /*options*/) {
    clear(disk);
    LogEditor text(log, "Loading SCP Image: " + path);
    const auto file = readImageFile(path, text, ReaderWording::WithFullStops);
    if (!file) {
        return;
    }
    decodeScp(*file, disk, text);
    if (!isEmpty(disk)) {
        setSourcePath(disk, path);
    }
}

}  // namespace sv
