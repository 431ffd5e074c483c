// Files off the generated sample of every system: their exact lengths, the names extraction
// gives them, which sectors they came from and which of those are damaged, and their host text.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/host_export.h"
#include "formats/dmk.h"
#include "mkdisk/cpm_samples.h"
#include "mkdisk/model2_systems.h"
#include "test_util.h"

namespace sv {
namespace {

struct Analysed {
    DiskAnalysis analysis;
    std::map<std::string, const AnalysedEntry*> byName;  // by AnalysedEntry::name, first wins

    const AnalysedEntry& at(const std::string& name) const {
        const auto found = byName.find(name);
        if (found == byName.end()) {
            throw std::runtime_error("no file " + name);
        }
        return *found->second;
    }
};

// Written by the generator's own DMK code, read back through the DMK reader.
std::unique_ptr<Analysed> analyse(const mkdisk::Disk& sample) {
    svtest::TempDir dir;
    const std::string path = dir.file("sample.dmk");
    mkdisk::writeFile(path, mkdisk::writeDmk(sample));
    auto disk = makeDiskImage();
    TextSink log;
    loadDmkImage(path, *disk, log);
    auto out = std::make_unique<Analysed>();
    out->analysis = analyseDisk(*disk, log);
    for (const AnalysedEntry& e : out->analysis.entries) {
        out->byName.try_emplace(e.name, &e);
    }
    return out;
}

std::string str(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(FileExport, ExactLengthsAndNamesOfEverySystem) {
    const struct {
        const char* sample;
        std::function<mkdisk::Disk()> build;
        std::map<std::string, std::size_t> sizes;
    } cases[] = {
        // TRSDOS: the last record's start plus one record (LRL 1 for these, 0 = 256 for BASIC).
        {"trsdos", mkdisk::trsdosSampleDisk,
         {{"SYSINFO.SYS", 600}, {"LEDGER.DAT", 25 * 256 - 100}, {"PAYROLL.BAS", 256},
          {"NOTES", 0}}},
        {"hsds", mkdisk::hsdsSampleDisk, {{"SYSINFO.SYS", 600}}},
        // LS-DOS and Dosplus: ending record and EOF byte.
        {"lsdos", mkdisk::lsdosSampleDisk,
         {{"README", 700}, {"REPORT.TXT", 20 * 256}, {"BACKUP.CMD", 18 * 256}}},
        {"dosplus", mkdisk::dosplusSampleDisk, {{"INVOICE.DAT", 10 * 256}, {"MENU.CMD", 9 * 256}}},
        // Model II/16: whole 512-byte records, the count naming those after the first.
        {"trsdos16", mkdisk::trsdos16SampleDisk,
         {{"USER/LETTER", 3 * 512}, {"USER/MEMO", 512}, {"SYSTEM/BOOT", 2 * 512}}},
        // CP/M: whole 128-byte records.
        {"fmg", mkdisk::fmgSample, {{"PIP.COM", 7040}, {"PROG.BAS", 1536}, {"README", 384}}},
        {"pt", mkdisk::picklesTroutSample,
         {{"PIP.COM", 7040}, {"BIG.DAT", 40064}, {"LAST.BLK", 2048}}},
        {"lifeboat", mkdisk::lifeboatSample, {{"WS.COM", 20096}, {"LETTER.TXT", 1024}}},
        {"aton-ds", mkdisk::atonDoubleSample, {{"FAR.DAT", 30080}, {"NOTE.TXT", 128}}},
        // UCSD: whole blocks, then the bytes of the last.
        {"ucsd", mkdisk::ucsdSample,
         {{"HELLO.TEXT", 2048}, {"PRIMES.CODE", 812}, {"NOTES.TEXT", 3 * 512 + 77}}},
        // Xenix: the size field; directories are folders.
        {"xenix", mkdisk::xenixTarSample,
         {{"usr", 0}, {"usr/lib/x", 1025}, {"usr/lib/y", 1024}, {"etc/motd", 17}}},
    };
    for (const auto& c : cases) {
        const auto a = analyse(c.build());
        for (const auto& [name, size] : c.sizes) {
            ASSERT_TRUE(a->byName.contains(name)) << c.sample << " " << name;
            const AnalysedEntry& e = a->at(name);
            EXPECT_EQ(e.size, size) << c.sample << " " << name;
            EXPECT_EQ(e.note, "") << c.sample << " " << name;
            EXPECT_LE(e.size, e.fileContent.size()) << c.sample << " " << name;
        }
    }
}

TEST(FileExport, SampleFactsBesideTheLength) {
    const auto trsdos = analyse(mkdisk::trsdosSampleDisk());
    const AnalysedEntry& payroll = trsdos->at("PAYROLL.BAS");
    EXPECT_EQ(payroll.fileName, "PAYROLL/BAS");
    EXPECT_EQ(payroll.date, "1984-12-05");
    EXPECT_TRUE(payroll.text);  // its BASIC listing
    // The program's end-of-program link lies inside the exact length.
    const auto bytes = payroll.exactContent();
    constexpr std::array<std::uint8_t, 3> kLastLineEnd{0, 0, 0};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), kLastLineEnd.begin(), kLastLineEnd.end()),
              bytes.end());
    // Five sectors from track 12, granule 2, in order.
    ASSERT_EQ(payroll.sectors.sectors.size(), 5u);
    EXPECT_EQ(payroll.sectors.sectors.front(), (SectorAddress{12, 0, 11}));
    EXPECT_EQ(payroll.sectors.sectors.back(), (SectorAddress{12, 0, 15}));
    EXPECT_FALSE(payroll.sectors.isDamaged());

