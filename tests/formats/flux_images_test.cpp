// HFE and SCP files written by mkdisk's own encoders: every sector comes back as the sample holds
// it, and the flux file's best copy of every revolution is kept and reported.
#include <gtest/gtest.h>

#include "formats/hfe.h"
#include "app/image_commands.h"
#include "formats/scp.h"
#include "format_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

struct Decoded {
    DiskImagePtr disk = makeDiskImage();
    std::string log;
};

template <typename Decode>
Decoded decode(Decode decodeBytes, const std::vector<std::uint8_t>& file, const std::string& opening) {
    Decoded out;
    TextSink log;
    LogEditor text(log, opening);
    decodeBytes(file, *out.disk, text);
    out.log = text.text();
    return out;
}

// Status bits and data states as the model's faults make them.
void expectFaultsMatch(const mkdisk::Disk& model, const DiskImage& disk) {
    for (int c = 0; c < model.cylinders; ++c) {
        for (int h = 0; h < model.sides; ++h) {
            const auto& sectors = model.at(c, h).sectors;
            for (std::size_t k = 0; k < sectors.size() && k < disk.track(h, c).sectorCount; ++k) {
                const auto& s = sectors[k];
                const auto& e = disk.track(h, c).sectors[k];
                std::uint8_t expected = s.badIdCrc ? status::idCrcError : 0;
                expected |= s.noDataField ? 0x43 : static_cast<std::uint8_t>(s.mark & 3);
                expected |= s.mark == 0xF8 && !s.noDataField ? status::deletedData : 0;
                expected |= s.badDataCrc ? status::dataCrcError : 0;
                EXPECT_EQ(e.status, expected) << "C" << c << " H" << h << " R" << int(s.record);
                const DataState state = dataState(disk, h, c, static_cast<int>(k));
                EXPECT_EQ(state, s.noDataField  ? DataState::NoDataField
                                 : s.badDataCrc ? DataState::CrcError
                                                : DataState::Good);
            }
        }
    }
}

// Each sample is its own test, so ctest spreads them over the cores.
class EverySample : public ::testing::TestWithParam<std::string> {};

TEST_P(EverySample, ComesBackFromHfeSectorForSector) {
    const mkdisk::Disk model = mkdisk::findSample(GetParam())->build();
    const Decoded d = decode(decodeHfe, mkdisk::writeHfe(model), "Loading HFE Image: x.hfe");
    ASSERT_EQ(d.disk->trackCount, model.cylinders) << d.log;
    EXPECT_EQ(d.disk->sideCount, model.sides);
    EXPECT_EQ(d.disk->trackLength, 10560);
    svtest::expectSectorsMatch(model, *d.disk);
    expectFaultsMatch(model, *d.disk);
}

// One revolution of the first cylinders: the decoding does not depend on what the sectors hold,
// and the faults of the damaged sample lie there.
TEST_P(EverySample, ComesBackFromScpSectorForSector) {
    mkdisk::Disk model = mkdisk::findSample(GetParam())->build();
    model.cylinders = std::min(model.cylinders, 8);
    model.tracks.resize(static_cast<std::size_t>(model.cylinders * model.sides));
    for (auto& track : model.tracks) {
        for (auto& sector : track.sectors) {
            sector.weakGoodRevolution = -1;  // one revolution has no good copy of a weak sector
        }
    }
    const Decoded d = decode(decodeScp, mkdisk::writeScp(model, {.revolutions = 1}), "L");
    ASSERT_EQ(d.disk->trackCount, model.cylinders) << d.log;
    EXPECT_EQ(d.disk->sideCount, model.sides);
    svtest::expectSectorsMatch(model, *d.disk);
    expectFaultsMatch(model, *d.disk);
}

