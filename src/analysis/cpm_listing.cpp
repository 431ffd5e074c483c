#include "analysis/cpm_listing.h"

#include "analysis/host_export.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sv {

namespace {

constexpr std::size_t kEntryBytes = 32;
constexpr std::uint8_t kFirstNonFileUser = 32;  // 0xE5 (erased) and labels lie above
constexpr std::uint8_t kFullExtent = 0x80;
constexpr int kLastExtentNumber = 255;
constexpr std::size_t kLogicalExtentBytes = 16384;
constexpr unsigned kRecordBytes = 128;
constexpr unsigned kRecordsPerExtent = 128;

// Entry fields, 0-based.
constexpr std::size_t kUser = 0;
constexpr std::size_t kName = 1;
constexpr std::size_t kNameBytes = 8;
constexpr std::size_t kType = 9;
constexpr std::size_t kTypeBytes = 3;
constexpr std::size_t kExtent = 12;
constexpr std::size_t kS1 = 13;
constexpr std::size_t kRecordCount = 15;
constexpr std::size_t kBlocks = 16;
constexpr std::size_t kBlockBytes = 16;

// The parameters as the walks use them, checked once so that no walk divides by zero or indexes
// past the sector table.
struct CpmGeometry {
    int sides = 1;
    int sectorsPerTrack = 0;
    std::size_t sectorSize = 0;
    long sectorsPerBlock = 0;
    long reservedTracks = 0;
    bool wideBlocks = false;  // two-byte block numbers
    int extentMask = 0;       // logical 16 KB extents an entry holds, minus 1
    std::size_t entryCount = 0;
    const std::vector<std::uint8_t>* sectorTable = nullptr;
};

bool validGeometry(const DiskParameters& p, CpmGeometry& g) {
    const std::size_t blockSize = (std::size_t{p.blockMask} + 1) * 128;
    if (p.sectorsPerTrack == 0 || p.sectorSize == 0 || p.sectorSize > kSectorDataBytes ||
        p.sectorTable.size() <= p.sectorsPerTrack || blockSize < p.sectorSize) {
        return false;
    }
    g.sides = p.sides == 2 ? 2 : 1;
    g.sectorsPerTrack = p.sectorsPerTrack;
    g.sectorSize = p.sectorSize;
    g.sectorsPerBlock = static_cast<long>(blockSize / p.sectorSize);
    g.reservedTracks = p.reservedTracks;
    g.wideBlocks = p.blockShift != 3;
    g.entryCount = std::size_t{p.lastDirEntry} + 1;
    const std::size_t entryBytes = blockSize * (g.wideBlocks ? kBlockBytes / 2 : kBlockBytes);
    g.extentMask = static_cast<int>(std::max<std::size_t>(entryBytes / kLogicalExtentBytes, 1) - 1);
    g.sectorTable = &p.sectorTable;
    return true;
}

// Reads logical sectors of logical tracks; a logical track of a two-sided disk counts both sides.
class CpmReader {
public:
    CpmReader(const CpmGeometry& geometry, SectorReader& reader)
        : g_(geometry), reader_(reader) {}

    // Where a logical sector lies, or nullopt when the position lies beyond the disk held: a
    // damaged directory cannot send the walk off the disk.
    [[nodiscard]] std::optional<SectorAddress> locate(long track, int sector) const {
        const long cylinder = track / g_.sides;
        const int side = g_.sides == 2 ? static_cast<int>(track % 2) : 0;
        if (track < 0 || cylinder >= reader_.cylinderCount() || side >= reader_.sideCount()) {
            return std::nullopt;
        }
        return SectorAddress{static_cast<int>(cylinder), side,
                             (*g_.sectorTable)[static_cast<std::size_t>(sector)]};
    }

    // The sector's bytes, or an empty span beyond the disk held.
    std::span<const std::uint8_t> read(long track, int sector) {
        const std::optional<SectorAddress> at = locate(track, sector);
        if (!at) {
            return {};
        }
        const SectorData& data = reader_.read(at->cylinder, at->head, at->record);
        return std::span<const std::uint8_t>(data).first(g_.sectorSize);
    }

