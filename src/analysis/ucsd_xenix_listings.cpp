#include "analysis/ucsd_xenix_listings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "analysis/host_export.h"
#include "core/byte_reader.h"

namespace sv {

namespace {

// UCSD Pascal.
constexpr std::size_t kUcsdEntryBytes = 26;
constexpr std::size_t kUcsdBlockBytes = 512;
constexpr std::size_t kUcsdFileCount = 16;  // in the volume entry
constexpr std::size_t kUcsdNameBytes = 15;
constexpr std::size_t kUcsdNameWidth = 20;
// Each cylinder starts its sector sequence three table steps further on than the last.
constexpr int kUcsdCylinderShift = 3;

// Xenix tar.
constexpr std::size_t kTarRecordBytes = 512;
constexpr int kTarRecordsPerCylinder = 16;
constexpr int kTarEndCylinder = 77;
constexpr std::size_t kTarNameBytes = 100;
constexpr std::size_t kTarSizeField = 124;
constexpr std::size_t kTarTimeField = 136;
constexpr std::size_t kTarNumberBytes = 12;
constexpr std::size_t kTarNameWidth = 40;
constexpr std::size_t kTarTypeFlag = 156;
constexpr std::uint8_t kTarDirectoryType = '5';

struct UcsdDate {
    int day;
    int month;
    int year;
};

UcsdDate ucsdDate(unsigned word) {
    return {static_cast<int>((word >> 4) & 31), static_cast<int>(word & 15),
            centuryYear(static_cast<int>(word >> 9))};
}

// The records to read for the logical sectors of one cylinder: the interleave table with its two
// halves turned by the cylinder's shift.
std::vector<std::uint8_t> ucsdCylinderOrder(const DiskParameters& p, int cylinder) {
    const int perTrack = p.sectorsPerTrack;
    const int half = p.interleave == 0 ? 0 : perTrack / p.interleave;
    if (half == 0 || 2 * half != perTrack) {
        return p.sectorTable;
    }
    std::vector<std::uint8_t> order(static_cast<std::size_t>(perTrack) + 1, 0);
    const int k = (cylinder - 1) % half;
    for (int i = 1; i <= half; ++i) {
        const int idx = (kUcsdCylinderShift * k + i - 1) % half + 1;
        order[static_cast<std::size_t>(i)] = p.sectorTable[static_cast<std::size_t>(idx)];
        order[static_cast<std::size_t>(half + i)] =
            p.sectorTable[static_cast<std::size_t>(idx + half)];
    }
    return order;
}

struct UcsdFile {
    unsigned firstBlock;
    unsigned nextBlock;
    std::string name;
    unsigned lastBlockBytes;
    unsigned date;
};

UcsdFile ucsdFile(std::span<const std::uint8_t> entry) {
    const ByteReader in(entry);
    const std::size_t length = std::min<std::size_t>(in.u8(6), kUcsdNameBytes);
    return {.firstBlock = in.le16(0),
            .nextBlock = in.le16(2),
            .name = textOf(in.bytes(7, length)),
            .lastBlockBytes = in.le16(22),
            .date = in.le16(24)};
}

std::string ucsdLine(const UcsdFile& f) {
    const UcsdDate d = ucsdDate(f.date);
    return padRight(f.name, kUcsdNameWidth) + dateText(d.day, d.month, d.year) +
           " SBLK=" + hexField(f.firstBlock, 4) + " EBLK=" + hexField(f.nextBlock - 1u, 4) +
           " EOFB=" + hexField(f.lastBlockBytes, 4);
}

// The file's blocks, contiguous from its first; the walk ends where the disk held ends.
GatheredFile ucsdContent(const UcsdFile& f, const DiskParameters& p, SectorReader& reader,
                         EntryTable& table) {
    GatheredFile content;
    const long perTrack = p.sectorsPerTrack;
    const long perBlock = static_cast<long>(kUcsdBlockBytes / p.sectorSize);
    std::vector<std::uint8_t> order;
    int orderCylinder = -1;
    for (long b = f.firstBlock; b < static_cast<long>(f.nextBlock); ++b) {
        const long first = perBlock * b;
        long cylinder = first / perTrack + 1;
        long sector = first % perTrack + 1;
        for (long i = 0; i < perBlock; ++i) {
            if (cylinder >= reader.cylinderCount()) {
                EntryTable::beyondDisk(content, static_cast<int>(cylinder), 0,
                                       static_cast<int>(sector));
                return content;
            }
            if (cylinder != orderCylinder) {
                order = ucsdCylinderOrder(p, static_cast<int>(cylinder));
                orderCylinder = static_cast<int>(cylinder);
            }
            if (!table.gather(content, reader, static_cast<int>(cylinder), 0,
                              order[static_cast<std::size_t>(sector)], p.sectorSize)) {
                return content;
            }
            if (++sector > perTrack) {
                sector = 1;
                ++cylinder;
            }
        }
    }
    return content;
}

// Whole blocks up to the last, which holds the bytes the entry states; more than a block there is
// inconsistent.
FileFacts ucsdFacts(const UcsdFile& f) {
    const UcsdDate d = ucsdDate(f.date);
    FileFacts facts;
    facts.name = nameComponent(f.name);
    facts.date = isoDate(d.year, d.month, d.day);
    if (f.nextBlock <= f.firstBlock) {
        facts.statedSize = 0;
    } else if (f.lastBlockBytes > kUcsdBlockBytes) {
        facts.note = "bytes in the last block " + std::to_string(f.lastBlockBytes) +
                     " exceed a block of " + std::to_string(kUcsdBlockBytes);
    } else {
        facts.statedSize = (std::size_t{f.nextBlock} - f.firstBlock - 1) * kUcsdBlockBytes +
                           f.lastBlockBytes;
    }
    return facts;
}

// The path as stored, up to its first NUL after any leading ones.
std::string tarPath(std::span<const std::uint8_t> field) {
    std::string name = textOf(field);
    const auto first = name.find_first_not_of('\0');
    if (first == std::string::npos) {
        return {};
    }
    name = name.substr(first);
    return name.substr(0, name.find('\0'));
}

// The path extraction writes: its components, without empty ones and ".", joined by '/'.
std::string tarHostPath(std::span<const std::uint8_t> field) {
    const std::string path = tarPath(field);
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            out += (out.empty() ? "" : "/") + nameComponent(part);
        }
        start = end + 1;
    }
    return out;
}