std::vector<std::string> sampleNames() {
    std::vector<std::string> names;
    for (const auto& sample : mkdisk::samples()) {
        names.emplace_back(sample.name);
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(Samples, EverySample, ::testing::ValuesIn(sampleNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(HfeReader, DamagedSampleLogsAsTheDmkReaderDoes) {
    const Decoded d = decode(decodeHfe, mkdisk::writeHfe(mkdisk::damagedModel2Disk()), "Loading HFE Image: d.hfe");
    EXPECT_EQ(d.log,
              "Loading HFE Image: d.hfe\r\nT002 H000 S005 CRC\r\nT002 H000 S006 BadID\r\n"
              "T003 H000 S001 BadID\r\nT003 H000 S001 CRC\r\nT076 H000 S026 - HFE image loaded.");
}

// Writes a stored byte of cylinder `c` side 0 at `at` in the side's stream.
void poke(std::vector<std::uint8_t>& file, int c, std::size_t at, std::uint8_t b) {
    const std::size_t block = file[512 + 4 * c] | file[513 + 4 * c] << 8;
    file[block * 512 + (at / 256) * 512 + at % 256] = b;
}

TEST(HfeReader, VersionThreeOpcodesAreFollowedOrTheTrackRefused) {
    const mkdisk::Disk model = mkdisk::damagedModel2Disk();
    std::vector<std::uint8_t> file = mkdisk::writeHfe(model);
    std::copy_n("HXCHFEV3", 8, file.begin());
    // In the preamble's gap: index, a rate step writers use, a no-op, a partial byte.
    poke(file, 1, 0, 0x8F);
    poke(file, 1, 1, 0x4F);
    poke(file, 1, 2, 0x24);  // 36: 1 us cells, the file's own rate
    poke(file, 1, 3, 0x0F);
    poke(file, 1, 4, 0xCF);
    poke(file, 1, 5, 0x40);  // skip 2 cells of the next byte
    // A jump to 250 kbit/s, which the reader does not follow.
    poke(file, 9, 0, 0x4F);
    poke(file, 9, 1, 0x12);  // 72
    const Decoded d = decode(decodeHfe, file, "Loading HFE Image: v3.hfe");
    EXPECT_EQ(d.disk->track(0, 1).sectorCount, 26);
    EXPECT_EQ(d.disk->track(0, 9).sectorCount, 0);
    EXPECT_NE(d.log.find("\r\nCylinder 9 side 0 changes its data rate inside the track, which this "
                         "reader does not follow; its sectors are not read.\r\n"),
              std::string::npos)
        << d.log;
}

TEST(HfeReader, DamagedFilesAreRefusedOrCutWithALine) {
    std::vector<std::uint8_t> file = mkdisk::writeHfe(mkdisk::model2Disk(2, 4));
    EXPECT_EQ(decode(decodeHfe, {file.begin(), file.begin() + 100}, "L").log,
              "L\r\nThe track table ends before cylinder 0; the cylinders before it are kept.\r\n"
              "No sector was found on any track.\r\nOperation aborted.");
    EXPECT_EQ(decode(decodeHfe, std::vector<std::uint8_t>(600, 0), "L").log,
              "L\r\nThe file is not an HFE image (its signature is not HXCPICFE or HXCHFEV3).\r\n"
              "Operation aborted.");
    // Cut in the middle of cylinder 2: cylinders 0 and 1 whole, some of 2.
    file.resize(1024 + 2 * 82 * 512 + 40 * 512);
    const Decoded cut = decode(decodeHfe, file, "L");
    EXPECT_EQ(cut.disk->trackCount, 3);
    EXPECT_EQ(cut.disk->track(1, 1).sectorCount, 26);
    EXPECT_GT(cut.disk->track(0, 2).sectorCount, 0);
    EXPECT_LT(cut.disk->track(0, 2).sectorCount, 26);
    EXPECT_NE(cut.log.find("The file ends inside cylinder 2; what it holds of that cylinder is read."),
              std::string::npos);
}

TEST(HfeWriter, HeaderSaysRateAndTheFmBootTrack) {
    auto disk = makeDiskImage();
    TextSink log;
    LogEditor text(log, "L");
    decodeHfe(mkdisk::writeHfe(mkdisk::model2Disk(2, 3)), *disk, text);
    LogEditor save(log, "Saving");
    const auto file = encodeHfe(*disk, save);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 1024U + 3 * 82 * 512);  // 166,667 cells a side, in 82 blocks
    EXPECT_EQ(std::string(file->begin(), file->begin() + 8), "HXCPICFE");
    EXPECT_EQ((*file)[9], 3);
    EXPECT_EQ((*file)[10], 2);
    EXPECT_EQ((*file)[11], 0x00);                      // MFM
    EXPECT_EQ((*file)[12] | (*file)[13] << 8, 500);    // kbit/s
    EXPECT_EQ((*file)[0x16], 0x00);                    // cylinder 0 side 0 is ...
    EXPECT_EQ((*file)[0x17], 0x02);                    // ... FM
    EXPECT_EQ((*file)[0x18], 0xFF);
    EXPECT_EQ((*file)[512 + 4] | (*file)[513 + 4] << 8, 84);
    EXPECT_EQ((*file)[514] | (*file)[515] << 8, 41668);
}

// The first cylinders, where the damaged sample's faults lie: three revolutions of a whole disk
// take too long for a sanitizer build.
TEST(ScpReader, WeakSectorIsKeptCleanAndTheHopelessOneMarked) {
    mkdisk::Disk model = mkdisk::damagedModel2Disk();
    model.cylinders = 8;
    model.tracks.resize(8);
    const Decoded d = decode(decodeScp, mkdisk::writeScp(model), "Loading SCP Image: d.scp");
    EXPECT_EQ(d.log,
              "Loading SCP Image: d.scp\r\n"
              "T002 H0 S05 CRC in 3 of 3 revolutions, no good copy\r\n"
              "T002 H0 S06 BadID in 3 of 3 revolutions, no good ID\r\n"
              "T003 H0 S01 BadID in 3 of 3 revolutions, no good ID\r\n"
              "T003 H0 S01 CRC in 3 of 3 revolutions, no good copy\r\n"
              "T006 H0 S03 CRC in 2 of 3 revolutions, good copy kept\r\n"
              "T007 H0 S26 - SCP image loaded.");
    ASSERT_EQ(d.disk->trackCount, 8);
    EXPECT_EQ(d.disk->sideCount, 1);
    EXPECT_EQ(d.disk->trackLength, 10560);
    svtest::expectSectorsMatch(model, *d.disk);  // the weak sector's good copy; the bad one as read
    expectFaultsMatch(model, *d.disk);
}

TEST(ScpReader, ASideOfOneRevolutionWithoutIndexAndTwoSidedSamples) {
    for (const char* name : {"lifeboat-cpm", "trsdos16"}) {
        SCOPED_TRACE(name);
        mkdisk::Disk model = mkdisk::findSample(name)->build();
        model.cylinders = std::min(model.cylinders, 6);
        model.tracks.resize(static_cast<std::size_t>(model.cylinders * model.sides));
        mkdisk::ScpOptions options;
        options.revolutions = 2;
        options.indexCued = false;
        const Decoded d = decode(decodeScp, mkdisk::writeScp(model, options), "L");
        ASSERT_EQ(d.disk->trackCount, model.cylinders) << d.log;
        EXPECT_EQ(d.disk->sideCount, model.sides);
        svtest::expectSectorsMatch(model, *d.disk);
        expectFaultsMatch(model, *d.disk);
    }
}

// Track table entries moved: one after another (older one-sided files), and every second one (a
// 48-tpi disk read in a 96-tpi drive).
TEST(ScpReader, TrackNumberingOfOneSidedAndDoubleSteppedFiles) {
    const mkdisk::Disk model = mkdisk::model2Disk(1, 3);
    std::vector<std::uint8_t> file = mkdisk::writeScp(model, {.revolutions = 1});
    const auto entry = [](std::vector<std::uint8_t>& f, int t) { return f.begin() + 0x10 + 4 * t; };
    for (const int stride : {1, 4}) {
        std::vector<std::uint8_t> moved = file;
        std::fill(entry(moved, 0), entry(moved, 168), 0);
        std::fill(moved.begin() + 0x0C, moved.begin() + 0x10, 0);  // no checksum
        for (int c = 0; c < 3; ++c) {
            std::copy_n(entry(file, 2 * c), 4, entry(moved, stride * c));
        }
        moved[7] = static_cast<std::uint8_t>(stride * 2);
        const Decoded d = decode(decodeScp, moved, "L");
        SCOPED_TRACE(d.log);
        ASSERT_EQ(d.disk->trackCount, 3);
        EXPECT_EQ(d.disk->sideCount, 1);
        svtest::expectSectorsMatch(model, *d.disk);
        EXPECT_EQ(d.log.find("double-stepped") != std::string::npos, stride == 4);
    }
}

TEST(ScpReader, DamagedFilesAreRefusedWithALine) {
    std::vector<std::uint8_t> file = mkdisk::writeScp(mkdisk::model2Disk(1, 2), {.revolutions = 1});
    EXPECT_EQ(decode(decodeScp, {file.begin(), file.begin() + 0x2B0}, "L").log,
              "L\r\nThe file's checksum does not match its contents; its tracks are read as they are.\r\n"
              "Track entry 0 does not lead to a track header; it is skipped.\r\n"
              "Track entry 2 does not lead to a track header; it is skipped.\r\n"
              "No sector was found in the flux of any track.\r\nOperation aborted.");
    file[9] = 8;
    EXPECT_EQ(decode(decodeScp, file, "L").log,
              "L\r\nThe file's flux words are 8 bits wide; only 16-bit words are read.\r\nOperation aborted.");
}

TEST(FluxImages, LoadByExtensionAndHfeSaves) {
    svtest::TempDir dir;
    const std::string scp = dir.file("a.SCP");
    mkdisk::writeFile(scp, mkdisk::writeScp(mkdisk::model2Disk(1, 3), {.revolutions = 1}));
    auto disk = makeDiskImage();
    TextSink log;
    ASSERT_TRUE(loadImageByType(scp, *disk, log)) << log.currentText();
    EXPECT_EQ(saveImageByType(dir.file("b.hfe"), *disk, log), SaveOutcome::Saved);
    EXPECT_EQ(log.currentText(), "Saving HFE Image: " + dir.file("b.hfe") + "\r\nT002 H000 S026 - HFE image saved.");
    ASSERT_TRUE(loadImageByType(dir.file("b.hfe"), *disk, log));
    EXPECT_EQ(disk->track(0, 2).sectorCount, 26);
}

}  // namespace
}  // namespace sv
