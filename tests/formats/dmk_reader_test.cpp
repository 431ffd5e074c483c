#include <gtest/gtest.h>

#include <random>

#include "dmk_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

using svtest::decodeDmkDisk;
using svtest::slot;

TEST(DmkReader, CleanModel2DiskLoadsInTwoLines) {
    const auto loaded = decodeDmkDisk(mkdisk::model2Disk(1));
    EXPECT_EQ(loaded.log, "Loading DMK Image: x.dmk\r\nT076 H000 S026 - DMK image loaded.");
    const DiskImage& d = *loaded.disk;
    EXPECT_EQ(d.trackCount, 77);
    EXPECT_EQ(d.sideCount, 1);
    EXPECT_EQ(d.trackLength, 10560);
    EXPECT_EQ(d.formatFlags, 0x10);
    EXPECT_EQ(d.track(0, 0).sectorCount, 26);
    const SectorEntry& boot = slot(d, 0, 0, 0);
    EXPECT_EQ(boot.singleDensity, 1);
    EXPECT_EQ(boot.sizeCode, 0);
    EXPECT_EQ(boot.status, 0x03);
    EXPECT_EQ(boot.data[127], 0xE5);
    EXPECT_EQ(boot.data[128], 0x20);
    const SectorEntry& mfm = slot(d, 0, 5, 25);
    EXPECT_EQ(mfm.singleDensity, 0);
    EXPECT_EQ(mfm.record, 26);
    EXPECT_EQ(mfm.data[255], 0xE5);
    EXPECT_EQ(mfm.data[256], 0x20);
    EXPECT_EQ(d.track(1, 5).sectorCount, 0);
}

TEST(DmkReader, DamagedDiskNamesEveryProblemSector) {
    const mkdisk::Disk source = mkdisk::damagedModel2Disk();
    const auto loaded = decodeDmkDisk(source);
    EXPECT_EQ(loaded.log,
              "Loading DMK Image: x.dmk\r\n"
              "T002 H000 S005 CRC\r\n"
              "T002 H000 S006 BadID\r\n"
              "T003 H000 S001 BadID\r\n"
              "T003 H000 S001 CRC\r\n"
              "T076 H000 S026 - DMK image loaded.");
    const DiskImage& d = *loaded.disk;
    EXPECT_EQ(slot(d, 0, 2, 4).status, status::dataCrcError | 0x03);
    EXPECT_EQ(slot(d, 0, 2, 5).status, status::idCrcError | 0x03);
    EXPECT_EQ(slot(d, 0, 3, 0).status, status::idCrcError | status::dataCrcError | 0x03);
    EXPECT_EQ(slot(d, 0, 4, 8).status, status::deletedData);
    // The FM sector stored with single bytes reads like its doubled neighbours.
    const SectorEntry& single = slot(d, 0, 0, 2);
    EXPECT_EQ(single.record, 3);
    EXPECT_EQ(single.status, 0x03);
    EXPECT_EQ(single.data[5], source.at(0, 0).sectors[2].data[5]);
    EXPECT_EQ(slot(d, 0, 0, 3).data[5], source.at(0, 0).sectors[3].data[5]);
    // A duplicate record is kept in its own slot; the lookup returns the later one.
    EXPECT_EQ(d.track(0, 5).sectorCount, 27);
    SectorData buffer{};
    ASSERT_TRUE(readSectorData(5, 0, 7, d, buffer));
    EXPECT_EQ(buffer[0], 0x42);
}

TEST(DmkReader, DataMarksAndSizesAsStored) {
    mkdisk::Disk disk(1, 1);
    for (const std::uint8_t mark : {0xFB, 0xFA, 0xF9, 0xF8}) {
        mkdisk::Sector s;
        s.record = static_cast<std::uint8_t>(disk.at(0, 0).sectors.size() + 1);
        s.mark = mark;
        s.sizeCode = 3;
        s.data.assign(1024, 0x31);
        disk.at(0, 0).sectors.push_back(s);
    }
    const auto loaded = decodeDmkDisk(disk);
    const DiskImage& d = *loaded.disk;
    EXPECT_EQ(slot(d, 0, 0, 0).status, 0x03);
    EXPECT_EQ(slot(d, 0, 0, 1).status, 0x02);
    EXPECT_EQ(slot(d, 0, 0, 2).status, 0x01);
    EXPECT_EQ(slot(d, 0, 0, 3).status, 0x04);
    EXPECT_EQ(slot(d, 0, 0, 0).data[1023], 0x31);
}

