#include <algorithm>
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
        // Tar directories are made as folders, holding the files below them.
        std::size_t written = 0;
        std::size_t folders = 0;
        for (const auto& f : std::filesystem::recursive_directory_iterator(out)) {
            (f.is_directory() ? folders : written) += 1;
        }
        const bool tar = std::string(c.sample) == "xenix-tar";
        EXPECT_EQ(written, tar ? c.files - 1 : c.files) << c.sample;
        EXPECT_EQ(folders, tar ? 3u : 0u) << c.sample;  // usr, usr/lib, etc
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
              "PAYROLL/BAS  05/12/1984 UPD=0000 ACC=0000 LRL=00 EOFB=00 EOFS=0000 T=0C G=02 S=5");
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
}

TEST(CliDir, FailedLoadsGoToStderrOrIntoTheJsonError) {
    svtest::TempDir dir;
    const std::string missing = dir.file("missing.dmk");
    for (const char* command : {"dir", "info", "map"}) {
        const auto plain = runCli({command, missing});
        EXPECT_EQ(plain.status, 1) << command;
        EXPECT_EQ(plain.out, "") << command;
        EXPECT_EQ(plain.err, "Loading DMK Image: " + missing + "\n" + missing +
                                 " does not exist.\nOperation aborted.\n")
            << command;
        const auto json = runCli({command, "--json", missing});
        EXPECT_EQ(json.status, 1) << command;
        EXPECT_EQ(json.err, "") << command;
        const auto object = nlohmann::json::parse(json.out);
        EXPECT_EQ(object["error"], missing + " did not load.") << command;
        EXPECT_EQ(object["log"], "Loading DMK Image: " + missing + "\r\n" + missing +
                                     " does not exist.\r\nOperation aborted.")
            << command;
    }
}

// Only the extension "BAS" exactly marks a BASIC program.
TEST(CliExtract, AFileThatCannotBeWrittenSaysWhyOnStderr) {
    svtest::TempDir dir;
    const auto path = writeSample(dir, "trsdos", mkdisk::trsdosSampleDisk());
    const std::string out = dir.file("out");
    std::filesystem::create_directories(out + "/NOTES");  // a folder where a file goes
    const auto result = runCli({"extract", path, out});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, out + "/NOTES could not be written.\nCause: Is a directory.\n");
    EXPECT_NE(result.out.find("Wrote " + out + "/PAYROLL.BAS "), std::string::npos) << result.out;
    EXPECT_EQ(runCli({"extract", path, dir.file("none"), "NOSUCH*"}).err,
              "No file on the disk matches NOSUCH*.\n");
}

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
    EXPECT_EQ(svtest::readFile(out + "/PAYROLL.BAS").size(), 256u);  // its exact length
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

