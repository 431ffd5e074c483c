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
    EXPECT_EQ(json["error"], dir.file("none.dmk") + " did not load.");
    EXPECT_EQ(json["disk"]["trackCount"], 0);
    EXPECT_EQ(json["disk"]["tracks"].size(), 0u);
    EXPECT_EQ(runCli({"dump", dir.file("x.dmk2")}).status, 1);
    EXPECT_EQ(runCli({"dump"}).status, 2);
    EXPECT_EQ(runCli({"dump", "--help"}).status, 0);

    // A word that is no subcommand, or none at all: what there is, on stderr.
    const auto unknown = runCli({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_TRUE(unknown.err.starts_with("frobnicate is not a subcommand.\nSubcommands:\n  dump "))
        << unknown.err;
    EXPECT_NE(unknown.err.find("\n  map "), std::string::npos);
    const auto none = runCli({});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.err.starts_with("A subcommand is required.\nSubcommands:\n")) << none.err;
}

TEST(CliSideLog, WrittenOnlyWhenAskedFor) {
    svtest::TempDir dir;
    const std::string image = dir.file("d.imd");
    const std::string other = dir.file("e.imd");
    mkdisk::writeFile(image, mkdisk::writeImd(mkdisk::model2Disk(1, 2)));
    mkdisk::writeFile(other, mkdisk::writeImd(mkdisk::model2Disk(1, 2)));
    EXPECT_EQ(runCli({"dump", image}).status, 0);
    EXPECT_EQ(runCli({"info", image}).status, 0);
    EXPECT_EQ(runCli({"convert", image, dir.file("copy.dmk")}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("d.log")));

    EXPECT_EQ(runCli({"map", "--side-log", image}).status, 0);
    const auto side = svtest::readFile(dir.file("d.log"));
    EXPECT_EQ(std::string(side.begin(), side.end()), "Loading IMD Image: " + image + "\r\n");
    const auto merged = runCli({"merge", "--side-log", dir.file("copy.dmk"), other, dir.file("m.dmk")});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("e.log")));
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

    // A failure's log goes to stderr, with its cause; what succeeded before it stays on stdout.
    const auto notLoaded = runCli({"convert", dir.file("none.dmk"), out});
    EXPECT_EQ(notLoaded.status, 1);
    EXPECT_EQ(notLoaded.out, "");
    EXPECT_NE(notLoaded.err.find("none.dmk does not exist.\nOperation aborted.\n"), std::string::npos);
    EXPECT_EQ(runCli({"convert", in, dir.file("a.txt")}).status, 2);
    const std::string unwritable = dir.file("missing/a.dmk");
    const auto notSaved = runCli({"convert", in, unwritable});
    EXPECT_EQ(notSaved.status, 1);
    EXPECT_TRUE(notSaved.out.starts_with("Loading DMK Image: ")) << notSaved.out;
    EXPECT_TRUE(notSaved.err.ends_with(unwritable + " could not be written.\nCause: No such file or "
                                       "directory.\nOperation aborted.\n"))
        << notSaved.err;
}

}  // namespace
