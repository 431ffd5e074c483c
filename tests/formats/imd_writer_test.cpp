// IMD writer: the bytes of a small disk, what it says it cannot hold, a split track read back in
// order. Every sample and real disk goes through it in the differential round trip.
#include <gtest/gtest.h>

#include "app/image_commands.h"
#include "formats/dmk.h"
#include "formats/image_types.h"
#include "formats/imd.h"
#include "dmk_test_support.h"
#include "format_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

struct Saved {
    std::vector<std::uint8_t> file;
    std::string log;
};

Saved encode(const DiskImage& disk) {
    TextSink log;
    LogEditor text(log, "Saving IMD Image: x.imd");
    Saved saved{encodeImd(disk, text, "01/02/2003 04:05:06"), {}};
    saved.log = log.currentText();
    return saved;
}

// What the reload must keep of each sector the writer did not report: IDs, size, density, the
// data CRC error, deleted or not, and the data.
void expectKept(const DiskImage& before, const DiskImage& after, const std::string& what) {
    const HeldGeometry held = heldGeometry(before);
    for (int side = 0; side < held.sides; ++side) {
        for (int c = 0; c < held.cylinders; ++c) {
            const TrackRecord& a = before.track(side, c);
            const TrackRecord& b = after.track(side, c);
            ASSERT_EQ(a.sectorCount, b.sectorCount) << what << " C" << c << " S" << side;
            for (int k = 0; k < a.sectorCount; ++k) {
                const SectorEntry& x = a.sectors[k];
                const SectorEntry& y = b.sectors[k];
                const std::string at = what + " C" + std::to_string(c) + " S" + std::to_string(side) +
                                       " slot " + std::to_string(k);
                EXPECT_EQ(std::tie(x.cylinder, x.head, x.record, x.singleDensity),
                          std::tie(y.cylinder, y.head, y.record, y.singleDensity)) << at;
                if (x.sizeCode <= 6) {  // a larger code is reported and saved as 3
                    EXPECT_EQ(x.sizeCode, y.sizeCode) << at;
                }
                EXPECT_EQ(x.status & status::dataCrcError, y.status & status::dataCrcError) << at;
                const bool deleted = (x.status & status::deletedData) != 0 || x.dataAddressMark() == 0xF8;
                EXPECT_EQ(deleted, y.dataAddressMark() == 0xF8) << at;
                const std::size_t length = std::min<std::size_t>(x.lengthBytes(), kSectorDataBytes);
                EXPECT_EQ(svtest::sectorData(x, length), svtest::sectorData(y, length)) << at;
            }
        }
    }
}

TEST(ImdWriter, BytesOfASmallDisk) {
    auto model = mkdisk::model2Disk(1, 2);
    model.find(1, 0, 2)->data.assign(256, 0x41);
    model.find(1, 0, 2)->data[7] = 0x42;
    model.find(1, 0, 3)->badDataCrc = true;
    model.find(1, 0, 4)->mark = 0xF8;
    model.find(1, 0, 5)->cylinder = 9;
    auto disk = svtest::decodeDmkDisk(model).disk;
    setSourcePath(*disk, "a\x1A.dmk");
    const Saved saved = encode(*disk);
    const std::string header = "IMD 1.18: 01/02/2003 04:05:06\r\nSaved by Sectorvane from a?.dmk\r\n\x1A";
    ASSERT_GT(saved.file.size(), header.size());
    EXPECT_EQ(std::string(saved.file.begin(), saved.file.begin() + static_cast<std::ptrdiff_t>(header.size())),
              header);
    std::vector<std::uint8_t> track0{0, 0, 0, 26, 0};
    for (int r = 1; r <= 26; ++r) track0.push_back(static_cast<std::uint8_t>(r));
    for (int r = 1; r <= 26; ++r) track0.insert(track0.end(), {2, 0xE5});
    std::vector<std::uint8_t> track1{3, 1, 0x80, 26, 1};
    for (int r = 1; r <= 26; ++r) track1.push_back(static_cast<std::uint8_t>(r));
    for (int r = 1; r <= 26; ++r) track1.push_back(r == 5 ? 9 : 1);
    track1.push_back(2);
    track1.push_back(0xE5);
    track1.push_back(1);
    track1.insert(track1.end(), model.find(1, 0, 2)->data.begin(), model.find(1, 0, 2)->data.end());
    track1.insert(track1.end(), {6, 0xE5, 4, 0xE5});
    for (int r = 5; r <= 26; ++r) track1.insert(track1.end(), {2, 0xE5});
    auto expected = std::vector<std::uint8_t>(header.begin(), header.end());
    expected.insert(expected.end(), track0.begin(), track0.end());
    expected.insert(expected.end(), track1.begin(), track1.end());
    EXPECT_EQ(saved.file, expected);
    EXPECT_EQ(saved.log, "Saving IMD Image: x.imd\r\nT001 H0 S26");

    // A slow disk gets the 250 kbit/s modes.
    disk->trackLength = 6528;
    const Saved slow = encode(*disk);
    EXPECT_EQ(slow.file[header.size()], 2);
    EXPECT_EQ(slow.file[header.size() + track0.size()], 5);
}

TEST(ImdWriter, SaysWhatItCannotHold) {
    auto model = mkdisk::damagedModel2Disk();
    model.find(6, 0, 3)->mark = 0xFA;
    mkdisk::Sector odd = *model.find(7, 0, 1);
    odd.sizeCode = 0;
    odd.record = 30;
    model.at(7, 0).sectors.insert(model.at(7, 0).sectors.begin() + 3, odd);
    model.at(9, 0).sectors.clear();
    const auto disk = svtest::decodeDmkDisk(model).disk;
    const Saved saved = encode(*disk);
    EXPECT_EQ(saved.log,
              "Saving IMD Image: x.imd\r\n"
              "2 sectors have a bad ID; IMD cannot mark that, so it is saved as a good ID.\r\n"
              "1 sector has the data mark F9 or FA, or a deleted flag beside a mark other than "
              "F8; IMD holds normal and deleted data only, so it is saved as one of them.\r\n"
              "A track record holds one sector size and density; 1 track mixes them and is split "
              "into one record per run, in order (the first: cylinder 7 head 0 (3 records)); "
              "readers that keep one record per track keep only the last.\r\n"
              "1 track holds no sector and IMD has no record for that (the first: cylinder 9 head "
              "0); left out.\r\n"
              "T076 H0 S26");
    auto again = makeDiskImage();
    TextSink log;
    loadImdBytes(saved.file, "x.imd", *again, log);
    expectKept(*disk, *again, "damaged");
}

TEST(ImdWriter, SavedByExtensionAndAtomically) {
    svtest::TempDir dir;
    const auto disk = svtest::decodeDmkDisk(mkdisk::model2Disk(1)).disk;
    TextSink log;
    EXPECT_EQ(saveImageByType(dir.file("a.IMD"), *disk, log), SaveOutcome::Saved);
    EXPECT_EQ(log.currentText().substr(log.currentText().size() - 30), "T076 H0 S26 - IMD image saved.");
    const auto file = svtest::readFile(dir.file("a.IMD"));
    ASSERT_GT(file.size(), 30u);
    EXPECT_EQ(file[12], '/');  // IMD 1.18: dd/mm/yyyy
    EXPECT_EQ(std::string(file.begin(), file.begin() + 10), "IMD 1.18: ");

    fs::create_directory(dir.file("blocked.imd"));
    EXPECT_FALSE(saveImdImage(dir.file("blocked.imd"), *disk, log));
    EXPECT_TRUE(fs::is_directory(dir.file("blocked.imd")));
}

}  // namespace
}  // namespace sv