namespace extract_files {

namespace fs = std::filesystem;

std::string textOf(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Every path below `dir`, relative, folders ending in '/'.
std::vector<std::string> tree(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& f : fs::recursive_directory_iterator(dir)) {
        out.push_back(fs::relative(f.path(), dir).string() + (f.is_directory() ? "/" : ""));
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(CliExtract, ExactByDefaultRawOnRequestFoldersForTarPaths) {
    svtest::TempDir dir;
    const auto tar = writeSample(dir, "tar", mkdisk::findSample("xenix-tar")->build());
    const std::string out = dir.file("tar");
    const auto result = runCli({"extract", tar, out});
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(tree(out), (std::vector<std::string>{"etc/", "etc/motd", "usr/", "usr/lib/",
                                                   "usr/lib/x", "usr/lib/y"}));
    EXPECT_EQ(textOf(svtest::readFile(out + "/etc/motd")), "Welcome to Xenix\n");
    EXPECT_NE(result.out.find("Made folder " + out + "/usr from usr\\"), std::string::npos);

    const auto ucsd = writeSample(dir, "ucsd", mkdisk::findSample("ucsd")->build());
    const std::string exact = dir.file("exact");
    const std::string raw = dir.file("raw");
    ASSERT_EQ(runCli({"extract", ucsd, exact}).status, 0);
    ASSERT_EQ(runCli({"extract", "--raw", ucsd, raw}).status, 0);
    EXPECT_EQ(tree(exact), (std::vector<std::string>{"HELLO.TEXT", "NOTES.TEXT", "PRIMES.CODE"}));
    EXPECT_EQ(svtest::readFile(exact + "/PRIMES.CODE").size(), 812u);
    EXPECT_EQ(svtest::readFile(raw + "/PRIMES.CODE").size(), 1024u);
    EXPECT_EQ(runCli({"extract", "--raw", "--text", ucsd, raw}).status, 2);
}

TEST(CliExtract, ChosenNamesWildcardsAndTextInTheHostsForm) {
    svtest::TempDir dir;
    const auto path = writeSample(dir, "trsdos", mkdisk::trsdosSampleDisk());
    const std::string out = dir.file("some");
    const auto result = runCli({"extract", "--text", path, out, "payroll/bas", "*.sys"});
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(tree(out), (std::vector<std::string>{"PAYROLL.BAS", "SYSINFO.SYS"}));
    const std::string basic = textOf(svtest::readFile(out + "/PAYROLL.BAS"));
    EXPECT_TRUE(basic.starts_with("10 REM PAYROLL\n20 INPUT")) << basic;
    EXPECT_EQ(basic.find('\r'), std::string::npos);
    EXPECT_TRUE(textOf(svtest::readFile(out + "/SYSINFO.SYS")).starts_with("SYSINFO line 1\n"));

    // A NAME that picks nothing is an error naming it; nothing is written.
    const std::string none = dir.file("none");
    const auto missing = runCli({"extract", path, none, "PAYROLL/BAS", "NOSUCH*"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("No file on the disk matches NOSUCH*."), std::string::npos);
    EXPECT_FALSE(fs::exists(none));

    const auto ucsd = writeSample(dir, "ucsd", mkdisk::findSample("ucsd")->build());
    const std::string text = dir.file("ucsd-text");
    ASSERT_EQ(runCli({"extract", "--text", ucsd, text, "HELLO.TEXT", "PRIMES.CODE"}).status, 0);
    EXPECT_EQ(textOf(svtest::readFile(text + "/HELLO.TEXT")),
              "PROGRAM HELLO;\nBEGIN\n    WRITELN('HELLO')\nEND.\n");
    // Its bytes are mostly printable, so it is text by its content: CR LF became LF.
    const std::string code = textOf(svtest::readFile(text + "/PRIMES.CODE"));
    EXPECT_TRUE(code.starts_with("PRIMES.CODE line 1\nPRIMES.CODE line 2\n")) << code;
}

// Damaged files are written as read, summed up at the end, and make the exit status 3; `dir`
// names their sectors under the line and in its JSON.
TEST(CliExtract, DamagedFilesAreWrittenNamedAndExitThree) {
    mkdisk::Disk disk = mkdisk::trsdosSampleDisk();
    disk.find(12, 0, 12)->badDataCrc = true;  // PAYROLL/BAS
    auto& track = disk.at(20, 0).sectors;     // LEDGER/DAT loses record 19
    track.erase(std::find_if(track.begin(), track.end(),
                             [](const mkdisk::Sector& s) { return s.record == 19; }));
    disk.find(60, 0, 1)->badDataCrc = true;  // free space
    svtest::TempDir dir;
    const auto path = writeSample(dir, "damaged", disk);

    const auto listed = runCli({"dir", path});
    ASSERT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("T=0C G=02 S=5\n  ! 1 damaged sector: T012 H0 S12 CRC\nSALES/BAS"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("  ! 1 damaged sector: T020 H0 S19 missing\n"), std::string::npos);

    const auto json = nlohmann::json::parse(runCli({"dir", "--json", path}).out);
    const auto& payroll = json["entries"][3];
    ASSERT_EQ(payroll["name"], "PAYROLL.BAS");
    EXPECT_EQ(payroll["size"], 256);
    EXPECT_EQ(payroll["date"], "1984-12-05");
    EXPECT_EQ(payroll["text"], true);
    EXPECT_EQ(payroll["sectors"][1], nlohmann::json::array({12, 0, 12}));
    EXPECT_EQ(payroll["damaged"],
              nlohmann::json::parse(R"([{"cylinder":12,"head":0,"record":12,"problem":"CRC"}])"));
    EXPECT_FALSE(payroll.contains("note"));
    EXPECT_EQ(json["entries"][1]["damaged"][0]["problem"], "missing");  // LEDGER/DAT
    EXPECT_EQ(json["entries"][2]["name"], "NOTES");                      // no granule at all
    EXPECT_EQ(json["entries"][2]["size"], 0);
    EXPECT_TRUE(json["entries"][2]["sectors"].empty());
    EXPECT_TRUE(json["entries"][5]["damaged"].empty());  // SYSINFO/SYS

    const std::string out = dir.file("out");
    const auto extracted = runCli({"extract", path, out});
    EXPECT_EQ(extracted.status, 3) << extracted.out;
    EXPECT_NE(extracted.out.find("2 files written are damaged:\n"
                                 "  LEDGER/DAT: 1 damaged sector: T020 H0 S19 missing\n"
                                 "  PAYROLL/BAS: 1 damaged sector: T012 H0 S12 CRC\n"),
              std::string::npos)
        << extracted.out;
    EXPECT_EQ(svtest::readFile(out + "/PAYROLL.BAS").size(), 256u);
    EXPECT_EQ(runCli({"extract", path, dir.file("clean"), "SYSINFO/SYS"}).status, 0);
}

}  // namespace extract_files
