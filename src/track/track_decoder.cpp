#include "track/track_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string>

#include "core/crc16.h"

namespace sv {

namespace {

constexpr std::uint8_t kIdMark = 0xFE;
constexpr std::uint8_t kFirstDataMark = 0xF8;
constexpr std::uint8_t kLastDataMark = 0xFB;
constexpr int kLargestSizeShift = 7;
constexpr int kLargestKeptSizeCode = 3;
// Gap 2 and the sync before a data mark: 17 FM or 37 MFM bytes on a formatted track, with room
// for a controller that writes them longer.
constexpr std::size_t kDataMarkWindowCells = 1600;

constexpr std::uint64_t kMfmSyncTriple = 0x448944894489ULL;
constexpr std::uint64_t kLow48 = 0xFFFFFFFFFFFFULL;

// An FM cell word on the double-density grid: each FM cell after an empty cell.
constexpr std::uint32_t spread(std::uint16_t word) {
    std::uint32_t out = 0;
    for (int i = 0; i < 16; ++i) {
        out |= static_cast<std::uint32_t>((word >> i) & 1) << (2 * i);
    }
    return out;
}

constexpr std::uint16_t fmMarkWord(std::uint8_t value) {
    std::uint16_t word = 0;
    for (int bit = 7; bit >= 0; --bit) {
        word = static_cast<std::uint16_t>((word << 2) | (((0xC7 >> bit) & 1) << 1) | ((value >> bit) & 1));
    }
    return word;
}

// An FM mark is taken after at least one sync byte 0x00, so a stray pattern in a gap is not one.
constexpr std::uint32_t kFmSyncZero = spread(0xAAAA);
constexpr std::array<std::uint8_t, 5> kFmMarks{0xFE, 0xFB, 0xF8, 0xF9, 0xFA};
constexpr std::array<std::uint32_t, 5> kFmMarkCells{
    spread(fmMarkWord(0xFE)), spread(fmMarkWord(0xFB)), spread(fmMarkWord(0xF8)),
    spread(fmMarkWord(0xF9)), spread(fmMarkWord(0xFA))};

struct Mark {
    std::size_t end;  // first cell after the mark byte
    std::size_t lastCell;
    std::uint8_t value;
    bool fm;
};

// Bytes after a mark, read from the cell grid the mark set.
class FieldReader {
public:
    FieldReader(std::span<const std::uint8_t> cells, std::size_t start, bool fm)
        : cells_(cells), position_(start), fm_(fm) {}

    [[nodiscard]] bool canRead() const { return cells_.size() - std::min(position_, cells_.size()) >= byteCells(); }
    std::uint8_t next() {
        if (!canRead()) {
            overran_ = true;
            return 0;
        }
        std::uint8_t b = 0;
        // Data cells sit second in each clock-data pair; FM pairs are doubled again.
        const std::size_t first = fm_ ? 3 : 1;
        const std::size_t step = fm_ ? 4 : 2;
        for (int i = 0; i < 8; ++i) {
            b = static_cast<std::uint8_t>((b << 1) | (cells_[position_ + first + step * static_cast<std::size_t>(i)] & 1));
        }
        position_ += byteCells();
        return b;
    }
    std::uint16_t next16() {
        const std::uint8_t high = next();
        return static_cast<std::uint16_t>((high << 8) | next());
    }
    [[nodiscard]] std::size_t position() const { return position_; }
    [[nodiscard]] bool overran() const { return overran_; }

private:
    [[nodiscard]] std::size_t byteCells() const { return fm_ ? 32 : 16; }

