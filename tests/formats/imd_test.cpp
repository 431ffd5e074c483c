#include "formats/imd.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "format_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::loadBytes;
using svtest::sectorAt;

svtest::Loaded loadImd(const std::vector<std::uint8_t>& bytes) {
    return loadBytes(loadImdBytes, bytes, "d.imd");
}

// A file of one track record after a bare header.
std::vector<std::uint8_t> oneTrack(std::vector<std::uint8_t> record) {
    std::vector<std::uint8_t> file{'I', 'M', 'D', ' ', '1', '.', '1', '8', '\r', '\n', 0x1A};
    file.insert(file.end(), record.begin(), record.end());
    return file;
}

TEST(ImdReader, Model2SingleSidedGoldenLogAndGeometry) {
    auto model = mkdisk::model2Disk(1);
    model.comment = "TRSDOS\r\nsystem disk";
    svtest::fillPattern(model);
    const auto loaded = loadImd(mkdisk::writeImd(model));
    EXPECT_EQ(loaded.log, "Loading IMD Image: d.imd\r\nIMD 1.18: 07/03/2009 14:05:09\r\nTRSDOS\r\n"
                          "system disk\r\nT076 H0 S26 - IMD image loaded.");
    const DiskImage& d = *loaded.disk;
    EXPECT_EQ(d.trackCount, 77);
    EXPECT_EQ(d.sideCount, 1);
    EXPECT_EQ(d.formatFlags, 0x10);
    EXPECT_EQ(d.trackLength, 10560);
    EXPECT_EQ(svtest::sourcePathOf(d), "d.imd");
    svtest::expectSectorsMatch(model, d);
    EXPECT_EQ(sectorAt(d, 0, 5, 3).status, 0x03);
    EXPECT_EQ(sectorAt(d, 0, 5, 3).singleDensity, 0);
}

TEST(ImdReader, EmptyCommentAddsOneLineBreakOnly) {
    const auto loaded = loadImd(mkdisk::writeImd(mkdisk::model2Disk(1, 2)));
    EXPECT_EQ(loaded.log, "Loading IMD Image: d.imd\r\nIMD 1.18: 07/03/2009 14:05:09\r\n\r\n"
                          "T001 H0 S26 - IMD image loaded.");
}

TEST(ImdReader, DoubleSidedSeventySevenCylindersLoadWhole) {
    // 154 track records: reading only 80 of them would lose half the disk.
    auto model = mkdisk::model2Disk(2);
    svtest::fillPattern(model);
    const auto loaded = loadImd(mkdisk::writeImd(model));
    EXPECT_EQ(loaded.disk->trackCount, 77);
    EXPECT_EQ(loaded.disk->sideCount, 2);
    EXPECT_EQ(loaded.disk->formatFlags, 0x00);
    svtest::expectSectorsMatch(model, *loaded.disk);
}

TEST(ImdReader, RecordTypesGiveStatusAndMarkers) {
    auto model = mkdisk::damagedModel2Disk();
    const auto loaded = loadImd(mkdisk::writeImd(model));
    const DiskImage& d = *loaded.disk;
    const auto& crc = sectorAt(d, 0, 2, 4);  // record 5
    EXPECT_EQ(crc.status, 0x43);
    const auto& unavailable = sectorAt(d, 0, 2, 5);  // record 6, bad ID: stored as type 0
    EXPECT_EQ(unavailable.status, 0x83);
    EXPECT_EQ(unavailable.data[0], 0xE5);
    EXPECT_EQ(unavailable.data[255], 0xE5);
    EXPECT_EQ(unavailable.data[256], 0x20);
    EXPECT_EQ(sectorAt(d, 0, 4, 8).status, 0x04);  // deleted
    EXPECT_EQ(d.track(0, 5).sectorCount, 27);      // the duplicate record is kept
    EXPECT_EQ(loaded.log, "Loading IMD Image: d.imd\r\nIMD 1.18: 07/03/2009 14:05:09\r\n\r\n"
                          "T002 H0 S05 CRC\r\nT002 H0 S06 BadID\r\nT003 H0 S01 BadID\r\n"
                          "T076 H0 S26 - IMD image loaded.");
}

