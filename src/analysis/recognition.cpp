#include "analysis/recognition.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "analysis/cpm_listing.h"
#include "analysis/host_export.h"
#include "analysis/trsdos_listings.h"
#include "analysis/ucsd_xenix_listings.h"

namespace sv {

namespace {

constexpr std::uint16_t kModel2MinTrackLength = 8192;

// Bytes p..q, 1-based and inclusive, of a sector buffer.
std::string_view bytesAt(const SectorData& s, std::size_t first, std::size_t last) {
    return {reinterpret_cast<const char*>(s.data()) + (first - 1), last - first + 1};
}

std::uint8_t byteAt(const SectorData& s, std::size_t position) { return s[position - 1]; }

std::string_view whole(const SectorData& s) {
    return {reinterpret_cast<const char*>(s.data()), s.size()};
}

bool contains(const SectorData& s, std::string_view text) {
    return whole(s).find(text) != std::string_view::npos;
}

// The characters taken as decimal text: its leading digits, kept in eight bits.
std::uint8_t numberWritten(std::string_view text) {
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = (value * 10 + static_cast<unsigned>(c - '0')) & 0xFFFF;
    }
    return static_cast<std::uint8_t>(value);
}

std::string versionText(std::uint8_t v) { return hexField(v >> 4, 1) + "." + hexField(v, 1); }

std::uint32_t be32(const SectorData& s, std::size_t position) {
    return (std::uint32_t{byteAt(s, position)} << 24) |
           (std::uint32_t{byteAt(s, position + 1)} << 16) |
           (std::uint32_t{byteAt(s, position + 2)} << 8) | byteAt(s, position + 3);
}

DiskParameters cpmParameters(int sides, int sectorsPerTrack, int sectorSize, int skew,
                             int blockShift, int lastDirEntry) {
    DiskParameters p;
    p.sides = static_cast<std::uint8_t>(sides);
    p.sectorsPerTrack = static_cast<std::uint8_t>(sectorsPerTrack);
    p.sectorSize = static_cast<std::uint16_t>(sectorSize);
    p.skew = static_cast<std::uint8_t>(skew);
    p.sectorTable = cpmSectorTable(sectorsPerTrack, skew);
    p.blockShift = static_cast<std::uint8_t>(blockShift);
    p.blockMask = 15;
    p.lastDirEntry = static_cast<std::uint8_t>(lastDirEntry);
    p.reservedTracks = 2;
    return p;
}

DiskParameters ucsdParameters() {
    DiskParameters p;
    p.sides = 1;
    p.sectorsPerTrack = 26;
    p.sectorSize = 128;
    p.interleave = 2;
    p.sectorTable = ucsdSectorTable(26, 2);
    p.blockShift = 4;
    p.blockMask = 15;
    p.lastDirEntry = 127;
    p.reservedTracks = 2;
    return p;
}

void setValues(Recognition& r, std::uint8_t osCode, int dirTrack, int firstDirSector,
               int osVersion) {
    r.osCode = osCode;
    r.dirTrack = static_cast<std::uint16_t>(dirTrack);
    r.firstDirSector = static_cast<std::uint8_t>(firstDirSector);
    r.osVersion = static_cast<std::uint8_t>(osVersion);
}

// ATON's version text: the characters 8, 10 and 11 after the first "VERSION".
std::uint8_t atonVersion(const SectorData& s) {
    const auto p = whole(s).find("VERSION");
    if (p == std::string_view::npos) {
        return 0;
    }
    std::string digits;
    for (const std::size_t offset : {8, 10, 11}) {
        if (p + offset < s.size()) {
            digits += static_cast<char>(s[p + offset]);
        }
    }
    return numberWritten(digits);
}

// ATON's system name: from three past the first CR LF LF to just before SPACE CR LF LF; empty
// when either is missing or they come the other way round.
std::string atonText(const SectorData& s) {
    const std::string_view text = whole(s);
    const auto open = text.find("\r\n\n");
    const auto close = text.find(" \r\n\n");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 3) {
        return {};
    }
    return std::string(text.substr(open + 3, close - (open + 3)));
}

