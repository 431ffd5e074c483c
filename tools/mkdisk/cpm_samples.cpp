#include "mkdisk/cpm_samples.h"

#include <algorithm>
#include <stdexcept>

namespace mkdisk {

namespace {

constexpr int kCylinders = 77;
constexpr int kEntryBytes = 32;
constexpr int kRecordBytes = 128;

Sector makeSector(int cylinder, int head, int record, int sizeCode, bool fm) {
    Sector s;
    s.cylinder = static_cast<std::uint8_t>(cylinder);
    s.head = static_cast<std::uint8_t>(head);
    s.record = static_cast<std::uint8_t>(record);
    s.sizeCode = static_cast<std::uint8_t>(sizeCode);
    s.fm = fm;
    s.data.assign(std::size_t{128} << sizeCode, 0xE5);
    return s;
}

// The Model II boot track, then every other track in the given shape.
Disk shapedDisk(int sides, int sectorsPerTrack, int sizeCode, bool fm = false) {
    Disk disk(kCylinders, sides);
    for (int c = 0; c < kCylinders; ++c) {
        for (int h = 0; h < sides; ++h) {
            const bool boot = c == 0 && h == 0;
            const int count = boot ? 26 : sectorsPerTrack;
            for (int r = 1; r <= count; ++r) {
                disk.at(c, h).sectors.push_back(
                    makeSector(c, h, r, boot ? 0 : sizeCode, boot || fm));
            }
        }
    }
    return disk;
}

void put(Disk& disk, int cylinder, int side, int record, std::size_t position,
         std::string_view text) {
    Sector* s = disk.find(cylinder, side, record);
    if (s == nullptr || position - 1 + text.size() > s->data.size()) {
        throw std::logic_error("mkdisk: signature outside its sector");
    }
    std::copy(text.begin(), text.end(), s->data.begin() + static_cast<std::ptrdiff_t>(position - 1));
}

// What each system writes on its system tracks that tells it apart.
void sign(Disk& disk, CpmSystem system, int sides) {
    switch (system) {
        case CpmSystem::fmg:
            put(disk, 0, 0, 17, 68, "FMG  Corporation");
            put(disk, 0, 0, 18, 3, "MODEL II CP/M 2.24");
            break;
        case CpmSystem::picklesTrout:
            put(disk, 0, 0, 19, 15, "CPM V224");
            put(disk, 0, 0, 19, 107, "Pickles & Trout");
            break;
        case CpmSystem::picklesTroutBiosmods:
            put(disk, 0, 0, 3, 14, "BIOSMODSPNT");
            break;
        case CpmSystem::picklesTroutCorvus:
            put(disk, 0, 0, 11, 67, "Corvus");
            break;
        case CpmSystem::lifeboat:
            put(disk, 0, 0, 13, 8, "CP/M V2.24");
            break;
        case CpmSystem::aton:
            put(disk, sides == 2 ? 0 : 1, sides == 2 ? 1 : 0, 3, 33,
                "ATON COMPUTER\r\n\nCP/M 2.25 \r\n\nVERSION 2.25");
            break;
    }
}

std::vector<int> skewTable(int sectors, int skew) {
    std::vector<int> table(static_cast<std::size_t>(sectors) + 1, 0);
    std::vector<bool> used(static_cast<std::size_t>(sectors), false);
    int physical = 0;
    for (int logical = 1; logical <= sectors; ++logical) {
        while (used[static_cast<std::size_t>(physical)]) {
            physical = (physical + 1) % sectors;
        }
        used[static_cast<std::size_t>(physical)] = true;
        table[static_cast<std::size_t>(logical)] = physical + 1;
        physical = (physical + skew) % sectors;
    }
    return table;
}

}  // namespace

CpmFormat cpmFormat(CpmSystem system, int sides) {
    switch (system) {
        case CpmSystem::fmg:
            return {};
        case CpmSystem::picklesTrout:
        case CpmSystem::picklesTroutBiosmods:
        case CpmSystem::picklesTroutCorvus:
            return {.sectorsPerTrack = 16, .sizeCode = 2, .wideBlocks = true, .dirEntries = 128};
        case CpmSystem::lifeboat:
            return {.sectorsPerTrack = 8, .sizeCode = 3, .skew = 3, .wideBlocks = true,
                    .dirEntries = 128};
        case CpmSystem::aton:
            return {.sides = sides, .sectorsPerTrack = 8, .sizeCode = 3, .skew = 3,
                    .wideBlocks = true, .dirEntries = sides == 2 ? 192 : 128};
    }
    return {};
}

CpmVolume::CpmVolume(CpmSystem system, int sides)
    : format_(cpmFormat(system, sides)),
      disk_(shapedDisk(format_.sides, format_.sectorsPerTrack, format_.sizeCode)),
      skewTable_(skewTable(format_.sectorsPerTrack, format_.skew)),
      nextBlock_(format_.dirEntries * kEntryBytes / format_.blockBytes) {
    sign(disk_, system, format_.sides);
}

std::vector<std::uint8_t>& CpmVolume::logicalSector(int track, int sector) {
    const int cylinder = track / format_.sides;
    const int side = track % format_.sides;
    Sector* s = disk_.find(cylinder, side, skewTable_.at(static_cast<std::size_t>(sector)));
    if (s == nullptr) {
        throw std::logic_error("mkdisk: CP/M sector outside the disk");
    }
    return s->data;
}

std::vector<int> CpmVolume::allocate(std::span<const std::uint8_t> data) {
    std::vector<int> blocks;
    const int perBlock = format_.blockBytes / format_.sectorBytes();
    for (std::size_t done = 0; done < data.size(); done += static_cast<std::size_t>(format_.blockBytes)) {
        const int block = nextBlock_++;
        blocks.push_back(block);
        for (int k = 0; k < perBlock; ++k) {
            const int absolute = block * perBlock + k;
            auto& bytes = logicalSector(format_.reservedTracks + absolute / format_.sectorsPerTrack,
                                        1 + absolute % format_.sectorsPerTrack);
            const std::size_t from = done + static_cast<std::size_t>(k * format_.sectorBytes());
            std::fill(bytes.begin(), bytes.end(), 0x1A);
            if (from < data.size()) {
                const std::size_t n = std::min(bytes.size(), data.size() - from);
                std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(from), n, bytes.begin());
            }
        }
    }
    return blocks;
}

