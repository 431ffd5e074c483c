#include "formats/td0.h"

#include <gtest/gtest.h>

#include "format_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::loadBytes;
using svtest::sectorAt;

svtest::Loaded loadTd0(const std::vector<std::uint8_t>& bytes) {
    return loadBytes(loadTd0Bytes, bytes, "d.td0");
}

// An image header for one side, drive type 2, no comment, then the given tracks.
std::vector<std::uint8_t> image(std::vector<std::uint8_t> tracks, std::uint8_t sides = 1) {
    std::vector<std::uint8_t> file{'T', 'D', 0, 0, 0x15, 0, 2, 0, 0, sides, 0, 0};
    file.insert(file.end(), tracks.begin(), tracks.end());
    return file;
}

std::string creationLine(std::vector<std::uint8_t> created) {
    mkdisk::Disk disk = mkdisk::model2Disk(1, 2);
    disk.comment = "x";
    const auto log = loadTd0(mkdisk::writeTd0(disk, {.created = std::move(created)})).log;
    const auto start = log.find("Image created: ");
    return log.substr(start, log.find('\r', start) - start);
}

TEST(Td0Reader, GoldenLogWithCommentAndEveryBlockKind) {
    auto model = mkdisk::model2Disk(1);
    svtest::fillPattern(model);
    model.comment = std::string("ABC\nDEF\n\n", 9);
    const auto loaded = loadTd0(mkdisk::writeTd0(model));
    EXPECT_EQ(loaded.log, "Loading Teledisk Image: d.td0\r\nd.td0 uses Normal Compression\r\n"
                          "Image created: 07 Mar 2009 at 02:05:09pm\r\n\r\nABC\r\nDEF\r\n\r\n"
                          "T076 H0 S26 - Teledisk image loaded.");
    const DiskImage& d = *loaded.disk;
    EXPECT_EQ(d.trackCount, 77);
    EXPECT_EQ(d.sideCount, 1);
    EXPECT_EQ(d.formatFlags, 0x10);
    EXPECT_EQ(d.trackLength, 10560);
    EXPECT_EQ(svtest::sourcePathOf(d), "d.td0");
    svtest::expectSectorsMatch(model, d);  // records cycle through raw, pattern and RLE blocks
    EXPECT_EQ(sectorAt(d, 0, 0, 0).singleDensity, 1);
    EXPECT_EQ(sectorAt(d, 0, 1, 0).status, 0x03);
}

TEST(Td0Reader, CreationDateOnATwelveHourClock) {
    EXPECT_EQ(creationLine({109, 2, 7, 14, 5, 9}), "Image created: 07 Mar 2009 at 02:05:09pm");
    EXPECT_EQ(creationLine({80, 0, 1, 0, 0, 0}), "Image created: 01 Jan 1980 at 12:00:00am");
    EXPECT_EQ(creationLine({80, 11, 31, 12, 59, 59}), "Image created: 31 Dec 1980 at 12:59:59pm");
    EXPECT_EQ(creationLine({80, 12, 31, 11, 0, 0}), "Image created: 31 ??? 1980 at 11:00:00am");
}

TEST(Td0Reader, EmptyCommentAndDoubleSidedDisk) {
    mkdisk::Disk disk = mkdisk::model2Disk(2);
    const auto loaded = loadTd0(mkdisk::writeTd0(disk, {.emptyComment = true}));
    EXPECT_NE(loaded.log.find("02:05:09pm\r\n\r\n\r\nT076 H1 S26 - Teledisk"), std::string::npos);
    EXPECT_EQ(loaded.disk->trackCount, 77);
    EXPECT_EQ(loaded.disk->sideCount, 2);
    EXPECT_EQ(loaded.disk->formatFlags, 0);
}

