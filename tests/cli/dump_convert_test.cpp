#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mkdisk/samples.h"
#include "test_util.h"

namespace {

using svtest::runCli;

std::string makeDamagedDmk(const svtest::TempDir& dir) {
    const std::string path = dir.file("damaged.dmk");
    mkdisk::writeFile(path, mkdisk::writeDmk(mkdisk::damagedModel2Disk()));
    return path;
}

TEST(CliDump, PrintsTheDiskAndTheLogAsJson) {
    svtest::TempDir dir;
    const std::string path = makeDamagedDmk(dir);
    const auto result = runCli({"dump", path});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["log"].get<std::string>().substr(0, 19 + path.size() + 2),
              "Loading DMK Image: " + path + "\r\n");
    const auto& disk = json["disk"];
    EXPECT_EQ(disk["trackCount"], 77);
    EXPECT_EQ(disk["sideCount"], 1);
    EXPECT_EQ(disk["trackLength"], 10560);
    EXPECT_EQ(disk["formatFlags"], 16);
    EXPECT_EQ(disk["writeProtect"], 0);
    EXPECT_EQ(disk["sourcePath"], path);
    ASSERT_EQ(disk["tracks"].size(), 77u);
    const auto& sector = disk["tracks"][2]["sectors"][4];
    EXPECT_EQ(disk["tracks"][2]["cylinder"], 2);
    EXPECT_EQ(disk["tracks"][2]["side"], 0);
    EXPECT_EQ(sector["record"], 5);
    EXPECT_EQ(sector["status"], 0x43);
    EXPECT_EQ(sector["dataState"], "crcError");
    EXPECT_EQ(disk["tracks"][2]["sectors"][0]["dataState"], "good");
    EXPECT_EQ(sector["singleDensity"], 0);
    EXPECT_EQ(sector["sizeCode"], 1);
    EXPECT_EQ(sector["data"].get<std::string>().size(), 2048u);
    EXPECT_EQ(disk["tracks"][0]["sectors"][0]["data"].get<std::string>().substr(256, 2), "20");
}

TEST(CliDump, ExitStatusNamesTheOutcome) {
    svtest::TempDir dir;
    const auto missing = runCli({"dump", dir.file("none.dmk")});
    EXPECT_EQ(missing.status, 1);
    const auto json = nlohmann::json::parse(missing.out);
    EXPECT_EQ(json["disk"]["trackCount"], 0);
    EXPECT_EQ(json["disk"]["tracks"].size(), 0u);
    EXPECT_EQ(runCli({"dump", dir.file("x.dmk2")}).status, 1);
    EXPECT_EQ(runCli({"dump"}).status, 2);
    EXPECT_EQ(runCli({"frobnicate"}).status, 2);
    EXPECT_EQ(runCli({"dump", "--help"}).status, 0);
}

TEST(CliConvert, CopiesADmkAndPrintsBothLogs) {
    svtest::TempDir dir;
    const std::string in = makeDamagedDmk(dir);
    const std::string out = dir.file("copy.Dmk");
    const auto result = runCli({"convert", in, out});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("T003 H000 S001 BadID\nT003 H000 S001 CRC\n"), std::string::npos);
    EXPECT_NE(result.out.find("Saving DMK Image: " + out + "\n"), std::string::npos);
    EXPECT_TRUE(result.out.ends_with(" - DMK image saved.\n"));
    const auto dumpIn = nlohmann::json::parse(runCli({"dump", in}).out);
    const auto dumpOut = nlohmann::json::parse(runCli({"dump", out}).out);
    EXPECT_EQ(dumpIn["disk"]["tracks"][5], dumpOut["disk"]["tracks"][5]);

    EXPECT_EQ(runCli({"convert", dir.file("none.dmk"), out}).status, 1);
    EXPECT_EQ(runCli({"convert", in, dir.file("a.txt")}).status, 2);
    EXPECT_EQ(runCli({"convert", in, dir.file("missing/a.dmk")}).status, 1);
}

}  // namespace