void CpmVolume::entry(int index, int user, std::string_view name, std::string_view type,
                      int extent, int records, const std::vector<int>& blocks) {
    const int position = index * kEntryBytes;
    const int sector = position / format_.sectorBytes();
    auto& bytes = logicalSector(format_.reservedTracks + sector / format_.sectorsPerTrack,
                                1 + sector % format_.sectorsPerTrack);
    std::uint8_t* e = bytes.data() + position % format_.sectorBytes();
    std::fill(e, e + kEntryBytes, 0);
    e[0] = static_cast<std::uint8_t>(user);
    std::fill(e + 1, e + 12, ' ');
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 8), e + 1);
    std::copy_n(type.begin(), std::min<std::size_t>(type.size(), 3), e + 9);
    e[12] = static_cast<std::uint8_t>(extent);
    e[15] = static_cast<std::uint8_t>(records);
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        if (format_.wideBlocks) {
            e[16 + 2 * k] = static_cast<std::uint8_t>(blocks[k]);
            e[17 + 2 * k] = static_cast<std::uint8_t>(blocks[k] >> 8);
        } else {
            e[16 + k] = static_cast<std::uint8_t>(blocks[k]);
        }
    }
    nextEntry_ = std::max(nextEntry_, index + 1);
}

void CpmVolume::addFile(std::string_view name, std::string_view type,
                        std::span<const std::uint8_t> data, int user) {
    constexpr std::size_t kExtentBytes = 16384;
    const std::vector<int> blocks = allocate(data);
    const std::size_t perExtent = kExtentBytes / static_cast<std::size_t>(format_.blockBytes);
    int extent = 0;
    for (std::size_t done = 0; done == 0 || done < data.size(); done += kExtentBytes, ++extent) {
        const std::size_t bytes = std::min(kExtentBytes, data.size() - done);
        const std::size_t first = done / static_cast<std::size_t>(format_.blockBytes);
        const std::vector<int> mine(blocks.begin() + static_cast<std::ptrdiff_t>(first),
                                    blocks.begin() + static_cast<std::ptrdiff_t>(
                                        std::min(blocks.size(), first + perExtent)));
        entry(nextEntry_, user, name, type, extent,
              static_cast<int>((bytes + kRecordBytes - 1) / kRecordBytes), mine);
        if (data.empty()) {
            break;
        }
    }
}

