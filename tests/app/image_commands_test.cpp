#include "app/image_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "formats/dsk.h"
#include "formats/format_test_support.h"
#include "merge/sector_merge.h"
#include "mkdisk/fixture.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::smallDisk;

TEST(ImageCommands, UnknownLoadTypeEmptiesTheDiskAndSaysSo) {
    auto disk = makeDiskImage();
    disk->trackCount = 5;
    disk->sideCount = 2;
    TextSink log;
    EXPECT_FALSE(loadImageByType("x.dmk2", *disk, log));
    EXPECT_EQ(disk->trackCount, 0);
    EXPECT_EQ(disk->sideCount, 2);
    EXPECT_EQ(log.currentText(),
              "x.dmk2 is not a known image type; the types that load are TD0, IMD, DSK, DMK, HFE, SCP, "
              "IMG.");
}

TEST(ImageCommands, SaveKeepsTheDiskForAnUnknownTypeAndSavesEveryLoadedDisk) {
    svtest::TempDir dir;
    auto disk = makeDiskImage();
    disk->trackCount = 77;
    disk->sideCount = 1;
    TextSink log;
    log.show("earlier");
    const std::string path = dir.file("out.txt");
    EXPECT_EQ(saveImageByType(path, *disk, log), SaveOutcome::UnknownType);
    EXPECT_EQ(disk->trackCount, 77);
    EXPECT_EQ(log.currentText(), path +
                                     " was not saved: it is not a type that can be saved; the "
                                     "types that save are DSK, DMK, HFE, IMD, IMG.");
    EXPECT_FALSE(std::filesystem::exists(path));

    // Every loaded disk saves, one track too; with none loaded, nothing is written and one line
    // says why.
    disk->trackCount = 1;
    EXPECT_EQ(saveImageByType(dir.file("one.dmk"), *disk, log), SaveOutcome::Saved);
    EXPECT_TRUE(std::filesystem::exists(dir.file("one.dmk")));
    disk->trackCount = 0;
    log.show("earlier");
    EXPECT_EQ(saveImageByType(dir.file("none.dsk"), *disk, log), SaveOutcome::NothingToSave);
    EXPECT_EQ(log.currentText(), "Nothing to save: no disk is loaded.");
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.dsk")));
}

TEST(MergeCommand, NothingIsMergedWithoutAFreshSource) {
    svtest::TempDir dir;
    auto target = smallDisk(0x11);
    auto source = smallDisk(0x22);  // left over from an earlier merge
    auto before = makeDiskImage();
    *before = *target;
    TextSink log;
    // The CLI's own words for a path that names no image: no dialog rule applies.
    EXPECT_EQ(runMergeCommand("b", *target, *source, log, log), MergeCommandOutcome::UnknownType);
    EXPECT_EQ(log.currentText(), "Nothing was merged: b is not a known image type; the types "
                                 "that load are TD0, IMD, DSK, DMK, HFE, SCP, IMG.");
    EXPECT_EQ(runMergeCommand("a.txt", *target, *source, log, log), MergeCommandOutcome::UnknownType);
    EXPECT_EQ(log.currentText(), "Nothing was merged: a.txt is not a known image type; the types "
                                 "that load are TD0, IMD, DSK, DMK, HFE, SCP, IMG.");
    const std::string missing = dir.file("gone.imd");
    EXPECT_EQ(runMergeCommand(missing, *target, *source, log, log),
              MergeCommandOutcome::SourceNotLoaded);
    EXPECT_EQ(log.currentText(), "Loading IMD Image: " + missing + "\r\n" + missing +
                                     " does not exist\r\nOperation aborted\r\n"
                                     "Nothing was merged: " + missing + " did not load.");
    EXPECT_EQ(std::memcmp(before.get(), target.get(), sizeof *before), 0);

    auto empty = makeDiskImage();
    EXPECT_EQ(runMergeCommand(missing, *empty, *source, log, log), MergeCommandOutcome::NoTarget);
}

TEST(MergeCommand, MergesAChosenImage) {
    svtest::TempDir dir;
    mkdisk::Disk model = mkdisk::model2Disk(1, 3);
    model.find(2, 0, 4)->data.assign(256, 0x5A);
    const std::string path = dir.file("second.dsk");
    mkdisk::writeFile(path, mkdisk::writeDsk(model));
    auto target = makeDiskImage();
    TextSink log;
    mkdisk::Disk first = mkdisk::model2Disk(1, 3);
    first.find(2, 0, 4)->badDataCrc = true;
    mkdisk::writeFile(dir.file("first.dsk"), mkdisk::writeDsk(first));
    runMergeCommand(dir.file("first.dsk"), *target, *makeDiskImage(), log, log);  // no target yet
    EXPECT_EQ(log.currentText(), "Nothing was merged: no disk is loaded to merge into.");

    loadDskImage(dir.file("first.dsk"), *target, log);
    auto source = makeDiskImage();
    EXPECT_EQ(runMergeCommand(path, *target, *source, log, log), MergeCommandOutcome::Merged);
    EXPECT_EQ(target->track(0, 2).sectors[3].status, 0x03);
    EXPECT_EQ(target->track(0, 2).sectors[3].data[0], 0x5A);
    const std::string text = log.currentText();
    EXPECT_EQ(text.substr(text.rfind("\r\n") + 2), " - Disk Images merged.");
}

}  // namespace
}  // namespace sv
