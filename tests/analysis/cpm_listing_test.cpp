#include "analysis/cpm_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/disk_builder.h"

namespace sv {
namespace {

using svtest::DiskBuilder;
using Where = std::tuple<int, int, int>;  // cylinder, side, record

// The shape of one CP/M implementation's disk as these tests lay it out.
struct Layout {
    int sides;
    int sectorsPerTrack;
    int sizeCode;
    bool wideBlocks;
    int dirCylinder;
    std::vector<int> dirRecords;  // physical records of the directory sectors, in order
};

const Layout kFmg{1, 26, 1, false, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
const Layout kPicklesTrout{1, 16, 2, true, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
const Layout kLifeboat{1, 8, 3, true, 2, {1, 4, 7, 2}};
const Layout kAtonDouble{2, 8, 3, true, 1, {1, 4, 7, 2, 5, 8}};

// Every data sector starts with its own position, so a file's content shows which sectors were
// read and in which order.
class CpmDisk {
public:
    explicit CpmDisk(const Layout& layout, int cylinders = 77)
        : layout_(layout), b_(layout.sides, cylinders) {
        for (int r = 1; r <= 26; ++r) {
            sectors_[{0, 0, r}] = &b_.sector(0, 0, r, 0);
        }
        for (int c = 0; c < cylinders; ++c) {
            for (int side = 0; side < layout.sides; ++side) {
                if (c == 0 && side == 0) {
                    continue;
                }
                for (int r = 1; r <= layout.sectorsPerTrack; ++r) {
                    auto& s = b_.sector(c, side, r, layout.sizeCode);
                    s[0] = static_cast<std::uint8_t>(c);
                    s[1] = static_cast<std::uint8_t>(side);
                    s[2] = static_cast<std::uint8_t>(r);
                    s[3] = 0x5A;
                    sectors_[{c, side, r}] = &s;
                }
            }
        }
        for (const int r : layout.dirRecords) {
            if (layout.dirCylinder >= cylinders) {
                break;
            }
            std::fill(at(layout.dirCylinder, 0, r).begin(), at(layout.dirCylinder, 0, r).end(),
                      0xE5);
        }
    }

    std::vector<std::uint8_t>& at(int c, int side, int r) { return *sectors_.at({c, side, r}); }

    void entry(int e, int user, std::string_view name, std::string_view type, int extent,
               int records, std::vector<int> blocks, int s1 = 0) {
        const std::size_t bytes = std::size_t{128} << layout_.sizeCode;
        const std::size_t position = static_cast<std::size_t>(e) * 32;
        auto& s = at(layout_.dirCylinder, 0,
                     layout_.dirRecords.at(position / bytes));
        std::uint8_t* d = s.data() + position % bytes;
        std::fill(d, d + 32, 0);
        d[0] = static_cast<std::uint8_t>(user);
        std::copy(name.begin(), name.end(), d + 1);
        std::copy(type.begin(), type.end(), d + 9);
        d[12] = static_cast<std::uint8_t>(extent);
        d[13] = static_cast<std::uint8_t>(s1);
        d[15] = static_cast<std::uint8_t>(records);
        for (std::size_t k = 0; k < blocks.size(); ++k) {
            if (layout_.wideBlocks) {
                d[16 + 2 * k] = static_cast<std::uint8_t>(blocks[k]);
                d[17 + 2 * k] = static_cast<std::uint8_t>(blocks[k] >> 8);
            } else {
                d[16 + k] = static_cast<std::uint8_t>(blocks[k]);
            }
        }
    }

    DiskBuilder& builder() { return b_; }
    std::vector<std::uint8_t>& system(int r) { return *sectors_.at({0, 0, r}); }

    DiskAnalysis analyse() {
        TextSink log;
        return analyseDisk(b_.disk(), log);
    }

private:
    Layout layout_;
    DiskBuilder b_;
    std::map<Where, std::vector<std::uint8_t>*> sectors_;
};

CpmDisk fmgDisk(int cylinders = 77) {
    CpmDisk d(kFmg, cylinders);
    DiskBuilder::put(d.system(17), 68, "FMG");
    return d;
}

CpmDisk picklesTroutDisk() {
    CpmDisk d(kPicklesTrout);
    DiskBuilder::put(d.system(19), 107, "Pickles & Trout");
    return d;
}

CpmDisk lifeboatDisk() {
    CpmDisk d(kLifeboat);
    DiskBuilder::put(d.system(13), 8, "CP/M");
    return d;
}

// The positions of the sectors a content was gathered from.
std::vector<Where> sectorsRead(const std::vector<std::uint8_t>& content, std::size_t sectorSize) {
    std::vector<Where> where;
    for (std::size_t i = 0; i + sectorSize <= content.size(); i += sectorSize) {
        EXPECT_EQ(content[i + 3], 0x5A) << "sector " << i / sectorSize << " is not a data sector";
        where.emplace_back(content[i], content[i + 1], content[i + 2]);
    }
    EXPECT_EQ(content.size() % sectorSize, 0u);
    return where;
}

std::vector<std::string> lines(const DiskAnalysis& a) {
    std::vector<std::string> out;
    for (const AnalysedEntry& e : a.entries) {
        out.push_back(e.listingLine);
    }
    return out;
}

TEST(CpmListing, EntryRulesAndLines) {
    CpmDisk d = fmgDisk();
    d.entry(0, 0, "PIP     ", "COM", 0, 8, {2});
    d.entry(1, 0xE5, "GONE    ", "COM", 0, 8, {3});
    d.entry(2, 0, "PROG    ", "\xC2" "AS", 0, 8, {4});
    d.entry(3, 3, "README  ", "   ", 0, 8, {5});
    d.entry(4, 0, "LABEL   ", "   ", 0, 0, {}, 1);  // S1 set: not a file entry
    d.entry(5, 32, "DATE    ", "   ", 0, 0, {});
    const DiskAnalysis a = d.analyse();
    EXPECT_EQ(a.recognition.osCode, 'F');
    EXPECT_EQ(lines(a), (std::vector<std::string>{"PIP.COM", "PROG.BAS", "README "}));
    EXPECT_EQ(a.entries[0].row, 0);
    EXPECT_EQ(a.entries[2].row, 2);
}

TEST(CpmListing, OnlyFmgListsLaterExtentsOnTheirOwn) {
    CpmDisk d = lifeboatDisk();
    d.entry(0, 0, "BIG     ", "DAT", 0, 0x80, {5});
    d.entry(1, 0, "BIG     ", "DAT", 1, 0x10, {6});
    const DiskAnalysis a = d.analyse();
    EXPECT_EQ(a.recognition.osCode, 'B');
    ASSERT_EQ(lines(a), std::vector<std::string>{"BIG.DAT"});
    EXPECT_EQ(a.entries[0].fileContent.size(), 2u * 2048);
}

TEST(CpmListing, FmgBlockRunsOverTheEndOfItsTrack) {
    CpmDisk d = fmgDisk();
    d.entry(0, 0, "EDGE    ", "   ", 0, 16, {3});  // block 3 = logical sector 25 of track 2
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 256),
              (std::vector<Where>{{2, 0, 25}, {2, 0, 26}, {3, 0, 1}, {3, 0, 2}, {3, 0, 3},
                                  {3, 0, 4}, {3, 0, 5}, {3, 0, 6}}));
}

TEST(CpmListing, PicklesTroutTwoByteBlockNumbers) {
    CpmDisk d = picklesTroutDisk();
    d.entry(0, 0, "FAR     ", "DAT", 0, 16, {0x012A});  // bytes 0x2A 0x01
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 1u);
    // Block 298 is logical sector 1192: track 2 + 74, sector 9.
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 512),
              (std::vector<Where>{{76, 0, 9}, {76, 0, 10}, {76, 0, 11}, {76, 0, 12}}));
}