    // Appends `count` logical sectors from (track, sector), passing from the last sector of a
    // track to sector 1 of the next. False once the content budget is spent.
    bool append(long track, int sector, long count, EntryTable& table, GatheredFile& file) {
        for (long i = 0; i < count; ++i) {
            const std::optional<SectorAddress> at = locate(track, sector);
            if (!at) {
                EntryTable::beyondDisk(file, static_cast<int>(std::min<long>(
                                                 track / g_.sides, kMaxCylinders)),
                                       0, (*g_.sectorTable)[static_cast<std::size_t>(sector)]);
                return true;
            }
            if (!table.gather(file, reader_, at->cylinder, at->head, at->record, g_.sectorSize)) {
                return false;
            }
            if (++sector > g_.sectorsPerTrack) {
                sector = 1;
                ++track;
            }
        }
        return true;
    }

private:
    const CpmGeometry& g_;
    SectorReader& reader_;
};

std::span<const std::uint8_t> entryAt(const std::vector<std::uint8_t>& directory, std::size_t e) {
    return std::span<const std::uint8_t>(directory).subspan(e * kEntryBytes, kEntryBytes);
}

// The directory text: every directory sector in logical order; entries the disk does not hold
// read as erased.
std::vector<std::uint8_t> readDirectory(const Recognition& r, const CpmGeometry& g,
                                        CpmReader& disk) {
    std::vector<std::uint8_t> directory(g.entryCount * kEntryBytes, 0xE5);
    const std::size_t sectors = directory.size() / g.sectorSize;
    std::size_t offset = 0;
    for (std::size_t i = r.firstDirSector; i <= sectors; ++i) {
        const long track = r.dirTrack + static_cast<long>((i - 1) / g.sectorsPerTrack);
        const int sector = 1 + static_cast<int>((i - 1) % g.sectorsPerTrack);
        const std::span<const std::uint8_t> bytes = disk.read(track, sector);
        for (std::size_t k = 0; k < bytes.size() && offset + k < directory.size(); ++k) {
            directory[offset + k] = bytes[k];
        }
        offset += g.sectorSize;
    }
    return directory;
}

std::string cpmLine(std::span<const std::uint8_t> entry) {
    std::string line = trimmed(textOf(entry.subspan(kName, kNameBytes)));
    std::string type = textOf(entry.subspan(kType, kTypeBytes));
    if (type == "   ") {
        return line + " ";
    }
    if (static_cast<unsigned char>(type[0]) > 0x80) {
        type[0] = static_cast<char>(static_cast<unsigned char>(type[0]) - 0x80);
    }
    return line + "." + trimmed(type);
}

bool appendBlocks(std::span<const std::uint8_t> entry, const CpmGeometry& g, CpmReader& disk,
                  EntryTable& table, GatheredFile& content) {
    const std::size_t numbers = g.wideBlocks ? kBlockBytes / 2 : kBlockBytes;
    for (std::size_t k = 0; k < numbers; ++k) {
        const long block = g.wideBlocks ? entry[kBlocks + 2 * k] | (entry[kBlocks + 2 * k + 1] << 8)
                                        : entry[kBlocks + k];
        if (block == 0) {
            continue;
        }
        const long first = block * g.sectorsPerBlock;
        const long track = g.reservedTracks + first / g.sectorsPerTrack;
        const int sector = 1 + static_cast<int>(first % g.sectorsPerTrack);
        if (!disk.append(track, sector, g.sectorsPerBlock, table, content)) {
            return false;
        }
    }
    return true;
}

// The name without the attribute bits that CP/M keeps in the top bit of each character.
std::string cpmName(std::span<const std::uint8_t> entry) {
    std::string name;
    std::string type;
    for (std::size_t i = 0; i < kNameBytes; ++i) {
        name += static_cast<char>(entry[kName + i] & 0x7F);
    }
    for (std::size_t i = 0; i < kTypeBytes; ++i) {
        type += static_cast<char>(entry[kType + i] & 0x7F);
    }
    name = nameComponent(trimmed(name));
    type = nameComponent(trimmed(type));
    return type.empty() ? name : name + "." + type;
}

// The records an entry holds: its full logical extents (the extent number's bits under the mask)
// and the record count of its last. Proved on the FMG and Pickles & Trout disks and against
// cpmtools.
std::size_t entryRecords(std::span<const std::uint8_t> entry, const CpmGeometry& g) {
    const unsigned fullExtents = entry[kExtent] & static_cast<unsigned>(g.extentMask);
    return std::size_t{fullExtents} * kRecordsPerExtent +
           std::min<unsigned>(entry[kRecordCount], kRecordsPerExtent);
}

bool isFile(std::span<const std::uint8_t> entry) { return entry[kUser] < kFirstNonFileUser; }

// The entry holding extent `extent` of the file named as `first` is: user areas are not told
// apart, as the systems' own listing never did. Erased entries are no longer part of any file.
const std::uint8_t* findExtent(const std::vector<std::uint8_t>& directory,
                               std::span<const std::uint8_t> first, int extent,
                               std::size_t entryCount) {
    for (std::size_t j = 0; j < entryCount; ++j) {
        const std::span<const std::uint8_t> e = entryAt(directory, j);
        if (isFile(e) && e[kExtent] == extent &&
            std::equal(e.begin() + kName, e.begin() + kExtent, first.begin() + kName)) {
            return e.data();
        }
    }
    return nullptr;
}

}  // namespace

void listCpmDisk(const Recognition& recognition, SectorReader& reader, EntryTable& table) {
    CpmGeometry g;
    if (!recognition.parameters || !validGeometry(*recognition.parameters, g)) {
        return;
    }
    const bool fmg = recognition.osCode == os::fmgCpm;
    CpmReader disk(g, reader);
    const std::vector<std::uint8_t> directory = readDirectory(recognition, g, disk);

    for (std::size_t e = 0; e < g.entryCount; ++e) {
        const std::span<const std::uint8_t> entry = entryAt(directory, e);
        if (!isFile(entry) || entry[kS1] != 0 || (entry[kExtent] != 0 && !fmg)) {
            continue;
        }
        GatheredFile content;
        bool budgetLeft = appendBlocks(entry, g, disk, table, content);
        std::size_t records = entryRecords(entry, g);

        // Each round asks for a higher extent number, so the chain ends within 256 rounds.
        std::span<const std::uint8_t> walked = entry;
        int wanted = entry[kExtent];
        while (budgetLeft && walked[kRecordCount] == kFullExtent) {
            ++wanted;
            if (fmg && wanted == 2) {
                wanted = 3;
            }
            if (wanted > kLastExtentNumber) {
                break;
            }
            const std::uint8_t* next = findExtent(directory, entry, wanted, g.entryCount);
            if (next == nullptr) {
                break;
            }
            walked = std::span<const std::uint8_t>(next, kEntryBytes);
            budgetLeft = appendBlocks(walked, g, disk, table, content);
            records += entryRecords(walked, g);
        }
        std::string line = cpmLine(entry);
        FileFacts facts;
        facts.name = cpmName(entry);
        facts.statedSize = records * kRecordBytes;
        table.record(std::move(line), std::move(content), std::move(facts));
    }
}

}  // namespace sv
