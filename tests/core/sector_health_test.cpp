#include "core/sector_health.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

TEST(SectorHealth, StatusAndDataStateTogether) {
    SectorEntry e{};
    e.status = 0x03;
    EXPECT_EQ(sectorHealth(e, DataState::Good), SectorHealth::Good);
    EXPECT_EQ(sectorHealth(e, DataState::Clipped), SectorHealth::Good);
    // Fill bytes under clean status bits are never good data.
    EXPECT_EQ(sectorHealth(e, DataState::NotCaptured), SectorHealth::NoData);
    EXPECT_EQ(sectorHealth(e, DataState::NoDataField), SectorHealth::NoData);
    EXPECT_EQ(sectorHealth(e, DataState::CutShort), SectorHealth::DataCrcError);
    EXPECT_EQ(sectorHealth(e, DataState::CrcError), SectorHealth::DataCrcError);
    e.status = 0x00;  // mark F8, as DSK keeps a deleted sector
    EXPECT_EQ(sectorHealth(e, DataState::Good), SectorHealth::Deleted);
    e.status = 0x43;
    EXPECT_EQ(sectorHealth(e, DataState::Good), SectorHealth::DataCrcError);
    e.status = 0x83;  // the heaviest fault names it
    EXPECT_EQ(sectorHealth(e, DataState::NoDataField), SectorHealth::BadId);
    EXPECT_FALSE(isDamaged(SectorHealth::Deleted));
    EXPECT_TRUE(isDamaged(SectorHealth::NoData));
}

TEST(SectorHealth, SummaryNamesTwentyThenCounts) {
    const std::vector<std::string> counts{"3 sectors replaced", "1 kept (source damaged)"};
    EXPECT_EQ(summaryLine(counts, {}), "3 sectors replaced, 1 kept (source damaged), 0 still damaged");
    std::vector<SectorName> damaged;
    for (int i = 0; i < 23; ++i) {
        damaged.push_back({12 + i, i % 2, 7});
    }
    const std::string line = summaryLine(counts, damaged);
    EXPECT_EQ(line.substr(0, 80), "3 sectors replaced, 1 kept (source damaged), 23 still damaged: "
                                  "T012 H0 S07, T013");
    EXPECT_NE(line.find("T031 H1 S07 and 3 more"), std::string::npos) << line;
    EXPECT_EQ(line.find("T032"), std::string::npos);
    EXPECT_EQ(summaryLine({}, std::span(damaged).first(1)), "1 still damaged: T012 H0 S07");

    auto disk = makeDiskImage();
    disk->trackCount = 1;
    disk->sideCount = 1;
    for (std::uint8_t status : {0x03, 0x43, 0x00}) {
        SectorEntry* e = appendSector(*disk, 0, 0);
        e->status = status;
        e->record = static_cast<std::uint8_t>(disk->track(0, 0).sectorCount);
    }
    SectorEntry* beyond = appendSector(*disk, 1, 4);  // outside the stated geometry, still held
    beyond->status = 0x03;
    beyond->cylinder = 4;
    beyond->head = 1;
    beyond->record = 9;
    setDataState(*disk, 1, 4, 0, DataState::NotCaptured);
    EXPECT_EQ(summaryLine({}, damagedSectors(*disk)), "2 still damaged: T000 H0 S02, T004 H1 S09");
}

}  // namespace
}  // namespace sv