    std::span<const std::uint8_t> cells_;
    std::size_t position_;
    bool fm_;
    bool overran_ = false;
};

// Every mark opens with an MFM sync word or an FM sync zero; without its leading empty cell the
// pattern begins with a transition, so it lies whole after the place a search starts.
constexpr std::uint32_t kMfmSyncWord = 0x4489;
constexpr std::size_t kMfmSyncCells = 15;
constexpr std::size_t kFmSyncZeroCells = 31;
// A mark's last cell lies 46 cells after the start of the MFM pattern, 62 after the FM one.
constexpr std::size_t kLatestMarkAfterPattern = 62;

// Eight cells from `at`, the earliest in the top bit.
std::uint8_t cellGroup(std::span<const std::uint8_t> cells, std::size_t at) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, cells.data() + at, sizeof eight);
    // The product gathers the low bit of each byte into the top byte, the first byte's highest.
    static_assert(std::endian::native == std::endian::little, "the first cell is the lowest byte");
    return static_cast<std::uint8_t>(((eight & 0x0101010101010101ULL) * 0x8040201008040201ULL) >> 56);
}

// Whether eight cells in a row can lie inside one of the two patterns. Each pattern holds a
// whole group of eight wherever it starts, so a group that is none of these opens no mark.
constexpr std::array<bool, 256> groupsInPatterns() {
    std::array<bool, 256> in{};
    for (std::size_t k = 0; k + 8 <= kMfmSyncCells; ++k) {
        in[(kMfmSyncWord >> (kMfmSyncCells - 8 - k)) & 0xFF] = true;
    }
    for (std::size_t k = 0; k + 8 <= kFmSyncZeroCells; ++k) {
        in[(kFmSyncZero >> (kFmSyncZeroCells - 8 - k)) & 0xFF] = true;
    }
    return in;
}
constexpr std::array<bool, 256> kGroupInPattern = groupsInPatterns();

// The next ID or data mark whose last cell lies at or after `from` and before `limit`, as a shift
// register of the last 64 cells would find it (cells before `from` taken as empty). The cells are
// looked at eight at a time; the register runs only where a group may belong to a pattern, from
// the cell before the pattern could start to the last cell its mark could end on.
std::optional<Mark> nextMark(std::span<const std::uint8_t> cells, std::size_t from, std::size_t limit) {
    limit = std::min(limit, cells.size());
    std::uint64_t shift = 0;
    std::size_t i = from;  // every mark ending before here has been looked for
    for (std::size_t group = from; group + 8 <= limit; group += 8) {
        if (!kGroupInPattern[cellGroup(cells, group)]) {
            continue;
        }
        // A pattern holding this group starts within the seven cells before it, or at it.
        const std::size_t stop = std::min(limit, group + kLatestMarkAfterPattern + 1);
        if (i + 8 < group) {
            i = group - 8;  // the cell before the earliest such start: no mark reads further back
            shift = 0;
        }
        for (; i < stop; ++i) {
            shift = (shift << 1) | (cells[i] & 1U);
            if ((shift & kLow48) == kMfmSyncTriple) {
                FieldReader in(cells, i + 1, false);
                const std::uint8_t value = in.next();
                if (!in.overran() && (value == kIdMark || (value >= kFirstDataMark && value <= kLastDataMark))) {
                    return Mark{in.position(), i + 16, value, false};
                }
            } else if (static_cast<std::uint32_t>(shift >> 32) == kFmSyncZero) {
                const auto low = static_cast<std::uint32_t>(shift);
                for (std::size_t k = 0; k < kFmMarks.size(); ++k) {
                    if (low == kFmMarkCells[k]) {
                        return Mark{i + 1, i, kFmMarks[k], true};
                    }
                }
            }
        }
    }
    return std::nullopt;
}

std::uint16_t crcStart(bool fm, std::uint8_t mark) {
    return crc16Update(fm ? kCrc16Initial : kCrc16AfterMfmSync, mark);
}

// Reads the data field after `mark` into `sector`; returns the cell after the field.
std::size_t readData(std::span<const std::uint8_t> cells, const Mark& mark, FoundSector& sector) {
    sector.dataFound = true;
    sector.mark = mark.value;
    FieldReader in(cells, mark.end, mark.fm);
    std::uint16_t crc = crcStart(mark.fm, mark.value);
    const std::size_t length = std::size_t{128} << std::min<int>(sector.sizeCode, kLargestSizeShift);
    sector.data.reserve(std::min<std::size_t>(length, kSectorDataBytes));
    for (std::size_t i = 0; i < length && in.canRead(); ++i) {
        const std::uint8_t b = in.next();
        crc = crc16Update(crc, b);
        if (sector.data.size() < kSectorDataBytes) {
            sector.data.push_back(b);
        }
    }
    const bool complete = in.canRead();
    const std::uint16_t stored = in.next16();
    sector.dataCutShort = !complete || in.overran();
    sector.dataCrcGood = !sector.dataCutShort && stored == crc;
    return in.position();
}

}  // namespace

