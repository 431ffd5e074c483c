#include "formats/dsk.h"

#include <gtest/gtest.h>

#include "format_test_support.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::loadBytes;
using svtest::sectorAt;

svtest::Loaded loadDsk(const std::vector<std::uint8_t>& bytes) {
    return loadBytes(loadDskBytes, bytes, "d.dsk");
}

// Saves through the real writer into a temp file and returns the bytes.
std::vector<std::uint8_t> saveToBytes(const DiskImage& disk, std::string* logText = nullptr) {
    svtest::TempDir dir;
    TextSink log;
    const std::string path = dir.file("out.dsk");
    const bool saved = saveDskImage(path, disk, log);
    if (logText != nullptr) {
        *logText = log.currentText();
    }
    return saved ? svtest::readFile(path) : std::vector<std::uint8_t>{};
}

TEST(DskReader, Model2SingleSidedGeometryAndGoldenLog) {
    auto model = mkdisk::model2Disk(1);
    svtest::fillPattern(model);
    const auto loaded = loadDsk(mkdisk::writeDsk(model));
    EXPECT_EQ(loaded.log, "Loading DSK Image: d.dsk\r\nT076 H000 S026 - DSK image loaded.");
    EXPECT_EQ(loaded.disk->trackCount, 77);
    EXPECT_EQ(loaded.disk->sideCount, 1);
    EXPECT_EQ(loaded.disk->trackLength, 10816);  // 26 sectors on track 0
    EXPECT_EQ(loaded.disk->writeProtect, 0);
    EXPECT_EQ(loaded.disk->formatFlags, 0);
    EXPECT_EQ(svtest::sourcePathOf(*loaded.disk), "");
    svtest::expectSectorsMatch(model, *loaded.disk);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 0, 0).status, 0x03);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 0, 0).data[128], 0x20);  // 128-byte sector, spaces after

    const auto protectedDisk = loadDsk(mkdisk::writeDsk(model, {.writeProtected = true}));
    EXPECT_EQ(protectedDisk.disk->writeProtect, 0xFF);
}

TEST(DskReader, TrackLengthFromTrackZero) {
    mkdisk::Disk small = mkdisk::model2Disk(1, 3);
    small.at(0, 0).sectors.resize(18);
    EXPECT_EQ(loadDsk(mkdisk::writeDsk(small)).disk->trackLength, 6528);
    mkdisk::Disk one = mkdisk::model2Disk(1, 1);
    const auto loaded = loadDsk(mkdisk::writeDsk(one));
    EXPECT_EQ(loaded.disk->trackCount, 1);
    EXPECT_EQ(loaded.disk->trackLength, 0);
}

TEST(DskReader, MissingFileFailsWithFullStops) {
    auto disk = makeDiskImage();
    TextSink log;
    loadDskImage("/nonexistent/x.dsk", *disk, log);
    EXPECT_EQ(log.currentText(), "Loading DSK Image: /nonexistent/x.dsk\r\n"
                                 "/nonexistent/x.dsk does not exist.\r\nOperation aborted.");
    EXPECT_TRUE(isEmpty(*disk));
}

TEST(DskReader, DataMarksByDensity) {
    mkdisk::Disk model = mkdisk::model2Disk(1, 2);
    model.find(0, 0, 1)->mark = 0xFA;  // FM
    model.find(0, 0, 2)->mark = 0xF8;  // FM deleted: code 3
    model.find(1, 0, 1)->mark = 0xF8;  // MFM deleted: code 1
    model.find(1, 0, 2)->mark = 0xF9;
    model.find(1, 0, 3)->badDataCrc = true;
    const auto bytes = mkdisk::writeDsk(model);
    EXPECT_EQ(bytes[2] >> 5 & 3, 1);
    EXPECT_EQ(bytes[5] >> 5 & 3, 3);
    const auto loaded = loadDsk(bytes);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 0, 0).status, 0x02);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 0, 1).status, 0x00);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 0).status, 0x00);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 1).status, 0x01);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 2).status, 0x43);
    EXPECT_NE(loaded.log.find("T001 H000 S003 CRC\r\n"), std::string::npos);
    // Saved again, every mark and flag comes back as it was.
    EXPECT_EQ(saveToBytes(*loaded.disk), bytes);
}

TEST(DskReader, GapsInCylindersStayInsideTheGeometry) {
    mkdisk::Disk model = mkdisk::model2Disk(1, 6);
    model.at(2, 0).sectors.clear();  // an unreadable track leaves no entries
    model.at(3, 0).sectors.clear();
    const auto loaded = loadDsk(mkdisk::writeDsk(model));
    EXPECT_EQ(loaded.disk->trackCount, 6);
}

