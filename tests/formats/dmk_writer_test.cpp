#include <gtest/gtest.h>

#include "core/byte_reader.h"
#include "dmk_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

// A disk of one or more cylinders with `count` equal sectors on every track.
DiskImagePtr uniformDisk(int cylinders, int sides, int count, int sizeCode, bool fm,
                                       std::uint16_t trackLength = 10560) {
    auto disk = makeDiskImage();
    disk->trackCount = static_cast<std::uint8_t>(cylinders);
    disk->sideCount = static_cast<std::uint8_t>(sides);
    disk->trackLength = trackLength;
    for (int c = 0; c < cylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            for (int r = 1; r <= count; ++r) {
                SectorEntry* e = appendSector(*disk, s, c);
                e->cylinder = static_cast<std::uint8_t>(c);
                e->head = static_cast<std::uint8_t>(s);
                e->record = static_cast<std::uint8_t>(r);
                e->sizeCode = static_cast<std::uint8_t>(sizeCode);
                e->singleDensity = fm ? 1 : 0;
                e->status = 0x03;
                setSectorData(*e, std::vector<std::uint8_t>(e->lengthBytes(), static_cast<std::uint8_t>(r)));
            }
        }
    }
    return disk;
}

struct Encoded {
    std::vector<std::uint8_t> file;
    std::string log;
};

Encoded encode(const DiskImage& disk) {
    TextSink log;
    LogEditor text(log, "Saving DMK Image: a.DMK");
    auto file = encodeDmk(disk, text);
    return {file ? *file : std::vector<std::uint8_t>{}, log.currentText()};
}

std::uint16_t pointer(const std::vector<std::uint8_t>& file, std::size_t trackStart, int entry) {
    return ByteReader(file).le16(trackStart + static_cast<std::size_t>(entry - 1) * 2);
}

TEST(DmkWriter, WorkedMfmTrack) {
    const auto out = encode(*uniformDisk(1, 1, 26, 1, false));
    ASSERT_EQ(out.file.size(), 16u + 10560u);
    const std::size_t t = 16;
    EXPECT_EQ(out.file[t + 128], 0x4E);
    EXPECT_EQ(out.file[t + 273], 0x4E);  // the preamble ends at 273
    EXPECT_EQ(out.file[t + 289], 0xFE);
    EXPECT_EQ(pointer(out.file, t, 1), 0x8121);
    EXPECT_EQ(pointer(out.file, t, 2), 0x8121 + 372);  // 62 + 256 + gap 3 of 54
    EXPECT_EQ(pointer(out.file, t, 26), 0x8000 + 9589);
    EXPECT_EQ(pointer(out.file, t, 27), 0);
    // The last sector's gap 3 ends at 9945; fill follows to the end of the track.
    EXPECT_EQ(out.file[t + 9945], 0x4E);
    EXPECT_EQ(out.file[t + 9945 - 53], 0x4E);
    EXPECT_NE(out.file[t + 9945 - 54], 0x4E);  // the CRC's low byte
    EXPECT_EQ(out.file[t + 10559], 0x4E);
    EXPECT_EQ(out.log, "Saving DMK Image: a.DMK\r\nT000 H000 S026");
}

TEST(DmkWriter, WorkedFmTrack) {
    const auto out = encode(*uniformDisk(1, 1, 26, 0, true));
    const std::size_t t = 16;
    EXPECT_EQ(pointer(out.file, t, 1), 0x011E);
    EXPECT_EQ(out.file[t + 286], 0xFE);
    EXPECT_EQ(out.file[t + 287], 0xFE);
    EXPECT_EQ(pointer(out.file, t, 2), 0x011E + 378);
    EXPECT_EQ(out.file[t + 128], 0xFF);
    EXPECT_EQ(out.file[t + 208], 0x00);  // 80 x FF, then 12 x 00, 2 x FC
    EXPECT_EQ(out.file[t + 220], 0xFC);
    EXPECT_EQ(out.file[t + 221], 0xFC);
    EXPECT_EQ(out.file[t + 10101], 0xFF);
    EXPECT_EQ(out.file[t + 10559], 0xFF);
}