TEST(ImdReader, HeadMapsCompressionAndSizes) {
    // Head byte 0xC1: cylinder map then head map.
    const auto maps = loadImd(oneTrack({3, 4, 0x00, 1, 1, 9, 2, 0,  // side 0 of the cylinder
                                        3, 4, 0xC1, 2, 1, /*R*/ 7, 8, /*C*/ 40, 41, /*H*/ 5, 6,
                                        2, 0xE5, 6, 0x11}));
    const DiskImage& d = *maps.disk;
    EXPECT_EQ(d.sideCount, 2);
    ASSERT_EQ(d.track(1, 4).sectorCount, 2);
    EXPECT_EQ(sectorAt(d, 1, 4, 0).cylinder, 40);
    EXPECT_EQ(sectorAt(d, 1, 4, 0).head, 5);
    EXPECT_EQ(sectorAt(d, 1, 4, 1).head, 6);
    EXPECT_EQ(sectorAt(d, 1, 4, 1).record, 8);
    EXPECT_EQ(sectorAt(d, 1, 4, 0).data[255], 0xE5);
    EXPECT_EQ(sectorAt(d, 1, 4, 0).data[256], 0x20);
    EXPECT_EQ(sectorAt(d, 1, 4, 1).status, 0x43);
    // Two records over two sides state one cylinder; cylinder 4 is held beyond it.
    EXPECT_EQ(maps.log, "Loading IMD Image: d.imd\r\nIMD 1.18\r\n\r\nT041 H6 S08 CRC\r\n"
                        "3 sectors lie outside the stated 1 cylinder and 2 sides (cylinder 4 "
                        "side 0 to cylinder 4 side 1); kept, and saved, merged and analysed with "
                        "the rest.\r\nT041 H6 S08 - IMD image loaded.");

    std::vector<std::uint8_t> big{3, 0, 0, 1, 4, 1, 1};
    for (int i = 0; i < 2048; ++i) big.push_back(static_cast<std::uint8_t>(i < 1024 ? 1 : 2));
    const auto n4 = loadImd(oneTrack(big));
    EXPECT_EQ(sectorAt(*n4.disk, 0, 0, 0).data[1023], 1);  // first 1024 kept
    EXPECT_EQ(n4.disk->track(0, 0).sectorCount, 1);

    EXPECT_EQ(loadImd(oneTrack({6, 0, 0, 1, 0, 1, 2, 0})).disk->trackLength, 0);
    EXPECT_EQ(loadImd(oneTrack({1, 0, 0, 1, 0, 1, 2, 0})).disk->trackLength, 6528);
    EXPECT_EQ(sectorAt(*loadImd(oneTrack({1, 0, 0, 1, 0, 1, 2, 0})).disk, 0, 0, 0).singleDensity, 1);
}

TEST(ImdReader, WhatDoesNotFitIsReportedInOneLine) {
    std::vector<std::uint8_t> record{3, 0, 0, 32, 0};
    for (int r = 1; r <= 32; ++r) record.push_back(static_cast<std::uint8_t>(r));
    for (int r = 1; r <= 32; ++r) record.insert(record.end(), {2, 0x55});
    for (const auto b : std::vector<std::uint8_t>{3, 80, 0, 1, 0, 1, 2, 0x66}) record.push_back(b);
    const auto loaded = loadImd(oneTrack(record));
    EXPECT_EQ(loaded.disk->track(0, 0).sectorCount, 30);
    EXPECT_EQ(loaded.disk->trackCount, 1);
    EXPECT_EQ(loaded.log, "Loading IMD Image: d.imd\r\nIMD 1.18\r\n\r\n"
                          "T000 H0 S31 and 2 more sectors lie beyond cylinder 79 or the 30th "
                          "sector of a track; not kept.\r\nT000 H0 S30 - IMD image loaded.");
}