TEST(CpmListing, PicklesTroutEachSignatureListsTheSameWay) {
    for (const auto& [record, position, text] :
         {std::tuple{19, 107, "Pickles & Trout"}, std::tuple{3, 14, "BIOSMODSPNT"},
          std::tuple{11, 67, "Corvus"}}) {
        CpmDisk d(kPicklesTrout);
        DiskBuilder::put(d.system(record), static_cast<std::size_t>(position), text);
        d.entry(0, 0, "PIP     ", "COM", 0, 16, {2});
        const DiskAnalysis a = d.analyse();
        EXPECT_EQ(a.recognition.osCode, 'P') << text;
        ASSERT_EQ(a.entries.size(), 1u) << text;
        EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 512).front(), (Where{2, 0, 9})) << text;
    }
}

TEST(CpmListing, LifeboatSkewThree) {
    CpmDisk d = lifeboatDisk();
    d.entry(0, 0, "SKEW    ", "   ", 0, 16, {5});  // logical sector 3 of track 3
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 1024),
              (std::vector<Where>{{3, 0, 7}, {3, 0, 2}}));
}

TEST(CpmListing, AtonLogicalTracksCountBothSidesOnlyWhenTwoSided) {
    CpmDisk two(kAtonDouble);
    DiskBuilder::put(two.at(0, 1, 3), 100, "ATON\r\n\nCP/M SYSTEM \r\n\n VERSION 2.24");
    two.entry(0, 0, "FILE    ", "   ", 0, 16, {12});  // logical track 5
    two.entry(150, 0, "LATE    ", "   ", 0, 16, {13});  // directory sector 5 (record 5)
    const DiskAnalysis a = two.analyse();
    EXPECT_EQ(a.recognition.osCode, 'A');
    ASSERT_EQ(lines(a), (std::vector<std::string>{"FILE ", "LATE "}));
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 1024),
              (std::vector<Where>{{2, 1, 1}, {2, 1, 4}}));

    Layout single = kLifeboat;
    CpmDisk one(single);
    DiskBuilder::put(one.at(1, 0, 3), 100, "ATON\r\n\nCP/M SYSTEM \r\n\n VERSION 2.24");
    one.entry(0, 0, "FILE    ", "   ", 0, 16, {12});
    const DiskAnalysis b = one.analyse();
    EXPECT_EQ(b.recognition.osCode, 'A');
    ASSERT_EQ(b.entries.size(), 1u);
    EXPECT_EQ(sectorsRead(b.entries[0].fileContent, 1024),
              (std::vector<Where>{{5, 0, 1}, {5, 0, 4}}));
}

