// The length rules proved on the real disks of the shared folder: load modules end in their
// transfer record, byte files on their last CR, BASIC programs after their end link, and every
// CP/M file equals what cpmtools' cpmcp copies out of the same sectors.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "core/disk_image.h"
#include "formats/dmk.h"
#include "formats/imd.h"
#include "formats/td0.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

struct RealDisk {
    DiskImagePtr disk;
    DiskAnalysis analysis;

    const AnalysedEntry* find(const std::string& name) const {
        for (const AnalysedEntry& e : analysis.entries) {
            if (e.name == name) {
                return &e;
            }
        }
        return nullptr;
    }
};

// Loads a copy (the IMD reader writes a side file beside the image); nullopt when absent.
std::optional<RealDisk> loadReal(const std::string& relative) {
    svtest::TempDir tmp;
    const std::string copy = svtest::copyRealDisk(relative, tmp);
    if (copy.empty()) {
        return std::nullopt;
    }
    RealDisk out{makeDiskImage(), {}};
    TextSink log;
    const std::string ext = fs::path(relative).extension().string();
    if (ext == ".imd") {
        loadImdImage(copy, *out.disk, log);
    } else if (ext == ".td0") {
        loadTd0Image(copy, *out.disk, log);
    } else {
        loadDmkImage(copy, *out.disk, log);
    }
    out.analysis = analyseDisk(*out.disk, log);
    return out;
}

#define SKIP_WITHOUT(disk, name)                                                  \
    if (!(disk)) {                                                                \
        GTEST_SKIP() << name << " is not in the shared real-disk folder";         \
    }

struct Transfer {
    std::size_t start;
    std::size_t end;
};

// Walks a load module's records (01 load, 02 transfer, others skipped by their length) as long
// as they stay records; the last transfer record found, or nullopt when there is none.
std::optional<Transfer> transferRecord(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || (bytes[0] != 0x01 && bytes[0] != 0x05)) {
        return std::nullopt;
    }
    std::optional<Transfer> last;
    std::size_t at = 0;
    while (at + 1 < bytes.size()) {
        const std::uint8_t type = bytes[at];
        const std::size_t length = bytes[at + 1];
        if (type == 0x01) {
            at += 2 + (length > 2 ? length : length + 256);
        } else if (type == 0x02) {
            last = Transfer{at, at + 2 + length};
            at += 2 + length;
        } else if (type >= 0x03 && type <= 0x1F) {
            at += 2 + length;
        } else {
            break;
        }
    }
    return last;
}

// TRSDOS: the file ends one record after the last record's start (EOF sector x 256 + EOF byte).
TEST(RealDiskLengths, TrsdosLoadModulesEndInTheirTransferRecordsSector) {
    std::size_t modules = 0;
    for (const char* name : {"imd/m2-trsdos-2.0a.imd", "imd/m2-trsdos-2.0b.imd",
                             "imd/m2-profile-ii.imd", "imd/m2-scripsit-2.0.imd",
                             "imd/m2-trsdos-calc.imd"}) {
        const auto real = loadReal(name);
        if (!real) {
            continue;
        }
        for (const AnalysedEntry& e : real->analysis.entries) {
            EXPECT_EQ(e.note, "") << name << " " << e.name;
            const auto transfer = transferRecord(e.exactContent());
            if (!transfer) {
                continue;
            }
            ++modules;
            EXPECT_LE(transfer->end, e.size) << name << " " << e.name;
            // EXPAND/EFC's directory keeps one sector beyond its module (zeros and a stray
            // record): the file is what the directory says.
            if (e.name != "EXPAND.EFC") {
                EXPECT_GT(transfer->start + 256, e.size) << name << " " << e.name;
            }
        }
    }
    if (modules == 0) {
        GTEST_SKIP() << "no Model II TRSDOS disk in the shared real-disk folder";
    }
    EXPECT_GE(modules, 40u);
}

TEST(RealDiskLengths, TrsdosByteFilesRecordFilesAndBasic) {
    const auto profile = loadReal("imd/m2-profile-ii.imd");
    SKIP_WITHOUT(profile, "imd/m2-profile-ii.imd");
    // LRL 1: the EOF fields name the last byte, a CR ending the last line.
    for (const auto& [file, size] : std::map<std::string, std::size_t>{
             {"HERZ50", 692}, {"LPII", 225}, {"PRTBKSP", 227}, {"LIMIT", 205}}) {
        const AnalysedEntry* e = profile->find(file);
        ASSERT_NE(e, nullptr) << file;
        EXPECT_EQ(e->size, size) << file;
        EXPECT_EQ(e->exactContent().back(), '\r') << file;
    }
    // Tokenised BASIC (LRL 0): its lines, followed link by link, end inside the exact length.
    const AnalysedEntry* select = profile->find("SELECT.BAS");
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->size, 1024u);
    const auto bytes = select->exactContent();
    std::size_t at = 0;
    while (at + 1 < bytes.size() && (bytes[at] | bytes[at + 1]) != 0) {
        at += 4;
        while (at < bytes.size() && bytes[at] != 0) {
            ++at;
        }
        ++at;
    }
    EXPECT_LE(at + 2, select->size);

    const auto scripsit = loadReal("imd/m2-scripsit-2.0.imd");
    SKIP_WITHOUT(scripsit, "imd/m2-scripsit-2.0.imd");
    // LRL 64: whole records, the last one starting at EOF sector 0C, EOF byte C0.
    const AnalysedEntry* errors = scripsit->find("SCRIPSIT.ERR");
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(errors->size, 0x0C * 256 + 0xC0 + 64u);
    EXPECT_EQ(errors->exactContent()[0x0CC0], 0x16);  // the last message's length byte
}