std::vector<FoundSector> decodeCells(std::span<const std::uint8_t> cells) {
    std::vector<FoundSector> found;
    std::size_t position = 0;
    std::optional<Mark> pending;
    while (true) {
        const std::optional<Mark> mark = pending ? pending : nextMark(cells, position, cells.size());
        pending.reset();
        if (!mark) {
            break;
        }
        position = mark->end;
        if (mark->value != kIdMark) {
            continue;  // a data mark without its ID
        }
        FieldReader in(cells, mark->end, mark->fm);
        std::array<std::uint8_t, 4> id{};
        std::uint16_t crc = crcStart(mark->fm, mark->value);
        for (std::uint8_t& b : id) {
            b = in.next();
            crc = crc16Update(crc, b);
        }
        const std::uint16_t stored = in.next16();
        if (in.overran()) {
            break;  // the cells end inside the ID: nothing of it can be told
        }
        FoundSector sector;
        sector.cylinder = id[0];
        sector.head = id[1];
        sector.record = id[2];
        sector.sizeCode = id[3];
        sector.fm = mark->fm;
        sector.idCrcGood = stored == crc;
        sector.position = mark->lastCell;
        position = in.position();

        const std::optional<Mark> dataMark = nextMark(cells, position, position + kDataMarkWindowCells);
        if (dataMark && dataMark->value == kIdMark) {
            pending = dataMark;  // the next sector's ID: this one has no data field
        } else if (dataMark && dataMark->fm == sector.fm) {
            const std::size_t after = readData(cells, *dataMark, sector);
            // A damaged field may hide the next ID; search it again from the data mark.
            position = sector.idCrcGood && sector.dataCrcGood ? after : dataMark->end;
        }
        found.push_back(std::move(sector));
    }
    return found;
}

DataState fillSlot(const FoundSector& found, SectorEntry& entry) {
    entry.cylinder = found.cylinder;
    entry.head = found.head;
    entry.record = found.record;
    entry.sizeCode = found.sizeCode;
    entry.singleDensity = found.fm ? 1 : 0;
    entry.status = found.idCrcGood ? 0 : status::idCrcError;
    DataFacts facts;
    if (!found.dataFound) {
        entry.status |= status::dataCrcError | status::damBit0 | status::damBit1;
        setSectorData(entry, {});
        facts.noDataField = true;
        return dataStateOf(facts, found.sizeCode);
    }
    if (found.mark == 0xF8) {
        entry.status |= status::deletedData;
    }
    entry.status |= found.mark & (status::damBit0 | status::damBit1);
    setSectorData(entry, found.data);
    facts.cutShort = found.dataCutShort;
    facts.crcError = !found.dataCrcGood;
    if (facts.cutShort || facts.crcError) {
        entry.status |= status::dataCrcError;
    }
    return dataStateOf(facts, found.sizeCode);
}

std::vector<std::string> sectorMarkers(const FoundSector& found) {
    std::vector<std::string> markers;
    if (!found.idCrcGood) {
        markers.emplace_back(" BadID");
    }
    if (!found.dataFound || !found.dataCrcGood) {
        markers.emplace_back(" CRC");
    }
    if (found.sizeCode > kLargestKeptSizeCode) {
        markers.push_back(" - size code " + std::to_string(found.sizeCode) + ": sector of " +
                (found.sizeCode > kLargestSizeShift
                     ? std::string("more than 16384")
                     : std::to_string(std::size_t{128} << found.sizeCode)) +
                " bytes, first 1024 kept");
    }
    return markers;
}

}  // namespace sv
