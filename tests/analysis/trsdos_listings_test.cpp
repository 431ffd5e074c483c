#include "analysis/trsdos_listings.h"

#include <random>

#include <gtest/gtest.h>

#include "analysis/disk_builder.h"
#include "analysis/recognition.h"

namespace sv {
namespace {

using svtest::DiskBuilder;

// A TRSDOS disk whose directory is record 25 of cylinder 44 (or 5..26 for version 1.2).
DiskBuilder trsdosDisk(std::uint8_t version = 0x20, std::uint8_t firstDirSector = 25) {
    DiskBuilder b;
    auto& s = b.sector(0, 0, 2, 0);
    DiskBuilder::put(s, 3, "TRSDOS");
    s[0] = 44;
    s[1] = firstDirSector;
    s[10] = version;
    return b;
}

// A 64-byte TRSDOS entry at `slot` of a directory record.
void trsdosEntry(std::vector<std::uint8_t>& dir, int slot, std::string_view name,
                 std::string_view ext, std::vector<std::uint8_t> extents) {
    const std::size_t at = static_cast<std::size_t>(slot) * 64;
    std::fill(dir.begin() + static_cast<long>(at), dir.begin() + static_cast<long>(at + 64), 0);
    DiskBuilder::put(dir, at + 6, std::string(name) + std::string(8 - name.size(), ' '));
    DiskBuilder::put(dir, at + 14, std::string(ext) + std::string(3 - ext.size(), ' '));
    extents.resize(32, 0xFF);
    std::copy(extents.begin(), extents.end(), dir.begin() + static_cast<long>(at + 22));
}

// Each sector's first byte names it: cylinder * 32 + record.
void markedTrack(DiskBuilder& b, int cylinder, int side = 0, int first = 1, int last = 26) {
    for (int r = first; r <= last; ++r) {
        auto& s = b.sector(cylinder, side, r, cylinder == 0 && side == 0 ? 0 : 1);
        std::fill(s.begin(), s.end(), static_cast<std::uint8_t>(cylinder * 32 + r));
    }
}

std::vector<std::uint8_t> firstBytesEvery(const std::vector<std::uint8_t>& content,
                                          std::size_t step) {
    std::vector<std::uint8_t> firsts;
    for (std::size_t i = 0; i < content.size(); i += step) {
        firsts.push_back(content[i]);
    }
    return firsts;
}

DiskAnalysis analyse(DiskBuilder& b, TextSink& log) { return analyseDisk(b.disk(), log); }

TEST(TrsdosListing, PayrollLineExactly) {
    DiskBuilder b = trsdosDisk();
    auto& dir = b.sector(44, 0, 25);
    std::fill(dir.begin(), dir.end(), 0xFF);
    trsdosEntry(dir, 0, "PAYROLL", "BAS", {12, 0x40});
    dir[54] = 84, dir[55] = 12, dir[56] = 5, dir[20] = 3;
    markedTrack(b, 12);
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(a.entries[0].listingLine,
              "PAYROLL/BAS  05/12/1984 UPD=0000 ACC=0000 LRL=00 EOFB=00 EOFS=0003 T=0C G=02 S=5");
    EXPECT_EQ(firstBytesEvery(a.entries[0].fileContent, 256),
              (std::vector<std::uint8_t>{12 * 32 + 11 - 256, 12 * 32 + 12 - 256,
                                         12 * 32 + 13 - 256, 12 * 32 + 14 - 256,
                                         12 * 32 + 15 - 256}));
    EXPECT_TRUE(a.entries[0].basicListing.has_value());
}

TEST(TrsdosListing, ExtentsCrossTracksTrackZeroIsShortAndNoExtentGathersNothing) {
    DiskBuilder b = trsdosDisk();
    auto& dir = b.sector(44, 0, 25);
    std::fill(dir.begin(), dir.end(), 0xFF);
    trsdosEntry(dir, 0, "LONG", "DAT", {3, 0x24});
    trsdosEntry(dir, 1, "BOOT", "", {0, 0x20});
    trsdosEntry(dir, 2, "EMPTY", "TXT", {});
    trsdosEntry(dir, 3, "", "XYZ", {5, 0x00});  // blank name: not listed
    markedTrack(b, 0, 0, 6, 10);
    markedTrack(b, 3);
    markedTrack(b, 4);
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 3u);

