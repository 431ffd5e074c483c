#include "mkdisk/model2_systems.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace mkdisk {

namespace {

using Bytes = std::vector<std::uint8_t>;


void put(Bytes& bytes, std::size_t position, std::string_view s) {
    if (bytes.size() < position - 1 + s.size()) {
        bytes.resize(position - 1 + s.size(), 0);
    }
    std::copy(s.begin(), s.end(), bytes.begin() + static_cast<long>(position - 1));
}

void putByte(Bytes& bytes, std::size_t position, unsigned value) {
    bytes.at(position - 1) = static_cast<std::uint8_t>(value);
}

void putLe16(Bytes& bytes, std::size_t position, unsigned value) {
    putByte(bytes, position, value & 0xFF);
    putByte(bytes, position + 1, value >> 8);
}

void putBe32(Bytes& bytes, std::size_t position, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        putByte(bytes, position + static_cast<std::size_t>(i), (value >> (24 - 8 * i)) & 0xFF);
    }
}

Sector& sectorAt(Disk& disk, int cylinder, int side, int record) {
    Sector* s = disk.find(cylinder, side, record);
    if (s == nullptr) {
        throw std::logic_error("mkdisk: no sector " + std::to_string(record) + " on cylinder " +
                               std::to_string(cylinder));
    }
    return *s;
}

void setData(Disk& disk, int cylinder, int side, int record, Bytes data) {
    Sector& s = sectorAt(disk, cylinder, side, record);
    data.resize(std::size_t{128} << s.sizeCode, 0);
    s.data = std::move(data);
}