    const auto xenix = analyse(mkdisk::xenixTarSample());
    EXPECT_TRUE(xenix->at("usr").isDirectory);
    EXPECT_EQ(xenix->at("etc/motd").fileName, "etc\\motd");
    EXPECT_EQ(xenix->at("etc/motd").date, "1989-01-05T10:40:00Z");
    EXPECT_EQ(str({xenix->at("etc/motd").exactContent().begin(),
                   xenix->at("etc/motd").exactContent().end()}),
              "Welcome to Xenix\n");
    const auto ucsd = analyse(mkdisk::ucsdSample());
    EXPECT_EQ(ucsd->at("HELLO.TEXT").fileName, "HELLO.TEXT");
    EXPECT_EQ(ucsd->at("HELLO.TEXT").date, "1984-07-20");
    EXPECT_EQ(analyse(mkdisk::trsdos16SampleDisk())->at("USER/LETTER").fileName,
              "USER \\\\ LETTER");
}

// Where the directory's fields cannot hold together, the gathered bytes stay and a note says why.
TEST(FileExport, InconsistentDirectoriesKeepTheGatheredBytesWithANote) {
    // FMG counts 16 KB logical extents under the extent mask: the generator's LONG.TXT claims
    // extents 0, 1 and 3 with 2 KB in the last, more than its blocks hold.
    const auto fmg = analyse(mkdisk::fmgSample());
    const AnalysedEntry& longFile = fmg->at("LONG.TXT");
    EXPECT_EQ(longFile.size, longFile.fileContent.size());
    EXPECT_NE(longFile.note.find("beyond the 36864 gathered"), std::string::npos) << longFile.note;

    mkdisk::Disk disk = mkdisk::trsdosSampleDisk();
    auto& dir = disk.find(44, 0, 3)->data;
    dir[3] = 0x80;  // PAYROLL/BAS: EOF byte 0x80 with LRL 0 starts no record
    const auto trsdos = analyse(disk);
    EXPECT_EQ(trsdos->at("PAYROLL.BAS").size, 1280u);
    EXPECT_EQ(trsdos->at("PAYROLL.BAS").note,
              "EOF byte 80 and EOF sector 0000 do not start a record of LRL 00");

    mkdisk::Disk ucsdDisk = mkdisk::ucsdSample();
    const auto ucsd = analyse(ucsdDisk);
    EXPECT_EQ(ucsd->at("NOTES.TEXT").note, "");
}