TEST(DmkWriter, Gap3ByTrackShape) {
    // 8 x 1024 on a long track: 116; 18 x 256 on a 6400-byte track: round(511 / 18) = 28.
    const auto eight = encode(*uniformDisk(1, 1, 8, 3, false));
    EXPECT_EQ(pointer(eight.file, 16, 2) - pointer(eight.file, 16, 1), 62 + 1024 + 116);
    const auto short18 = encode(*uniformDisk(1, 1, 18, 1, false, 6400));
    EXPECT_EQ(pointer(short18.file, 16, 2) - pointer(short18.file, 16, 1), 62 + 256 + 28);
    const auto nine = encode(*uniformDisk(1, 1, 9, 2, false));
    EXPECT_EQ(pointer(nine.file, 16, 2) - pointer(nine.file, 16, 1), 62 + 512 + 56);
}

TEST(DmkWriter, HeaderAndGeometry) {
    auto disk = uniformDisk(77, 1, 26, 1, false);
    disk->formatFlags = 0xC0;  // single-density bits from a loaded file
    disk->writeProtect = 0xFF;
    auto emptyTrack = encode(*disk);
    ASSERT_EQ(emptyTrack.file.size(), 16u + 77u * 10560u);
    EXPECT_EQ(emptyTrack.file[0], 0);
    EXPECT_EQ(emptyTrack.file[1], 77);
    EXPECT_EQ(emptyTrack.file[2], 0x40);
    EXPECT_EQ(emptyTrack.file[3], 0x29);
    EXPECT_EQ(emptyTrack.file[4], 0x10);
    EXPECT_EQ(pointer(emptyTrack.file, 16 + 76 * 10560, 1), 0x8121);

    auto two = uniformDisk(2, 2, 0, 1, false);
    two->formatFlags = 0x10;
    const auto out = encode(*two);
    EXPECT_EQ(out.file[4], 0x00);
    // A track without sectors: no pointers, the MFM preamble, 0x4E fill.
    for (int k = 1; k <= 64; ++k) {
        EXPECT_EQ(pointer(out.file, 16 + 3 * 10560, k), 0);
    }
    EXPECT_EQ(out.file[16 + 128 + 92], 0xC2);
    EXPECT_EQ(out.file[16 + 10559], 0x4E);
}

TEST(DmkWriter, ProblemSectorsAreReportedAndStayDamaged) {
    auto disk = uniformDisk(2, 1, 3, 1, false);
    disk->track(0, 0).sectors[0].singleDensity = 1;
    disk->track(0, 0).sectors[0].sizeCode = 0;
    disk->track(0, 0).sectors[0].status = 0x43;  // FM, bad data
    disk->track(0, 1).sectors[1].status = 0x43;  // MFM, bad data
    disk->track(0, 1).sectors[2].status = 0xC3;  // both
    const auto out = encode(*disk);
    EXPECT_EQ(out.log,
              "Saving DMK Image: a.DMK\r\n"
              "T000 H000 S001 CRC\r\n"
              "T001 H000 S002 CRC\r\n"
              "T001 H000 S003 BadID\r\n"
              "T001 H000 S003 CRC\r\n"
              "T001 H000 S003");
    const auto back = svtest::decodeDmkBytes(out.file);
    EXPECT_EQ(svtest::slot(*back.disk, 0, 0, 0).status, 0x43);
    EXPECT_EQ(svtest::slot(*back.disk, 0, 1, 1).status, 0x43);
    EXPECT_EQ(svtest::slot(*back.disk, 0, 1, 2).status, 0x43);  // the ID is written correct
}

