// Conversions between the formats, and the real images of the shared collection.
#include <gtest/gtest.h>

#include "formats/dmk.h"
#include "formats/dsk.h"
#include "app/image_commands.h"
#include "formats/hfe.h"
#include "formats/image_types.h"
#include "formats/imd.h"
#include "formats/td0.h"
#include "format_test_support.h"
#include "round_trip_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

// Every slot of both disks inside the geometry: same IDs, density, status and data.
void expectSameSectors(const DiskImage& a, const DiskImage& b, std::uint8_t statusMask = 0xFF) {
    ASSERT_EQ(a.trackCount, b.trackCount);
    ASSERT_EQ(a.sideCount, b.sideCount);
    for (int c = 0; c < a.trackCount; ++c) {
        for (int s = 0; s < a.sideCount; ++s) {
            const auto& ta = a.track(s, c);
            const auto& tb = b.track(s, c);
            ASSERT_EQ(ta.sectorCount, tb.sectorCount) << "C" << c << " S" << s;
            for (int k = 0; k < ta.sectorCount; ++k) {
                const auto& x = ta.sectors[k];
                const auto& y = tb.sectors[k];
                EXPECT_EQ(x.cylinder, y.cylinder);
                EXPECT_EQ(x.head, y.head);
                EXPECT_EQ(x.record, y.record);
                EXPECT_EQ(x.sizeCode, y.sizeCode);
                EXPECT_EQ(x.singleDensity, y.singleDensity);
                EXPECT_EQ(x.status & statusMask, y.status & statusMask)
                    << "C" << c << " S" << s << " R" << int(x.record);
                EXPECT_EQ(svtest::sectorData(x, x.lengthBytes()), svtest::sectorData(y, y.lengthBytes()));
            }
        }
    }
}

constexpr auto kNoIdMark = static_cast<std::uint8_t>(~status::idCrcError);

// Loads `path`, saves it as `out` and loads that again.
DiskImagePtr throughFile(const DiskImage& disk, const std::string& out) {
    TextSink log;
    EXPECT_TRUE(findImageSaver(out)(out, disk, log)) << log.currentText();
    auto again = makeDiskImage();
    findImageLoader(out)(out, *again, log, {});
    return again;
}

const svtest::WriterUnderTest kDmkWriter{".dmk", saveDmkImage, loadDmkImage, dmkSavePreflight};
const svtest::WriterUnderTest kDskWriter{".dsk", saveDskImage, loadDskImage, dskSavePreflight};
const svtest::WriterUnderTest kHfeWriter{".hfe", saveHfeImage, loadHfeImage, hfeSavePreflight};
const svtest::WriterUnderTest kImdWriter{".imd", saveImdImage, loadImdImage, imdSavePreflight};

TEST(RoundTrip, ImdAndTd0ThroughDmkKeepEverySector) {
    svtest::TempDir dir;
    for (const std::string name : {"d.imd", "d.td0"}) {
        const std::string path = dir.file(name);
        mkdisk::writeFile(path, name == "d.imd" ? mkdisk::writeImd(mkdisk::damagedModel2Disk())
                                                : mkdisk::writeTd0(mkdisk::damagedModel2Disk()));
        auto disk = makeDiskImage();
        TextSink log;
        ASSERT_TRUE(loadImageByType(path, *disk, log)) << log.currentText();
        const auto dmk = svtest::expectDifferentialRoundTrip(*disk, kDmkWriter, dir.file("a.dmk"));
        ASSERT_NE(dmk, nullptr);
        // What DMK holds comes back unchanged a second time.
        const auto again = svtest::expectDifferentialRoundTrip(*dmk, kDmkWriter, dir.file("b.dmk"));
        ASSERT_NE(again, nullptr);
        expectSameSectors(*dmk, *again);
    }
}

