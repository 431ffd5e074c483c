// The track scan against the turning simulated drive, with the faults that used to cut it short.
#include "drives/track_scan.h"

#include <gtest/gtest.h>

#include "drives/drive_fixtures.h"
#include "drives/simulated_floppy_driver.h"

namespace sv {
namespace {

using svtest::diskFromModel;
using svtest::patternedModel2Disk;

// One sector of a 26 x 256 MFM track at 500 kbit/s, gaps included.
constexpr Nanoseconds kSectorTime{372 * 16'000};

struct Scanned {
    TrackScan scan;
    double revolutions;
    int readIds;
};

Scanned scanTrackOf(const mkdisk::Disk& model, int cylinder, SimulatedDriveOptions options = {}) {
    SimulatedFloppyDriver driver(diskFromModel(model), std::move(options));
    std::unique_ptr<FloppyDrive> drive = driver.openDrive(0);
    drive->seek(static_cast<std::uint8_t>(cylinder), 0);
    const Nanoseconds before = driver.elapsed();
    const int readIdsBefore = driver.readIdCount();
    Scanned s{drive->scanTrack(encoding::mfm, 0), 0, 0};
    s.revolutions = static_cast<double>((driver.elapsed() - before).count()) /
                    static_cast<double>(driver.revolution().count());
    s.readIds = driver.readIdCount() - readIdsBefore;
    return s;
}

std::vector<int> recordsOf(const TrackScan& scan) {
    std::vector<int> records;
    for (int i = 0; i < scan.count; ++i) {
        records.push_back(scan.ids[static_cast<std::size_t>(i)].record);
    }
    return records;
}

std::vector<int> oneTo(int n, int without = 0) {
    std::vector<int> records;
    for (int r = 1; r <= n; ++r) {
        if (r != without) {
            records.push_back(r);
        }
    }
    return records;
}

TEST(TrackScanByTime, HealthyTrackTakesTwoRevolutionsInIndexOrder) {
    const Scanned s = scanTrackOf(patternedModel2Disk(1, 7), 3);
    EXPECT_EQ(recordsOf(s.scan), oneTo(26));
    EXPECT_EQ(s.scan.ids[0], (SectorId{3, 0, 1, 1}));
    EXPECT_EQ(s.scan.badIdCount, 0);
    EXPECT_FALSE(s.scan.incomplete);
    EXPECT_GE(s.revolutions, 2.0);
    EXPECT_LT(s.revolutions, 2.2);
}

TEST(TrackScanByTime, BadIdHeaderIsCountedAndTheRestAreKept) {
    // One bad ID header among 10 sectors used to give a count of 2.
    mkdisk::Disk model = patternedModel2Disk(1, 7);
    model.at(2, 0).sectors.resize(10);
    model.find(2, 0, 3)->badIdCrc = true;
    const Scanned s = scanTrackOf(model, 2);
    EXPECT_EQ(recordsOf(s.scan), oneTo(10, 3));
    EXPECT_EQ(s.scan.badIdCount, 1);
    EXPECT_FALSE(s.scan.incomplete);
}

TEST(TrackScanByTime, SlowControllerMissingEveryOtherIdStillFindsThemAll) {
    SimulatedDriveOptions slow;
    slow.commandLatency = kSectorTime;  // each READ ID costs two sector times
    const Scanned s = scanTrackOf(patternedModel2Disk(1, 7), 4, slow);
    EXPECT_EQ(recordsOf(s.scan), oneTo(26));
    EXPECT_FALSE(s.scan.incomplete);
    EXPECT_LE(s.revolutions, 12.0);
}

TEST(TrackScanByTime, InterruptedReadIdsAreIssuedAgainNotCounted) {
    SimulatedDriveOptions signals;
    signals.interruptedCommands = {3, 4, 11};  // the seek is command 1
    SimulatedFloppyDriver driver(diskFromModel(patternedModel2Disk(1, 7)), signals);
    std::unique_ptr<FloppyDrive> drive = driver.openDrive(0);
    drive->seek(5, 0);
    const TrackScan scan = drive->scanTrack(encoding::mfm, 0);
    EXPECT_EQ(recordsOf(scan), oneTo(26));
    EXPECT_EQ(scan.failedReadIds, 0);
    EXPECT_EQ(driver.interruptions(), 3);
}

TEST(TrackScanByTime, StretchesProbedEmptyLeaveTheScanComplete) {
    // FM sectors amid an MFM track leave a long stretch with no MFM ID: probed, and found empty.
    mkdisk::Disk model = patternedModel2Disk(1, 7);
    for (int r : {9, 10, 11}) {
        model.find(6, 0, r)->fm = true;
    }
    const Scanned s = scanTrackOf(model, 6);
    EXPECT_EQ(s.scan.count, 23);
    EXPECT_FALSE(s.scan.incomplete);
    EXPECT_LE(s.revolutions, 4.0);
}

TEST(TrackScanByTime, EmptySideAnswersAfterTwoIndexPulses) {
    const Scanned s = scanTrackOf(patternedModel2Disk(1, 7), 7);
    EXPECT_EQ(s.scan.count, 0);
    EXPECT_FALSE(s.scan.incomplete);
    EXPECT_EQ(s.readIds, 1);
    EXPECT_LE(s.revolutions, 2.0);
}

}  // namespace
}  // namespace sv
