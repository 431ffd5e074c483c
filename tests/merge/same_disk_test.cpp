// The same-disk check against the real Model II disks of the shared folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/image_commands.h"
#include "merge/sector_merge.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

// A real disk loaded from a temporary copy (the IMD reader writes a side file beside it);
// nullptr when the shared folder or the file is absent.
DiskImagePtr loadReal(const svtest::TempDir& tmp, const std::string& relative) {
    const fs::path dir = svtest::realDisksDir();
    if (dir.empty() || !fs::exists(dir / relative)) {
        return nullptr;
    }
    const std::string copy = tmp.file(fs::path(relative).filename().string());
    fs::copy_file(dir / relative, copy, fs::copy_options::overwrite_existing);
    auto disk = makeDiskImage();
    TextSink log;
    if (!loadImageByType(copy, *disk, log)) {
        return nullptr;
    }
    return disk;
}

TEST(SameDiskCheck, RealDisks) {
    svtest::TempDir tmp;
    auto trsdosA = loadReal(tmp, "imd/m2-trsdos-2.0a.imd");
    auto trsdosB = loadReal(tmp, "imd/m2-trsdos-2.0b.imd");
    auto fmg = loadReal(tmp, "td0/m2-fmg-cpm-2.2.td0");
    auto scripsit = loadReal(tmp, "imd/m2-scripsit-2.0.imd");
    if (!trsdosA || !trsdosB || !fmg || !scripsit) {
        GTEST_SKIP() << "the Model II real disks are not in the shared folder";
    }
    const SameDiskCheck cpm = checkSameDisk(*trsdosA, *fmg);
    const SameDiskCheck script = checkSameDisk(*trsdosA, *scripsit);
    const SameDiskCheck relatives = checkSameDisk(*trsdosA, *trsdosB);
    const SameDiskCheck itself = checkSameDisk(*trsdosA, *trsdosA);
    // Two different disks; close relatives are not caught, and need not be.
    EXPECT_EQ(cpm.compared, 484);
    EXPECT_EQ(cpm.equalPercent(), 0);
    EXPECT_TRUE(cpm.differentDisks());
    EXPECT_EQ(script.compared, 288);
    EXPECT_EQ(script.equalPercent(), 5);
    EXPECT_TRUE(script.differentDisks());
    EXPECT_EQ(relatives.compared, 557);
    EXPECT_EQ(relatives.equalPercent(), 84);
    EXPECT_FALSE(relatives.differentDisks());
    EXPECT_EQ(itself.equal, itself.compared);
    EXPECT_FALSE(itself.differentDisks());
}

}  // namespace
}  // namespace sv
