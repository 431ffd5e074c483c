#include <filesystem>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mkdisk/model2_systems.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace {

using svtest::runCli;

std::string writeSample(const svtest::TempDir& dir, const std::string& name,
                        const mkdisk::Disk& disk, std::uint16_t trackLength = 10560) {
    const std::string path = dir.file(name + ".dmk");
    mkdisk::DmkOptions options;
    options.trackLength = trackLength;
    mkdisk::writeFile(path, mkdisk::writeDmk(disk, options));
    return path;
}

TEST(CliDir, ShowsTheSystemAndEveryFileOfEachSample) {
    const struct {
        const char* sample;
        const char* title;
        std::vector<std::string> lineStarts;
    } cases[] = {
        {"trsdos", "Model II TRSDOS 2.0 Disk\nDirTrack=  44[002C]\n",
         {"DOCUMENT/CTL ", "LEDGER/DAT ", "NOTES ", "PAYROLL/BAS ", "SALES/BAS ", "SYSINFO/SYS "}},
        {"hsds", "Racet HSDS on Model II TRSDOS 2.0 Disk\n", {"DOCUMENT/CTL "}},
        {"lsdos", "Model II LS-DOS LS-DOS 6.3 Level-1A Disk\nDirTrack=  38[0026]\n",
         {"BACKUP/CMD ", "README ", "REPORT/TXT "}},
        {"dosplus", "Model II Dosplus II vA.00 Disk\nDirTrack=  30[001E]\n",
         {"INVOICE/DAT ", "MENU/CMD "}},
        {"trsdos16", "Model II/16 TRSDOS 4.2 Disk, NBLKs=04D0\nDirTrack=   4[0004]\n",
         {"SYSTEM \\\\ BOOT ", "USER \\\\ LETTER ", "USER \\\\ MEMO "}},
    };
    svtest::TempDir dir;
    for (const auto& c : cases) {
        const auto path = writeSample(dir, c.sample, mkdisk::findSample(c.sample)->build());
        const auto result = runCli({"dir", path});
        ASSERT_EQ(result.status, 0) << c.sample << result.out << result.err;
        const std::string title = c.title;
        EXPECT_EQ(result.out.substr(0, title.size()), title) << c.sample;
        std::size_t at = result.out.find("]\n") + 2;
        for (const std::string& start : c.lineStarts) {
            EXPECT_EQ(result.out.substr(at, start.size()), start) << c.sample;
            at = result.out.find('\n', at) + 1;
        }
    }
}

TEST(CliDir, CpmUcsdAndTarSamplesShowTheirSystemAndFiles) {
    const struct {
        const char* sample;
        const char* osCode;
        const char* title;
        std::size_t files;
    } cases[] = {
        {"fmg-cpm", "F", "FMG Corporation - MODEL II CP/M 2.24 Disk", 6},
        {"pt-cpm", "P", "Pickles & Trout CPM V224 Disk", 4},
        {"pt-cpm-biosmods", "P", "Pickles & Trout BIOSMODS.PNT Disk", 4},
        {"pt-cpm-corvus", "P", "Pickles & Trout Corvus Disk", 4},
        {"lifeboat-cpm", "B", "Lifeboat CP/M V2.24 Disk", 3},
        {"aton-cpm-ss", "A", "ATON CP/M 2.25 SSHD Disk", 3},
        {"aton-cpm-ds", "A", "ATON CP/M 2.25 DSHD Disk", 3},
        {"ucsd", "U", "UCSD Pascal Disk", 3},
        {"xenix-tar", "Z", "Xenix TAR Disk", 4},
    };
    svtest::TempDir dir;
    for (const auto& c : cases) {
        const auto path = writeSample(dir, c.sample, mkdisk::findSample(c.sample)->build());
        const auto result = runCli({"dir", "--json", path});
        ASSERT_EQ(result.status, 0) << c.sample << result.err;
        const auto json = nlohmann::json::parse(result.out);
        EXPECT_EQ(json["osCode"], c.osCode) << c.sample;
        EXPECT_TRUE(json["diskInfo"].get<std::string>().starts_with(std::string(c.title) + "\r\n"))
            << c.sample;
        EXPECT_EQ(json["entries"].size(), c.files) << c.sample;

        const std::string out = dir.file(std::string(c.sample) + "-files");
        const auto extracted = runCli({"extract", path, out});
        ASSERT_EQ(extracted.status, 0) << c.sample << extracted.err;
        const auto written = std::distance(std::filesystem::directory_iterator(out),
                                           std::filesystem::directory_iterator());
        EXPECT_EQ(static_cast<std::size_t>(written), c.files) << c.sample;
    }
}

