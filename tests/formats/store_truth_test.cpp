// Named regression inputs: each once made the store hold invented bytes or lose what was read
// without a word.
#include <gtest/gtest.h>

#include "analysis/entry_table.h"
#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/imd.h"
#include "formats/td0.h"
#include "format_test_support.h"
#include "merge/sector_merge.h"
#include "mkdisk/fixture.h"
#include "round_trip_support.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::sectorAt;

TEST(StoreTruth, DmkIdWithoutDataMarkDoesNotTakeTheNextSectorsData) {
    mkdisk::Disk model = mkdisk::model2Disk(1, 2);
    svtest::fillPattern(model);
    model.find(1, 0, 5)->noDataField = true;
    const auto loaded = svtest::loadBytes(
        [](std::span<const std::uint8_t> b, const std::string& path, DiskImage& d, OperationLog& l) {
            clear(d);
            LogEditor text(l, "Loading DMK Image: " + path);
            decodeDmk(b, d, text);
        },
        mkdisk::writeDmk(model), "d.dmk");
    const SectorEntry& r5 = sectorAt(*loaded.disk, 0, 1, 4);
    EXPECT_EQ(r5.status, 0x43);
    EXPECT_EQ(r5.data[0], 0x20);
    EXPECT_EQ(dataState(*loaded.disk, 0, 1, 4), DataState::NoDataField);
    EXPECT_NE(loaded.log.find("T001 H000 S005 CRC\r\n"), std::string::npos);
    EXPECT_EQ(sectorAt(*loaded.disk, 0, 1, 5).status, 0x03);
    EXPECT_EQ(dataState(*loaded.disk, 0, 1, 5), DataState::Good);
}

// One sector per cylinder 0 slot, with IDs a DSK table cannot place.
DiskImagePtr oddIdsDisk() {
    auto disk = svtest::smallDisk([](int c, int r) { return static_cast<std::uint8_t>(16 * c + r); }, 1);
    disk->track(0, 0).sectors[1].cylinder = 0xFF;  // once read back as a free entry
    disk->track(0, 0).sectors[2].cylinder = 80;
    disk->track(0, 1).sectors[0].head = 1;
    return disk;
}

TEST(StoreTruth, DskSaveOfCylinderFfAndStrayIdsKeepsEverySectorInPlace) {
    svtest::TempDir dir;
    const auto disk = oddIdsDisk();
    TextSink log;
    ASSERT_TRUE(saveDskImage(dir.file("odd.dsk"), *disk, log));
    EXPECT_NE(log.currentText().find("\r\n2 sectors have an ID cylinder that is not its track's"),
              std::string::npos);
    EXPECT_NE(log.currentText().find("\r\n1 sector has an ID head that is not its side"),
              std::string::npos);
    auto again = makeDiskImage();
    loadDskImage(dir.file("odd.dsk"), *again, log);
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(again->track(0, c).sectorCount, 4);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(sectorAt(*again, 0, c, k).data[0], 16 * c + k + 1) << c << " " << k;
            EXPECT_EQ(sectorAt(*again, 0, c, k).status, 0x03);
        }
    }
    EXPECT_EQ(again->track(1, 1).sectorCount, 0);
    svtest::expectDifferentialRoundTrip(
        *disk, {".dsk", saveDskImage, loadDskImage, dskSavePreflight}, dir.file("odd2.dsk"));
}

TEST(StoreTruth, DskTransferPaddingIsNotASecondTable) {
    auto bytes = mkdisk::writeDsk(mkdisk::model2Disk(1, 3));
    bytes.insert(bytes.end(), 100, 0x1A);
    const auto loaded = svtest::loadBytes(loadDskBytes, bytes, "x.dsk");
    EXPECT_EQ(loaded.disk->sideCount, 1);
    EXPECT_EQ(loaded.disk->trackCount, 3);
    EXPECT_NE(loaded.log.find("\r\nx.dsk has 100 bytes after its last sector table that are not "
                              "another table with its data; they are ignored.\r\n"),
              std::string::npos)
        << loaded.log;
}

TEST(StoreTruth, Td0SidesBeyondTheRecordsAreKeptSavedAndNamed) {
    svtest::TempDir dir;
    auto bytes = mkdisk::writeTd0(mkdisk::model2Disk(1, 10));
    bytes[9] = 2;  // the header says two sides; the records are one-sided
    const auto loaded = svtest::loadBytes(loadTd0Bytes, bytes, "t.td0");
    EXPECT_EQ(loaded.disk->trackCount, 5);
    EXPECT_EQ(loaded.disk->track(0, 9).sectorCount, 26);
    EXPECT_NE(loaded.log.find("\r\n130 sectors lie outside the stated 5 cylinders and 2 sides "
                              "(cylinder 5 side 0 to cylinder 9 side 0); kept"),
              std::string::npos)
        << loaded.log;
    const auto viaDmk = svtest::expectDifferentialRoundTrip(
        *loaded.disk, {".dmk", saveDmkImage, loadDmkImage, dmkSavePreflight}, dir.file("t.dmk"));
    ASSERT_NE(viaDmk, nullptr);
    EXPECT_EQ(viaDmk->track(0, 9).sectorCount, 26);

    // The merge walks the held geometry too.
    auto target = makeDiskImage();
    *target = *loaded.disk;
    target->track(0, 9).sectors[3].status = 0x43;
    TextSink log;
    mergeImages(*target, *loaded.disk, log);
    EXPECT_EQ(target->track(0, 9).sectors[3].status, 0x03);
}