    const AnalysedEntry& longFile = a.entries[0];
    EXPECT_NE(longFile.listingLine.find(" T=03 G=01 S=25"), std::string::npos);
    ASSERT_EQ(longFile.fileContent.size(), 25u * 256);
    std::vector<std::uint8_t> expected;
    for (int r = 6; r <= 25; ++r) expected.push_back(static_cast<std::uint8_t>(3 * 32 + r));
    for (int r = 1; r <= 5; ++r) expected.push_back(static_cast<std::uint8_t>(4 * 32 + r));
    EXPECT_EQ(firstBytesEvery(longFile.fileContent, 256), expected);
    EXPECT_FALSE(longFile.basicListing.has_value());

    EXPECT_EQ(a.entries[1].listingLine.substr(0, 13), "BOOT         ");
    EXPECT_EQ(a.entries[1].fileContent.size(), 5u * 128);
    EXPECT_EQ(a.entries[1].fileContent[128], 7);

    EXPECT_EQ(a.entries[2].listingLine.find(" T="), std::string::npos);
    EXPECT_TRUE(a.entries[2].fileContent.empty());
    // The list shows them by text, each tied to its row.
    EXPECT_EQ(a.listOrder, (std::vector<std::size_t>{1, 2, 0}));
}

TEST(TrsdosListing, Version12ShiftsTheDirectoryByTwoRecords) {
    DiskBuilder b = trsdosDisk(0x12, 3);
    for (int r = 3; r <= 26; ++r) {
        auto& dir = b.sector(44, 0, r);
        std::fill(dir.begin(), dir.end(), 0xFF);
        trsdosEntry(dir, 0, "R" + std::to_string(r), "", {});
    }
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 22u);
    EXPECT_EQ(a.entries.front().listingLine.substr(0, 3), "R5 ");
    EXPECT_EQ(a.entries.back().listingLine.substr(0, 3), "R26");
}

TEST(TrsdosListing, DocumentIndexGoesToTheLogAfterWhatItShowed) {
    DiskBuilder b = trsdosDisk();
    auto& dir = b.sector(44, 0, 25);
    std::fill(dir.begin(), dir.end(), 0xFF);
    trsdosEntry(dir, 0, "DOCUMENT", "CTL", {7, 0x00});
    auto& head = b.sector(7, 0, 1);
    head[8] = 1;  // first entry in block 1, the file's second sector
    auto& entry = b.sector(7, 0, 2);
    std::fill(entry.begin(), entry.end(), ' ');
    entry[3] = 0, entry[4] = 0;
    DiskBuilder::put(entry, 6, "LETTER          ");
    DiskBuilder::put(entry, 24, "01/02/83");
    DiskBuilder::put(entry, 32, "SMITH   ");
    DiskBuilder::put(entry, 44, "Quarterly report");
    TextSink log;
    log.show("before");
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(log.currentText(),
              "before\r\n  Entry: LETTER           01/02/83 SMITH    Quarterly report    \r\n");
}