TEST(Td0Reader, SectorFlags) {
    auto model = mkdisk::damagedModel2Disk();
    model.find(6, 0, 2)->noDataField = true;
    const auto loaded = loadTd0(mkdisk::writeTd0(model));
    const DiskImage& d = *loaded.disk;
    EXPECT_EQ(sectorAt(d, 0, 2, 4).status, 0x43);
    EXPECT_EQ(sectorAt(d, 0, 3, 0).status, 0xC3);  // flags 0x82
    EXPECT_EQ(sectorAt(d, 0, 4, 8).status, 0x04);  // deleted data keeps its mark
    const auto& noData = sectorAt(d, 0, 6, 1);
    EXPECT_EQ(noData.status, 0x43);
    EXPECT_EQ(noData.data[0], 0x20);
    // The sectors after the one without data blocks still read their own bytes.
    svtest::expectSectorsMatch(model, d);
    EXPECT_EQ(loaded.log, "Loading Teledisk Image: d.td0\r\nd.td0 uses Normal Compression\r\n"
                          "T002 H0 S05 CRC\r\nT002 H0 S06 BadID\r\nT003 H0 S01 BadID\r\n"
                          "T003 H0 S01 CRC\r\nT006 H0 S02 CRC\r\nT076 H0 S26 - Teledisk image loaded.");

    // 0x10: not copied, no blocks, no error; a size code above 6 carries no blocks either.
    const auto skipped = loadTd0(image({2, 0, 0, 0, /*sector*/ 0, 0, 1, 0, 0x10, 0,
                                        /*sector*/ 0, 0, 2, 7, 0x00, 0, 0xFF}));
    EXPECT_EQ(skipped.disk->track(0, 0).sectorCount, 2);
    EXPECT_EQ(sectorAt(*skipped.disk, 0, 0, 0).status, 0x03);
    EXPECT_EQ(sectorAt(*skipped.disk, 0, 0, 0).data[0], 0x20);
    EXPECT_EQ(sectorAt(*skipped.disk, 0, 0, 1).sizeCode, 7);
}

TEST(Td0Reader, BlockEncodings) {
    // Encoding 1: 128 x E5 E5 for a 256-byte sector.
    const auto pattern = loadTd0(image({1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 5, 0, 1, 128, 0, 0xE5, 0xE5,
                                        0xFF}));
    EXPECT_EQ(sectorAt(*pattern.disk, 0, 0, 0).data[255], 0xE5);
    EXPECT_EQ(sectorAt(*pattern.disk, 0, 0, 0).data[256], 0x20);

    // Encoding 2: literal 41 42 43, then 00 FF repeated until 128 bytes; an unknown block
    // before it adds nothing.
    std::vector<std::uint8_t> rle{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, /*unknown*/ 0, 0, 9,
                                  /*rle*/ 0, 0, 2, 0, 3, 0x41, 0x42, 0x43};
    for (int i = 0; i < 62; ++i) rle.insert(rle.end(), {1, 1, 0x00, 0xFF});
    rle.insert(rle.end(), {0, 1, 0x77, 0xFF});
    const auto loaded = loadTd0(image(rle));
    const auto& e = sectorAt(*loaded.disk, 0, 0, 0);
    EXPECT_EQ(e.data[0], 0x41);
    EXPECT_EQ(e.data[2], 0x43);
    EXPECT_EQ(e.data[3], 0x00);
    EXPECT_EQ(e.data[4], 0xFF);
    EXPECT_EQ(e.data[127], 0x77);
    EXPECT_EQ(e.status, 0x03);

    // A block that decodes to more than the sector holds is cut and not trusted.
    const auto overlong = loadTd0(image({1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 5, 0, 1, 200, 0, 1, 2, 0xFF}));
    EXPECT_EQ(sectorAt(*overlong.disk, 0, 0, 0).status, 0x43);
    EXPECT_EQ(overlong.disk->trackCount, 1);
    // What fits of it is kept, the last copy cut where the sector ends: 30 copies of a 6-byte
    // pattern into 128 bytes.
    const auto cut = loadTd0(image({1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 5, 0, 2, 3, 30, 1, 2, 3, 4, 5, 6, 0xFF}));
    const auto& kept = sectorAt(*cut.disk, 0, 0, 0);
    for (std::size_t i = 0; i < 128; ++i) {
        ASSERT_EQ(kept.data[i], i % 6 + 1) << i;
    }
    EXPECT_EQ(kept.status, 0x43);
}

