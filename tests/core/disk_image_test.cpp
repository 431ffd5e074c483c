#include "core/disk_image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace sv {
namespace {

TEST(DiskImage, ClearedDiskIsEmptyAndLookupLeavesBufferAlone) {
    auto disk = makeDiskImage();
    disk->trackCount = 3;
    ASSERT_NE(appendSector(*disk, 0, 1), nullptr);
    clear(*disk);
    EXPECT_TRUE(isEmpty(*disk));
    EXPECT_EQ(disk->track(0, 1).sectorCount, 0);
    SectorData buffer;
    buffer.fill(0x77);
    EXPECT_FALSE(readSectorData(1, 0, 0, *disk, buffer));
    EXPECT_EQ(buffer[0], 0x77);
    EXPECT_EQ(buffer[1023], 0x77);
}

TEST(DiskImage, ShortSectorIsSpaceFilledAndUnusedSlotIsZero) {
    auto disk = makeDiskImage();
    SectorEntry* e = appendSector(*disk, 1, 5);
    ASSERT_NE(e, nullptr);
    std::vector<std::uint8_t> bytes(128, 0xAB);
    setSectorData(*e, bytes);
    EXPECT_EQ(e->data[127], 0xAB);
    EXPECT_EQ(e->data[128], 0x20);
    EXPECT_EQ(e->data[1023], 0x20);
    EXPECT_EQ(disk->track(1, 5).sectors[1].data[0], 0);

    std::vector<std::uint8_t> longer(2048, 0x11);
    setSectorData(*e, longer);
    EXPECT_EQ(e->data[1023], 0x11);
}

TEST(DiskImage, LastMatchingSlotWinsWhateverItsStatus) {
    auto disk = makeDiskImage();
    for (std::uint8_t fill : {0x01, 0x02}) {
        SectorEntry* e = appendSector(*disk, 0, 2);
        e->record = 5;
        e->status = fill == 2 ? (status::dataCrcError | status::idCrcError) : 0x03;
        e->cylinder = 99;  // the ID's cylinder is not compared
        setSectorData(*e, std::vector<std::uint8_t>(256, fill));
    }
    SectorData buffer{};
    EXPECT_TRUE(readSectorData(2, 0, 5, *disk, buffer));
    EXPECT_EQ(buffer[0], 0x02);
}

TEST(DiskImage, AppendRefusesBeyondCapacity) {
    auto disk = makeDiskImage();
    for (int i = 0; i < kMaxSectorsPerTrack; ++i) {
        ASSERT_NE(appendSector(*disk, 0, 0), nullptr);
    }
    EXPECT_EQ(appendSector(*disk, 0, 0), nullptr);
    EXPECT_EQ(disk->track(0, 0).sectorCount, kMaxSectorsPerTrack);
    EXPECT_EQ(appendSector(*disk, 2, 0), nullptr);
    EXPECT_EQ(appendSector(*disk, 0, 80), nullptr);
    EXPECT_EQ(appendSector(*disk, -1, 0), nullptr);
}

TEST(DiskImage, DataAddressMarkFollowsStatus) {
    SectorEntry e{};
    e.status = 0x03;
    EXPECT_EQ(e.dataAddressMark(), 0xFB);
    e.status = 0x04;
    EXPECT_EQ(e.dataAddressMark(), 0xF8);
    e.status = 0x43;
    EXPECT_EQ(e.dataAddressMark(), 0xFB);
    e.sizeCode = 3;
    EXPECT_EQ(e.lengthBytes(), 1024u);
}

TEST(DiskImage, SourcePathIsPaddedOrCut) {
    auto disk = makeDiskImage();
    setSourcePath(*disk, "a.dmk");
    EXPECT_EQ(disk->sourcePath[5], ' ');
    EXPECT_EQ(sourcePathTrimmed(*disk), "a.dmk");
    setSourcePath(*disk, std::string(200, 'x'));
    EXPECT_EQ(sourcePathTrimmed(*disk).size(), 128u);
}

// clear zeroes only the tracks marked written: every way into the store must leave a mark, or its
// bytes would survive. Writes through each, twice over, and compares with a fresh store.
TEST(DiskImage, ClearLeavesNoByteOfAnyWayIn) {
    const auto fresh = makeDiskImage();
    auto disk = makeDiskImage();
    const auto writeEverything = [](DiskImage& d, std::uint8_t fill) {
        d.writeProtect = fill;
        d.trackCount = fill;
        d.sideCount = fill;
        d.trackLength = static_cast<std::uint16_t>(fill * 257);
        d.formatFlags = fill;
        setSourcePath(d, "some/where.dmk");
        for (const auto& [side, cylinder] : {std::pair{0, 0}, {1, 79}, {1, 0}, {0, 40}}) {
            SectorEntry* e = appendSector(d, side, cylinder);
            e->record = fill;
            e->status = fill;
            setSectorData(*e, std::vector<std::uint8_t>(300, fill));
        }
        // What the readers and the merge do: write a track's slots through track().
        TrackRecord& direct = d.track(0, 79);
        direct.sectorCount = kMaxSectorsPerTrack;
        direct.sectors[kMaxSectorsPerTrack - 1].data[kSectorDataBytes - 1] = fill;
        d.track(1, 13).sectors[7].sizeCode = fill;
        setDataState(d, 1, 50, kMaxSectorsPerTrack - 1, DataState::Clipped);
        setDataState(d, 0, 0, 0, DataState::NotCaptured);
    };
    writeEverything(*disk, 0xA5);
    clear(*disk);
    EXPECT_EQ(std::memcmp(disk.get(), fresh.get(), sizeof(DiskImage)), 0);
    writeEverything(*disk, 0x5A);
    clear(*disk);
    clear(*disk);
    EXPECT_EQ(std::memcmp(disk.get(), fresh.get(), sizeof(DiskImage)), 0);

    // A copy carries its marks: clearing the copy clears what the original wrote.
    writeEverything(*disk, 0x11);
    auto copy = makeDiskImage();
    *copy = *disk;
    clear(*copy);
    EXPECT_EQ(std::memcmp(copy.get(), fresh.get(), sizeof(DiskImage)), 0);
}

}  // namespace
}  // namespace sv