// A CRC error inside a file, an ID with a bad CRC, a sector the disk lacks, and a CRC error in
// free space that no file owns.
TEST(FileExport, DamagedSectorsAreNamedOnTheFilesTheyHurtOnly) {
    mkdisk::Disk disk = mkdisk::trsdosSampleDisk();
    disk.find(12, 0, 12)->badDataCrc = true;  // PAYROLL/BAS, its second sector
    disk.find(20, 0, 17)->badIdCrc = true;    // LEDGER/DAT, from granule 3 of track 20
    auto& track = disk.at(20, 0).sectors;     // LEDGER/DAT loses record 19
    track.erase(std::find_if(track.begin(), track.end(),
                             [](const mkdisk::Sector& s) { return s.record == 19; }));
    disk.find(60, 0, 3)->badDataCrc = true;  // free space
    const auto a = analyse(disk);
    const FileSectors& payroll = a->at("PAYROLL.BAS").sectors;
    ASSERT_EQ(payroll.damaged.size(), 1u);
    EXPECT_EQ(payroll.damaged[0].at, (SectorAddress{12, 0, 12}));
    EXPECT_EQ(payroll.damaged[0].problem, SectorProblem::Crc);
    EXPECT_EQ(damageSummary(payroll), "1 damaged sector: T012 H0 S12 CRC");
    EXPECT_EQ(damageSummary(a->at("LEDGER.DAT").sectors),
              "2 damaged sectors: T020 H0 S17 BadID, T020 H0 S19 missing");
    std::size_t damagedFiles = 0;
    for (const AnalysedEntry& e : a->analysis.entries) {
        damagedFiles += e.sectors.isDamaged() ? 1 : 0;
    }
    EXPECT_EQ(damagedFiles, 2u);
}

// One damaged sector inside a file (its second) and one in free space, on a sample of every
// other system.
TEST(FileExport, DamageOnEverySystemsSample) {
    const struct {
        const char* sample;
        std::function<mkdisk::Disk()> build;
        const char* file;
    } cases[] = {
        {"lsdos", mkdisk::lsdosSampleDisk, "REPORT.TXT"},
        {"dosplus", mkdisk::dosplusSampleDisk, "INVOICE.DAT"},
        {"trsdos16", mkdisk::trsdos16SampleDisk, "USER/LETTER"},
        {"fmg", mkdisk::fmgSample, "PIP.COM"},
        {"pt", mkdisk::picklesTroutSample, "BIG.DAT"},
        {"lifeboat", mkdisk::lifeboatSample, "WS.COM"},
        {"aton-ds", mkdisk::atonDoubleSample, "FAR.DAT"},
        {"ucsd", mkdisk::ucsdSample, "PRIMES.CODE"},
        {"xenix", mkdisk::xenixTarSample, "usr/lib/x"},
    };
    constexpr SectorAddress kFreeSpace{70, 0, 1};
    for (const auto& c : cases) {
        const auto clean = analyse(c.build());
        for (const AnalysedEntry& e : clean->analysis.entries) {
            ASSERT_FALSE(e.sectors.isDamaged()) << c.sample << " " << e.name;
        }
        const AnalysedEntry& target = clean->at(c.file);
        ASSERT_GE(target.sectors.sectors.size(), 2u) << c.sample;
        const SectorAddress hurt = target.sectors.sectors[1];

        mkdisk::Disk disk = c.build();
        mkdisk::Sector* inFile = disk.find(hurt.cylinder, hurt.head, hurt.record);
        mkdisk::Sector* spare = disk.find(kFreeSpace.cylinder, kFreeSpace.head, kFreeSpace.record);
        ASSERT_TRUE(inFile != nullptr && spare != nullptr) << c.sample;
        inFile->badDataCrc = true;
        spare->badDataCrc = true;
        const auto a = analyse(disk);
        for (const AnalysedEntry& e : a->analysis.entries) {
            const bool owner = std::find(e.sectors.sectors.begin(), e.sectors.sectors.end(),
                                         hurt) != e.sectors.sectors.end();
            EXPECT_EQ(e.sectors.isDamaged(), owner) << c.sample << " " << e.name;
            EXPECT_EQ(std::find(e.sectors.sectors.begin(), e.sectors.sectors.end(), kFreeSpace),
                      e.sectors.sectors.end())
                << c.sample << " " << e.name;
        }
        ASSERT_EQ(a->at(c.file).sectors.damaged.size(), 1u) << c.sample;
        EXPECT_EQ(a->at(c.file).sectors.damaged[0].at, hurt) << c.sample;
        EXPECT_EQ(a->at(c.file).sectors.damaged[0].problem, SectorProblem::Crc) << c.sample;
    }
}

