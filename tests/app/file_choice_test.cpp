#include "app/file_choice.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

std::vector<std::string> keysOf(const FilterChoice& choice) {
    std::vector<std::string> keys;
    for (const auto& f : choice.filters) {
        keys.push_back(f.key);
    }
    return keys;
}

TEST(FileChoice, LoadFiltersFollowTheLoadPathBox) {
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
    EXPECT_EQ(keysOf(save), (Keys{"DMK", "DSK", "IMD", "HFE", "All"}));
    EXPECT_EQ(save.defaultExtension, "DMK");
    EXPECT_EQ(save.filters[0].description, "DMK Files (*.DMK)");
    EXPECT_EQ(save.filters[0].pattern, "*.DMK");
    EXPECT_EQ(save.filters[2].description, "IMD Files (*.IMD)");
    EXPECT_EQ(save.filters[3].description, "HFE Files (*.HFE)");
    EXPECT_EQ(save.filters[4].description, "All Files (*.*)");
    EXPECT_EQ(save.filters[4].pattern, "*.*");
    EXPECT_EQ(loadFilterChoice("").filters[2].description, "IMD Files (*.IMD)");
    EXPECT_EQ(loadFilterChoice("").filters[3].pattern, "*.TD0");
}

TEST(FileChoice, FolderAndCancelledDialog) {
    EXPECT_EQ(folderOfPath("/home/u/disks/trsdos.dmk"), "/home/u/disks");
    EXPECT_EQ(folderOfPath("trsdos.dmk"), "");
    EXPECT_EQ(folderOfPath(""), "");
    EXPECT_EQ(folderOfPath("/trsdos.dmk"), "/");
    EXPECT_FALSE(isChosenPath(""));
    EXPECT_FALSE(isChosenPath("a"));
    EXPECT_TRUE(isChosenPath("ab"));
}

TEST(FileChoice, SaveNameProposedAfterALoad) {
    EXPECT_EQ(proposedSaveName("/disks/trsdos.dmk"), "/disks/trsdos - Copy.DMK");
    EXPECT_EQ(proposedSaveName("/disks/a.Dmk"), "/disks/a - Copy.DMK");
    EXPECT_EQ(proposedSaveName("/disks/cpm.imd"), "/disks/cpm.DMK");
    EXPECT_EQ(proposedSaveName("/disks/x.td0"), "/disks/x.DMK");
    EXPECT_EQ(proposedSaveName("/disks/x.dmk2"), "/disks/x.dDMK");
    EXPECT_EQ(proposedSaveName("dmk"), " - Copy.DMK");  // shorter than four characters
}

}  // namespace
}  // namespace sv
