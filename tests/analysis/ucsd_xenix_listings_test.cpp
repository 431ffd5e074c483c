#include "analysis/ucsd_xenix_listings.h"

#include <gtest/gtest.h>

#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/disk_builder.h"

namespace sv {
namespace {

using svtest::DiskBuilder;
using Where = std::pair<int, int>;  // cylinder, record

// A disk whose every sector from cylinder 1 on carries its cylinder and record at `tagAt`.
class TaggedDisk {
public:
    TaggedDisk(int sectorsPerTrack, int sizeCode, std::size_t tagAt, int cylinders = 77)
        : b_(1, cylinders) {
        zero_ = &b_.sector(0, 0, 1, 0);
        for (int c = 1; c < cylinders; ++c) {
            for (int r = 1; r <= sectorsPerTrack; ++r) {
                auto& s = b_.sector(c, 0, r, sizeCode);
                s[tagAt] = static_cast<std::uint8_t>(c);
                s[tagAt + 1] = static_cast<std::uint8_t>(r);
                s[tagAt + 2] = 0x5A;
                sectors_[{c, r}] = &s;
            }
        }
    }
    std::vector<std::uint8_t>& at(int c, int r) { return *sectors_.at({c, r}); }
    std::vector<std::uint8_t>& zero() { return *zero_; }
    DiskAnalysis analyse() {
        TextSink log;
        return analyseDisk(b_.disk(), log);
    }

private:
    DiskBuilder b_;
    std::vector<std::uint8_t>* zero_;
    std::map<Where, std::vector<std::uint8_t>*> sectors_;
};

std::vector<Where> sectorsRead(std::span<const std::uint8_t> content, std::size_t size,
                               std::size_t tagAt = 0) {
    std::vector<Where> where;
    for (std::size_t i = 0; i + size <= content.size(); i += size) {
        EXPECT_EQ(content[i + tagAt + 2], 0x5A);
        where.emplace_back(content[i + tagAt], content[i + tagAt + 1]);
    }
    return where;
}

// UCSD: the directory's first 128 bytes are logical sector 9 of cylinder 1, record 17; the 2:1
// table puts logical sectors 9..13 on records 17..25 and 14..26 on the even records.
class UcsdDisk : public TaggedDisk {
public:
    UcsdDisk() : TaggedDisk(26, 0, 0) {
        for (int i = 9; i <= 26; ++i) {
            const int record = i <= 13 ? 2 * i - 1 : 2 * (i - 13);
            directory_.push_back(&at(1, record));
            std::fill(at(1, record).begin(), at(1, record).end(), 0);
        }
        put(6, {4});
        put(7, {'W', 'O', 'R', 'K'});
        put(16, {0});
    }
    void put(std::size_t offset, std::vector<std::uint8_t> bytes) {
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            (*directory_.at((offset + k) / 128))[(offset + k) % 128] = bytes[k];
        }
    }
    void file(int f, int first, int next, std::string_view name, int lastBytes, int date) {
        const std::size_t o = 26 + 26 * static_cast<std::size_t>(f);
        put(o, {lo(first), hi(first), lo(next), hi(next), 0, 0,
                static_cast<std::uint8_t>(name.size())});
        put(o + 7, std::vector<std::uint8_t>(name.begin(), name.end()));
        put(o + 22, {lo(lastBytes), hi(lastBytes), lo(date), hi(date)});
        put(16, {static_cast<std::uint8_t>(f + 1)});
    }
    static std::uint8_t lo(int v) { return static_cast<std::uint8_t>(v); }
    static std::uint8_t hi(int v) { return static_cast<std::uint8_t>(v >> 8); }

private:
    std::vector<std::vector<std::uint8_t>*> directory_;
};

int ucsdDate(int day, int month, int year) { return month | (day << 4) | (year << 9); }

TEST(UcsdListing, LineAndContiguousBlocks) {
    UcsdDisk d;
    d.file(0, 10, 12, "HELLO.TEXT", 512, ucsdDate(20, 7, 84));
    d.file(1, 26, 27, "SYSTEM.PASCAL", 0x1FF, ucsdDate(1, 12, 5));
    const DiskAnalysis a = d.analyse();
    EXPECT_EQ(a.recognition.osCode, 'U');
    ASSERT_EQ(a.entries.size(), 2u);
    EXPECT_EQ(a.entries[0].listingLine,
              "HELLO.TEXT          20/07/1984 SBLK=000A EBLK=000B EOFB=0200");
    EXPECT_EQ(a.entries[1].listingLine,
              "SYSTEM.PASCAL       01/12/2005 SBLK=001A EBLK=001A EOFB=01FF");
    // Block 10 starts at logical sector 15 of cylinder 2, whose order is shifted by one step.
    EXPECT_EQ(sectorsRead(a.entries[0].fileContent, 128),
              (std::vector<Where>{{2, 10}, {2, 12}, {2, 14}, {2, 16}, {2, 18}, {2, 20}, {2, 22},
                                  {2, 24}}));
    // Block 26 starts cylinder 5, where (5 - 1) MOD 13 = 4.
    EXPECT_EQ(sectorsRead(a.entries[1].fileContent, 128),
              (std::vector<Where>{{5, 25}, {5, 1}, {5, 3}, {5, 5}}));
}

TEST(UcsdListing, HostileDirectory) {
    UcsdDisk d;
    d.file(0, 0x0100, 0xFFFF, "TOO.LONG.NAME.FOR.UCSD", 0, 0);  // blocks to the end and beyond
    d.put(26 + 6, {0xFF});                                     // name length byte 255
    d.file(1, 5, 0, "BACK.TEXT", 0, 0);                          // next block before first
    d.put(16, {0xFF, 0xFF});                                    // 65535 files claimed
    const DiskAnalysis a = d.analyse();
    // 2304 bytes of directory hold the volume entry and 87 file entries.
    ASSERT_EQ(a.entries.size(), 87u);
    EXPECT_EQ(a.entries[0].listingLine.substr(0, 20), "TOO.LONG.NAME.F     ");
    // Block 256 is logical sector 1024, cylinder 40; the walk stops after cylinder 76.
    EXPECT_EQ(a.entries[0].fileContent.size(), (77u - 40u) * 26 * 128 - (1024 % 26) * 128);
    EXPECT_EQ(a.entries[1].listingLine.substr(30), " SBLK=0005 EBLK=FFFF EOFB=0000");
    EXPECT_TRUE(a.entries[1].fileContent.empty());
}

// Xenix: 16 records of 512 bytes per cylinder; a tar header names its file and size in octal.
// Records start with a zero byte unless a test makes them a header.
constexpr std::size_t kTarTag = 200;
class TarDisk : public TaggedDisk {
public:
    TarDisk() : TaggedDisk(16, 2, kTarTag) { std::fill(zero().begin(), zero().end(), 0xE5); }
    void header(int c, int r, std::string_view name, std::string_view size,
                std::string_view time = "7346545000 ") {
        auto& s = at(c, r);
        std::fill(s.begin(), s.end(), 0);
        DiskBuilder::put(s, 1, name);
        DiskBuilder::put(s, 125, size);
        DiskBuilder::put(s, 137, time);
    }
    void blank(int c, int r) { std::fill(at(c, r).begin(), at(c, r).end(), 0); }
};

TEST(XenixListing, SizesNamesAndTheScan) {
    TarDisk d;
    d.header(1, 1, "usr/", "          0 ");
    d.header(1, 2, "usr/lib/x", "       2000 ");  // 1024
    d.header(1, 5, "usr/lib/y", " 00000002001");  // 1025: three records
    d.header(1, 9, "z", "1");
    d.blank(1, 11);
    for (int r = 12; r <= 16; ++r) {
        d.at(1, r)[0] = 0xE5;
    }
    d.header(2, 1, "after/gap", "0");
    const DiskAnalysis a = d.analyse();
    EXPECT_EQ(a.recognition.osCode, 'Z');
    ASSERT_EQ(a.entries.size(), 5u);
    // 0o7346545000 = 1000000000 s: 09/09/2001 01:46:40 UTC.
    EXPECT_EQ(a.entries[0].listingLine,
              "usr\\                                    09/09/2001 01:46:40 Size=0000000");
    EXPECT_EQ(a.entries[1].listingLine,
              "usr\\lib\\x                               09/09/2001 01:46:40 Size=0001024");
    EXPECT_TRUE(a.entries[0].fileContent.empty());
    EXPECT_EQ(sectorsRead(a.entries[1].fileContent, 512, kTarTag),
              (std::vector<Where>{{1, 3}, {1, 4}}));
    const auto& y = a.entries[2].fileContent;
    ASSERT_EQ(y.size(), 1025u);
    EXPECT_EQ(sectorsRead(std::span(y).first(1024), 512, kTarTag),
              (std::vector<Where>{{1, 6}, {1, 7}}));
    EXPECT_EQ(a.entries[3].listingLine.substr(40), "09/09/2001 01:46:40 Size=0000001");
    EXPECT_EQ(a.entries[3].fileContent, std::vector<std::uint8_t>{0});
    EXPECT_EQ(a.entries[4].listingLine.substr(0, 9), "after\\gap");
}

TEST(XenixListing, HostileHeaders) {
    TarDisk d;
    // Size far beyond the disk: gathered to the end of the disk, never past it.
    d.header(1, 1, std::string_view("huge.bin\0junk", 13), "77777777777", "12x");
    const DiskAnalysis a = d.analyse();
    ASSERT_EQ(a.entries.size(), 1u);
    EXPECT_EQ(a.entries[0].listingLine,
              "huge.bin                                01/01/1970 00:00:10 Size=8589934591");
    EXPECT_EQ(a.entries[0].fileContent.size(), (76u * 16 - 1) * 512);

    TarDisk full;  // a header in every record, with names of 100 characters and no NUL
    for (int c = 1; c < 77; ++c) {
        for (int r = 1; r <= 16; ++r) {
            full.header(c, r, std::string(99, 'n') + "/", "0");
        }
    }
    const DiskAnalysis b = full.analyse();
    EXPECT_EQ(b.entries.size(), 76u * 16);
    EXPECT_EQ(b.entries[0].listingLine.substr(0, 101), std::string(99, 'n') + "\\0");
}

}  // namespace
}  // namespace sv