std::string tarName(std::span<const std::uint8_t> field) {
    std::string name = tarPath(field);
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

// Octal text with spaces around it; digits up to the first other character.
std::uint64_t tarNumber(std::span<const std::uint8_t> field) {
    const std::string text = trimmed(textOf(field));
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '7') {
            break;
        }
        value = value * 8 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

struct CivilTime {
    long year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// Seconds since 1970-01-01 00:00:00 UTC as a proleptic Gregorian date and time of day.
CivilTime civilTime(std::uint64_t seconds) {
    const auto days = static_cast<long long>(seconds / 86400);
    const auto rest = static_cast<int>(seconds % 86400);
    const long long z = days + 719468;
    const long long era = z / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const auto year = static_cast<long>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day, rest / 3600, rest / 60 % 60, rest % 60};
}

// YYYY-MM-DDThh:mm:ssZ.
std::string isoDateTime(const CivilTime& t) {
    const std::string day = isoDate(static_cast<int>(t.year), t.month, t.day);
    if (day.empty()) {
        return {};
    }
    return day + "T" + zeroPadded(t.hour, 2) + ":" + zeroPadded(t.minute, 2) + ":" +
           zeroPadded(t.second, 2) + "Z";
}

std::string tarLine(const std::string& name, std::uint64_t size, std::uint64_t time) {
    const CivilTime t = civilTime(time);
    return padRight(name, kTarNameWidth) +
           dateText(t.day, t.month, static_cast<int>(t.year)) + " " + zeroPadded(t.hour, 2) +
           ":" + zeroPadded(t.minute, 2) + ":" + zeroPadded(t.second, 2) +
           " Size=" + zeroPadded(static_cast<long>(size), 7);
}

// Records 1..16 of each cylinder in turn, up to the end of the tar area or of the disk held.
class TarPosition {
public:
    TarPosition(int cylinder, int record, int endCylinder)
        : cylinder_(cylinder), record_(record), end_(endCylinder) {}

    [[nodiscard]] bool onDisk() const { return cylinder_ < end_; }
    void advance() {
        if (++record_ > kTarRecordsPerCylinder) {
            record_ = 1;
            ++cylinder_;
        }
    }
    std::span<const std::uint8_t> read(SectorReader& reader) const {
        return std::span<const std::uint8_t>(reader.read(cylinder_, 0, record_))
            .first(kTarRecordBytes);
    }
    bool gather(SectorReader& reader, EntryTable& table, GatheredFile& file,
                std::size_t bytes) const {
        return table.gather(file, reader, cylinder_, 0, record_, bytes);
    }
    void beyondDisk(GatheredFile& file) const {
        EntryTable::beyondDisk(file, cylinder_, 0, record_);
    }

private:
    int cylinder_;
    int record_;
    int end_;
};

}  // namespace