Disk wrapCpmImage(CpmSystem system, std::span<const std::uint8_t> image, int sides) {
    const CpmFormat f = cpmFormat(system, sides);
    Disk disk = shapedDisk(f.sides, f.sectorsPerTrack, f.sizeCode);
    const std::size_t trackBytes = static_cast<std::size_t>(f.sectorsPerTrack * f.sectorBytes());
    for (int track = 1; track < kCylinders * f.sides; ++track) {
        for (int p = 0; p < f.sectorsPerTrack; ++p) {
            const std::size_t at = static_cast<std::size_t>(track) * trackBytes +
                                   static_cast<std::size_t>(p * f.sectorBytes());
            if (at >= image.size()) {
                break;
            }
            Sector* s = disk.find(track / f.sides, track % f.sides, p + 1);
            const std::size_t n = std::min(s->data.size(), image.size() - at);
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at), n, s->data.begin());
        }
    }
    sign(disk, system, f.sides);
    return disk;
}

std::vector<std::uint8_t> sampleText(std::string_view tag, std::size_t bytes) {
    std::string text;
    for (int line = 1; text.size() < bytes; ++line) {
        text += std::string(tag) + " line " + std::to_string(line) + "\r\n";
    }
    std::vector<std::uint8_t> out(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(bytes));
    out.resize((bytes + kRecordBytes - 1) / kRecordBytes * kRecordBytes, 0x1A);
    return out;
}

Disk fmgSample() {
    CpmVolume v(CpmSystem::fmg);
    v.addFile("PIP", "COM", sampleText("PIP", 7000));
    v.entry(v.freeEntry(), 0xE5, "OLD", "BAK", 0, 8, {});
    const std::string progType = "\xC2" "AS";
    v.addFile("PROG", progType, sampleText("10 PRINT", 1500));
    // Extents 0, 1 and 3: FMG's numbering skips 2.
    const auto e0 = v.allocate(sampleText("LONG part 1", 16384));
    const auto e1 = v.allocate(sampleText("LONG part 2", 16384));
    const auto e3 = v.allocate(sampleText("LONG part 3", 3000));
    v.entry(v.freeEntry(), 0, "LONG", "TXT", 0, 0x80, e0);
    v.entry(v.freeEntry(), 0, "LONG", "TXT", 1, 0x80, e1);
    v.entry(v.freeEntry(), 0, "LONG", "TXT", 3, 24, e3);
    v.addFile("README", "", sampleText("README", 300), 1);
    return v.disk();
}

namespace {

Disk picklesTroutDisk(CpmSystem system) {
    CpmVolume v(system);
    v.addFile("PIP", "COM", sampleText("PIP", 7000));
    v.addFile("STAT", "COM", sampleText("STAT", 5200));
    v.addFile("BIG", "DAT", sampleText("BIG", 40000));
    // The last block of the disk: block numbers above 255 take two bytes.
    std::vector<std::uint8_t> last = sampleText("LAST", 2048);
    const int perBlock = v.format().blockBytes / v.format().sectorBytes();
    for (int k = 0; k < perBlock; ++k) {
        const int absolute = 298 * perBlock + k;
        auto& bytes = v.logicalSector(2 + absolute / v.format().sectorsPerTrack,
                                      1 + absolute % v.format().sectorsPerTrack);
        std::copy_n(last.begin() + k * v.format().sectorBytes(), bytes.size(), bytes.begin());
    }
    v.entry(v.freeEntry(), 0, "LAST", "BLK", 0, 16, {298});
    return v.disk();
}

}  // namespace