TEST(DmkReader, TrackLengthAndSidesFromTheHeader) {
    mkdisk::Disk two = mkdisk::model2Disk(2, 3);
    for (auto& track : two.tracks) {
        track.sectors.resize(8);  // fits even the shortest track
    }
    for (const std::uint16_t length : {6528, 8192, 10560, 12000}) {
        const auto loaded = decodeDmkDisk(two, {.trackLength = length});
        const DiskImage& d = *loaded.disk;
        EXPECT_EQ(d.trackLength, length > 8192 ? 10560 : length);
        EXPECT_EQ(d.sideCount, 2);
        EXPECT_EQ(d.track(1, 2).sectorCount, 8);
        EXPECT_EQ(slot(d, 1, 2, 0).head, 1);
        EXPECT_EQ(slot(d, 0, 2, 0).head, 0);
        EXPECT_EQ(slot(d, 1, 2, 7).cylinder, 2);
        EXPECT_EQ(d.formatFlags, 0);
    }
}

TEST(DmkReader, ZeroPointerEntriesAreSkipped) {
    const auto loaded = decodeDmkDisk(mkdisk::model2Disk(1, 2), {.pointerHolesEvery = 2});
    EXPECT_EQ(loaded.disk->track(0, 1).sectorCount, 26);
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(slot(*loaded.disk, 0, 1, i).record, i + 1);
    }
}

TEST(DmkReader, MissingDataMarkInsideTheTrackIsACrcError) {
    mkdisk::Disk disk = mkdisk::model2Disk(1, 2);
    disk.at(1, 0).sectors.back().noDataField = true;
    const auto loaded = decodeDmkDisk(disk);
    const SectorEntry& e = slot(*loaded.disk, 0, 1, 25);
    EXPECT_EQ(e.status, 0x43);
    EXPECT_EQ(e.data[0], 0x20);
    EXPECT_EQ(e.data[1023], 0x20);
    EXPECT_NE(loaded.log.find("T001 H000 S026 CRC\r\n"), std::string::npos);
}

TEST(DmkReader, MissingFileGivesThreeLines) {
    svtest::TempDir dir;
    const std::string path = dir.file("nothing.dmk");
    auto disk = makeDiskImage();
    disk->trackCount = 5;
    TextSink log;
    loadDmkImage(path, *disk, log);
    EXPECT_EQ(log.currentText(),
              "Loading DMK Image: " + path + "\r\n" + path + " does not exist.\r\nOperation aborted.");
    EXPECT_TRUE(isEmpty(*disk));
}

TEST(DmkReader, LoadFromFileSetsSourcePath) {
    svtest::TempDir dir;
    const std::string path = dir.file("a.dmk");
    mkdisk::writeFile(path, mkdisk::writeDmk(mkdisk::model2Disk(1, 2)));
    auto disk = makeDiskImage();
    TextSink log;
    loadDmkImage(path, *disk, log);
    EXPECT_EQ(sourcePathTrimmed(*disk), path);
    EXPECT_EQ(disk->sourcePath[path.size()], ' ');
}

