#include "drives/physical_reader.h"

#include <gtest/gtest.h>

#include "drives/drive_fixtures.h"
#include "drives/simulated_floppy_driver.h"

namespace sv {
namespace {

using svtest::diskFromModel;
using svtest::patternedModel2Disk;
using svtest::RecordingDriver;

struct Outcome {
    DiskImagePtr disk = makeDiskImage();
    TextSink log;
    [[nodiscard]] std::string lastLines(int n) const {
        const std::string& t = log.currentText();
        std::size_t at = t.size();
        for (int i = 0; i < n && at != std::string::npos && at > 0; ++i) {
            at = t.rfind("\r\n", at - 1);
        }
        return at == std::string::npos ? t : t.substr(at + 2);
    }
};

Outcome readWith(FloppyDriver& driver, std::string_view drive = "A:") {
    Outcome o;
    o.disk->trackCount = 9;  // a previous disk must not survive
    readPhysicalDisk(drive, *o.disk, driver, o.log);
    return o;
}

Outcome readImage(std::shared_ptr<const DiskImage> image, SimulatedDriveOptions options = {},
                  std::string_view drive = "A:") {
    SimulatedFloppyDriver driver(std::move(image), std::move(options));
    return readWith(driver, drive);
}

TEST(PhysicalReader, DriverChecksStopWithTheirLines) {
    SimulatedDriveOptions absent;
    absent.driverPresent = false;
    Outcome o = readImage(makeDiskImage(), absent);
    EXPECT_EQ(o.log.currentText(),
              "Loading Physical disc in Drive A:\r\nFDRAWREAD.SYS is not installed, or no floppy "
              "drive present. Please correct and try again.");
    EXPECT_EQ(o.disk->trackCount, 0);

    const std::string outOfDate =
        "Loading Physical disc in Drive A:\r\nFDRAWREAD.SYS is out of date, it needs to be "
        "v1.00.01.10 or above. Please correct and try again.";
    SimulatedDriveOptions failingQuery;
    failingQuery.versionQueryFails = true;
    EXPECT_EQ(readImage(makeDiskImage(), failingQuery).log.currentText(), outOfDate);
    SimulatedDriveOptions newer;
    newer.version = 0x02000000;
    EXPECT_EQ(readImage(makeDiskImage(), newer).log.currentText(), outOfDate);

    SimulatedDriveOptions older;
    older.version = 0x01000005;
    EXPECT_EQ(readImage(diskFromModel(patternedModel2Disk(1, 7)), older).disk->trackCount, 7);
}

TEST(PhysicalReader, DriveLetterPicksTheUnit) {
    auto image = diskFromModel(patternedModel2Disk(1, 7));
    SimulatedDriveOptions onlyB;
    onlyB.driveAPresent = false;
    EXPECT_EQ(readImage(image, onlyB, "b:").disk->trackCount, 7);
    EXPECT_EQ(readImage(image, onlyB, "A:").lastLines(2),
              "Floppy drive was not opened. Please correct and try again.\r\n"
              "The simulation has no drive A.");
    for (std::string_view drive : {"C:", ""}) {
        Outcome o = readImage(image, {}, drive);
        EXPECT_EQ(o.lastLines(1), drive.empty() ? "No drive was named; the drives are A: and B:."
                                                : "C: names no drive; the drives are A: and B:.");
        EXPECT_EQ(o.disk->trackCount, 0);
    }
}

TEST(PhysicalReader, WholeTwoSidedDiskEqualsTheImageItCameFrom) {
    mkdisk::Disk model = patternedModel2Disk(2);
    model.find(3, 1, 7)->badDataCrc = true;
    model.find(40, 0, 26)->badDataCrc = true;
    auto image = diskFromModel(model);
    SimulatedFloppyDriver driver(image);
    Outcome o = readWith(driver);

    // The cost of the whole read, probe and the empty track 77 included.
    const double turnsPerSide = static_cast<double>(driver.elapsed().count()) /
                                static_cast<double>(driver.revolution().count()) / (77 * 2);
    RecordProperty("revolutionsPerTrackSide", std::to_string(turnsPerSide));
    EXPECT_LT(turnsPerSide, 4.5);
    EXPECT_EQ(o.disk->trackCount, 77);
    EXPECT_EQ(o.disk->sideCount, 2);
    EXPECT_EQ(o.disk->trackLength, 10560);
    for (int side = 0; side < 2; ++side) {
        for (int c = 0; c < 77; ++c) {
            const TrackRecord& want = image->track(side, c);
            const TrackRecord& got = o.disk->track(side, c);
            ASSERT_EQ(got.sectorCount, want.sectorCount) << side << "/" << c;
            for (int k = 0; k < want.sectorCount; ++k) {
                const SectorEntry& w = want.sectors[k];
                const SectorEntry& g = got.sectors[k];
                EXPECT_EQ(std::tie(g.cylinder, g.head, g.record, g.sizeCode, g.singleDensity),
                          std::tie(w.cylinder, w.head, w.record, w.sizeCode, w.singleDensity));
                EXPECT_EQ(g.data, w.data) << side << "/" << c << "/" << k;
                EXPECT_EQ(g.status, w.status);
            }
        }
    }
    EXPECT_EQ(o.disk->track(1, 3).sectors[6].status, 0x43);
    const std::string& text = o.log.currentText();
    EXPECT_EQ(text.substr(0, text.find("T003 H1")),
              "Loading Physical disc in Drive A:\r\nDetermining Drive parameters.\r\n"
              "Drive size is 8in or 5.25in HD, Single-Stepped, and Double-Sided. \r\n");
    EXPECT_NE(text.find("\r\nT003 H1 S07 CRC\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nT040 H0 S26 CRC\r\n"), std::string::npos);
    // Track 77 has no IDs on either side: two bad-track lines, and the read ends there.
    EXPECT_EQ(o.lastLines(3),
              "T077 H0  Bad Track \r\nT077 H1  Bad Track \r\nT077 H1 S00- Physical disk loaded.");
}

TEST(PhysicalReader, SmallDiskGivesTheWholeLogText) {
    mkdisk::Disk model = patternedModel2Disk(1, 7);
    for (mkdisk::Track& t : model.tracks) {
        t.sectors.resize(2);
    }
    model.find(1, 0, 2)->badDataCrc = true;
    model.find(4, 0, 1)->badDataCrc = true;
    Outcome o = readImage(diskFromModel(model));
    EXPECT_EQ(o.log.currentText(),
              "Loading Physical disc in Drive A:\r\nDetermining Drive parameters.\r\n"
              "Drive size is 8in or 5.25in HD, Single-Stepped, and Single-Sided. \r\n"
              "T001 H0 S02 CRC\r\nT004 H0 S01 CRC\r\n"
              "12 sectors read good, 2 still damaged: T001 H0 S02, T004 H0 S01. The read ended "
              "normally: track 7 has no IDs, so the disk has 7 tracks.\r\n"
              "T007 H0  Bad Track \r\nT007 H0 S00- Physical disk loaded.");
}

TEST(PhysicalReader, FmDiskAt250IsFoundOnTheSixthProbeScan) {
    mkdisk::Disk model = patternedModel2Disk(1, 10);
    for (mkdisk::Track& t : model.tracks) {
        for (mkdisk::Sector& s : t.sectors) {
            s.fm = true;
            s.sizeCode = 0;
            s.data.resize(128);
        }
    }
    SimulatedFloppyDriver sim(diskFromModel(model, 6528));
    RecordingDriver driver(sim);
    Outcome o = readWith(driver);
    const std::vector<std::pair<int, int>> probe{{0, 0x40}, {0, 0}, {1, 0x40},
                                                 {1, 0},    {2, 0x40}, {2, 0}};
    ASSERT_GE(driver.calls.scans.size(), 6u);
    EXPECT_EQ(std::vector(driver.calls.scans.begin(), driver.calls.scans.begin() + 6), probe);
    EXPECT_NE(o.log.currentText().find("\r\nDrive size is 5.25in HD, Single-Stepped, and "
                                       "Single-Sided. \r\n"),
              std::string::npos);
    EXPECT_EQ(o.disk->trackLength, 6528);
    EXPECT_EQ(o.disk->trackCount, 10);
    const SectorEntry& s = o.disk->track(0, 4).sectors[0];
    EXPECT_EQ(s.singleDensity, 1);
    EXPECT_EQ(driver.calls.reads.back().flags, encoding::fm);
}

TEST(PhysicalReader, NothingAtAnyRateEndsTheRead) {
    Outcome o = readImage(makeDiskImage());
    EXPECT_EQ(o.lastLines(1), "Could not determine parameters - exiting.");
    EXPECT_EQ(o.disk->trackCount, 0);
}

TEST(PhysicalReader, SingleIdProbeCountsAsDoubleStepped) {
    mkdisk::Disk model = patternedModel2Disk(1, 20);
    for (mkdisk::Track& t : model.tracks) {
        t.sectors.resize(1);
    }
    SimulatedFloppyDriver sim(diskFromModel(model));
    RecordingDriver driver(sim);
    Outcome o = readWith(driver);
    EXPECT_NE(o.log.currentText().find("Double-Stepped"), std::string::npos);
    // The head goes to 0, 2, 4 ...: ten tracks of the twenty answer.
    EXPECT_EQ(o.disk->trackCount, 10);
    EXPECT_EQ(o.disk->track(0, 3).sectors[0].cylinder, 6);
}

TEST(PhysicalReader, DoubleSteppedDiskReadsWithItsRecordedCylinders) {
    auto image = diskFromModel(patternedModel2Disk(2, 40));
    SimulatedDriveOptions options;
    options.doubleStepped = true;
    SimulatedFloppyDriver sim(image, options);
    RecordingDriver driver(sim);
    Outcome o = readWith(driver);
    EXPECT_NE(o.log.currentText().find("Double-Stepped, and Double-Sided."), std::string::npos);
    EXPECT_EQ(o.disk->trackCount, 40);
    EXPECT_EQ(o.log.currentText().find(" CRC"), std::string::npos);
    EXPECT_EQ(o.log.currentText().find(" Unreadable"), std::string::npos);
    const SectorEntry& s = o.disk->track(1, 21).sectors[4];
    EXPECT_EQ(s.cylinder, 21);
    EXPECT_EQ(s.data, image->track(1, 21).sectors[4].data);
    EXPECT_EQ(driver.calls.seeks.back(), 80);  // the empty track after the last one
}

TEST(PhysicalReader, RequestNamesTheRecordedHead) {
    // Some formats record head 0 in the IDs of the second side too.
    mkdisk::Disk model = patternedModel2Disk(2, 7);
    for (int c = 0; c < 7; ++c) {
        for (mkdisk::Sector& s : model.at(c, 1).sectors) {
            s.head = 0;
        }
    }
    Outcome o = readImage(diskFromModel(model));
    EXPECT_EQ(o.log.currentText().find(" Unreadable"), std::string::npos);
    EXPECT_EQ(o.disk->track(1, 2).sectors[0].head, 1);
    EXPECT_EQ(o.disk->track(1, 2).sectors[0].status, 0x03);
}

TEST(PhysicalReader, EightyTracksEndTheRead) {
    auto image = diskFromModel(patternedModel2Disk(1, 80));
    Outcome o = readImage(image);
    EXPECT_EQ(o.disk->trackCount, 80);
    EXPECT_EQ(o.log.currentText().find("Bad Track"), std::string::npos);
    EXPECT_EQ(o.lastLines(1), "T079 H0 S26- Physical disk loaded.");
}

TEST(PhysicalReader, BadSideZeroDoesNotEndTheRead) {
    mkdisk::Disk model = patternedModel2Disk(2, 8);
    model.at(5, 0).sectors.clear();
    Outcome o = readImage(diskFromModel(model));
    EXPECT_EQ(o.disk->trackCount, 8);
    EXPECT_NE(o.log.currentText().find("\r\nT005 H0  Bad Track \r\n"),
              std::string::npos);
}

TEST(PhysicalReader, CrcErrorsAreRetriedFiveTimes) {
    mkdisk::Disk model = patternedModel2Disk(1, 7);
    model.find(2, 0, 4)->badDataCrc = true;
    model.find(0, 0, 9)->badDataCrc = true;  // FM
    auto image = diskFromModel(model);
    struct Case {
        int failures;
        std::uint8_t status;
        int reads;
    };
    for (const Case& c : {Case{3, 0x03, 4}, Case{5, 0x03, 6}, Case{6, 0x43, 6}, Case{-1, 0x43, 6}}) {
        SimulatedDriveOptions options;
        options.crcFailuresBeforeGood = c.failures;
        SimulatedFloppyDriver driver(image, options);
        Outcome o = readWith(driver);
        const SectorEntry& mfm = o.disk->track(0, 2).sectors[3];
        const SectorEntry& fm = o.disk->track(0, 0).sectors[8];
        EXPECT_EQ(mfm.status, c.status) << c.failures;
        EXPECT_EQ(fm.status, c.status) << c.failures;
        EXPECT_EQ(driver.readsOf(0, 2, 3), c.reads) << c.failures;
        EXPECT_EQ(mfm.data, image->track(0, 2).sectors[3].data);
        const bool marked = c.status == 0x43;
        EXPECT_EQ(o.log.currentText().find("\r\nT002 H0 S04 CRC\r\n") != std::string::npos,
                  marked);
        EXPECT_EQ(o.log.currentText().find("\r\nT000 H0 S09 CRC\r\n") != std::string::npos,
                  marked);
    }
}

TEST(PhysicalReader, RequestFieldsFollowTheSizeCode) {
    mkdisk::Disk model = patternedModel2Disk(1, 7);
    model.at(0, 0).sectors.resize(4);
    for (std::uint8_t n = 0; n < 4; ++n) {
        mkdisk::Sector& s = model.at(0, 0).sectors[n];
        s.fm = false;
        s.sizeCode = n;
        s.data.assign(std::size_t{128} << n, static_cast<std::uint8_t>(0x10 + n));
    }
    auto image = diskFromModel(model);
    SimulatedFloppyDriver sim(image);
    RecordingDriver driver(sim);
    Outcome o = readWith(driver);
    ASSERT_GE(driver.calls.reads.size(), 4u);
    const std::uint8_t gaps[] = {0x1B, 0x36, 0x51, 0x76};
    const std::uint8_t lengths[] = {0x80, 0xFF, 0xFF, 0xFF};
    for (std::uint8_t n = 0; n < 4; ++n) {
        const ReadRequest& r = driver.calls.reads[n];
        EXPECT_EQ(r, (ReadRequest{encoding::mfm, 0, 0, 0, static_cast<std::uint8_t>(n + 1), n,
                                  static_cast<std::uint8_t>(n + 2), gaps[n], lengths[n]}));
        EXPECT_EQ(driver.calls.readBufferSizes[n], std::size_t{128} << n);
    }
    const SectorEntry& small = o.disk->track(0, 0).sectors[0];
    EXPECT_EQ(small.data[127], 0x10);
    EXPECT_EQ(small.data[128], 0x20);
    EXPECT_EQ(small.data[1023], 0x20);
}

TEST(PhysicalReader, ScansBeyondThirtyIdsAndLongSectorsAreCut) {
    auto image = diskFromModel(patternedModel2Disk(1, 7));
    SimulatedFloppyDriver sim(image);
    RecordingDriver driver(sim);
    driver.scanHook = [](int cylinder, std::uint8_t flags, std::uint8_t head)
        -> std::optional<TrackScan> {
        if (cylinder != 1 || flags != encoding::mfm || head != 0) {
            return std::nullopt;
        }
        TrackScan scan;
        scan.count = 33;
        for (int i = 0; i < 33; ++i) {
            scan.ids[i] = SectorId{1, 0, static_cast<std::uint8_t>(i + 1), 4};
        }
        return scan;
    };
    driver.readHook = [](const ReadRequest& r, std::span<std::uint8_t> buffer)
        -> std::optional<ReadResult> {
        if (r.sizeCode != 4) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = static_cast<std::uint8_t>(i / 1024 + 1);
        }
        return ReadResult{ReadOutcome::Read, buffer.size()};
    };
    Outcome o = readWith(driver);
    const TrackRecord& t = o.disk->track(0, 1);
    EXPECT_EQ(t.sectorCount, 30);
    EXPECT_EQ(t.sectors[29].record, 30);
    EXPECT_EQ(t.sectors[0].data[1023], 1);
    EXPECT_EQ(t.sectors[0].sizeCode, 4);
    EXPECT_NE(std::find(driver.calls.readBufferSizes.begin(), driver.calls.readBufferSizes.end(),
                        2048u),
              driver.calls.readBufferSizes.end());
    EXPECT_NE(o.log.currentText().find("\r\nT001 H0 S00 33 IDs, the first 30 kept\r\n"),
              std::string::npos);
}

TEST(PhysicalReader, FailedReadIsMarkedAndHoldsNoOtherSectorsBytes) {
    auto image = diskFromModel(patternedModel2Disk(1, 7));
    SimulatedFloppyDriver sim(image);
    RecordingDriver driver(sim);
    driver.readHook = [](const ReadRequest& r, std::span<std::uint8_t>) -> std::optional<ReadResult> {
        if (r.cylinder == 1 && r.record == 5) {
            return ReadResult{ReadOutcome::Failed, 0};
        }
        return std::nullopt;
    };
    Outcome o = readWith(driver);
    const SectorEntry& s = o.disk->track(0, 1).sectors[4];
    EXPECT_EQ(s.status, 0x43);
    EXPECT_EQ(s.data[0], 0);
    EXPECT_EQ(s.data[255], 0);
    EXPECT_EQ(s.data[256], 0x20);
    EXPECT_NE(o.log.currentText().find("\r\nT001 H0 S05 Unreadable\r\n"),
              std::string::npos);
    EXPECT_EQ(std::count_if(driver.calls.reads.begin(), driver.calls.reads.end(),
                            [](const ReadRequest& r) { return r.cylinder == 1 && r.record == 5; }),
              1);
}

}  // namespace
}  // namespace sv

