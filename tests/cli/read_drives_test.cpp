#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mkdisk/samples.h"
#include "test_util.h"

namespace {

using svtest::runCli;

svtest::RunResult runOnSimulatedDrive(const std::string& image,
                                      const std::vector<std::string>& args) {
    std::string line = "SECTORVANE_DRIVE_SIM=" + svtest::shellQuote(image) + " " +
                       svtest::shellQuote(SV_CLI_PATH);
    for (const std::string& a : args) {
        line += " " + svtest::shellQuote(a);
    }
    return svtest::run(line);
}

TEST(CliRead, SimulatedReadSavesTheDiskItServes) {
    svtest::TempDir dir;
    const std::string in = dir.file("in.dmk");
    mkdisk::writeFile(in, mkdisk::writeDmk(mkdisk::findSample("blank-ds")->build()));
    const std::string out = dir.file("out.dmk");
    const auto result = runOnSimulatedDrive(in, {"read", "b", out});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("T0")),
              "Loading Physical disc in Drive B:\nDetermining Drive parameters.\n"
              "Drive size is 8in or 5.25in HD, Single-Stepped, and Double-Sided. \n"
              "4004 sectors read good, 0 still damaged. The read ended normally: track 77 has "
              "no IDs, so the disk has 77 tracks.\n");
    EXPECT_NE(result.out.find("\nT077 H0  Bad Track \nT077 H1  Bad Track \n"
                              "T077 H1 S00- Physical disk loaded.\nSaving DMK Image: " + out),
              std::string::npos);
    auto served = nlohmann::json::parse(runCli({"dump", in}).out)["disk"];
    auto saved = nlohmann::json::parse(runCli({"dump", out}).out)["disk"];
    EXPECT_EQ(saved["tracks"], served["tracks"]);
    EXPECT_EQ(saved["trackCount"], 77);
}

TEST(CliRead, DamagedDiskNamesItsCrcSectorsAndStillSaves) {
    svtest::TempDir dir;
    const std::string in = dir.file("damaged.dmk");
    mkdisk::writeFile(in, mkdisk::writeDmk(mkdisk::damagedModel2Disk()));
    const auto result = runOnSimulatedDrive(in, {"read", dir.file("out.dmk")});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("\nT002 H0 S05 CRC\n"), std::string::npos);
}

TEST(CliRead, UsageAndFailures) {
    svtest::TempDir dir;
    EXPECT_EQ(runCli({"read", "C", dir.file("x.dmk")}).status, 2);
    EXPECT_EQ(runCli({"read", "A", dir.file("x.txt")}).status, 2);
    EXPECT_EQ(runCli({"read"}).status, 2);
    const auto help = runCli({"read", "--help"});
    EXPECT_NE(help.out.find("read [OPTIONS] [DRIVE] OUT\n"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("1x"), std::string::npos);
    const auto noImage = runOnSimulatedDrive(dir.file("none.dmk"), {"read", dir.file("x.dmk")});
    EXPECT_EQ(noImage.status, 1);
    EXPECT_EQ(noImage.out, "");
    EXPECT_NE(noImage.err.find("FDRAWREAD.SYS is not installed, or no floppy drive present. "
                               "Please correct and try again.\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.dmk")));
}

TEST(CliDrives, PrintsTheDiscoveryLog) {
    svtest::TempDir dir;
    const std::string in = dir.file("in.dmk");
    mkdisk::writeFile(in, mkdisk::writeDmk(mkdisk::findSample("blank-ss")->build()));
    const auto result = runOnSimulatedDrive(in, {"drives"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "Finding Physical drives \nPhysical Drives found\nFinding Catweasel Card(s)\n"
              "CatWeasel card is not installed, or could not be found.\n");

    // No drive: the same log, with its cause, is a failure's and goes to stderr.
    const auto absent = runOnSimulatedDrive(dir.file("none.dmk"), {"drives"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.out, "");
    EXPECT_NE(absent.err.find("FDRAWREAD.SYS is not installed, or no floppy drive present.\n"
                              "The simulated drive's image "),
              std::string::npos)
        << absent.err;
}

}  // namespace