TEST(LsdosListing, DatesFixedUpAndGranulesCrossIntoTheNextTrack) {
    DiskBuilder b;
    DiskBuilder::put(b.sector(0, 0, 2, 0), 17, "LS-DOS63");
    b.sector(0, 0, 0, 0)[2] = 20;
    auto& dir = b.sector(20, 0, 2);
    dir[0] = 0x10;
    dir[1] = 4;                  // 1984
    dir[2] = 14;                 // month field 14, day field 1
    DiskBuilder::put(dir, 6, "REPORT  TXT");
    dir[22] = 5, dir[23] = 0x40;  // track 5, granule 2 (sector 20), one granule
    dir[24] = 0xFF;
    dir[32] = 0x10;
    dir[34] = 0x00;              // day 0 and month 0 read as 01/01
    DiskBuilder::put(dir, 32 + 6, "ZERO       ");
    dir[32 + 22] = 0xFF;
    dir[64] = 0x00;              // bit 4 clear: not listed
    DiskBuilder::put(dir, 64 + 6, "HIDDEN     ");
    for (int r = 3; r <= 29; ++r) b.sector(20, 0, r);
    for (int c : {5, 6}) {
        for (int r = 0; r <= 29; ++r) {
            auto& s = b.sector(c, 0, r);
            std::fill(s.begin(), s.end(), static_cast<std::uint8_t>(c * 32 + r));
        }
    }
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 2u);
    EXPECT_EQ(a.entries[0].listingLine,
              "REPORT/TXT          01/02/1984 OWN=0000 USR=0000 LRL=00 EOFB=00 EOFS=0000");
    EXPECT_EQ(a.entries[1].listingLine.substr(20, 10), "01/01/1980");
    std::vector<std::uint8_t> expected;
    for (int r = 20; r <= 29; ++r) expected.push_back(static_cast<std::uint8_t>(5 * 32 + r));
    EXPECT_EQ(firstBytesEvery(a.entries[0].fileContent, 256), expected);
}

TEST(LsdosListing, TwoSidedWalkContinuesOnSideOne) {
    DiskBuilder b(2);
    DiskBuilder::put(b.sector(0, 0, 2, 0), 17, "LS-DOS63");
    b.sector(0, 0, 0, 0)[2] = 20;
    auto& dir = b.sector(20, 1, 3);  // record 33 of the directory
    dir[0] = 0x10;
    DiskBuilder::put(dir, 6, "SIDE1      ");
    dir[22] = 5, dir[23] = 0x41;  // granule 2, two granules: sectors 20..29, then side 1 0..9
    dir[24] = 0xFF;
    for (int side : {0, 1}) {
        for (int r = 0; r <= 29; ++r) {
            b.sector(5, side, r)[0] = static_cast<std::uint8_t>(side * 100 + r);
        }
    }
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 1u);
    const auto firsts = firstBytesEvery(a.entries[0].fileContent, 256);
    ASSERT_EQ(firsts.size(), 20u);
    EXPECT_EQ(firsts[9], 29);
    EXPECT_EQ(firsts[10], 100);
}

TEST(DosplusListing, LineAndTrackZeroOffset) {
    DiskBuilder b;
    auto& boot = b.sector(0, 0, 2, 0);
    DiskBuilder::put(boot, 1, "DCT");
    boot[8] = 30;
    auto& dir = b.sector(30, 0, 2);
    dir[0] = 0x10;
    dir[1] = 0x03;                 // March
    dir[2] = 0x75;                 // day 7, 1985
    dir[3] = 0x42;                 // EOF byte
    dir[4] = 0x80;                 // LRL
    DiskBuilder::put(dir, 6, "PROG    CMD");
    dir[16] = 0x34, dir[17] = 0x12, dir[18] = 0x56;  // UPD 134, ACC 256
    dir[19] = 0x01, dir[20] = 0x02, dir[21] = 0x03;
    dir[22] = 0, dir[23] = 0x00;   // track 0, granule 0: sectors 1..5
    dir[24] = 0xFF;
    for (int r = 0; r <= 10; ++r) {
        if (r != 2) b.sector(0, 0, r, 0)[0] = static_cast<std::uint8_t>(r);
    }
    for (int r = 3; r <= 29; ++r) b.sector(30, 0, r);
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(a.entries[0].listingLine,
              "PROG/CMD     07/03/1985 UPD=134 ACC=256 LRL=80 EOFS=010302 EOFB=42");
    EXPECT_EQ(firstBytesEvery(a.entries[0].fileContent, 256),
              (std::vector<std::uint8_t>{1, 'D', 3, 4, 5}));
}