TEST(CpmListing, FmgExtentsZeroOneThreeGatheredWholeAndListedOnTheirOwn) {
    CpmDisk d = fmgDisk();
    d.entry(0, 0, "LONG    ", "TXT", 3, 0x20, {9});
    d.entry(1, 0, "LONG    ", "TXT", 0, 0x80, {7});
    d.entry(2, 0, "LONG    ", "TXT", 1, 0x80, {8});
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 3u);
    const auto firstSector = [](const AnalysedEntry* e) {
        std::vector<Where> starts;
        const auto all = sectorsRead(e->fileContent, 256);
        for (std::size_t i = 0; i < all.size(); i += 8) {
            starts.push_back(all[i]);
        }
        return starts;
    };
    // Blocks 7, 8, 9 begin at logical sectors 56, 64, 72: track 4 sector 5, 13 and 21.
    EXPECT_EQ(firstSector(&a.entries[1]),
              (std::vector<Where>{{4, 0, 5}, {4, 0, 13}, {4, 0, 21}}));
    EXPECT_EQ(firstSector(&a.entries[2]), (std::vector<Where>{{4, 0, 13}, {4, 0, 21}}));
    EXPECT_EQ(firstSector(&a.entries[0]), (std::vector<Where>{{4, 0, 21}}));
}

TEST(CpmListing, ExtentSearchMergesUserAreasButNotErasedEntries) {
    CpmDisk d = lifeboatDisk();
    // The continuation sits before the first extent; an erased copy of it comes first.
    d.entry(0, 0xE5, "SPLIT   ", "DAT", 1, 0x10, {20});
    d.entry(1, 4, "SPLIT   ", "DAT", 1, 0x10, {6});
    d.entry(2, 0, "SPLIT   ", "DAT", 0, 0x80, {5});
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(lines(a), std::vector<std::string>{"SPLIT.DAT"});
    const auto read = sectorsRead(a.entries[0].fileContent, 1024);
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[2], (Where{3, 0, 5}));  // block 6, not the erased entry's block 20
}

TEST(CpmListing, ContinuationInTheFirstDirectorySlotIsFound) {
    CpmDisk d = picklesTroutDisk();
    d.entry(0, 0, "WRAP    ", "   ", 1, 0x10, {3});
    d.entry(1, 0, "WRAP    ", "   ", 0, 0x80, {2});
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(a.entries[0].fileContent.size(), 2u * 2048);
}

TEST(CpmListing, HostileDirectoryStaysOnTheDisk) {
    CpmDisk d = picklesTroutDisk();
    d.entry(0, 0, "OFFDISK ", "   ", 0, 16, {0xFFFF, 0x8000, 0x012C, 2});
    // Every extent number full and present: the chain must still end.
    for (int ex = 0; ex < 120; ++ex) {
        d.entry(1 + ex, 0, "LOOP    ", "   ", ex, 0x80, {2, 0xFFFF});
    }
    d.entry(121, 0, "ZERO    ", "   ", 0, 0x80, {});
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 3u);
    // Blocks past the last cylinder give nothing; the one block on the disk is kept.
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 512),
              (std::vector<Where>{{2, 0, 9}, {2, 0, 10}, {2, 0, 11}, {2, 0, 12}}));
    EXPECT_EQ(a.entries[1].fileContent.size(), 120u * 2048);
    EXPECT_TRUE(a.entries[2].fileContent.empty());
}

TEST(CpmListing, ShortDiskAndMissingDirectoryTrack) {
    // Three cylinders: blocks of track 3 and beyond are off the disk.
    CpmDisk d = fmgDisk(3);
    d.entry(0, 0, "SHORT   ", "   ", 0, 16, {3, 200});
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 256),
              (std::vector<Where>{{2, 0, 25}, {2, 0, 26}}));

    CpmDisk gone = fmgDisk(2);  // the directory track itself is not held
    EXPECT_TRUE(gone.analyse().entries.empty());
}

TEST(CpmListing, UnusableParametersListNothing) {
    CpmDisk d = fmgDisk();
    d.entry(0, 0, "PIP     ", "COM", 0, 8, {2});
    Recognition r;
    r.modelII = true;
    r.osCode = os::fmgCpm;
    r.dirTrack = 2;
    r.firstDirSector = 1;
    DiskParameters p;
    p.sectorsPerTrack = 26;
    p.sectorSize = 256;
    p.sectorTable = {0, 1, 2};  // shorter than the track
    r.parameters = p;
    SectorReader reader(d.builder().disk());
    EntryTable table;
    listCpmDisk(r, reader, table);
    EXPECT_TRUE(table.entries().empty());
    r.parameters.reset();
    listCpmDisk(r, reader, table);
    EXPECT_TRUE(table.entries().empty());
}

}  // namespace
}  // namespace sv
