#include "analysis/trsdos_listings.h"

#include <algorithm>
#include <array>
#include <limits>

#include "analysis/basic_detokeniser.h"
#include "analysis/document_index.h"
#include "analysis/host_export.h"
#include "core/byte_reader.h"

namespace sv {

namespace {

// TRSDOS: four 64-byte entries per directory record, 16 extents, granules of 5 sectors.
constexpr int kTrsdosLastRecord = 25;
constexpr std::uint8_t kTrsdos12Version = 0x12;
constexpr std::size_t kTrsdosEntryBytes = 64;
constexpr int kTrsdosEntriesPerRecord = 4;
constexpr int kTrsdosExtents = 16;
constexpr int kTrsdosSectorsPerGranule = 5;
constexpr int kTrsdosSectorsPerTrack = 25;

// LS-DOS and Dosplus II: eight 32-byte entries per record, five extents.
constexpr std::size_t kShortEntryBytes = 32;
constexpr int kShortEntriesPerRecord = 8;
constexpr int kShortExtents = 5;
constexpr int kLsdosFirstRecord = 2;
constexpr int kLsdosLastRecord = 29;
constexpr int kLsdosSideOneLastRecord = 34;
constexpr int kLsdosSectorsPerGranule = 10;
constexpr int kLsdosSectorsPerSide = 30;
constexpr int kDosplusSectorsPerGranule = 5;
constexpr int kDosplusSectorsPerTrack = 30;

// Model II/16 TRSDOS: 512-byte records 1..16 on logical tracks that count both sides.
constexpr std::size_t kTrsdos16EntryBytes = 64;
constexpr int kTrsdos16EntriesPerRecord = 8;
constexpr int kTrsdos16RecordsPerTrack = 16;
constexpr std::size_t kTrsdos16RecordBytes = 512;

constexpr std::uint8_t kNoExtent = 0xFF;
constexpr std::uint8_t kLsdosListedBit = 0x10;

// An entry's bytes, addressed 1-based as the directory layouts are written.
class Entry {
public:
    explicit Entry(std::span<const std::uint8_t> bytes) : in_(bytes) {}
    [[nodiscard]] std::uint8_t at(std::size_t position) const { return in_.u8(position - 1); }
    [[nodiscard]] unsigned le16(std::size_t position) const { return in_.le16(position - 1); }
    [[nodiscard]] std::uint32_t be32(std::size_t position) const {
        return (std::uint32_t{in_.be16(position - 1)} << 16) | in_.be16(position + 1);
    }
    [[nodiscard]] std::span<const std::uint8_t> range(std::size_t first, std::size_t last) const {
        return in_.bytes(first - 1, last - first + 1);
    }

private:
    ByteReader in_;
};

std::vector<std::uint8_t> copyOf(const SectorData& data, std::size_t count) {
    return {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::string withoutSpaces(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (b != ' ') {
            text += static_cast<char>(b);
        }
    }
    return text;
}

struct Extent {
    int track;
    int startGranule;
    int granules;
};

Extent extentAt(const Entry& e, std::size_t position) {
    const std::uint8_t g = e.at(position + 1);
    return {e.at(position), g >> 5, (g & 31) + 1};
}

// Month and day as the LS-DOS family prints them: months 13..15 wrap, zero reads as 1.
int listedMonth(int month) {
    if (month > 12) {
        month -= 12;
    }
    return month == 0 ? 1 : month;
}

int listedDay(int day) { return day == 0 ? 1 : day; }

// The name extraction gives a TRSDOS-family file: NAME.EXT, or NAME when the extension is blank.
std::string familyName(const Entry& e) {
    std::string name = nameComponent(trimmed(textOf(e.range(6, 13))));
    const std::string extension = nameComponent(withoutSpaces(e.range(14, 16)));
    return extension.empty() ? name : name + "." + extension;
}

// ---- TRSDOS and HSDS

// The EOF fields give where the file's last record starts (EOF sector x 256 + EOF byte); the file
// ends one record length (LRL, 0 for 256) later. Proved on the real disks: load modules end in
// their transfer record's sector, byte files (LRL 1) end on their last CR, LRL 64 on a record.
FileFacts trsdosFacts(const Entry& e, bool anyExtent) {
    FileFacts facts;
    facts.name = familyName(e);
    if (!anyExtent) {
        facts.statedSize = 0;  // no granule: nothing for the EOF fields to describe
        return facts;
    }
    const std::size_t recordLength = e.at(5) == 0 ? 256 : e.at(5);
    const std::size_t lastRecord = std::size_t{e.le16(21)} * 256 + e.at(4);
    if (lastRecord % recordLength != 0) {
        facts.note = "EOF byte " + hexField(e.at(4), 2) + " and EOF sector " +
                     hexField(e.le16(21), 4) + " do not start a record of LRL " +
                     hexField(e.at(5), 2);
        return facts;
    }
    facts.statedSize = lastRecord + recordLength;
    return facts;
}

void listTrsdosEntry(const Entry& e, SectorReader& reader, EntryTable& table) {
    const std::string name = trimmed(textOf(e.range(6, 13)));
    const std::string extension = withoutSpaces(e.range(14, 16));
    std::string line = nameField(e.range(6, 13), e.range(14, 16), '/', 13) +
                       zeroPadded(e.at(57), 2) + "/" + zeroPadded(e.at(56), 2) + "/" +
                       zeroPadded(centuryYear(e.at(55)), 4) + " UPD=" + hexField(e.le16(17), 4) +
                       " ACC=" + hexField(e.le16(19), 4) + " LRL=" + hexField(e.at(5), 2) +
                       " EOFB=" + hexField(e.at(4), 2) + " EOFS=" + hexField(e.le16(21), 4);

    GatheredFile file;
    bool gathering = true;
    bool anyExtent = false;
    for (int i = 0; i < kTrsdosExtents; ++i) {
        const Extent x = extentAt(e, 23 + 2 * static_cast<std::size_t>(i));
        if (x.track == kNoExtent) {
            break;
        }
        anyExtent = true;
        line += " T=" + hexField(static_cast<unsigned>(x.track), 2) +
                " G=" + hexField(static_cast<unsigned>(x.startGranule), 2) +
                " S=" + std::to_string(x.granules * kTrsdosSectorsPerGranule);
        int track = x.track;
        int sector = x.startGranule * kTrsdosSectorsPerGranule + 1;
        for (int n = 0; gathering && n < x.granules * kTrsdosSectorsPerGranule; ++n) {
            if (sector == kTrsdosSectorsPerTrack + 1) {
                sector = 1;
                ++track;
            }
            if (track >= reader.cylinderCount()) {
                EntryTable::beyondDisk(file, track, 0, sector);
                break;
            }
            // Track 0 is single density: 128-byte sectors.
            gathering = table.gather(file, reader, track, 0, sector, track == 0 ? 128 : 256);
            ++sector;
        }
    }

    if (name == "DOCUMENT" && extension == "CTL") {
        table.report(readDocumentIndex(file.content));
    }
    std::optional<std::string> basic;
    if (extension == "BAS") {
        basic = detokeniseBasic(file.content);
    }
    FileFacts facts = trsdosFacts(e, anyExtent);
    facts.date = isoDate(centuryYear(e.at(55)), e.at(56), e.at(57));
    table.record(std::move(line), std::move(file), std::move(facts), std::move(basic),
                 trimmed(nameField(e.range(6, 13), e.range(14, 16), '/', 0)));
}

// ---- LS-DOS

// LS-DOS and Dosplus II count the sectors up to the end (ERN); a non-zero EOF byte says how much
// of the last of them is used. Proved on the LS-DOS 6.3.1 disks: every load module ends exactly
// after its transfer record.
FileFacts endingRecordFacts(const Entry& e, std::size_t endingRecord) {
    FileFacts facts;
    facts.name = familyName(e);
    const std::size_t eof = e.at(4);
    if (eof != 0 && endingRecord == 0) {
        facts.note = "EOF byte " + hexField(eof, 2) + " with no ending record";
        return facts;
    }
    facts.statedSize = eof == 0 ? endingRecord * 256 : (endingRecord - 1) * 256 + eof;
    return facts;
}

std::string shortName(const Entry& e) {
    return trimmed(nameField(e.range(6, 13), e.range(14, 16), '/', 0));
}

void listLsdosEntry(const Entry& e, SectorReader& reader, EntryTable& table) {
    const int month = listedMonth(e.at(3) & 15);
    const int day = listedDay(e.at(3) >> 3);
    const int year = 1980 + (e.at(2) & 7);
    std::string line = nameField(e.range(6, 13), e.range(14, 16), '/', 20) +
                       dateText(day, month, year) + " OWN=" + hexField(e.le16(17), 4) +
                       " USR=" + hexField(e.le16(19), 4) + " LRL=" + hexField(e.at(5), 2) +
                       " EOFB=" + hexField(e.at(4), 2) + " EOFS=" + hexField(e.le16(21), 4);

    const bool twoSided = reader.sideCount() == 2;
    GatheredFile file;
    bool gathering = true;
    for (int i = 0; gathering && i < kShortExtents; ++i) {
        const Extent x = extentAt(e, 23 + 2 * static_cast<std::size_t>(i));
        if (x.track == kNoExtent) {
            break;
        }
        int track = x.track;
        int side = 0;
        int sector = x.startGranule * kLsdosSectorsPerGranule;
        for (int n = 0; gathering && n < x.granules * kLsdosSectorsPerGranule; ++n) {
            if (sector >= kLsdosSectorsPerSide) {
                if (twoSided && side == 0) {
                    side = 1;
                    sector -= kLsdosSectorsPerSide;
                } else {
                    side = 0;
                    sector = 0;
                    ++track;
                }
            }
            if (track >= reader.cylinderCount()) {
                EntryTable::beyondDisk(file, track, side, sector);
                break;
            }
            gathering = table.gather(file, reader, track, side, sector, 256);
            ++sector;
        }
    }
    FileFacts facts = endingRecordFacts(e, e.le16(21));
    facts.date = isoDate(year, month, day);
    table.record(std::move(line), std::move(file), std::move(facts), std::nullopt, shortName(e));
}

// ---- Dosplus II

void listDosplusEntry(const Entry& e, SectorReader& reader, EntryTable& table) {
    const int month = listedMonth(e.at(2) & 15);
    const int day = listedDay(e.at(3) / 16);
    const int year = 1980 + (e.at(3) & 7);
    // The two password hashes are 12-bit values packed into bytes 17..19.
    std::string line = nameField(e.range(6, 13), e.range(14, 16), '/', 13) +
                       dateText(day, month, year) + " UPD=" + hexField(e.at(18) >> 4, 1) +
                       hexField(e.at(17), 2) + " ACC=" + hexField(e.at(18) & 15u, 1) +
                       hexField(e.at(19), 2) + " LRL=" + hexField(e.at(5), 2) +
                       " EOFS=" + hexField(e.at(20), 2) + hexField(e.at(22), 2) +
                       hexField(e.at(21), 2) + " EOFB=" + hexField(e.at(4), 2);

    GatheredFile file;
    bool gathering = true;
    for (int i = 0; gathering && i < kShortExtents; ++i) {
        const Extent x = extentAt(e, 23 + 2 * static_cast<std::size_t>(i));
        if (x.track == kNoExtent) {
            break;
        }
        int track = x.track;
        int sector = x.startGranule * kDosplusSectorsPerGranule + (track == 0 ? 1 : 0);
        for (int n = 0; gathering && n < x.granules * kDosplusSectorsPerGranule; ++n) {
            if (track >= reader.cylinderCount()) {
                EntryTable::beyondDisk(file, track, 0, sector);
                break;
            }
            gathering = table.gather(file, reader, track, 0, sector, 256);
            if (++sector == kDosplusSectorsPerTrack) {
                sector = 0;
                ++track;
            }
        }
    }
    // The ending record as the line shows it: byte 20, then 22, then 21.
    const std::size_t endingRecord =
        std::size_t{e.at(20)} << 16 | std::size_t{e.at(22)} << 8 | e.at(21);
    FileFacts facts = endingRecordFacts(e, endingRecord);
    facts.date = isoDate(year, month, day);
    table.record(std::move(line), std::move(file), std::move(facts), std::nullopt, shortName(e));
}

// Lists the 32-byte entries of records first..last of the directory cylinder, on `side`.
template <typename ListEntry>
void listShortEntries(SectorReader& reader, int cylinder, int side, int first, int last,
                      ListEntry listEntry) {
    for (int record = first; record <= last; ++record) {
        const std::vector<std::uint8_t> dir = copyOf(reader.read(cylinder, side, record), 256);
        for (int k = 0; k < kShortEntriesPerRecord; ++k) {
            listEntry(Entry(std::span(dir).subspan(k * kShortEntryBytes, kShortEntryBytes)));
        }
    }
}

// ---- Model II/16 TRSDOS

// A position on a logical track, which counts both sides of a two-sided disk.
class LogicalWalk {
public:
    LogicalWalk(SectorReader& reader, int sides, std::uint32_t address, int recordOffset)
        : reader_(reader),
          sides_(sides),
          track_(address / 32),
          record_(static_cast<int>(address % 32) + recordOffset) {}

    // False once the walk has left the disk.
    [[nodiscard]] bool onDisk() const {
        return track_ / static_cast<std::uint32_t>(sides_) <
               static_cast<std::uint32_t>(reader_.cylinderCount());
    }
    const SectorData& read() { return reader_.read(cylinder(), side(), record_); }
    bool gather(EntryTable& table, GatheredFile& file, std::size_t bytes) {
        return table.gather(file, reader_, cylinder(), side(), record_, bytes);
    }
    void beyondDisk(GatheredFile& file) const {
        EntryTable::beyondDisk(file, static_cast<int>(std::min<std::uint32_t>(
                                         cylinder32(), std::numeric_limits<int>::max())),
                               side(), record_);
    }
    void next() {
        if (++record_ > kTrsdos16RecordsPerTrack) {
            record_ = 1;
            ++track_;
        }
    }

private:
    [[nodiscard]] std::uint32_t cylinder32() const {
        return track_ / static_cast<std::uint32_t>(sides_);
    }
    [[nodiscard]] int cylinder() const { return static_cast<int>(cylinder32()); }
    [[nodiscard]] int side() const { return sides_ == 1 ? 0 : static_cast<int>(track_ % 2); }

    SectorReader& reader_;
    int sides_;
    std::uint32_t track_;
    int record_;
};

bool skippedTrsdos16Entry(const Entry& e) {
    return (e.at(1) == 0 && e.at(2) == 0) || trimmed(textOf(e.range(3, 18))).empty();
}

void listTrsdos16File(const Entry& file, const std::string& rootName, bool rootZero, int sides,
                      SectorReader& reader, EntryTable& table) {
    std::string name = rootName + " \\\\ " + trimmed(textOf(file.range(3, 18)));
    std::string line = padRight(name, 32);
    // Root entry 0 keeps its files' record count in another byte order.
    const std::uint64_t count =
        rootZero ? (std::uint64_t{file.at(44)} << 24) | (std::uint64_t{file.at(41)} << 16) |
                       (std::uint64_t{file.at(42)} << 8) | file.at(43)
                 : file.be32(41);
    GatheredFile gathered;
    LogicalWalk walk(reader, sides, file.be32(47), 1);
    for (std::uint64_t n = 0; n < count + 1; ++n) {
        if (!walk.onDisk()) {
            walk.beyondDisk(gathered);
            break;
        }
        if (!walk.gather(table, gathered, kTrsdos16RecordBytes)) {
            break;
        }
        walk.next();
    }
    // The record count counts the records after the first, each of 512 bytes: the file is whole
    // records.
    FileFacts facts;
    facts.name = nameComponent(rootName) + "/" + nameComponent(trimmed(textOf(file.range(3, 18))));
    facts.statedSize = static_cast<std::size_t>((count + 1) * kTrsdos16RecordBytes);
    table.record(std::move(line), std::move(gathered), std::move(facts), std::nullopt,
                 std::move(name));
}

}  // namespace

void listTrsdos(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    int first = recognition.firstDirSector;
    int last = kTrsdosLastRecord;
    if (recognition.osVersion == kTrsdos12Version) {
        first += 2;
        last += 1;
    }
    for (int record = first; record <= last; ++record) {
        const std::vector<std::uint8_t> dir =
            copyOf(reader.read(recognition.dirTrack, 0, record), 256);
        for (int k = 0; k < kTrsdosEntriesPerRecord; ++k) {
            const Entry e{std::span(dir).subspan(k * kTrsdosEntryBytes, kTrsdosEntryBytes)};
            if (e.at(1) == 0xFF || trimmed(textOf(e.range(6, 13))).empty()) {
                continue;
            }
            listTrsdosEntry(e, reader, table);
        }
    }
}

void listLsdos(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    const auto listEntry = [&](const Entry& e) {
        if ((e.at(1) & kLsdosListedBit) != 0) {
            listLsdosEntry(e, reader, table);
        }
    };
    listShortEntries(reader, recognition.dirTrack, 0, kLsdosFirstRecord, kLsdosLastRecord,
                     listEntry);
    if (reader.sideCount() == 2) {
        // Records 30..34 continue on side 1 as its records 0..4.
        listShortEntries(reader, recognition.dirTrack, 1, 0,
                         kLsdosSideOneLastRecord - kLsdosSectorsPerSide, listEntry);
    }
}

void listDosplus(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    listShortEntries(reader, recognition.dirTrack, 0, kLsdosFirstRecord, kLsdosLastRecord,
                     [&](const Entry& e) {
                         if ((e.at(1) & kLsdosListedBit) != 0) {
                             listDosplusEntry(e, reader, table);
                         }
                     });
}

void listTrsdos16(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    const int sides = recognition.parameters && recognition.parameters->sides == 2 ? 2 : 1;
    table.skipRow();  // this system's rows start at 1

    const std::uint32_t rootAddress =
        std::uint32_t{recognition.dirTrack} * 32 + recognition.firstDirSector;
    LogicalWalk rootWalk(reader, sides, rootAddress, 0);
    const std::vector<std::uint8_t> root = copyOf(rootWalk.read(), 256);

    for (int k = 0; k < 4; ++k) {
        const Entry r{std::span(root).subspan(k * kTrsdos16EntryBytes, kTrsdos16EntryBytes)};
        if (skippedTrsdos16Entry(r)) {
            continue;
        }
        const unsigned perUnit = r.at(45) << 8 | r.at(46);
        if (perUnit == 0) {
            continue;  // no entry count can be derived
        }
        const unsigned examined = (r.at(43) << 8 | r.at(44)) / perUnit + 1;
        const std::string rootName = trimmed(textOf(r.range(3, 18)));

        LogicalWalk walk(reader, sides, r.be32(47), -1);
        std::vector<std::uint8_t> record;
        for (unsigned n = 0; n < examined; ++n) {
            const int slot = static_cast<int>(n % kTrsdos16EntriesPerRecord);
            if (slot == 0) {
                if (n > 0) {
                    walk.next();
                }
                if (!walk.onDisk()) {
                    break;
                }
                record = copyOf(walk.read(), kTrsdos16RecordBytes);
            }
            const Entry file{std::span(record).subspan(
                static_cast<std::size_t>(slot) * kTrsdos16EntryBytes, kTrsdos16EntryBytes)};
            if (!skippedTrsdos16Entry(file)) {
                listTrsdos16File(file, rootName, k == 0, sides, reader, table);
            }
        }
    }
}

}  // namespace sv