TEST(FileExport, HostTextOfEachKind) {
    const auto ucsd = analyse(mkdisk::ucsdSample());
    const AnalysedEntry& hello = ucsd->at("HELLO.TEXT");
    EXPECT_TRUE(hello.text);
    EXPECT_EQ(str(hostText(hello, os::ucsdPascal)),
              "PROGRAM HELLO;\nBEGIN\n    WRITELN('HELLO')\nEND.\n");

    const auto lifeboat = analyse(mkdisk::lifeboatSample());
    const AnalysedEntry& letter = lifeboat->at("LETTER.TXT");
    EXPECT_TRUE(letter.text);
    // Up to the 0x1A that pads the last record; CR LF and the lone CR the file ends with as LF.
    std::string expected = str(mkdisk::sampleText("Dear", 900)).substr(0, 900);
    for (std::size_t at = 0; (at = expected.find('\r', at)) != std::string::npos; ++at) {
        expected.erase(at, at + 1 < expected.size() && expected[at + 1] == '\n' ? 1 : 0);
        expected[at] = '\n';
    }
    EXPECT_EQ(str(hostText(letter, os::lifeboatCpm)), expected);

    const auto trsdos = analyse(mkdisk::trsdosSampleDisk());
    EXPECT_TRUE(
        str(hostText(trsdos->at("PAYROLL.BAS"), os::trsdos)).starts_with("10 REM PAYROLL\n20"));
    // A lone CR ends a line too.
    EXPECT_TRUE(str(hostText(trsdos->at("SYSINFO.SYS"), os::trsdos))
                    .starts_with("SYSINFO line 1\nSYSINFO line 2\n"));
    EXPECT_FALSE(analyse(mkdisk::trsdos16SampleDisk())->analysis.entries.empty());
}

TEST(FileExport, HostNamesStayInsideAndNeverClash) {
    HostNames names;
    EXPECT_EQ(names.take("PAYROLL.BAS", false), "PAYROLL.BAS");
    EXPECT_EQ(names.takeBeside("PAYROLL.BAS", ".txt"), "PAYROLL.BAS.txt");
    EXPECT_EQ(names.take("payroll.bas", false), "payroll~2.bas");
    EXPECT_EQ(names.take("usr", true), "usr");
    EXPECT_EQ(names.take("usr/lib/x", false), "usr/lib/x");
    EXPECT_EQ(names.take("USR/LIB/Y", false), "usr/lib/Y");  // the folder already made
    EXPECT_EQ(names.take("etc", false), "etc");
    EXPECT_EQ(names.take("etc/motd", false), "etc~2/motd");  // a file took the folder's name
    EXPECT_EQ(names.take("etc/issue", false), "etc~2/issue");
    EXPECT_EQ(names.take("../../x", false), "_./_./x");
    EXPECT_EQ(names.take("", false), "_");
    EXPECT_EQ(names.take("a b\\c", false), "a_b_c");
}

TEST(FileExport, NamesPickedAsListedOrExtractedWithWildcardsInAnyCase) {
    AnalysedEntry e;
    e.fileName = "PAYROLL/BAS";
    e.name = "PAYROLL.BAS";
    for (const char* yes : {"PAYROLL/BAS", "payroll.bas", "*.BAS", "pay*", "P?YROLL*", "[o-q]*",
                            "*"}) {
        EXPECT_TRUE(namePicks(yes, e)) << yes;
    }
    for (const char* no : {"PAYROLL", "*.CMD", "[!p]*", "?", "PAYROLL.BAS.txt", "[x"}) {
        EXPECT_FALSE(namePicks(no, e)) << no;
    }
}

}  // namespace
}  // namespace sv