TEST(Trsdos16Listing, RootAndFileEntriesOnLogicalTracks) {
    DiskBuilder b(2);
    auto& boot = b.sector(0, 0, 3, 0);
    DiskBuilder::put(boot, 1, "TRSDOS");
    boot[21] = 4 * 32 + 2;  // logical track 4, record 2: cylinder 2 side 0
    auto& root = b.sector(2, 0, 2, 2);
    root[0] = 1;
    DiskBuilder::put(root, 3, "SYS             ");
    root[43] = 8;                       // 8 / 4 + 1 = 3 entries examined
    root[45] = 4;
    root[49] = 5, root[48] = 0, root[47] = 0;  // sub-directory at logical 5, (5 % 32) - 1 = ...
    root[48] = 0x00;
    root[49] = 0xA5;                    // 0xA5 = 165: logical track 5, record 5 - 1 = 4
    auto& sub = b.sector(2, 1, 4, 2);   // logical track 5 = cylinder 2, side 1
    sub[0] = 1;
    DiskBuilder::put(sub, 3, "FILE            ");
    sub[43] = 1;                        // root 0 order 44,41,42,43: count 0x01000000? no:
    sub[40] = 0, sub[41] = 0, sub[42] = 0, sub[43] = 1;
    sub[49] = 6 * 32 + 15;              // logical 6 (cylinder 3 side 0), record 16
    sub[64] = 0, sub[65] = 0;           // skipped
    DiskBuilder::put(sub, 64 + 3, "GONE");
    for (int r = 1; r <= 16; ++r) b.sector(3, 0, r, 2)[0] = static_cast<std::uint8_t>(r);
    b.sector(3, 1, 1, 2)[0] = 0x77;
    TextSink log;
    const DiskAnalysis a = analyse(b, log);
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(a.entries[0].row, 1);
    EXPECT_EQ(a.entries[0].listingLine, "SYS \\\\ FILE" + std::string(21, ' '));
    // Root entry 0 reads its count as bytes 44,41,42,43 = 0x01000000: bounded by the disk.
    EXPECT_GT(a.entries[0].fileContent.size(), 512u);
    EXPECT_EQ(a.entries[0].fileContent[0], 16);
    EXPECT_EQ(a.entries[0].fileContent[512], 0x77);
}

TEST(Trsdos16Listing, ZeroEntrySizeExaminesNothing) {
    DiskBuilder b;
    auto& boot = b.sector(0, 0, 3, 0);
    DiskBuilder::put(boot, 1, "TRSDOS");
    boot[21] = 4 * 32 + 2;
    auto& root = b.sector(4, 0, 2, 2);
    root[0] = 1;
    DiskBuilder::put(root, 3, "SYS");
    root[43] = 8;
    TextSink log;
    EXPECT_TRUE(analyse(b, log).entries.empty());
}

// Random bytes in every directory sector of each system: odd lines, never a crash or a hang.
TEST(HostileDirectories, RandomDirectoryTracksListCleanly) {
    std::mt19937 random(1234);
    const auto fill = [&](std::vector<std::uint8_t>& s) {
        for (auto& byte : s) byte = static_cast<std::uint8_t>(random());
    };
    for (int round = 0; round < 3; ++round) {
        for (int system = 0; system < 4; ++system) {
            DiskBuilder b(2);
            auto& boot = b.sector(0, 0, system == 3 ? 3 : 2, 0);
            fill(boot);
            const char* signs[] = {"TRSDOS", "LS-DOS", "DCT", "TRSDOS"};
            const std::size_t at[] = {3, 17, 1, 1};
            DiskBuilder::put(boot, at[system], signs[system]);
            if (system == 0) boot[0] = 10, boot[1] = static_cast<std::uint8_t>(round);
            if (system == 2) boot[8] = 10;
            if (system == 3) boot[18] = 0, boot[19] = 0, boot[20] = 1, boot[21] = 0x41;
            b.sector(0, 0, 0, 0)[2] = 10;
            for (int side = 0; side < 2; ++side) {
                for (int r = 0; r <= 29; ++r) fill(b.sector(10, side, r, 2));
            }
            TextSink log;
            const DiskAnalysis a = analyse(b, log);
            for (const auto& e : a.entries) {
                EXPECT_FALSE(e.listingLine.empty());
                EXPECT_LE(e.fileContent.size(), std::size_t{77} * 2 * 30 * 1024);
            }
        }
    }
}

}  // namespace
}  // namespace sv