TEST(Td0Reader, HeaderRefusalsAndGeometryRules) {
    const auto advanced = loadTd0({'t', 'd', 0, 0, 0x15, 0, 2, 0, 0, 1, 0, 0});
    EXPECT_EQ(advanced.log, "Loading Teledisk Image: d.td0\r\n"
                            "d.td0 holds no compressed data after its header.\r\n"
                            "d.td0 uses Advanced Compression - Cannot ingest\r\nOperation aborted");
    EXPECT_EQ(loadTd0({'T', 'd', 0}).log,
              "Loading Teledisk Image: d.td0\r\nd.td0 has a bad header\r\nOperation aborted");
    auto sequence = image({0xFF, 0, 0, 0});
    sequence[2] = 1;
    EXPECT_EQ(loadTd0(sequence).log, "Loading Teledisk Image: d.td0\r\nd.td0 uses Normal Compression"
                                     "\r\nd.td0 has a bad header\r\nOperation aborted");
    EXPECT_TRUE(isEmpty(*loadTd0(sequence).disk));

    auto disk = makeDiskImage();
    TextSink log;
    loadTd0Image("/nonexistent/x.td0", *disk, log);
    EXPECT_EQ(log.currentText(), "Loading Teledisk Image: /nonexistent/x.td0\r\n"
                                 "/nonexistent/x.td0 does not exist\r\nOperation aborted");

    auto drive7 = mkdisk::writeTd0(mkdisk::model2Disk(1, 2), {.driveType = 7});
    EXPECT_EQ(loadTd0(drive7).disk->trackLength, 0);
    EXPECT_EQ(loadTd0(mkdisk::writeTd0(mkdisk::model2Disk(1, 2), {.driveType = 3})).disk->trackLength,
              6528);

    // Sides byte 2 with only head-0 tracks: two sides, half the track records per side.
    mkdisk::Disk four = mkdisk::model2Disk(1, 4);
    auto bytes = mkdisk::writeTd0(four);
    bytes[9] = 2;
    EXPECT_EQ(loadTd0(bytes).disk->sideCount, 2);
    EXPECT_EQ(loadTd0(bytes).disk->trackCount, 2);
}

TEST(Td0Reader, FileEndingEarlyKeepsWhatWasRead) {
    auto bytes = mkdisk::writeTd0(mkdisk::model2Disk(1, 3), {.encoding = mkdisk::Td0Encoding::Raw});
    bytes.resize(bytes.size() - 4);  // no end-of-image mark
    const auto noEnd = loadTd0(bytes);
    EXPECT_EQ(noEnd.disk->trackCount, 3);
    EXPECT_EQ(noEnd.log, "Loading Teledisk Image: d.td0\r\nd.td0 uses Normal Compression\r\n"
                         "d.td0 ends before its end-of-image mark; the tracks read so far are "
                         "kept.\r\nT002 H0 S26 - Teledisk image loaded.");

    bytes.resize(bytes.size() - 100);  // inside the last sector's data
    const auto cut = loadTd0(bytes);
    EXPECT_EQ(cut.disk->trackCount, 3);
    EXPECT_EQ(sectorAt(*cut.disk, 0, 2, 25).status, 0x43);
    EXPECT_EQ(sectorAt(*cut.disk, 0, 2, 25).data[255], 0x20);
    EXPECT_NE(cut.log.find("T002 H0 S26 CRC\r\nd.td0 ends inside the data of T002 H0 S26; what "
                           "is missing reads as spaces, marked CRC.\r\nT002 H0 S26 - Teledisk"),
              std::string::npos);
}

}  // namespace
}  // namespace sv