Disk picklesTroutSample() { return picklesTroutDisk(CpmSystem::picklesTrout); }
Disk picklesTroutBiosmodsSample() { return picklesTroutDisk(CpmSystem::picklesTroutBiosmods); }
Disk picklesTroutCorvusSample() { return picklesTroutDisk(CpmSystem::picklesTroutCorvus); }

Disk lifeboatSample() {
    CpmVolume v(CpmSystem::lifeboat);
    v.addFile("PIP", "COM", sampleText("PIP", 7000));
    v.addFile("WS", "COM", sampleText("WS", 20000));
    v.addFile("LETTER", "TXT", sampleText("Dear", 900), 2);
    return v.disk();
}

namespace {

Disk atonDisk(int sides) {
    CpmVolume v(CpmSystem::aton, sides);
    v.addFile("PIP", "COM", sampleText("PIP", 7000));
    v.addFile("FAR", "DAT", sampleText("FAR", 30000));
    v.addFile("NOTE", "TXT", sampleText("NOTE", 100));
    return v.disk();
}

}  // namespace

Disk atonSingleSample() { return atonDisk(1); }
Disk atonDoubleSample() { return atonDisk(2); }

namespace {

// UCSD Pascal: 512-byte blocks of four 128-byte sectors from cylinder 1 on; each cylinder reads
// its 2:1 interleaved sectors starting six physical sectors further on than the last.
class UcsdVolume {
public:
    UcsdVolume() : disk_(shapedDisk(1, 26, 0, true)) {}

    std::vector<std::uint8_t>& logicalSector(int n) {
        const int cylinder = n / 26 + 1;
        const int s = n % 26 + 1;
        const int k = (cylinder - 1) % 13;
        const int record = s <= 13 ? 2 * ((3 * k + s - 1) % 13) + 1 : 2 * ((3 * k + s - 14) % 13 + 1);
        return disk_.find(cylinder, 0, record)->data;
    }

    void block(int b, std::span<const std::uint8_t> bytes) {
        for (int k = 0; k < 4; ++k) {
            auto& sector = logicalSector(4 * b + k);
            std::fill(sector.begin(), sector.end(), 0);
            for (std::size_t i = 0; i < 128; ++i) {
                const std::size_t from = static_cast<std::size_t>(k) * 128 + i;
                if (from < bytes.size()) {
                    sector[i] = bytes[from];
                }
            }
        }
    }

    void directory(std::span<const std::uint8_t> bytes) {
        for (int b = 0; b < 4; ++b) {
            block(2 + b, bytes.subspan(static_cast<std::size_t>(b) * 512, 512));
        }
    }