TEST(DskReader, EntriesOutsideTheStoreAreReportedAndSkipped) {
    mkdisk::Disk model = mkdisk::model2Disk(1, 2);
    mkdisk::Sector far = model.at(1, 0).sectors[0];
    far.cylinder = 85;
    far.data.assign(256, 0x11);
    model.at(1, 0).sectors.insert(model.at(1, 0).sectors.begin(), far);
    for (int r = 27; r <= 32; ++r) {
        mkdisk::Sector extra = model.at(1, 0).sectors[1];
        extra.record = static_cast<std::uint8_t>(r);
        model.at(1, 0).sectors.push_back(extra);
    }
    const auto loaded = loadDsk(mkdisk::writeDsk(model));
    EXPECT_EQ(loaded.disk->trackCount, 2);
    EXPECT_EQ(loaded.disk->track(0, 1).sectorCount, 30);
    // The skipped entry's data is stepped over: the next sector still reads its own bytes.
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 0).record, 1);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 0).data[0], 0xE5);
    EXPECT_EQ(loaded.log, "Loading DSK Image: d.dsk\r\n"
                          "T085 H000 S001 lie beyond cylinder 79; not kept.\r\n"
                          "T001 H000 S031 and 1 more sector are beyond the 30th sector of their "
                          "track; not kept.\r\n"
                          "T001 H000 S030 - DSK image loaded.");
}

TEST(DskReader, TruncatedDataIsMarkedNotTrusted) {
    auto bytes = mkdisk::writeDsk(mkdisk::model2Disk(1, 2));
    bytes.resize(bytes.size() - 300);  // cuts the last sector and part of the one before
    const auto loaded = loadDsk(bytes);
    EXPECT_EQ(loaded.disk->trackCount, 2);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 24).status, 0x43);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 24).data[255], 0x20);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 25).status, 0x43);
    EXPECT_NE(loaded.log.find("d.dsk ends inside the data of 2 sectors; what is missing reads as "
                              "spaces, marked CRC.\r\nT001 H000 S026 - DSK image loaded."),
              std::string::npos);
    EXPECT_EQ(loadDsk({}).log, "Loading DSK Image: d.dsk\r\n"
                               "d.dsk holds no sector entry that could be read.\r\n"
                               "Operation aborted.");
}

TEST(DskWriter, FourThousandSectorsSaveAsTwoBlocksAndLoadBackWhole) {
    auto model = mkdisk::model2Disk(2);
    svtest::fillPattern(model);
    const auto loaded = loadDsk(mkdisk::writeDsk(model));
    std::string log;
    const auto bytes = saveToBytes(*loaded.disk, &log);
    EXPECT_EQ(log.substr(log.rfind('\n') + 1), "T076 H001 S026 - DSK image saved.");
    const std::size_t firstData = 26 * 128 + (2901 - 26) * 256;
    ASSERT_EQ(bytes.size(), 2 * 8704 + firstData + (4004 - 2901) * 256);
    const std::size_t second = 8704 + firstData;
    EXPECT_NE(bytes[second + 3 * 1102], 0xFF);
    EXPECT_EQ(bytes[second + 3 * 1103], 0xFF);
    EXPECT_EQ(bytes[second + 3 * 2900 + 2], 0xFF);
    EXPECT_EQ(bytes, mkdisk::writeDsk(model));  // same bytes as the generator's own container

    const auto again = loadDsk(bytes);
    EXPECT_EQ(again.disk->trackCount, 77);
    EXPECT_EQ(again.disk->sideCount, 2);
    svtest::expectSectorsMatch(model, *again.disk);
}

TEST(DskWriter, MfmFaIsStoredAsANormalMarkAndBadIdsAreReported) {
    auto disk = makeDiskImage();
    disk->trackCount = 2;
    disk->sideCount = 1;
    for (int c = 0; c < 2; ++c) {
        SectorEntry* e = appendSector(*disk, 0, c);
        e->cylinder = static_cast<std::uint8_t>(c);
        e->record = 1;
        e->sizeCode = 1;
        e->status = c == 0 ? 0x02 : 0x83;  // MFM FA; then a bad ID
    }
    std::string log;
    const auto bytes = saveToBytes(*disk, &log);
    EXPECT_EQ(bytes[2], 0x80);  // MFM, code 0, side 0, size bits 0 (256 bytes)
    EXPECT_EQ(log, "Saving DSK Image: " + log.substr(18, log.find('\r') - 18) +
                       "\r\n1 sector has a bad ID; DSK cannot mark that, so it is saved as a "
                       "good ID.\r\n1 sector has the MFM data mark FA, which DSK has no code "
                       "for; it is saved as FB.\r\nT001 H000 S001 - DSK image saved.");
}

TEST(DskWriter, OversizedSectorRefusedBeforeWriting) {
    svtest::TempDir dir;
    auto disk = makeDiskImage();
    disk->trackCount = 2;
    disk->sideCount = 1;
    SectorEntry* e = appendSector(*disk, 0, 1);
    e->cylinder = 1;
    e->record = 7;
    e->sizeCode = 4;
    TextSink log;
    const std::string path = dir.file("big.dsk");
    EXPECT_FALSE(saveDskImage(path, *disk, log));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(log.currentText(), "Saving DSK Image: " + path +
                                     "\r\nT001 H000 S007 is 2048 bytes long; DSK holds sectors of "
                                     "128 to 1024 bytes only.\r\nOperation aborted.");
}

}  // namespace
}  // namespace sv