namespace sv {
namespace {

TEST(PhysicalReaderReport, BadIdsDeletedMarksAndTheClosingSummary) {
    mkdisk::Disk model = patternedModel2Disk(2, 8);
    model.find(2, 0, 5)->badIdCrc = true;
    model.find(5, 1, 9)->badIdCrc = true;
    model.find(5, 1, 10)->badIdCrc = true;
    for (int r = 1; r <= 22; ++r) {
        model.find(4, 0, r)->badDataCrc = true;
    }
    model.find(6, 1, 3)->mark = 0xF8;
    model.at(3, 0).sectors.clear();
    model.find(3, 1, 2)->badIdCrc = true;
    Outcome o = readImage(diskFromModel(model));
    const std::string& text = o.log.currentText();
    EXPECT_NE(text.find("\r\nT003 H0  Bad Track \r\nT003 H1 1 ID with a CRC error: its sector "
                        "was not read\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\nT002 H0 1 ID with a CRC error: its sector was not read\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\nT005 H1 2 IDs with a CRC error: their sectors were not read\r\n"),
              std::string::npos);
    EXPECT_EQ(o.disk->track(0, 2).sectorCount, 25);
    EXPECT_EQ(o.disk->track(0, 2).sectors[4].record, 6);
    EXPECT_EQ(o.disk->track(1, 6).sectors[2].status, status::deletedData);
    EXPECT_EQ(o.disk->track(1, 6).sectors[3].status, 0x03);
    // 15 x 26 IDs, 4 of them bad, 22 sectors still damaged; the list stops at 20.
    std::string listed;
    for (int r = 1; r <= 20; ++r) {
        listed += (r == 1 ? ": " : ", ") + shortSectorField(4, 0, r);
    }
    EXPECT_EQ(o.lastLines(4),
              "364 sectors read good, 22 still damaged" + listed +
                  " and 2 more; 4 IDs with a CRC error. The read ended normally: track 8 has no "
                  "IDs, so the disk has 8 tracks.\r\nT008 H0  Bad Track \r\nT008 H1  Bad Track "
                  "\r\nT008 H1 S00- Physical disk loaded.");
}

TEST(PhysicalReaderReport, SlowControllerAndSignalsStillReadTheWholeDisk) {
    auto image = diskFromModel(patternedModel2Disk(2, 77));
    SimulatedDriveOptions options;
    options.commandLatency = std::chrono::nanoseconds{372 * 16'000};  // a READ ID costs two sector times
    options.interruptedCommands = {40, 400, 401, 2000};
    SimulatedFloppyDriver driver(image, options);
    Outcome o = readWith(driver);
    EXPECT_EQ(o.disk->trackCount, 77);
    for (int side = 0; side < 2; ++side) {
        for (int c = 0; c < 77; ++c) {
            const TrackRecord& got = o.disk->track(side, c);
            ASSERT_EQ(got.sectorCount, 26) << side << "/" << c;
            for (int k = 0; k < 26; ++k) {
                EXPECT_EQ(got.sectors[k].data, image->track(side, c).sectors[k].data);
            }
        }
    }
    EXPECT_EQ(driver.interruptions(), 4);
    const double turnsPerSide = static_cast<double>(driver.elapsed().count()) /
                                static_cast<double>(driver.revolution().count()) / (77 * 2);
    RecordProperty("revolutionsPerTrackSide", std::to_string(turnsPerSide));
    EXPECT_EQ(o.log.currentText().find("Unreadable"), std::string::npos);
    EXPECT_EQ(o.log.currentText().find("scan incomplete"), std::string::npos);
}

}  // namespace
}  // namespace sv