void listUcsdDisk(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    if (!recognition.parameters) {
        return;
    }
    const DiskParameters& p = *recognition.parameters;
    if (p.sectorsPerTrack == 0 || p.sectorSize == 0 || p.sectorSize > kUcsdBlockBytes ||
        p.sectorTable.size() <= p.sectorsPerTrack) {
        return;
    }
    std::vector<std::uint8_t> directory;
    for (int i = recognition.firstDirSector; i >= 1 && i <= p.sectorsPerTrack; ++i) {
        const SectorData& data =
            reader.read(recognition.dirTrack, 0, p.sectorTable[static_cast<std::size_t>(i)]);
        directory.insert(directory.end(), data.begin(), data.begin() + p.sectorSize);
    }
    if (directory.size() < kUcsdEntryBytes) {
        return;
    }
    // A file count larger than the directory holds lists the entries the directory has room for.
    const std::size_t room = directory.size() / kUcsdEntryBytes - 1;
    const std::size_t files =
        std::min<std::size_t>(ByteReader(directory).le16(kUcsdFileCount), room);
    for (std::size_t f = 0; f < files; ++f) {
        const UcsdFile file = ucsdFile(
            std::span<const std::uint8_t>(directory).subspan((f + 1) * kUcsdEntryBytes,
                                                             kUcsdEntryBytes));
        GatheredFile content = ucsdContent(file, p, reader, table);
        table.record(ucsdLine(file), std::move(content), ucsdFacts(file), std::nullopt, file.name);
    }
}

void listXenixDisk(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    TarPosition at(recognition.dirTrack, recognition.firstDirSector,
                   std::min(kTarEndCylinder, reader.cylinderCount()));
    for (; at.onDisk(); at.advance()) {
        const std::span<const std::uint8_t> header = at.read(reader);
        if (header[0] == 0x00 || header[0] == 0xE5) {
            continue;
        }
        const std::string name = tarName(header.first(kTarNameBytes));
        const std::uint64_t size = tarNumber(header.subspan(kTarSizeField, kTarNumberBytes));
        const std::uint64_t time = tarNumber(header.subspan(kTarTimeField, kTarNumberBytes));
        // The header lies in the sector buffer, which the content's reads replace.
        FileFacts facts;
        facts.name = tarHostPath(header.first(kTarNameBytes));
        facts.isDirectory = header[kTarTypeFlag] == kTarDirectoryType ||
                            tarPath(header.first(kTarNameBytes)).ends_with('/');

        // A size beyond the disk stops at the disk's end.
        GatheredFile content;
        std::uint64_t remaining = size;
        bool budgetLeft = true;
        // The records are passed over even once the content budget is spent, so that the scan
        // resumes at the next header.
        while (remaining > 0) {
            at.advance();
            if (!at.onDisk()) {
                at.beyondDisk(content);
                break;
            }
            const auto take =
                static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kTarRecordBytes));
            if (budgetLeft) {
                budgetLeft = at.gather(reader, table, content, take);
            }
            remaining -= take;
        }
        const CivilTime t = civilTime(time);
        facts.statedSize = static_cast<std::size_t>(
            std::min<std::uint64_t>(size, std::numeric_limits<std::size_t>::max()));
        facts.date = isoDateTime(t);
        table.record(tarLine(name, size, time), std::move(content), std::move(facts), std::nullopt,
                     name);
    }
}

}  // namespace sv