TEST(RoundTrip, DskToDskAndDmkToDskAndBack) {
    svtest::TempDir dir;
    auto model = mkdisk::damagedModel2Disk();
    const std::string dsk = dir.file("d.dsk");
    mkdisk::writeFile(dsk, mkdisk::writeDsk(model));
    auto disk = makeDiskImage();
    TextSink log;
    loadDskImage(dsk, *disk, log);
    expectSameSectors(*disk, *throughFile(*disk, dir.file("e.dsk")));

    // DMK -> DSK -> DMK keeps what DSK holds: everything but the bad-ID marks; a deleted
    // sector keeps its mark (the deleted bit itself is not read back from DSK).
    const std::string dmk = dir.file("d.dmk");
    mkdisk::writeFile(dmk, mkdisk::writeDmk(model));
    loadDmkImage(dmk, *disk, log);
    const auto viaDsk = throughFile(*disk, dir.file("f.dsk"));
    const auto kept = static_cast<std::uint8_t>(~(status::idCrcError | status::deletedData));
    expectSameSectors(*disk, *viaDsk, kept);
    expectSameSectors(*viaDsk, *throughFile(*viaDsk, dir.file("g.dmk")), kept);
}

TEST(RealDisks, ImdAndTd0ImagesLoad) {
    const fs::path dir = svtest::realDisksDir();
    if (dir.empty()) {
        GTEST_SKIP() << "the shared real-disk folder is absent";
    }
    svtest::TempDir tmp;  // the window's IMD load writes its side log file next to the image
    auto disk = makeDiskImage();
    for (const auto& entry : fs::directory_iterator(dir / "imd")) {
        if (entry.path().extension() != ".imd") {
            continue;
        }
        const std::string copy = tmp.file(entry.path().filename().string());
        fs::copy_file(entry.path(), copy);
        TextSink log;
        loadImdImage(copy, *disk, log, LoadOptions{.imdSideLog = true});
        EXPECT_EQ(disk->trackCount, 77) << copy << "\n" << log.currentText();
        EXPECT_EQ(log.currentText().find(" CRC"), std::string::npos) << copy;
        EXPECT_TRUE(fs::exists(tmp.file(entry.path().stem().string() + ".log")));
    }
    const auto td0 = [&](const std::string& name, TextSink& log) {
        loadTd0Image((dir / "td0" / name).string(), *disk, log);
    };
    TextSink log;
    td0("m2-fmg-cpm-2.2.td0", log);
    EXPECT_EQ(disk->trackCount, 80);  // cylinders 77..79 are in the file too
    EXPECT_EQ(disk->track(0, 0).sectorCount, 26);
    EXPECT_EQ(disk->track(0, 79).sectorCount, 15);
    EXPECT_NE(log.currentText().find("Image created: 05 Jan 2001 at 02:24:29pm"), std::string::npos);
    for (const std::string name : {"td105-norm.td0", "td215-norm.td0", "td105-adv.td0", "td215-adv.td0"}) {
        td0(name, log);
        EXPECT_EQ(disk->trackCount, 41) << name;
        EXPECT_EQ(disk->sideCount, 2) << name;
        EXPECT_EQ(disk->track(1, 40).sectorCount, 9) << name;
    }
    td0("not-a-disk-http404.td0", log);
    EXPECT_TRUE(isEmpty(*disk));
    EXPECT_NE(log.currentText().find(" has a bad header\r\nOperation aborted"), std::string::npos);
}

