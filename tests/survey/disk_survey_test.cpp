#include "survey/disk_survey.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

SectorEntry* put(DiskImage& disk, int side, int cylinder, int record, std::uint8_t status = 0x03,
                 std::uint8_t sizeCode = 1, bool fm = false) {
    SectorEntry* e = appendSector(disk, side, cylinder);
    e->cylinder = static_cast<std::uint8_t>(cylinder);
    e->head = static_cast<std::uint8_t>(side);
    e->record = static_cast<std::uint8_t>(record);
    e->status = status;
    e->sizeCode = sizeCode;
    e->singleDensity = fm ? 1 : 0;
    return e;
}

// Four cylinders, two sides: an FM boot track, MFM elsewhere, one side-1 track laid out apart.
DiskImagePtr fourCylinders() {
    auto disk = makeDiskImage();
    disk->trackCount = 4;
    disk->sideCount = 2;
    for (int c = 0; c < 4; ++c) {
        for (int s = 0; s < 2; ++s) {
            const bool fm = c == 0 && s == 0;
            for (int r = 1; r <= 5; ++r) {
                put(*disk, s, c, r, 0x03, fm ? 0 : 1, fm);
            }
        }
    }
    put(*disk, 1, 2, 6, 0x03, 2);  // one 512-byte sector more on T002 H1
    return disk;
}

TEST(DiskSurvey, LayoutInRunsAndCounts) {
    auto disk = fourCylinders();
    disk->track(0, 1).sectors[1].status = 0x43;
    disk->track(0, 1).sectors[2].status = 0x83;
    disk->track(1, 1).sectors[0].status = 0x00;  // deleted, mark F8
    setDataState(*disk, 0, 3, 4, DataState::NoDataField);
    const DiskSurvey survey = surveyDisk(*disk);

    std::vector<std::string> runs;
    for (const LayoutRun& run : survey.layout) {
        runs.push_back(layoutRunText(run));
    }
    EXPECT_EQ(runs, (std::vector<std::string>{"T000 H0 FM 5 x 128", "T000 H1 MFM 5 x 256",
                                              "T001 H0-1 MFM 5 x 256", "T002 H0 MFM 5 x 256",
                                              "T002 H1 MFM 5 x 256 + MFM 1 x 512",
                                              "T003 H0-1 MFM 5 x 256"}));
    EXPECT_EQ(survey.counts.sectors(), 41);
    EXPECT_EQ(survey.counts.dataCrcError, 1);
    EXPECT_EQ(survey.counts.badId, 1);
    EXPECT_EQ(survey.counts.deleted, 1);
    EXPECT_EQ(survey.counts.noData, 1);
    EXPECT_EQ(survey.counts.good, 37);
    EXPECT_EQ(trackSymbols(*survey.track(1, 0)), ".CB..");
    EXPECT_EQ(trackSymbols(*survey.track(3, 0)), "....N");
    EXPECT_EQ(trackSymbols(*survey.track(1, 1)), "D....");
    EXPECT_EQ(survey.track(4, 0), nullptr);
}

TEST(DiskSurvey, MissingRecordsAndHeldGeometry) {
    auto disk = makeDiskImage();
    disk->trackCount = 1;
    disk->sideCount = 1;
    for (int r : {1, 2, 4, 6}) {
        put(*disk, 0, 0, r);
    }
    put(*disk, 0, 0, 9, 0x83);    // a bad ID's record does not stretch the sequence
    put(*disk, 0, 0, 200);        // nor does one no track could hold in order
    put(*disk, 1, 2, 2);          // held beyond the stated geometry: shown, not dropped
    const DiskSurvey survey = surveyDisk(*disk);
    EXPECT_EQ(survey.cylinders, 3);
    EXPECT_EQ(survey.sides, 2);
    ASSERT_EQ(survey.tracks.size(), 6u);
    EXPECT_EQ(survey.track(0, 0)->missingRecords, (std::vector<int>{3, 5}));
    EXPECT_EQ(trackSymbols(*survey.track(0, 0)), "....B.--");
    EXPECT_EQ(survey.track(2, 1)->missingRecords, (std::vector<int>{1}));
    EXPECT_EQ(survey.counts.missing, 3);
    EXPECT_EQ(trackSymbols(*survey.track(1, 0)), "");
    EXPECT_EQ(layoutRunText(survey.layout[2]), "T001 H0-1 no sectors");
    // Records numbered from 0 miss nothing.
    auto zero = makeDiskImage();
    for (int r = 0; r < 4; ++r) {
        put(*zero, 0, 0, r);
    }
    EXPECT_TRUE(surveyDisk(*zero).track(0, 0)->missingRecords.empty());
}

}  // namespace
}  // namespace sv