// Fewer track records than sides once gave no cylinder at all, and the sectors read were dropped
// as an empty file: an IMD save of a two-sided disk with one track that holds sectors did that.
TEST(StoreTruth, OneRecordOfATwoSidedFileIsStillACylinder) {
    svtest::TempDir dir;
    auto bytes = mkdisk::writeTd0(mkdisk::model2Disk(1, 1));
    bytes[9] = 2;
    const auto loaded = svtest::loadBytes(loadTd0Bytes, bytes, "t.td0");
    EXPECT_EQ(loaded.disk->trackCount, 1) << loaded.log;
    EXPECT_EQ(loaded.disk->track(0, 0).sectorCount, 26);

    auto sideOneOnly = makeDiskImage();
    sideOneOnly->sideCount = 2;
    sideOneOnly->trackCount = 1;
    for (int k = 0; k < 26; ++k) {
        SectorEntry* entry = appendSector(*sideOneOnly, 1, 0);
        *entry = loaded.disk->track(0, 0).sectors[k];
        entry->head = 1;
    }
    const auto again = svtest::expectDifferentialRoundTrip(
        *sideOneOnly, {".imd", saveImdImage, loadImdImage, imdSavePreflight}, dir.file("t.imd"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->track(1, 0).sectorCount, 26);
}

TEST(StoreTruth, Td0NotCapturedSectorIsNotGoodDataAndNeverReplacesRead) {
    mkdisk::Disk model = mkdisk::model2Disk(1, 2);
    model.find(1, 0, 7)->notCaptured = true;
    const auto skipped = svtest::loadBytes(loadTd0Bytes, mkdisk::writeTd0(model), "s.td0");
    EXPECT_EQ(dataState(*skipped.disk, 0, 1, 6), DataState::NotCaptured);

    const auto full = svtest::loadBytes(loadTd0Bytes, mkdisk::writeTd0(mkdisk::model2Disk(1, 2)),
                                        "f.td0");
    auto target = makeDiskImage();
    *target = *full.disk;
    TextSink log;
    mergeImages(*target, *skipped.disk, log);
    EXPECT_EQ(dataState(*target, 0, 1, 6), DataState::Good);
    EXPECT_NE(log.currentText().find("T001 H000 S007 -> Kept (source notCaptured)"),
              std::string::npos);
    *target = *skipped.disk;
    mergeImages(*target, *full.disk, log);
    EXPECT_EQ(dataState(*target, 0, 1, 6), DataState::Good);  // the state travels with the data
    EXPECT_EQ(target->track(0, 1).sectors[6].data[0], 0xE5);
}

TEST(StoreTruth, AnalysisGathersFillNotTheLastReadsBytes) {
    auto disk = makeDiskImage();
    disk->trackCount = 1;
    disk->sideCount = 1;
    SectorEntry* e = appendSector(*disk, 0, 0);
    e->record = 1;
    e->data.fill(0x41);
    SectorReader reader(*disk);
    EXPECT_EQ(reader.read(0, 0, 1)[0], 0x41);
    EXPECT_EQ(reader.lastState(), DataState::Good);
    EXPECT_EQ(reader.read(0, 0, 2)[0], 0xE5);
    EXPECT_EQ(reader.lastState(), DataState::NoDataField);
    SectorData buffer;
    buffer.fill(7);
    EXPECT_FALSE(readSectorData(0, 0, 2, *disk, buffer));  // its stated contract stays
    EXPECT_EQ(buffer[0], 7);
}

TEST(StoreTruth, DmkWriterNeverPutsAValidCrcOverPadding) {
    svtest::TempDir dir;
    auto disk = makeDiskImage();
    disk->trackCount = 2;
    disk->sideCount = 1;
    disk->trackLength = 10560;
    for (int c = 0; c < 2; ++c) {
        SectorEntry* e = appendSector(*disk, 0, c);
        e->cylinder = static_cast<std::uint8_t>(c);
        e->record = 1;
        e->sizeCode = 4;
        e->status = 0x03;
        e->data.fill(0x5A);
        setDataState(*disk, 0, c, 0, DataState::Clipped);
    }
    TextSink log;
    ASSERT_TRUE(saveDmkImage(dir.file("big.dmk"), *disk, log));
    EXPECT_NE(log.currentText().find("\r\n2 sectors are longer than the 1024 bytes kept; written "
                                     "padded with 0xFF under a failing CRC.\r\n"),
              std::string::npos)
        << log.currentText();
    auto again = makeDiskImage();
    loadDmkImage(dir.file("big.dmk"), *again, log);
    EXPECT_EQ(sectorAt(*again, 0, 1, 0).status, 0x43);
    EXPECT_EQ(dataState(*again, 0, 1, 0), DataState::Clipped);
    EXPECT_EQ(sectorAt(*again, 0, 1, 0).data[1023], 0x5A);
}

}  // namespace
}  // namespace sv
