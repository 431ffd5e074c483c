// The Model II CP/M disks of the shared real-disk folder, listed end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "formats/imd.h"
#include "formats/td0.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

struct RealListing {
    std::string diskInfo;
    std::map<std::string, std::vector<std::uint8_t>> files;  // first entry of each line
    std::size_t lines = 0;
};

// Loads a real disk (IMD copies go to a temporary folder: the reader writes a side log file next
// to the image) and lists it; nullopt when the folder or the file is absent.
std::optional<RealListing> listReal(const std::string& relative) {
    const fs::path dir = svtest::realDisksDir();
    if (dir.empty() || !fs::exists(dir / relative)) {
        return std::nullopt;
    }
    svtest::TempDir tmp;
    const std::string copy = tmp.file(fs::path(relative).filename().string());
    fs::copy_file(dir / relative, copy);
    auto disk = makeDiskImage();
    TextSink log;
    if (fs::path(relative).extension() == ".imd") {
        loadImdImage(copy, *disk, log);
    } else {
        loadTd0Image(copy, *disk, log);
    }
    const DiskAnalysis a = analyseDisk(*disk, log);
    RealListing out{a.diskInfo, {}, a.entries.size()};
    for (const AnalysedEntry& e : a.entries) {
        out.files.try_emplace(e.listingLine, e.fileContent);
    }
    return out;
}

// PIP 2.2 as both vendors shipped it: 58 records of the same program.
void expectPip(const RealListing& l) {
    ASSERT_TRUE(l.files.contains("PIP.COM"));
    const auto& pip = l.files.at("PIP.COM");
    ASSERT_EQ(pip.size(), 8192u);
    EXPECT_EQ(pip[0], 0xC3);  // a jump over its copyright text
}

TEST(CpmRealDisks, PicklesTroutImd) {
    const auto l = listReal("imd/m2-ptcpm-2.2.imd");
    if (!l) {
        GTEST_SKIP() << "imd/m2-ptcpm-2.2.imd is not in the shared real-disk folder";
    }
    EXPECT_EQ(l->diskInfo, "Pickles & Trout BIOSMODS.PNT Disk\r\nDirTrack=   2[0002]");
    EXPECT_EQ(l->lines, 62u);
    expectPip(*l);
    EXPECT_EQ(l->files.at("STAT.COM").size(), 6144u);
    EXPECT_EQ(l->files.at("BIOSMODS.PNT").size(), 30720u);  // two extents
    EXPECT_TRUE(l->files.contains("FIG10-10.BAS"));
}

TEST(CpmRealDisks, FmgTd0) {
    const auto l = listReal("td0/m2-fmg-cpm-2.2.td0");
    if (!l) {
        GTEST_SKIP() << "td0/m2-fmg-cpm-2.2.td0 is not in the shared real-disk folder";
    }
    EXPECT_EQ(l->diskInfo, "FMG Corporation - 64k CP/M vers 2.21 Disk\r\nDirTrack=   2[0002]");
    expectPip(*l);
    EXPECT_EQ(l->files.at("WORDSTAR.COM").size(), 14336u);
    EXPECT_EQ(l->files.at("INSTALL.COM").size(), 32768u);
    EXPECT_TRUE(l->files.contains("TRIAL "));
    EXPECT_TRUE(l->files.at("FORLIB.LIB").empty());
}

}  // namespace
}  // namespace sv