TEST(ImdReader, RefusalsAndTruncation) {
    const auto noEnd = loadImd({'I', 'M', 'D', ' ', '1', '.', '1', '8', '\r', '\n'});
    EXPECT_EQ(noEnd.log, "Loading IMD Image: d.imd\r\nd.imd has no end of header (0x1A); it is "
                         "not an IMD image\r\nOperation aborted");
    EXPECT_TRUE(isEmpty(*noEnd.disk));

    auto bytes = mkdisk::writeImd(mkdisk::model2Disk(1, 2), {.compress = false});
    bytes.resize(bytes.size() - 300);
    const auto cut = loadImd(bytes);
    EXPECT_EQ(cut.disk->trackCount, 2);
    // Every sector the numbering map names is kept; the one past the end loads as type 0
    // does, so a merge with a second read fills it.
    EXPECT_EQ(cut.disk->track(0, 1).sectorCount, 26);
    EXPECT_EQ(sectorAt(*cut.disk, 0, 1, 24).status, 0x43);
    EXPECT_EQ(dataState(*cut.disk, 0, 1, 24), DataState::CutShort);
    EXPECT_EQ(sectorAt(*cut.disk, 0, 1, 25).status, 0x83);
    EXPECT_EQ(sectorAt(*cut.disk, 0, 1, 25).data[0], 0xE5);
    EXPECT_EQ(dataState(*cut.disk, 0, 1, 25), DataState::NoDataField);
    EXPECT_NE(cut.log.find("T001 H0 S25 CRC\r\nT001 H0 S26 BadID\r\nd.imd ends inside the data "
                           "of T001 H0 S25; what is missing reads as spaces, marked CRC; 1 sector "
                           "after it loads as unavailable (0xE5, BadID).\r\n"
                           "T001 H0 S26 - IMD image loaded."),
              std::string::npos)
        << cut.log;

    auto disk = makeDiskImage();
    TextSink log;
    loadImdImage("/nonexistent/x.imd", *disk, log);
    EXPECT_EQ(log.currentText(), "Loading IMD Image: /nonexistent/x.imd\r\n"
                                 "/nonexistent/x.imd does not exist\r\nOperation aborted");
}

TEST(ImdReader, SideLogOnlyWhenAskedAndNeverOverAFileNotOurs) {
    svtest::TempDir dir;
    const std::string path = dir.file("DISK.IMD");
    const std::string side = dir.file("DISK.log");
    svtest::writeFile(path, mkdisk::writeImd(mkdisk::model2Disk(1, 2)));
    const auto load = [&](bool sideLog) {
        auto disk = makeDiskImage();
        TextSink log;
        loadImdImage(path, *disk, log, LoadOptions{.imdSideLog = sideLog});
        EXPECT_EQ(disk->trackCount, 2) << log.currentText();
        return log.currentText();
    };
    const auto sideText = [&] {
        const auto bytes = svtest::readFile(side);
        return std::string(bytes.begin(), bytes.end());
    };
    const std::string quiet = load(false);
    EXPECT_FALSE(std::filesystem::exists(side));
    EXPECT_EQ(load(true), quiet);
    EXPECT_EQ(sideText(), "Loading IMD Image: " + path + "\r\n");

    // An earlier side log (of another path) is replaced.
    svtest::writeFile(side, {'L', 'o', 'a', 'd', 'i', 'n', 'g', ' ', 'I', 'M', 'D', ' ', 'I', 'm',
                             'a', 'g', 'e', ':', ' ', 'x', '\r', '\n'});
    (void)load(true);
    EXPECT_EQ(sideText(), "Loading IMD Image: " + path + "\r\n");

    // The user's own notes stay as they are, and the log says why nothing was written.
    const std::string notes = "Imaged on the second drive, two passes.\n";
    svtest::writeFile(side, std::vector<std::uint8_t>(notes.begin(), notes.end()));
    const std::string kept = load(true);
    EXPECT_EQ(sideText(), notes);
    EXPECT_NE(kept.find("\r\nNo side log was written: " + side +
                        " is kept, as it is not a side log of an IMD load (it does not start "
                        "with \"Loading IMD Image: \").\r\n"),
              std::string::npos)
        << kept;
    EXPECT_TRUE(kept.ends_with(" - IMD image loaded."));
}

TEST(ImdReader, AnImageThatCannotBeReadSaysWhy) {
    svtest::TempDir dir;
    const std::string folder = dir.file("folder.imd");
    std::filesystem::create_directory(folder);
    auto disk = makeDiskImage();
    TextSink log;
    loadImdImage(folder, *disk, log);
    EXPECT_EQ(log.currentText(), "Loading IMD Image: " + folder + "\r\n" + folder +
                                     " could not be read.\r\nCause: Is a directory.\r\n"
                                     "Operation aborted");
}

}  // namespace
}  // namespace sv