TEST(DmkWriter, LongTracksWidenTheFileInsteadOfOverflowing) {
    auto disk = uniformDisk(2, 1, 20, 3, false, 10560);  // 20 x 1024 cannot fit 10560
    const auto out = encode(*disk);
    const std::size_t length = ByteReader(out.file).le16(2);
    EXPECT_GT(length, 10560u);
    EXPECT_EQ(out.file.size(), 16 + 2 * length);
    EXPECT_NE(out.log.find(": the file's tracks are " + std::to_string(length) + " bytes long"),
              std::string::npos);
    const auto back = svtest::decodeDmkBytes(out.file);
    EXPECT_EQ(back.disk->track(0, 1).sectorCount, 20);
    EXPECT_EQ(svtest::slot(*back.disk, 0, 1, 19).status, 0x03);
}

TEST(DmkWriter, GarbageSizeCodeDoesNotStopTheSave) {
    // A damaged ID can name a size code no track could hold; the rest of the disk must still save.
    auto disk = uniformDisk(2, 1, 3, 1, false);
    SectorEntry& garbage = disk->track(0, 1).sectors[2];
    garbage.sizeCode = 255;
    garbage.status = 0xC3;
    const auto out = encode(*disk);
    ASSERT_FALSE(out.file.empty()) << out.log;
    const auto back = svtest::decodeDmkBytes(out.file);
    const SectorEntry& again = svtest::slot(*back.disk, 0, 1, 2);
    EXPECT_EQ(again.sizeCode, 255);
    EXPECT_EQ(again.status, 0x43);
    EXPECT_EQ(again.data, garbage.data);
    EXPECT_EQ(svtest::slot(*back.disk, 0, 1, 1).status, 0x03);
}

TEST(DmkWriter, RoundTripKeepsEverySector) {
    const auto first = svtest::decodeDmkDisk(mkdisk::damagedModel2Disk());
    const auto saved = encode(*first.disk);
    const auto second = svtest::decodeDmkBytes(saved.file);
    const DiskImage& a = *first.disk;
    const DiskImage& b = *second.disk;
    ASSERT_EQ(a.trackCount, b.trackCount);
    ASSERT_EQ(a.sideCount, b.sideCount);
    for (int c = 0; c < a.trackCount; ++c) {
        ASSERT_EQ(a.track(0, c).sectorCount, b.track(0, c).sectorCount);
        for (int i = 0; i < a.track(0, c).sectorCount; ++i) {
            const SectorEntry& x = a.track(0, c).sectors[i];
            const SectorEntry& y = b.track(0, c).sectors[i];
            EXPECT_EQ(x.cylinder, y.cylinder);
            EXPECT_EQ(x.head, y.head);
            EXPECT_EQ(x.record, y.record);
            EXPECT_EQ(x.sizeCode, y.sizeCode);
            EXPECT_EQ(x.singleDensity, y.singleDensity);
            // A bad ID is reported on saving but written with a correct CRC.
            EXPECT_EQ(x.status & ~status::idCrcError, y.status) << c << " " << i;
            EXPECT_EQ(x.data, y.data);
        }
    }
}

TEST(DmkWriter, SaveWritesExactlyThePathAndReportsFailures) {
    svtest::TempDir dir;
    const std::string path = dir.file("copy.dmk");
    svtest::writeFile(path, std::vector<std::uint8_t>(2'000'000, 0xAA));  // longer than the new file
    auto disk = uniformDisk(2, 1, 26, 1, false);
    TextSink log;
    EXPECT_TRUE(saveDmkImage(path, *disk, log));
    EXPECT_EQ(log.currentText(), "Saving DMK Image: " + path + "\r\nT001 H000 S026 - DMK image saved.");
    EXPECT_EQ(svtest::readFile(path).size(), 16u + 2u * 10560u);

    const std::string bad = dir.file("no/such/folder.dmk");
    EXPECT_FALSE(saveDmkImage(bad, *disk, log));
    EXPECT_TRUE(log.currentText().ends_with("\r\n" + bad + " could not be written.\r\n"
                                            "Cause: No such file or directory.\r\nOperation aborted."));

    auto empty = makeDiskImage();
    EXPECT_FALSE(saveDmkImage(path, *empty, log));
    EXPECT_EQ(svtest::readFile(path).size(), 16u + 2u * 10560u);
}

}  // namespace
}  // namespace sv