// Headers and tables that promise more than the store or the file holds.
TEST(DmkReader, OversizedHeadersAndTablesAreClippedAndReported) {
    {  // more than 80 tracks
        auto file = mkdisk::writeDmk(mkdisk::model2Disk(1, 82), {.trackLength = 3000});
        const auto loaded = svtest::decodeDmkBytes(file);
        EXPECT_EQ(loaded.disk->trackCount, 80);
        EXPECT_NE(loaded.log.find("The header names 82 tracks; the first 80 are read."), std::string::npos);
    }
    {  // more than 30 pointers on a track
        mkdisk::Disk disk(1, 1);
        for (int r = 1; r <= 34; ++r) {
            mkdisk::Sector s;
            s.record = static_cast<std::uint8_t>(r);
            s.sizeCode = 0;
            disk.at(0, 0).sectors.push_back(s);
        }
        const auto loaded = decodeDmkDisk(disk);
        EXPECT_EQ(loaded.disk->track(0, 0).sectorCount, 30);
        EXPECT_NE(loaded.log.find(" - track holds 34 IDs; the first 30 are kept"), std::string::npos);
    }
    {  // file shorter than the header promises
        auto file = mkdisk::writeDmk(mkdisk::model2Disk(2, 4));
        file.resize(16 + 10560 * 5 + 100);
        const auto loaded = svtest::decodeDmkBytes(file);
        EXPECT_EQ(loaded.disk->trackCount, 3);
        EXPECT_EQ(loaded.disk->track(0, 2).sectorCount, 26);
        EXPECT_EQ(loaded.disk->track(1, 2).sectorCount, 0);
        EXPECT_NE(loaded.log.find("The file ends after 5 of the 8 tracks"), std::string::npos);
        EXPECT_NE(loaded.log.find(" - DMK image loaded."), std::string::npos);
    }
    {  // a size code above 3 keeps the first 1024 bytes
        mkdisk::Disk disk(1, 1);
        mkdisk::Sector s;
        s.sizeCode = 4;
        s.data.assign(2048, 0x77);
        disk.at(0, 0).sectors.push_back(s);
        const auto loaded = decodeDmkDisk(disk, {.trackLength = 6000});
        const SectorEntry& e = slot(*loaded.disk, 0, 0, 0);
        EXPECT_EQ(e.status, 0x03);
        EXPECT_EQ(e.data[1023], 0x77);
        EXPECT_NE(loaded.log.find(" - size code 4: sector of 2048 bytes, first 1024 kept"),
                  std::string::npos);
    }
}

TEST(DmkReader, HeadersThatCannotHoldADiskAreRefused) {
    for (const auto& header : std::vector<std::vector<std::uint8_t>>{
             {0, 1, 0x40},                                               // shorter than a header
             {0, 0, 0x40, 0x29, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // no tracks
             {0, 1, 0x10, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // track length 16
         }) {
        const auto loaded = svtest::decodeDmkBytes(header);
        EXPECT_TRUE(isEmpty(*loaded.disk));
        EXPECT_TRUE(loaded.log.ends_with("Operation aborted.")) << loaded.log;
    }
}

// Damaged and hostile files: nothing may crash, hang or read outside the file (the sanitizer
// build checks the last).
TEST(DmkReader, TruncatedRandomAndHostileFilesStayInBounds) {
    mkdisk::Disk small = mkdisk::model2Disk(2, 2);
    small.find(1, 1, 26)->sizeCode = 6;
    const auto file = mkdisk::writeDmk(small, {.trackLength = 1500});
    auto disk = makeDiskImage();
    TextSink log;
    const auto decode = [&](std::span<const std::uint8_t> bytes) {
        clear(*disk);
        LogEditor text(log, "Loading DMK Image: x.dmk");
        decodeDmk(bytes, *disk, text);
    };
    for (std::size_t length = 0; length <= file.size(); length += 11) {
        decode(std::span(file).first(length));
        EXPECT_LE(disk->trackCount, 2);
    }
    std::mt19937 random(1234);
    for (int round = 0; round < 100; ++round) {
        std::vector<std::uint8_t> bytes(16 + random() % 4000);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        bytes[2] = static_cast<std::uint8_t>(random() % 256);
        bytes[3] = static_cast<std::uint8_t>(random() % 8);
        decode(bytes);
    }
    // Pointers at the last bytes of the track and beyond it.
    std::vector<std::uint8_t> hostile(16 + 200, 0xFB);
    hostile[1] = 1;
    hostile[2] = 200;
    hostile[3] = 0;
    hostile[4] = 0x10;
    for (int k = 0; k < 64; ++k) {
        const std::uint16_t pointer = static_cast<std::uint16_t>(k < 32 ? 199 - k : 0xFFFF - k);
        hostile[16 + k * 2] = static_cast<std::uint8_t>(pointer);
        hostile[16 + k * 2 + 1] = static_cast<std::uint8_t>(pointer >> 8);
    }
    const auto loaded = svtest::decodeDmkBytes(hostile);
    EXPECT_EQ(loaded.disk->track(0, 0).sectorCount, 30);
}

}  // namespace
}  // namespace sv
