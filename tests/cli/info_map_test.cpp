// info, map and the merge's refusal, end to end on generated damaged disks.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "mkdisk/samples.h"
#include "test_util.h"

namespace {

using svtest::runCli;

// The worn TRSDOS sample; the ID without data is left out, so what each reader makes of it
// does not enter these goldens.
std::string wornDisk(const svtest::TempDir& dir, const std::string& name = "worn.dmk") {
    mkdisk::Disk disk = mkdisk::damagedTrsdosDisk();
    disk.find(50, 0, 10)->noDataField = false;
    const std::string path = dir.file(name);
    mkdisk::writeFile(path, name.ends_with(".imd") ? mkdisk::writeImd(disk) : mkdisk::writeDmk(disk));
    return path;
}

TEST(CliInfo, TextAndJsonOnAWornDisk) {
    svtest::TempDir dir;
    const std::string path = wornDisk(dir);
    const auto text = runCli({"info", path});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "Geometry: 77 cylinders, 1 side, track length 10560\n"
                        "  T000 H0 FM 26 x 128\n"
                        "  T001-T059 H0 MFM 26 x 256\n"
                        "  T060 H0 MFM 25 x 256\n"
                        "  T061-T076 H0 MFM 26 x 256\n"
                        "Sectors: 2001: 1997 good, 2 data CRC error, 1 bad ID, 1 deleted\n"
                        "Missing records: 1\n"
                        "  T060 H0: 8\n"
                        "System: Model II TRSDOS 2.0 Disk, 6 files\n");

    const auto result = runCli({"info", "--json", path});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["geometry"]["trackCount"], 77);
    EXPECT_EQ(json["geometry"]["cylinders"], 77);
    EXPECT_EQ(json["geometry"]["sides"], 1);
    ASSERT_EQ(json["layout"].size(), 4u);
    EXPECT_EQ(json["layout"][2]["firstCylinder"], 60);
    EXPECT_EQ(json["layout"][2]["lastCylinder"], 60);
    EXPECT_EQ(json["layout"][2]["layout"], "MFM 25 x 256");
    EXPECT_EQ(json["counts"], nlohmann::json::parse(R"({"sectors": 2001, "good": 1997,
        "dataCrcError": 2, "badId": 1, "deleted": 1, "noData": 0, "missing": 1})"));
    EXPECT_EQ(json["missing"], nlohmann::json::parse(R"([{"cylinder": 60, "side": 0,
        "records": [8]}])"));
    EXPECT_EQ(json["system"]["osCode"], "T");
    EXPECT_EQ(json["system"]["files"], 6);

    // Not a Model II disk: no code, no file count; a file that does not load: its log, status 1.
    mkdisk::writeFile(dir.file("small.dmk"),
                      mkdisk::writeDmk(mkdisk::model2Disk(1, 3), {.trackLength = 6528}));
    const auto small = runCli({"info", "--json", dir.file("small.dmk")});
    ASSERT_EQ(small.status, 0) << small.err;
    EXPECT_TRUE(nlohmann::json::parse(small.out)["system"]["osCode"].is_null());
    const auto missing = runCli({"info", dir.file("gone.dmk")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("gone.dmk"), std::string::npos) << missing.err;
}

TEST(CliMap, RowsLegendAndJson) {
    svtest::TempDir dir;
    const std::string path = wornDisk(dir, "worn.imd");
    const auto text = runCli({"map", path});
    ASSERT_EQ(text.status, 0) << text.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.out.size();) {
        const std::size_t end = text.out.find('\n', at);
        lines.push_back(text.out.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 78u);
    EXPECT_EQ(lines[0], "T000 H0 ..........................");
    EXPECT_EQ(lines[12], "T012 H0 ..C.......................");
    EXPECT_EQ(lines[20], "T020 H0 ....CB....................");
    EXPECT_EQ(lines[40], "T040 H0 .D........................");
    EXPECT_EQ(lines[60], "T060 H0 .........................-");
    EXPECT_EQ(lines[77], "Legend: . good, C data CRC error, B bad ID, D deleted, N no data, "
                         "- a record missing from the sequence");
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);  // no colours into a pipe

    const auto result = runCli({"map", "--json", path});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["legend"]["B"], "badId");
    EXPECT_EQ(json["legend"]["-"], "missing");
    const auto& track = json["tracks"][20];
    EXPECT_EQ(track["row"], "....CB....................");
    EXPECT_EQ(track["sectors"][5], nlohmann::json::parse(R"({"cylinder": 20, "head": 0,
        "record": 6, "sizeCode": 1, "singleDensity": 0, "status": 131, "state": "badId",
        "dataState": "noDataField"})"));  // IMD keeps no data for a bad ID
    EXPECT_EQ(json["tracks"][60]["missing"], nlohmann::json::parse("[8]"));
    EXPECT_EQ(json["tracks"][0]["sectors"][0]["singleDensity"], 1);
}

TEST(CliMerge, TwoDifferentDisksAreRefusedUnlessForced) {
    svtest::TempDir dir;
    mkdisk::Disk first = mkdisk::damagedModel2Disk();
    mkdisk::Disk second = first;
    for (mkdisk::Track& track : second.tracks) {
        for (mkdisk::Sector& sector : track.sectors) {
            for (std::uint8_t& b : sector.data) {
                b = static_cast<std::uint8_t>(b ^ 0x5A);
            }
        }
    }
    mkdisk::writeFile(dir.file("first.dmk"), mkdisk::writeDmk(first));
    mkdisk::writeFile(dir.file("second.dmk"), mkdisk::writeDmk(second));
    const std::string out = dir.file("out.dmk");

    const auto refused = runCli({"merge", dir.file("first.dmk"), dir.file("second.dmk"), out});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Merging disk Images:\nNothing was merged: the two images hold "
                               "different disks (of 1998 sectors good on both with the same ID, "
                               "0% hold the same data).\n"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));

    const auto forced =
        runCli({"merge", "--force", dir.file("first.dmk"), dir.file("second.dmk"), out});
    EXPECT_EQ(forced.status, 0) << forced.out;
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_NE(forced.out.find("\n2001 sectors replaced, 0 kept (source damaged), 3 still "
                              "damaged: T002 H0 S05, T002 H0 S06, T003 H0 S01\n"
                              " - Disk Images merged.\n"),
              std::string::npos)
        << forced.out;

    // A second read of the same disk with its damage elsewhere: merged, and what is mended shows.
    mkdisk::Disk reread = mkdisk::damagedModel2Disk();
    reread.find(2, 0, 5)->badDataCrc = false;
    reread.find(9, 0, 9)->badDataCrc = true;
    mkdisk::writeFile(dir.file("reread.dmk"), mkdisk::writeDmk(reread));
    const auto merged = runCli({"merge", dir.file("first.dmk"), dir.file("reread.dmk"), out});
    EXPECT_EQ(merged.status, 0) << merged.out;
    EXPECT_NE(merged.out.find("\n2000 sectors replaced, 1 kept (source damaged), 2 still "
                              "damaged: T002 H0 S06, T003 H0 S01\n"),
              std::string::npos)
        << merged.out;
}

}  // namespace