// A text file's bytes: numbered lines, enough of them to fill `bytes`.
Bytes textFile(std::string_view title, std::size_t bytes) {
    Bytes out;
    for (int n = 1; out.size() < bytes; ++n) {
        const std::string line = std::string(title) + " line " + std::to_string(n) + "\r";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(bytes);
    return out;
}

// A tokenised Model II BASIC program: links, binary line numbers, keyword tokens.
Bytes tokenisedBasic() {
    const std::vector<std::pair<unsigned, Bytes>> lines{
        {10, {0x90, 'P', 'A', 'Y', 'R', 'O', 'L', 'L'}},                             // REM
        {20, {0x86, ' ', '"', 'H', 'O', 'U', 'R', 'S', '"', ';', 'H'}},             // INPUT
        {30, {'P', 0xD7, 'H', 0xCC, '1', '2', '.', '5'}},                           // P=H*12.5
        {40, {0x8C, 'P', 0xD6, '5', '0', '0', 0xC7, 0xAF, '"', 'B', 'O', 'N', 'U', 'S', '"'}},
        {50, {0xAF, 'P'}},                                                          // PRINT P
        {60, {0x80}},                                                               // END
    };
    Bytes out;
    unsigned address = 0x7000;
    for (const auto& [number, body] : lines) {
        address += 5 + static_cast<unsigned>(body.size());
        out.push_back(static_cast<std::uint8_t>(address));
        out.push_back(static_cast<std::uint8_t>(address >> 8));
        out.push_back(static_cast<std::uint8_t>(number));
        out.push_back(static_cast<std::uint8_t>(number >> 8));
        out.insert(out.end(), body.begin(), body.end());
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

// The record form: length-prefixed text lines, marked RSBASIC, ending with an END line.
Bytes recordFormBasic() {
    Bytes out;
    for (const std::string_view line :
         {"10 REM RSBASIC SALES REPORT", "20 OPEN \"I\",1,\"SALES/DAT\"", "30 INPUT #1,A$",
          "40 PRINT A$", "50 CLOSE", "60 END"}) {
        out.push_back(static_cast<std::uint8_t>(line.size() + 1));
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

// The DOCUMENT/CTL index: block 0 names the first entry; each entry names the next.
Bytes documentIndex() {
    Bytes out(3 * 256, ' ');
    putLe16(out, 9, 1);
    const auto entry = [&](int block, unsigned next, std::string_view name, std::string_view date,
                           std::string_view author, std::string_view subject) {
        const std::size_t b = static_cast<std::size_t>(block) * 256;
        putLe16(out, b + 4, next);
        put(out, b + 6, std::string(name) + std::string(16 - name.size(), ' '));
        put(out, b + 24, date);
        put(out, b + 32, std::string(author) + std::string(8 - author.size(), ' '));
        put(out, b + 42, subject);
        put(out, b + 170, "FINAL");
    };
    entry(1, 2, "LETTER", "12/03/84", "JONES", "Quarterly report to the board");
    entry(2, 0, "MEMO", "15/03/84", "SMITH", "Office move");
    return out;
}

// ---- Model II TRSDOS

constexpr int kTrsdosDirTrack = 44;
constexpr int kTrsdosFirstDirSector = 3;

struct TrsdosFile {
    std::string_view name;
    std::string_view ext;
    unsigned updHash;
    unsigned accHash;
    int year, month, day;
    std::vector<std::pair<int, int>> extents;  // track, granule byte
    Bytes content;
};

// Writes the content along the file's extents as TRSDOS walks them.
void placeTrsdosFile(Disk& disk, const TrsdosFile& f) {
    std::size_t offset = 0;
    for (const auto& [track0, granuleByte] : f.extents) {
        int track = track0;
        int sector = (granuleByte >> 5) * 5 + 1;
        for (int n = 0; n < ((granuleByte & 31) + 1) * 5; ++n, ++sector) {
            if (sector == 26) {
                sector = 1;
                ++track;
            }
            const std::size_t size = track == 0 ? 128 : 256;
            Bytes chunk(size, 0);
            for (std::size_t i = 0; i < size && offset + i < f.content.size(); ++i) {
                chunk[i] = f.content[offset + i];
            }
            offset += size;
            setData(disk, track, 0, sector, chunk);
        }
    }
}

Bytes trsdosEntry(const TrsdosFile& f) {
    Bytes e(64, 0);
    putByte(e, 1, 0x10);
    // TRSDOS keeps where the last record starts; BASIC saves whole 256-byte records (LRL 0),
    // other files here are written a byte at a time (LRL 1).
    const bool basic = f.ext == "BAS";
    const std::size_t size = f.content.size();
    const std::size_t lastRecord = size == 0 ? 0 : basic ? (size - 1) / 256 * 256 : size - 1;
    const std::size_t lastSector = lastRecord / 256;
    putByte(e, 4, lastRecord % 256);
    putByte(e, 5, basic ? 0 : 1);
    put(e, 6, std::string(f.name) + std::string(8 - f.name.size(), ' '));
    put(e, 14, std::string(f.ext) + std::string(3 - f.ext.size(), ' '));
    putLe16(e, 17, f.updHash);
    putLe16(e, 19, f.accHash);
    putLe16(e, 21, static_cast<unsigned>(lastSector));
    std::fill(e.begin() + 22, e.begin() + 54, 0xFF);
    for (std::size_t i = 0; i < f.extents.size(); ++i) {
        putByte(e, 23 + 2 * i, static_cast<unsigned>(f.extents[i].first));
        putByte(e, 24 + 2 * i, static_cast<unsigned>(f.extents[i].second));
    }
    putByte(e, 55, static_cast<unsigned>(f.year));
    putByte(e, 56, static_cast<unsigned>(f.month));
    putByte(e, 57, static_cast<unsigned>(f.day));
    return e;
}

}  // namespace

Disk trsdosSampleDisk() {
    Disk disk = model2Disk(1);
    Bytes boot(128, 0);
    putByte(boot, 1, kTrsdosDirTrack);
    putByte(boot, 2, kTrsdosFirstDirSector);
    put(boot, 3, "TRSDOS");
    putByte(boot, 11, 0x20);
    setData(disk, 0, 0, 2, boot);

    const std::vector<TrsdosFile> files{
        {"PAYROLL", "BAS", 0x0000, 0x0000, 84, 12, 5, {{12, 0x40}}, tokenisedBasic()},
        {"SALES", "BAS", 0x4296, 0x0000, 84, 11, 30, {{13, 0x00}}, recordFormBasic()},
        {"LEDGER", "DAT", 0xAEBF, 0x2F78, 85, 1, 17, {{20, 0x63}, {30, 0x00}},
         textFile("LEDGER", 25 * 256 - 100)},
        {"DOCUMENT", "CTL", 0x0000, 0x0000, 84, 3, 15, {{14, 0x00}}, documentIndex()},
        {"SYSINFO", "SYS", 0x1234, 0x5678, 83, 6, 1, {{0, 0x80}}, textFile("SYSINFO", 600)},
        {"NOTES", "", 0x0000, 0x0000, 99, 7, 4, {}, {}},
    };
    std::vector<Bytes> dir(26, Bytes(256, 0xFF));
    std::size_t slot = 0;
    for (const TrsdosFile& f : files) {
        placeTrsdosFile(disk, f);
        const Bytes e = trsdosEntry(f);
        Bytes& record = dir[kTrsdosFirstDirSector + slot / 4];
        std::copy(e.begin(), e.end(), record.begin() + static_cast<long>((slot % 4) * 64));
        ++slot;
    }
    for (int r = kTrsdosFirstDirSector; r <= 25; ++r) {
        setData(disk, kTrsdosDirTrack, 0, r, dir[static_cast<std::size_t>(r)]);
    }
    setData(disk, kTrsdosDirTrack, 0, 1, Bytes(256, 0));  // allocation table
    setData(disk, kTrsdosDirTrack, 0, 2, Bytes(256, 0));  // hash index
    return disk;
}

Disk hsdsSampleDisk() {
    Disk disk = trsdosSampleDisk();
    Bytes sign(256, 0);
    put(sign, 149, "HSDS");
    setData(disk, 3, 0, 18, sign);
    return disk;
}

// ---- LS-DOS and Dosplus II: 30 sectors 0..29 of 256 bytes per track

namespace {

// Cylinder 0 side 0 single density with records fmFirst..fmLast, every other track 30 x 256
// numbered 0..29.
Disk thirtySectorDisk(int sides, int fmFirst, int fmLast) {
    return shapedDisk(77, sides, {fmFirst, fmLast, 0}, {0, 29, 1});
}

struct ShortFile {
    std::string_view name;
    std::string_view ext;
    std::vector<std::pair<int, int>> extents;
    Bytes content;
};

Bytes shortEntryName(Bytes e, const ShortFile& f) {
    put(e, 6, std::string(f.name) + std::string(8 - f.name.size(), ' '));
    put(e, 14, std::string(f.ext) + std::string(3 - f.ext.size(), ' '));
    std::fill(e.begin() + 22, e.begin() + 32, 0xFF);
    for (std::size_t i = 0; i < f.extents.size(); ++i) {
        putByte(e, 23 + 2 * i, static_cast<unsigned>(f.extents[i].first));
        putByte(e, 24 + 2 * i, static_cast<unsigned>(f.extents[i].second));
    }
    return e;
}

Bytes chunkOf(const Bytes& content, std::size_t& offset) {
    Bytes chunk(256, 0);
    for (std::size_t i = 0; i < 256 && offset + i < content.size(); ++i) {
        chunk[i] = content[offset + i];
    }
    offset += 256;
    return chunk;
}

constexpr int kLsdosDirTrack = 38;
constexpr int kDosplusDirTrack = 30;

}  // namespace

Disk lsdosSampleDisk() {
    Disk disk = thirtySectorDisk(2, 0, 26);
    Bytes zero(128, 0);
    putByte(zero, 3, kLsdosDirTrack);
    setData(disk, 0, 0, 0, zero);
    Bytes sys(128, 0);
    put(sys, 17, "LS-DOS63Level-1A");
    setData(disk, 0, 0, 2, sys);

    const std::vector<ShortFile> files{
        {"REPORT", "TXT", {{5, 0x41}}, textFile("REPORT", 20 * 256)},  // side 0 20..29, side 1 0..9
        {"BACKUP", "CMD", {{7, 0x00}, {9, 0x20}}, textFile("BACKUP", 18 * 256)},
        {"README", "", {{11, 0x00}}, textFile("README", 700)},
    };
    const int dates[][3] = {{1984, 3, 18}, {1982, 2, 28}, {1987, 14, 0}};  // month 14: 02
    std::vector<Bytes> dir(30, Bytes(256, 0));
    for (std::size_t k = 0; k < files.size(); ++k) {
        const ShortFile& f = files[k];
        Bytes e(32, 0);
        putByte(e, 1, 0x10);
        putByte(e, 2, static_cast<unsigned>(dates[k][0] - 1980));
        putByte(e, 3, static_cast<unsigned>(dates[k][2] << 3 | dates[k][1]));
        putByte(e, 4, f.content.size() % 256);
        putLe16(e, 17, 0x4296);
        putLe16(e, 19, 0x0200);
        // The ending record counts every sector the file touches.
        putLe16(e, 21, static_cast<unsigned>((f.content.size() + 255) / 256));
        e = shortEntryName(e, f);
        std::copy(e.begin(), e.end(), dir[2].begin() + static_cast<long>(k * 32));

        std::size_t offset = 0;
        for (const auto& [track0, g] : f.extents) {
            int track = track0;
            int side = 0;
            int sector = (g >> 5) * 10;
            for (int n = 0; n < ((g & 31) + 1) * 10; ++n, ++sector) {
                if (sector > 29) {
                    if (side == 0) {
                        side = 1;
                        sector -= 30;
                    } else {
                        side = 0;
                        sector = 0;
                        ++track;
                    }
                }
                setData(disk, track, side, sector, chunkOf(f.content, offset));
            }
        }
    }
    for (int r = 0; r <= 29; ++r) {
        setData(disk, kLsdosDirTrack, 0, r, dir[static_cast<std::size_t>(r)]);
    }
    for (int r = 0; r <= 4; ++r) {
        setData(disk, kLsdosDirTrack, 1, r, Bytes(256, 0));
    }
    return disk;
}

Disk dosplusSampleDisk() {
    Disk disk = thirtySectorDisk(1, 1, 26);
    Bytes dct(128, 0);
    put(dct, 1, "DCT");
    putByte(dct, 9, kDosplusDirTrack);
    setData(disk, 0, 0, 2, dct);
    Bytes version(256, 0);
    put(version, 243, "A.00");
    setData(disk, 36, 0, 28, version);

    const std::vector<ShortFile> files{
        {"INVOICE", "DAT", {{10, 0xA1}}, textFile("INVOICE", 10 * 256)},  // 25..29, then 0..4
        {"MENU", "CMD", {{12, 0x00}, {14, 0x40}}, textFile("MENU", 9 * 256)},
    };
    std::vector<Bytes> dir(30, Bytes(256, 0));
    for (std::size_t k = 0; k < files.size(); ++k) {
        const ShortFile& f = files[k];
        Bytes e(32, 0);
        putByte(e, 1, 0x10);
        putByte(e, 2, 3 + static_cast<unsigned>(k));        // month
        putByte(e, 3, 0x70 | 5);                              // day 7, 1985
        putByte(e, 4, f.content.size() % 256);
        putByte(e, 5, 0);
        putByte(e, 17, 0x34), putByte(e, 18, 0x12), putByte(e, 19, 0x56);
        putByte(e, 20, 0), putByte(e, 21, static_cast<unsigned>(f.content.size() / 256)),
            putByte(e, 22, 0);
        e = shortEntryName(e, f);
        std::copy(e.begin(), e.end(), dir[2].begin() + static_cast<long>(k * 32));

        std::size_t offset = 0;
        for (const auto& [track0, g] : f.extents) {
            int track = track0;
            int sector = (g >> 5) * 5 + (track == 0 ? 1 : 0);
            for (int n = 0; n < ((g & 31) + 1) * 5; ++n) {
                setData(disk, track, 0, sector, chunkOf(f.content, offset));
                if (++sector == 30) {
                    sector = 0;
                    ++track;
                }
            }
        }
    }
    for (int r = 2; r <= 29; ++r) {
        setData(disk, kDosplusDirTrack, 0, r, dir[static_cast<std::size_t>(r)]);
    }
    return disk;
}

// ---- Model II/16 TRSDOS: 16 records of 512 bytes, logical tracks counting both sides

namespace {

Disk sixteenRecordDisk() { return shapedDisk(77, 2, {1, 26, 0}, {1, 16, 2}); }

void setLogical(Disk& disk, std::uint32_t logicalTrack, int record, Bytes data) {
    setData(disk, static_cast<int>(logicalTrack / 2), static_cast<int>(logicalTrack % 2), record,
            std::move(data));
}

Bytes entry16(std::string_view name, std::uint32_t address) {
    Bytes e(64, 0);
    putByte(e, 1, 0x80);
    putByte(e, 2, 0x01);
    put(e, 3, std::string(name) + std::string(16 - name.size(), ' '));
    putBe32(e, 47, address);
    return e;
}

}  // namespace

Disk trsdos16SampleDisk() {
    Disk disk = sixteenRecordDisk();
    Bytes boot(128, 0);
    put(boot, 1, "TRSDOS");
    putByte(boot, 10, 0x42);
    putBe32(boot, 19, 4 * 32 + 1);  // root on logical track 4, record 1
    putBe32(boot, 35, 0x04D0);
    setData(disk, 0, 0, 3, boot);

    Bytes root(512, 0);
    // Root 0: one file; its sub-directory at logical 5, record (2 MOD 32) - 1 = 1.
    Bytes system = entry16("SYSTEM", 5 * 32 + 2);
    putByte(system, 46, 64);  // 0 / 64 + 1: one entry examined
    // Root 1: three entries examined at logical 6, record 2.
    Bytes user = entry16("USER", 6 * 32 + 3);
    putByte(user, 43, 0), putByte(user, 44, 128), putByte(user, 45, 0), putByte(user, 46, 64);
    std::copy(system.begin(), system.end(), root.begin());
    std::copy(user.begin(), user.end(), root.begin() + 64);
    setLogical(disk, 4, 1, root);

    // Root 0's files keep their record count in the byte order 44, 41, 42, 43.
    Bytes sysDir(512, 0);
    Bytes boot16 = entry16("BOOT", 8 * 32 + 0);
    putByte(boot16, 43, 1);  // two records
    std::copy(boot16.begin(), boot16.end(), sysDir.begin());
    setLogical(disk, 5, 1, sysDir);
    setLogical(disk, 8, 1, textFile("BOOT", 512));
    setLogical(disk, 8, 2, textFile("BOOT2", 512));

    Bytes userDir(512, 0);
    Bytes letter = entry16("LETTER", 10 * 32 + 14);  // records 15, 16, then 1 of logical 11
    putBe32(letter, 41, 2);
    Bytes memo = entry16("MEMO", 12 * 32 + 0);
    Bytes erased(64, 0);
    put(erased, 3, "ERASED");
    std::copy(letter.begin(), letter.end(), userDir.begin());
    std::copy(erased.begin(), erased.end(), userDir.begin() + 64);
    std::copy(memo.begin(), memo.end(), userDir.begin() + 128);
    setLogical(disk, 6, 2, userDir);
    const Bytes letterText = textFile("LETTER", 3 * 512);
    setLogical(disk, 10, 15, Bytes(letterText.begin(), letterText.begin() + 512));
    setLogical(disk, 10, 16, Bytes(letterText.begin() + 512, letterText.begin() + 1024));
    setLogical(disk, 11, 1, Bytes(letterText.begin() + 1024, letterText.end()));
    setLogical(disk, 12, 1, textFile("MEMO", 512));
    return disk;
}

}  // namespace mkdisk
