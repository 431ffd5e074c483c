#include "merge/sector_merge.h"

#include <cstring>

#include <gtest/gtest.h>

#include "formats/dsk.h"
#include "mkdisk/fixture.h"
#include "formats/format_test_support.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::smallDisk;

SectorEntry sector(std::uint8_t record, std::uint8_t status, std::uint8_t fill = 0) {
    SectorEntry e{};
    e.record = record;
    e.status = status;
    e.data.fill(fill);
    return e;
}

TEST(MergeDecision, EveryRowOfTheTable) {
    const SectorEntry good = sector(5, 0x03);
    const SectorEntry badData = sector(5, 0x43);
    const SectorEntry badId = sector(5, 0x83);
    EXPECT_EQ(decideMerge(0, 0, sector(2, 0x43), &good), MergeOutcome::Skipped);
    EXPECT_EQ(decideMerge(0, 0, sector(0, 0x43), &good), MergeOutcome::Skipped);
    EXPECT_EQ(decideMerge(0, 0, sector(3, 0x43), &good), MergeOutcome::Replaced);
    EXPECT_EQ(decideMerge(0, 1, sector(1, 0x43), &good), MergeOutcome::Replaced);
    EXPECT_EQ(decideMerge(1, 0, good, nullptr), MergeOutcome::NoMatch);
    EXPECT_EQ(decideMerge(1, 0, badData, &good), MergeOutcome::Replaced);
    EXPECT_EQ(decideMerge(1, 0, good, &good), MergeOutcome::Replaced);
    EXPECT_EQ(decideMerge(1, 0, badId, &badData), MergeOutcome::Replaced);
    // A damaged copy never replaces a good one.
    EXPECT_EQ(decideMerge(1, 0, good, &badData), MergeOutcome::Kept);
    EXPECT_EQ(decideMerge(1, 0, good, &badId), MergeOutcome::Kept);

    EXPECT_EQ(mergeOutcomeText(MergeOutcome::Replaced, 0x03), " -> Merged -> Replaced");
    EXPECT_EQ(mergeOutcomeText(MergeOutcome::Replaced, 0x43), " -> Merged CRC -> Replaced");
    EXPECT_EQ(mergeOutcomeText(MergeOutcome::Replaced, 0x83), " -> Merged BadID -> Replaced");
    EXPECT_EQ(mergeOutcomeText(MergeOutcome::Kept, 0x43), " -> Kept (source CRC)");
}

TEST(MergeImages, GoldenLogAndWhatChanges) {
    auto target = smallDisk(0x11);
    auto source = smallDisk(0x22);
    target->track(0, 1).sectors[1].status = 0x43;  // C1 R2 bad: replaced by the clean copy
    source->track(0, 1).sectors[2].status = 0x43;  // C1 R3 bad in the source: kept
    source->track(0, 1).sectors[3].record = 9;     // C1 R4 has no match; R9 is not added
    SectorEntry* dup = appendSector(*source, 0, 1);  // a second R1: the last one decides
    *dup = sector(1, 0x83, 0x33);
    TextSink log;
    mergeImages(*target, *source, log);
    EXPECT_EQ(log.currentText(), "Merging disk Images:\r\n"
                                 "T000 H000 S001-> Skipped\r\n"
                                 "T000 H000 S002-> Skipped\r\n"
                                 "T000 H000 S003 -> Merged -> Replaced\r\n"
                                 "T000 H000 S004 -> Merged -> Replaced\r\n"
                                 "T001 H000 S001 -> Kept (source BadID)\r\n"
                                 "T001 H000 S002 -> Merged -> Replaced\r\n"
                                 "T001 H000 S003 -> Kept (source CRC)\r\n"
                                 "3 sectors replaced, 2 kept (source damaged), 0 still damaged\r\n"
                                 " - Disk Images merged.");
    const auto& t = target->track(0, 1).sectors;
    EXPECT_EQ(target->track(0, 0).sectors[0].data[0], 0x11);
    EXPECT_EQ(target->track(0, 0).sectors[2].data[0], 0x22);
    EXPECT_EQ(t[0].data[0], 0x11);
    EXPECT_EQ(t[1].data[0], 0x22);
    EXPECT_EQ(t[1].status, 0x03);
    EXPECT_EQ(t[2].data[0], 0x11);
    EXPECT_EQ(t[3].data[0], 0x11);
    EXPECT_EQ(target->track(0, 1).sectorCount, 4);
}

TEST(MergeImages, SelfMergeAndGeometry) {
    auto target = smallDisk(0x11);
    target->track(0, 1).sectors[0].status = 0x43;
    auto before = makeDiskImage();
    *before = *target;
    TextSink log;
    mergeImages(*target, *before, log);
    EXPECT_EQ(std::memcmp(before.get(), target.get(), sizeof *before), 0);
    EXPECT_NE(log.currentText().find("T001 H000 S001 -> Merged CRC -> Replaced"), std::string::npos);

    // The source's side 1 is outside a one-sided target; an empty target merges nothing.
    auto source = smallDisk(0x22);
    source->sideCount = 2;
    SectorEntry* side1 = appendSector(*source, 1, 1);
    *side1 = sector(1, 0x03, 0x44);
    auto empty = makeDiskImage();
    mergeImages(*empty, *source, log);
    EXPECT_EQ(log.currentText(), "Merging disk Images:\r\n"
                                 "0 sectors replaced, 0 kept (source damaged), 0 still damaged\r\n"
                                 " - Disk Images merged.");
    mergeImages(*target, *source, log);
    EXPECT_EQ(target->track(1, 1).sectorCount, 0);
}

}  // namespace
}  // namespace sv