std::string ucsdTitle(const SectorData& s) {
    const std::size_t nameLength = std::min<std::size_t>(byteAt(s, 7), 7);
    const std::string name(bytesAt(s, 8, 8 + 7 - 1).substr(0, nameLength));
    const unsigned blocks = byteAt(s, 15) | (byteAt(s, 16) << 8);
    const unsigned date = byteAt(s, 21) | (byteAt(s, 22) << 8);
    const int month = static_cast<int>(date & 15);
    const int day = static_cast<int>((date >> 4) & 31);
    const int year = centuryYear(static_cast<int>(date >> 9));
    return "UCSD Pascal Disk\r\nVolName='" + name + "', NBLKs=" + hexField(blocks, 4) +
           ", Date=" + dateText(day, month, year);
}

}  // namespace

bool isModel2Disk(const DiskImage& disk) { return disk.trackLength >= kModel2MinTrackLength; }

namespace {

// Records 1, 1 + step, ... for logical sectors 1..n; a record past n wraps back by `wrapBy`
// (CP/M by n, so the table may repeat a record; UCSD by n - 1, so each pass starts one later).
std::vector<std::uint8_t> steppedSectorTable(int sectorsPerTrack, int step, int wrapBy) {
    std::vector<std::uint8_t> table(static_cast<std::size_t>(std::max(sectorsPerTrack, 0)) + 1, 0);
    if (sectorsPerTrack < 1) {
        return table;
    }
    table[1] = 1;
    int x = 1;
    for (int i = 2; i <= sectorsPerTrack; ++i) {
        x += step;
        if (x > sectorsPerTrack) {
            x -= wrapBy;
        }
        table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x);
    }
    return table;
}

}  // namespace

std::vector<std::uint8_t> cpmSectorTable(int sectorsPerTrack, int skew) {
    return steppedSectorTable(sectorsPerTrack, skew, sectorsPerTrack);
}

std::vector<std::uint8_t> ucsdSectorTable(int sectorsPerTrack, int interleave) {
    return steppedSectorTable(sectorsPerTrack, interleave, sectorsPerTrack - 1);
}