TEST(CliDir, JsonCarriesRowsContentBasicAndTheLogInListOrder) {
    svtest::TempDir dir;
    const auto path = writeSample(dir, "trsdos", mkdisk::trsdosSampleDisk());
    const auto result = runCli({"dir", "--json", path});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["diskInfo"], "Model II TRSDOS 2.0 Disk\r\nDirTrack=  44[002C]");
    EXPECT_EQ(json["osCode"], "T");
    EXPECT_EQ(json["dirTrack"], 44);
    EXPECT_EQ(json["firstDirSector"], 3);
    EXPECT_EQ(json["osVersion"], 0x20);
    const auto& entries = json["entries"];
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0]["row"], 3);  // DOCUMENT/CTL, fourth in the directory, first listed
    EXPECT_FALSE(entries[0].contains("basic"));
    const auto& payroll = entries[3];
    EXPECT_EQ(payroll["row"], 0);
    EXPECT_EQ(payroll["line"],
              "PAYROLL/BAS  05/12/1984 UPD=0000 ACC=0000 LRL=00 EOFB=4D EOFS=0000 T=0C G=02 S=5");
    EXPECT_EQ(payroll["content"].get<std::string>().size(), 5u * 256 * 2);
    EXPECT_EQ(payroll["basic"].get<std::string>().substr(0, 16), "10 REM PAYROLL\r\n");
    EXPECT_EQ(entries[4]["basic"].get<std::string>().substr(0, 28),
              "10 REM RSBASIC SALES REPORT\r");
    EXPECT_EQ(json["log"].get<std::string>().substr(0, 18), "\r\n  Entry: LETTER ");
}

TEST(CliDir, SmallTrackDiskIsNotModel2) {
    svtest::TempDir dir;
    const auto path = writeSample(dir, "small", mkdisk::trsdosSampleDisk(), 8000);
    const auto json = nlohmann::json::parse(runCli({"dir", "--json", path}).out);
    EXPECT_EQ(json["diskInfo"], "Not a Model II Disk");
    EXPECT_TRUE(json["osCode"].is_null());
    EXPECT_EQ(json["dirTrack"], 0);
    EXPECT_EQ(json["osVersion"], 0);
    EXPECT_TRUE(json["entries"].empty());
    EXPECT_EQ(json["log"], "");
    EXPECT_EQ(runCli({"dir", dir.file("missing.dmk")}).status, 1);
}

// Only the extension "BAS" exactly marks a BASIC program.
TEST(CliExtract, HostSafeNamesClashSuffixesAndBasicListings) {
    mkdisk::Disk disk = mkdisk::trsdosSampleDisk();
    auto& dirSector = disk.find(44, 0, 3)->data;  // entries 0..3: PAYROLL, SALES, LEDGER, DOC
    const std::string lower = "payroll bas";
    std::copy(lower.begin(), lower.end(), dirSector.begin() + 64 + 5);
    const std::string escape = "../ETC  ";
    std::copy(escape.begin(), escape.end(), dirSector.begin() + 128 + 5);
    svtest::TempDir dir;
    const auto path = writeSample(dir, "clash", disk);
    const std::string out = dir.file("out");
    const auto result = runCli({"extract", path, out});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(out)) names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"DOCUMENT.CTL", "NOTES", "PAYROLL.BAS",
                                               "PAYROLL.BAS.txt", "SYSINFO.SYS", "_..ETC.DAT",
                                               "payroll~2.bas"}));
    EXPECT_EQ(svtest::readFile(out + "/PAYROLL.BAS").size(), 1280u);
    const auto listing = svtest::readFile(out + "/PAYROLL.BAS.txt");
    EXPECT_EQ(std::string(listing.begin(), listing.begin() + 14), "10 REM PAYROLL");
    EXPECT_NE(result.out.find("Wrote " + out + "/NOTES (0 bytes) from NOTES"), std::string::npos);
}

TEST(CliDirRealDisks, LsdosDisksListTheirFiles) {
    const auto real = svtest::realDisksDir();
    if (real.empty()) GTEST_SKIP() << "no real disk folder";
    for (const char* name : {"m2-lsdos-6.3.1a.dmk", "m2-lsdos-6.3.1a-ss.dmk",
                             "m2-lsdos-6.3.1a-ds.dmk"}) {
        const auto path = real / "dmk" / name;
        if (!std::filesystem::exists(path)) continue;
        const auto result = runCli({"dir", "--json", path.string()});
        ASSERT_EQ(result.status, 0) << name;
        const auto json = nlohmann::json::parse(result.out);
        EXPECT_EQ(json["osCode"], "L") << name;
        EXPECT_EQ(json["diskInfo"].get<std::string>().substr(0, 23), "Model II LS-DOS LS-DOS ");
        EXPECT_GT(json["entries"].size(), 10u) << name;
    }
}

TEST(CliDirRealDisks, TrsdosImdDisksListTheirFiles) {
    const auto real = svtest::realDisksDir();
    if (real.empty()) GTEST_SKIP() << "no real disk folder";
    for (const char* name : {"m2-trsdos-2.0a.imd", "m2-trsdos-2.0b.imd"}) {
        const auto original = real / "imd" / name;
        if (!std::filesystem::exists(original)) continue;
        // The IMD reader writes a side log next to the image: read a copy.
        svtest::TempDir tmp;
        const std::string path = tmp.file(name);
        std::filesystem::copy_file(original, path);
        const auto result = runCli({"dir", "--json", path});
        if (result.status != 0) GTEST_SKIP() << name << " does not load here";
        const auto json = nlohmann::json::parse(result.out);
        EXPECT_EQ(json["osCode"], "T") << name;
        EXPECT_GT(json["entries"].size(), 5u) << name;
    }
}

}  // namespace
