#include "formats/image_types.h"

#include <gtest/gtest.h>

#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/imd.h"
#include "formats/td0.h"
#include "test_util.h"

namespace sv {
namespace {

std::vector<std::string> keysOf(const FilterChoice& choice) {
    std::vector<std::string> keys;
    for (const auto& f : choice.filters) {
        keys.push_back(f.key);
    }
    return keys;
}

TEST(ImageTypes, ReadersAndWritersByTheLastThreeCharactersInAnyCase) {
    EXPECT_EQ(findImageLoader("a.Dmk"), &loadDmkImage);
    EXPECT_EQ(findImageLoader("/x/disk.imd"), &loadImdImage);
    EXPECT_EQ(findImageLoader("DISK.TD0"), &loadTd0Image);
    EXPECT_EQ(findImageLoader("dsk"), &loadDskImage);  // no dot needed
    EXPECT_EQ(findImageLoader("x.dmk2"), nullptr);     // MK2
    EXPECT_EQ(findImageLoader("x.td"), nullptr);
    EXPECT_EQ(findImageLoader(""), nullptr);
    EXPECT_EQ(findImageSaver("out.dsk"), &saveDskImage);
    EXPECT_EQ(findImageSaver("out.DMK"), &saveDmkImage);
    EXPECT_EQ(findImageSaver("out.imd"), nullptr);
    EXPECT_EQ(loadableTypes(), "TD0, IMD, DSK, DMK, HFE, SCP");
    EXPECT_EQ(savableTypes(), "DSK, DMK, HFE");
}

TEST(ImageTypes, LoadFiltersFollowTheLoadPathBox) {
    using Keys = std::vector<std::string>;
    EXPECT_EQ(keysOf(loadFilterChoice("/d/a.dmk")), (Keys{"DMK", "IMD", "TD0", "DSK", "HFE", "SCP", "All"}));
    EXPECT_EQ(keysOf(loadFilterChoice("/d/a.IMD")), (Keys{"IMD", "DMK", "TD0", "DSK", "HFE", "SCP", "All"}));
    EXPECT_EQ(keysOf(loadFilterChoice("a.td0")), (Keys{"TD0", "DMK", "IMD", "DSK", "HFE", "SCP", "All"}));
    EXPECT_EQ(keysOf(loadFilterChoice("a.dsk")), (Keys{"DSK", "DMK", "IMD", "TD0", "HFE", "SCP", "All"}));
    EXPECT_EQ(keysOf(loadFilterChoice("")), (Keys{"All", "DMK", "IMD", "TD0", "DSK", "HFE", "SCP"}));
    EXPECT_EQ(keysOf(loadFilterChoice("notes.txt")), (Keys{"All", "DMK", "IMD", "TD0", "DSK", "HFE", "SCP"}));
    EXPECT_EQ(loadFilterChoice("a.imd").defaultExtension, "IMD");
    EXPECT_EQ(loadFilterChoice("").defaultExtension, "*");

    const FilterChoice save = saveFilterChoice();
    EXPECT_EQ(keysOf(save), (Keys{"DMK", "DSK", "HFE", "All"}));
    EXPECT_EQ(save.defaultExtension, "DMK");
    EXPECT_EQ(save.filters[0].description, "DMK Files (*.DMK)");
    EXPECT_EQ(save.filters[0].pattern, "*.DMK");
    EXPECT_EQ(save.filters[3].description, "All Files (*.*)");
    EXPECT_EQ(save.filters[3].pattern, "*.*");
    EXPECT_EQ(loadFilterChoice("").filters[2].description, "IMD Files (*.IMD)");
    EXPECT_EQ(loadFilterChoice("").filters[3].pattern, "*.TD0");
}

TEST(ImageTypes, FolderAndCancelledDialog) {
    EXPECT_EQ(folderOfPath("/home/u/disks/trsdos.dmk"), "/home/u/disks");
    EXPECT_EQ(folderOfPath("trsdos.dmk"), "");
    EXPECT_EQ(folderOfPath(""), "");
    EXPECT_EQ(folderOfPath("/trsdos.dmk"), "/");
    EXPECT_FALSE(isChosenPath(""));
    EXPECT_FALSE(isChosenPath("a"));
    EXPECT_TRUE(isChosenPath("ab"));
}

TEST(ImageTypes, SaveNameProposedAfterALoad) {
    EXPECT_EQ(proposedSaveName("/disks/trsdos.dmk"), "/disks/trsdos - Copy.DMK");
    EXPECT_EQ(proposedSaveName("/disks/a.Dmk"), "/disks/a - Copy.DMK");
    EXPECT_EQ(proposedSaveName("/disks/cpm.imd"), "/disks/cpm.DMK");
    EXPECT_EQ(proposedSaveName("/disks/x.td0"), "/disks/x.DMK");
    EXPECT_EQ(proposedSaveName("/disks/x.dmk2"), "/disks/x.dDMK");
    EXPECT_EQ(proposedSaveName("dmk"), " - Copy.DMK");  // shorter than four characters
}

TEST(ImageTypes, UnknownLoadTypeEmptiesTheDiskAndSaysSo) {
    auto disk = makeDiskImage();
    disk->trackCount = 5;
    disk->sideCount = 2;
    TextLog log;
    EXPECT_FALSE(loadImageByType("x.dmk2", *disk, log));
    EXPECT_EQ(disk->trackCount, 0);
    EXPECT_EQ(disk->sideCount, 2);
    EXPECT_EQ(log.currentText(),
              "x.dmk2 is not a known image type; the types that load are TD0, IMD, DSK, DMK, HFE, SCP.");
}

TEST(ImageTypes, SaveKeepsTheDiskForAnUnknownTypeAndSkipsTinyDisks) {
    svtest::TempDir dir;
    auto disk = makeDiskImage();
    disk->trackCount = 77;
    disk->sideCount = 1;
    TextLog log;
    log.show("earlier");
    const std::string path = dir.file("out.txt");
    EXPECT_EQ(saveImageByType(path, *disk, log), SaveOutcome::UnknownType);
    EXPECT_EQ(disk->trackCount, 77);
    EXPECT_EQ(log.currentText(), path +
                                     " was not saved: it is not a type that can be saved; the "
                                     "types that save are DSK, DMK, HFE.");
    EXPECT_FALSE(std::filesystem::exists(path));

    disk->trackCount = 1;
    log.show("earlier");
    EXPECT_EQ(saveImageByType(dir.file("out.dsk"), *disk, log), SaveOutcome::TooFewTracks);
    EXPECT_EQ(log.currentText(), "earlier");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.dsk")));
}

}  // namespace
}  // namespace sv