// LS-DOS: the ending record counts the sectors touched; a non-zero EOF byte is the bytes used in
// the last. Every load module ends exactly after its transfer record.
TEST(RealDiskLengths, LsdosLoadModulesEndExactlyAfterTheirTransferRecord) {
    std::size_t modules = 0;
    for (const char* name : {"dmk/m2-lsdos-6.3.1a.dmk", "dmk/m2-lsdos-6.3.1a-ss.dmk",
                             "dmk/m2-lsdos-6.3.1a-ds.dmk"}) {
        const auto real = loadReal(name);
        if (!real) {
            continue;
        }
        const bool pristine = std::string(name) == "dmk/m2-lsdos-6.3.1a.dmk";
        std::size_t exact = 0;
        std::size_t here = 0;
        for (const AnalysedEntry& e : real->analysis.entries) {
            const auto transfer = transferRecord(e.exactContent());
            if (!transfer) {
                continue;
            }
            ++here;
            EXPECT_LE(transfer->end, e.size) << name << " " << e.name;
            if (pristine) {
                EXPECT_EQ(transfer->end, e.size) << name << " " << e.name;
            }
            exact += transfer->end == e.size ? 1 : 0;
        }
        // The extra files of the other two came from elsewhere, some padded to their sector.
        EXPECT_GE(exact * 10, here * 8) << name;
        modules += here;
    }
    if (modules == 0) {
        GTEST_SKIP() << "no LS-DOS disk in the shared real-disk folder";
    }
    EXPECT_GE(modules, 60u);
}

struct CpmShape {
    const char* diskdef;
    int sectorsPerTrack;
    std::size_t sectorBytes;
};

// The data tracks as cpmtools reads an image: every track's records 1..n in order (the systems
// here use no skew on the data tracks we read), the two reserved tracks blank.
std::vector<std::uint8_t> rawImage(const DiskImage& disk, const CpmShape& shape) {
    std::vector<std::uint8_t> image;
    SectorData buffer{};
    for (int cylinder = 0; cylinder < 77; ++cylinder) {
        for (int record = 1; record <= shape.sectorsPerTrack; ++record) {
            buffer.fill(0xE5);
            if (cylinder >= 2) {
                readSectorData(cylinder, 0, record, disk, buffer);
            }
            image.insert(image.end(), buffer.begin(),
                         buffer.begin() + static_cast<std::ptrdiff_t>(shape.sectorBytes));
        }
    }
    return image;
}

void compareWithCpmcp(const std::string& relative, const CpmShape& shape) {
    if (svtest::run("command -v cpmcp >/dev/null").status != 0) {
        GTEST_SKIP() << "cpmtools is not installed (scripts/install-deps installs it)";
    }
    const auto real = loadReal(relative);
    SKIP_WITHOUT(real, relative);
    svtest::TempDir dir;
    fs::copy_file(fs::path(SV_TESTS_DIR) / "analysis" / "cpmtools_diskdefs",
                  dir.path() / "diskdefs");
    svtest::writeFile(dir.file("disk.img"), rawImage(*real->disk, shape));
    fs::create_directory(dir.path() / "out");
    const std::string cd = "cd " + svtest::shellQuote(dir.path().string()) + " && ";
    const auto copied = svtest::run(cd + "cpmcp -f " + shape.diskdef + " disk.img '0:*' out/");
    ASSERT_EQ(copied.status, 0) << copied.err;

    std::size_t compared = 0;
    for (const auto& f : fs::directory_iterator(dir.path() / "out")) {
        std::string name = f.path().filename().string();
        for (char& c : name) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const AnalysedEntry* e = real->find(name);
        ASSERT_NE(e, nullptr) << name;
        const std::vector<std::uint8_t> theirs = svtest::readFile(f.path().string());
        EXPECT_EQ(std::vector<std::uint8_t>(e->exactContent().begin(), e->exactContent().end()),
                  theirs)
            << name;
        ++compared;
    }
    EXPECT_GE(compared, 40u);
}

TEST(RealDiskLengths, PicklesTroutFilesEqualWhatCpmcpCopies) {
    compareWithCpmcp("imd/m2-ptcpm-2.2.imd", {"sv-pickles-trout", 16, 512});
}

TEST(RealDiskLengths, FmgFilesEqualWhatCpmcpCopies) {
    compareWithCpmcp("td0/m2-fmg-cpm-2.2.td0", {"sv-fmg", 26, 256});
}

}  // namespace
}  // namespace sv