namespace {

// What a signature sets, read from the sector it was found in (still in the reader's buffer).
// A rule that reads another sector takes what it needs from this one first.
using RecogniseFunction = void (*)(Recognition& r, SectorReader& reader);

void recogniseTrsdos(Recognition& r, SectorReader& reader) {
    const SectorData& s = reader.buffer();
    setValues(r, os::trsdos, byteAt(s, 1), byteAt(s, 2), byteAt(s, 11));
    if (bytesAt(reader.read(3, 0, 18), 149, 152) == "HSDS") {
        r.osCode = os::hsds;
        r.osVersion = 0x20;
        r.diskTitle = "Racet HSDS on Model II TRSDOS " + versionText(r.osVersion) + " Disk";
    } else {
        r.diskTitle = "Model II TRSDOS " + versionText(r.osVersion) + " Disk";
    }
}

void recogniseLsdos(Recognition& r, SectorReader& reader) {
    const SectorData& s = reader.buffer();
    r.diskTitle = "Model II LS-DOS " + std::string(bytesAt(s, 17, 22)) + " " +
                  static_cast<char>(byteAt(s, 23)) + "." + static_cast<char>(byteAt(s, 24)) + " " +
                  std::string(bytesAt(s, 25, 32)) + " Disk";
    const std::uint8_t version = numberWritten(bytesAt(s, 23, 24));
    setValues(r, os::lsdos, byteAt(reader.read(0, 0, 0), 3), 0, version);
}

void recogniseDosplus(Recognition& r, SectorReader& reader) {
    const int dirTrack = byteAt(reader.buffer(), 9);
    const int version = bytesAt(reader.read(36, 0, 28), 243, 246) == "A.00" ? 0 : 1;
    setValues(r, os::dosplus, dirTrack, 0, version);
    r.diskTitle = "Model II Dosplus II vA." + hexField(r.osVersion, 2) + " Disk";
}

void recogniseTrsdos16(Recognition& r, SectorReader& reader) {
    const SectorData& boot = reader.buffer();
    const std::uint32_t dirAddress = be32(boot, 19);
    const std::uint32_t blocks = be32(boot, 35);
    setValues(r, os::trsdos16, static_cast<int>(dirAddress / 32), static_cast<int>(dirAddress % 32),
              byteAt(boot, 10));
    r.diskTitle = "Model II/16 TRSDOS " + versionText(r.osVersion) +
                  " Disk, NBLKs=" + hexField(blocks & 0xFFFF, 4);
    DiskParameters p;
    p.sides = reader.disk().sideCount;
    r.parameters = p;
}

void recogniseFmg(Recognition& r, SectorReader& reader) {
    const SectorData& fmg = reader.buffer();
    std::string title = std::string(bytesAt(fmg, 68, 70)) + " " + static_cast<char>(byteAt(fmg, 73));
    for (const char c : bytesAt(fmg, 74, 83)) {
        title += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const SectorData& second = reader.read(0, 0, 18);
    title += " - " + std::string(bytesAt(second, 3, 20)) + " Disk";
    const std::string version =
        std::string(1, static_cast<char>(byteAt(second, 17))) + std::string(bytesAt(second, 19, 20));
    setValues(r, os::fmgCpm, 2, 1, numberWritten(version));
    r.diskTitle = title;
    r.parameters = cpmParameters(1, 26, 256, 1, 3, 63);
}

void recognisePicklesTrout(Recognition& r, SectorReader& reader) {
    const SectorData& pt = reader.buffer();
    setValues(r, os::picklesTroutCpm, 2, 1, numberWritten(bytesAt(pt, 20, 21)));
    r.diskTitle = std::string(bytesAt(pt, 107, 121)) + " " + std::string(bytesAt(pt, 15, 22)) + " Disk";
    r.parameters = cpmParameters(1, 16, 512, 1, 4, 127);
}

// Pickles & Trout disks known by a file name rather than a version text: version 22.
void recognisePicklesTroutNamed(Recognition& r, std::string_view title) {
    setValues(r, os::picklesTroutCpm, 2, 1, 0x16);
    r.diskTitle = std::string(title);
    r.parameters = cpmParameters(1, 16, 512, 1, 4, 127);
}

void recogniseBiosmods(Recognition& r, SectorReader&) {
    recognisePicklesTroutNamed(r, "Pickles & Trout BIOSMODS.PNT Disk");
}

void recogniseCorvus(Recognition& r, SectorReader&) {
    recognisePicklesTroutNamed(r, "Pickles & Trout Corvus Disk");
}

void recogniseLifeboat(Recognition& r, SectorReader& reader) {
    const SectorData& lb = reader.buffer();
    const std::string version =
        std::string(1, static_cast<char>(byteAt(lb, 14))) + std::string(bytesAt(lb, 16, 17));
    setValues(r, os::lifeboatCpm, 2, 1, numberWritten(version));
    r.diskTitle = "Lifeboat " + std::string(bytesAt(lb, 8, 17)) + " Disk";
    r.parameters = cpmParameters(1, 8, 1024, 3, 4, 127);
}

void recogniseAtonSingleSided(Recognition& r, SectorReader& reader) {
    const SectorData& aton = reader.buffer();
    setValues(r, os::atonCpm, 2, 1, atonVersion(aton));
    r.diskTitle = "ATON " + atonText(aton) + " SSHD Disk";
    r.parameters = cpmParameters(1, 8, 1024, 3, 4, 127);
}

void recogniseAtonDoubleSided(Recognition& r, SectorReader& reader) {
    const SectorData& aton = reader.buffer();
    setValues(r, os::atonCpm, 2, 1, atonVersion(aton));
    r.diskTitle = "ATON " + atonText(aton) + " DSHD Disk";
    r.parameters = cpmParameters(2, 8, 1024, 3, 4, 191);
}

void recogniseUcsd(Recognition& r, SectorReader& reader) {
    setValues(r, os::ucsdPascal, 1, 9, 0);
    r.diskTitle = ucsdTitle(reader.buffer());
    r.parameters = ucsdParameters();
}

constexpr std::size_t kAnywhere = 0;

// A system is known by a text in one sector: at a 1-based offset, or anywhere in it.
struct Signature {
    int cylinder;
    int side;
    int record;
    std::size_t offset;
    std::string_view text;
    RecogniseFunction recognise;
};

// Tried in order; the first that matches decides.
constexpr Signature kSignatures[] = {
    {0, 0, 2, 3, "TRSDOS", recogniseTrsdos},
    {0, 0, 2, 17, "LS-DOS", recogniseLsdos},
    {0, 0, 2, 1, "DCT", recogniseDosplus},
    {0, 0, 3, 1, "TRSDOS", recogniseTrsdos16},
    {0, 0, 17, 68, "FMG", recogniseFmg},
    {0, 0, 19, 107, "Pickles & Trout", recognisePicklesTrout},
    {0, 0, 3, 14, "BIOSMODSPNT", recogniseBiosmods},
    {0, 0, 11, 67, "Corvus", recogniseCorvus},
    {0, 0, 13, 8, "CP/M", recogniseLifeboat},
    {1, 0, 3, kAnywhere, "ATON", recogniseAtonSingleSided},
    {0, 1, 3, kAnywhere, "ATON", recogniseAtonDoubleSided},
    {1, 0, 17, kAnywhere, ".CODE", recogniseUcsd},
    {1, 0, 17, kAnywhere, ".TEXT", recogniseUcsd},
    {1, 0, 17, kAnywhere, "SYSTEM.", recogniseUcsd},
};

bool matches(const Signature& signature, const SectorData& s) {
    if (signature.offset == kAnywhere) {
        return contains(s, signature.text);
    }
    return bytesAt(s, signature.offset, signature.offset + signature.text.size() - 1) ==
           signature.text;
}

// Xenix tar: a 0xE5 the disk holds in its first sector, then a path in the next track's first.
// The 0xE5 must be on the disk: a sector it does not hold is gathered as 0xE5 fill.
bool recogniseXenixTar(Recognition& r, SectorReader& reader) {
    if (!contains(reader.read(0, 0, 1), "\xE5") || isFill(reader.lastState())) {
        return false;
    }
    const SectorData& tar = reader.read(1, 0, 1);
    if (!contains(tar, "/") && !contains(tar, ".")) {
        return false;
    }
    setValues(r, os::xenixTar, 1, 1, 0);
    r.diskTitle = "Xenix TAR Disk\r\n";
    return true;
}

}  // namespace

Recognition recogniseSystem(SectorReader& reader) {
    Recognition r;
    r.modelII = true;
    for (const Signature& signature : kSignatures) {
        if (matches(signature, reader.read(signature.cylinder, signature.side, signature.record))) {
            signature.recognise(r, reader);
            return r;
        }
    }
    if (recogniseXenixTar(r, reader)) {
        return r;
    }
    r.osCode = os::unknown;
    r.dirTrack = 0;
    r.diskTitle = "Unknown Model II OS Disk";
    return r;
}

std::string diskInfoText(const Recognition& recognition) {
    if (!recognition.modelII) {
        return kNotModel2Text;
    }
    std::string number = std::to_string(recognition.dirTrack);
    if (number.size() < 4) {
        number.insert(0, 4 - number.size(), ' ');
    }
    return recognition.diskTitle + "\r\nDirTrack=" + number + "[" +
           hexField(recognition.dirTrack, 4) + "]";
}

namespace {

ListingFunction listingFor(std::uint8_t osCode) {
    switch (osCode) {
        case os::trsdos:
        case os::hsds:
            return listTrsdos;
        case os::lsdos:
            return listLsdos;
        case os::dosplus:
            return listDosplus;
        case os::trsdos16:
            return listTrsdos16;
        case os::fmgCpm:
        case os::picklesTroutCpm:
        case os::lifeboatCpm:
        case os::atonCpm:
            return listCpmDisk;
        case os::ucsdPascal:
            return listUcsdDisk;
        case os::xenixTar:
            return listXenixDisk;
        default:
            return nullptr;
    }
}

}  // namespace

DiskAnalysis analyseDisk(const DiskImage& disk, OperationLog& log) {
    DiskAnalysis analysis;
    if (!isModel2Disk(disk)) {
        analysis.diskInfo = kNotModel2Text;
        return analysis;
    }
    SectorReader reader(disk);
    analysis.recognition = recogniseSystem(reader);
    analysis.diskInfo = diskInfoText(analysis.recognition);

    EntryTable table;
    if (const ListingFunction list = listingFor(analysis.recognition.osCode); list != nullptr) {
        list(analysis.recognition, reader, table);
    }
    if (table.truncated()) {
        table.report({"Analysis: file contents beyond " +
                      std::to_string(EntryTable::kContentBudgetBytes >> 20) +
                      " MB not gathered; the listing is complete."});
    }
    analysis.contentTruncated = table.truncated();
    analysis.reportLines = table.takeReportLines();
    if (!analysis.reportLines.empty()) {
        LogEditor text = LogEditor::continuing(log);
        for (const std::string& line : analysis.reportLines) {
            text.line(line);
        }
    }
    analysis.entries = table.takeEntries();
    for (AnalysedEntry& entry : analysis.entries) {
        if (entry.name.empty()) {
            entry.name = nameComponent(entry.fileName);
        }
        entry.text = isTextFile(entry);
    }
    analysis.listOrder = sortedListOrder(analysis.entries);
    return analysis;
}

}  // namespace sv