TEST(CliMerge, MergesTwoReadsAndSaves) {
    svtest::TempDir dir;
    mkdisk::Disk first = mkdisk::model2Disk(1);
    first.find(5, 0, 9)->badDataCrc = true;
    mkdisk::Disk second = mkdisk::model2Disk(1);
    second.find(5, 0, 9)->data.assign(256, 0x77);
    second.find(6, 0, 2)->badDataCrc = true;
    mkdisk::writeFile(dir.file("first.imd"), mkdisk::writeImd(first));
    mkdisk::writeFile(dir.file("second.td0"), mkdisk::writeTd0(second));
    const auto result = svtest::runCli({"merge", dir.file("first.imd"), dir.file("second.td0"),
                                        dir.file("out.dsk")});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("T005 H000 S009 -> Merged -> Replaced\n"), std::string::npos);
    EXPECT_NE(result.out.find("T006 H000 S002 -> Kept (source CRC)\n"), std::string::npos);
    EXPECT_NE(result.out.find(" - Disk Images merged.\nSaving DSK Image: "), std::string::npos);
    auto disk = makeDiskImage();
    TextSink log;
    loadDskImage(dir.file("out.dsk"), *disk, log);
    EXPECT_EQ(disk->track(0, 5).sectors[8].data[0], 0x77);
    EXPECT_EQ(disk->track(0, 5).sectors[8].status, 0x03);
    EXPECT_EQ(disk->track(0, 6).sectors[1].status, 0x03);

    const auto missing = svtest::runCli({"merge", dir.file("first.imd"), dir.file("gone.imd"),
                                         dir.file("out2.dsk")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("does not exist\nOperation aborted\nNothing was merged: "),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("out2.dsk")));
    EXPECT_EQ(svtest::runCli({"merge", dir.file("first.imd"), dir.file("second.td0"),
                              dir.file("out.txt")}).status, 2);
}

}  // namespace
}  // namespace sv

namespace sv {
namespace {

// Every generated sample and every real disk: load, save as DMK, HFE and DSK, load again; every
// sector the writer did not report comes back. Each disk is its own test, so ctest spreads them
// over the cores.
struct DiskSource {
    std::string name;
    fs::path realPath;  // empty for a generated sample
};

std::vector<DiskSource> everyDisk() {
    std::vector<DiskSource> disks;
    for (const auto& sample : mkdisk::samples()) {
        disks.push_back({std::string(sample.name), {}});
    }
    const fs::path real = svtest::realDisksDir();
    if (!real.empty()) {
        for (const char* folder : {"dmk", "imd", "td0"}) {
            for (const auto& entry : fs::directory_iterator(real / folder)) {
                // Files the readers refuse by design have their own tests.
                const std::string stem = entry.path().stem().string();
                const bool refused = stem == "not-a-disk-http404" || stem.ends_with("-adv");
                if (!refused && entry.path().extension() == std::string(".") + folder) {
                    disks.push_back({"real_" + entry.path().stem().string(), entry.path()});
                }
            }
        }
    }
    return disks;
}

void PrintTo(const DiskSource& source, std::ostream* out) { *out << source.name; }

class EveryDiskRoundTrip : public ::testing::TestWithParam<DiskSource> {};

TEST_P(EveryDiskRoundTrip, GivesBackEveryUnreportedSectorThroughDmkHfeDskAndImd) {
    const DiskSource& source = GetParam();
    svtest::TempDir dir;
    auto disk = makeDiskImage();
    TextSink log;
    if (source.realPath.empty()) {
        const std::string path = dir.file(source.name + ".dmk");
        mkdisk::writeFile(path, mkdisk::writeDmk(mkdisk::findSample(source.name)->build()));
        loadDmkImage(path, *disk, log);
    } else {
        // A copy: the IMD reader leaves a side log file beside the image it reads.
        const std::string copy = dir.file(source.realPath.filename().string());
        fs::copy_file(source.realPath, copy);
        ASSERT_TRUE(loadImageByType(copy, *disk, log)) << log.currentText();
    }
    ASSERT_FALSE(isEmpty(*disk)) << log.currentText();

    svtest::expectDifferentialRoundTrip(*disk, kDmkWriter, dir.file("copy.dmk"));
    svtest::expectDifferentialRoundTrip(*disk, kHfeWriter, dir.file("copy.hfe"));
    svtest::expectDifferentialRoundTrip(*disk, kDskWriter, dir.file("copy.dsk"));
    svtest::expectDifferentialRoundTrip(*disk, kImdWriter, dir.file("copy.imd"));
}

INSTANTIATE_TEST_SUITE_P(Disks, EveryDiskRoundTrip, ::testing::ValuesIn(everyDisk()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace sv