    Disk& disk() { return disk_; }

private:
    Disk disk_;
};

void le16(std::vector<std::uint8_t>& bytes, std::size_t at, int value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

int ucsdDate(int day, int month, int year) { return month | (day << 4) | ((year % 100) << 9); }

// A TEXT file as the editor keeps it: a page of its own state, then 1024-byte pages of lines
// ending in CR, padded with NULs; DLE and 32 + n stand for n leading blanks.
std::vector<std::uint8_t> ucsdTextFile(std::size_t bytes) {
    std::vector<std::uint8_t> out(1024, 0);
    for (const std::string_view line :
         {std::string_view("PROGRAM HELLO;\r"), std::string_view("BEGIN\r"),
          std::string_view("\x10\x24WRITELN('HELLO')\r"), std::string_view("END.\r")}) {
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(bytes, 0);
    return out;
}

}  // namespace

Disk ucsdSample() {
    UcsdVolume v;
    std::vector<std::uint8_t> dir(2048, 0);
    le16(dir, 2, 6);
    dir[6] = 4;
    std::copy_n("WORK", 4, dir.begin() + 7);
    le16(dir, 14, 494);
    le16(dir, 20, ucsdDate(17, 3, 84));
    struct File {
        const char* name;
        int first;
        int next;
        int lastBytes;
        int date;
    };
    const File files[] = {{"HELLO.TEXT", 6, 10, 512, ucsdDate(20, 7, 84)},
                          {"PRIMES.CODE", 10, 12, 300, ucsdDate(2, 11, 83)},
                          {"NOTES.TEXT", 26, 30, 77, ucsdDate(31, 12, 99)}};
    int count = 0;
    for (const File& f : files) {
        const std::size_t at = 26 + 26 * static_cast<std::size_t>(count++);
        le16(dir, at, f.first);
        le16(dir, at + 2, f.next);
        dir[at + 4] = 3;
        const std::string_view name(f.name);
        dir[at + 6] = static_cast<std::uint8_t>(name.size());
        std::copy(name.begin(), name.end(), dir.begin() + static_cast<std::ptrdiff_t>(at + 7));
        le16(dir, at + 22, f.lastBytes);
        le16(dir, at + 24, f.date);
        const std::size_t bytes = static_cast<std::size_t>(f.next - f.first) * 512;
        const std::vector<std::uint8_t> text = std::string_view(f.name) == "HELLO.TEXT"
                                                   ? ucsdTextFile(bytes)
                                                   : sampleText(f.name, bytes);
        for (int b = f.first; b < f.next; ++b) {
            v.block(b, std::span(text).subspan(static_cast<std::size_t>(b - f.first) * 512, 512));
        }
    }
    le16(dir, 16, count);
    v.directory(dir);
    return v.disk();
}

namespace {

std::string octal(std::uint64_t value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value > 0; --i, value >>= 3) {
        text[static_cast<std::size_t>(i)] = static_cast<char>('0' + (value & 7));
    }
    return text;
}

// A tar header of the seventh-edition layout Xenix wrote.
std::vector<std::uint8_t> tarHeader(std::string_view name, std::uint64_t size, std::uint64_t time) {
    std::vector<std::uint8_t> h(512, 0);
    const auto field = [&](std::size_t at, const std::string& text) {
        std::copy(text.begin(), text.end(), h.begin() + static_cast<std::ptrdiff_t>(at));
    };
    field(0, std::string(name));
    field(100, octal(name.ends_with('/') ? 0755 : 0644, 6) + " ");
    field(108, octal(3, 6) + " ");
    field(116, octal(3, 6) + " ");
    field(124, octal(size, 11) + " ");
    field(136, octal(time, 11) + " ");
    field(148, "        ");
    unsigned sum = 0;
    for (const std::uint8_t b : h) {
        sum += b;
    }
    field(148, octal(sum, 6));
    h[155] = ' ';
    return h;
}

}  // namespace

Disk xenixTarSample() {
    Disk disk = shapedDisk(1, 16, 2);
    std::vector<std::uint8_t> archive;
    const auto add = [&](std::string_view name, const std::vector<std::uint8_t>& data,
                         std::uint64_t time) {
        const auto h = tarHeader(name, data.size(), time);
        archive.insert(archive.end(), h.begin(), h.end());
        archive.insert(archive.end(), data.begin(), data.end());
        archive.resize((archive.size() + 511) / 512 * 512, 0);
    };
    std::vector<std::uint8_t> x = sampleText("x", 1025);
    x.resize(1025);
    std::vector<std::uint8_t> y = sampleText("y", 1024);
    add("usr/", {}, 500000000);
    add("usr/lib/x", x, 500000100);
    add("usr/lib/y", y, 500000200);
    const std::string motd = "Welcome to Xenix\n";
    add("etc/motd", std::vector<std::uint8_t>(motd.begin(), motd.end()), 600000000);
    archive.resize(archive.size() + 1024, 0);
    for (std::size_t r = 0; r * 512 < archive.size(); ++r) {
        Sector* s = disk.find(1 + static_cast<int>(r / 16), 0, 1 + static_cast<int>(r % 16));
        std::copy_n(archive.begin() + static_cast<std::ptrdiff_t>(r * 512), 512, s->data.begin());
    }
    return disk;
}

}  // namespace mkdisk
