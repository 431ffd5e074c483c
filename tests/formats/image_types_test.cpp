#include "app/image_commands.h"
#include "formats/image_types.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/hfe.h"
#include "formats/imd.h"
#include "formats/raw.h"
#include "formats/scp.h"
#include "formats/td0_advanced.h"
#include "mkdisk/samples.h"
#include "formats/td0.h"
#include "test_util.h"

namespace sv {
namespace {

TEST(ImageTypes, ReadersAndWritersByTheLastThreeCharactersInAnyCase) {
    EXPECT_EQ(findImageLoader("a.Dmk"), &loadDmkImage);
    EXPECT_EQ(findImageLoader("/x/disk.imd"), &loadImdImage);
    EXPECT_EQ(findImageLoader("DISK.TD0"), &loadTd0Image);
    EXPECT_EQ(findImageLoader("dsk"), &loadDskImage);  // no dot needed
    EXPECT_EQ(findImageLoader("x.dmk2"), nullptr);     // MK2
    EXPECT_EQ(findImageLoader("x.td"), nullptr);
    EXPECT_EQ(findImageLoader(""), nullptr);
    EXPECT_EQ(findImageSaver("out.dsk"), &saveDskImage);
    EXPECT_EQ(findImageSaver("out.DMK"), &saveDmkImage);
    EXPECT_EQ(findImageSaver("out.imd"), &saveImdImage);
    EXPECT_EQ(findImageSaver("out.Img"), &saveRawImage);
    EXPECT_EQ(findImageSaver("out.td0"), nullptr);
    EXPECT_EQ(findImageLoader("CPM-MII.tdo"), &loadTd0Image);  // well-known variants
    EXPECT_EQ(findImageLoader("disk.ima"), &loadRawImage);
    EXPECT_EQ(findImageLoader("a.hfe"), &loadHfeImage);
    EXPECT_EQ(findImageLoader("a.SCP"), &loadScpImage);
    EXPECT_EQ(findImageSaver("out.Hfe"), &saveHfeImage);
    EXPECT_EQ(findImageSaver("out.scp"), nullptr);
    EXPECT_EQ(loadableTypes(), "TD0, IMD, DSK, DMK, HFE, SCP, IMG");
    EXPECT_EQ(savableTypes(), "DSK, DMK, HFE, IMD, IMG");
}

}  // namespace
}  // namespace sv

namespace sv {
namespace {

namespace fs = std::filesystem;

std::string loadLog(const std::string& path, DiskImage& disk, bool expectLoaded = true) {
    TextSink log;
    EXPECT_EQ(loadImageByType(path, disk, log), expectLoaded) << log.currentText();
    return log.currentText();
}

// Every container of every sample, named as what it is, loads with its own reader and nothing
// is said about the choice: content never overrides a name that fits.
TEST(ContentDetection, FilesNamedRightLoadAsTheirTypeSilently) {
    for (const auto& sample : mkdisk::samples()) {
        const mkdisk::Disk model = sample.build();
        svtest::TempDir dir;
        const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files{
            {"a.dmk", mkdisk::writeDmk(model)}, {"a.imd", mkdisk::writeImd(model)},
            {"a.td0", mkdisk::writeTd0(model)}, {"a.dsk", mkdisk::writeDsk(model)}};
        for (const auto& [name, bytes] : files) {
            mkdisk::writeFile(dir.file(name), bytes);
            const ReaderChoice choice = chooseImageLoader(dir.file(name));
            EXPECT_EQ(choice.load, findImageLoader(name)) << sample.name << " " << name;
            EXPECT_EQ(choice.note, "") << sample.name << " " << name;
        }
    }
}

TEST(ContentDetection, RenamedFilesLoadWithTheRightReaderAndSaySo) {
    svtest::TempDir dir;
    const mkdisk::Disk model = mkdisk::model2Disk(1, 3);
    auto disk = makeDiskImage();
    const std::string imdAsDmk = dir.file("x.dmk");
    mkdisk::writeFile(imdAsDmk, mkdisk::writeImd(model));
    EXPECT_EQ(loadLog(imdAsDmk, *disk).rfind(imdAsDmk + " is named as DMK, but its content is IMD (it "
                                                        "starts with the IMD signature), so it is "
                                                        "read as IMD.\r\nLoading IMD Image: " + imdAsDmk,
                                             0),
              0u);
    EXPECT_EQ(disk->trackCount, 3);

    const std::string dmkAsTd0 = dir.file("x.td0");
    mkdisk::writeFile(dmkAsTd0, mkdisk::writeDmk(model));
    EXPECT_NE(loadLog(dmkAsTd0, *disk).find(" is named as TD0, but its content is DMK (its header "
                                            "passes the DMK checks), so it is read as DMK.\r\n"
                                            "Loading DMK Image: "),
              std::string::npos);
    EXPECT_EQ(disk->trackCount, 3);

    // A Teledisk file under a name of no known type: its header CRC names it.
    auto td0 = mkdisk::writeTd0(model);
    const std::uint16_t crc = telediskCrc(std::span(td0).first(10));
    td0[10] = static_cast<std::uint8_t>(crc);
    td0[11] = static_cast<std::uint8_t>(crc >> 8);
    mkdisk::writeFile(dir.file("x.bin"), td0);
    EXPECT_NE(loadLog(dir.file("x.bin"), *disk).find(" has no known extension; its content is TD0 "),
              std::string::npos);
    mkdisk::writeFile(dir.file("CPM-MII.tdo"), td0);
    EXPECT_EQ(loadLog(dir.file("CPM-MII.tdo"), *disk).rfind(dir.file("CPM-MII.tdo") +
                                                            ": the extension TDO is read as TD0.\r\n"
                                                            "Loading Teledisk Image: ", 0),
              0u);

    // Two readers' signatures, or none: the name decides, as before.
    mkdisk::writeFile(dir.file("junk.td0"), {'<', 'h', 't', 'm', 'l', '>'});
    const std::string junk = loadLog(dir.file("junk.td0"), *disk, false);
    EXPECT_EQ(junk, "Loading Teledisk Image: " + dir.file("junk.td0") + "\r\n" + dir.file("junk.td0") +
                        " has a bad header\r\nOperation aborted");
    mkdisk::writeFile(dir.file("junk.bin"), {'<', 'h', 't', 'm', 'l', '>'});
    EXPECT_EQ(loadLog(dir.file("junk.bin"), *disk, false),
              dir.file("junk.bin") + " is not a known image type; the types that load are TD0, IMD, "
                                     "DSK, DMK, HFE, SCP, IMG.");

    // The extension's reader refuses, and the content plainly is one other type.
    auto dmk = mkdisk::writeDmk(model);
    mkdisk::writeFile(dir.file("y.imd"), std::vector<std::uint8_t>(dmk.begin(), dmk.end()));
    EXPECT_NE(loadLog(dir.file("y.imd"), *disk).find("its content is DMK"), std::string::npos);
}

TEST(ContentDetection, FluxAndBitstreamFilesByTheirSignatures) {
    svtest::TempDir dir;
    const mkdisk::Disk model = mkdisk::model2Disk(1, 3);
    const auto hfe = mkdisk::writeHfe(model);
    const auto scp = mkdisk::writeScp(model, {.revolutions = 1});
    mkdisk::writeFile(dir.file("a.hfe"), hfe);
    mkdisk::writeFile(dir.file("a.scp"), scp);
    EXPECT_EQ(chooseImageLoader(dir.file("a.hfe")).load, &loadHfeImage);
    EXPECT_EQ(chooseImageLoader(dir.file("a.hfe")).note, "");
    EXPECT_EQ(chooseImageLoader(dir.file("a.scp")).load, &loadScpImage);
    EXPECT_EQ(chooseImageLoader(dir.file("a.scp")).note, "");

    auto disk = makeDiskImage();
    mkdisk::writeFile(dir.file("h.dmk"), hfe);
    EXPECT_NE(loadLog(dir.file("h.dmk"), *disk).find(" is named as DMK, but its content is HFE (it "
                                                     "starts with an HFE signature), so it is read "
                                                     "as HFE.\r\n"),
              std::string::npos);
    EXPECT_EQ(disk->trackCount, 3);
    mkdisk::writeFile(dir.file("s.bin"), scp);
    EXPECT_NE(loadLog(dir.file("s.bin"), *disk).find(" has no known extension; its content is SCP "),
              std::string::npos);
    EXPECT_EQ(disk->trackCount, 3);

    // A version 3 signature names the HFE reader too.
    auto v3 = hfe;
    std::copy_n("HXCHFEV3", 8, v3.begin());
    mkdisk::writeFile(dir.file("v3.imd"), v3);
    EXPECT_EQ(chooseImageLoader(dir.file("v3.imd")).load, &loadHfeImage);
}

TEST(ContentDetection, RealRenamedFiles) {
    const fs::path real = svtest::realDisksDir();
    if (real.empty()) {
        GTEST_SKIP() << "the shared real-disk folder is absent";
    }
    svtest::TempDir dir;
    auto disk = makeDiskImage();
    fs::copy_file(real / "td0" / "m2-fmg-cpm-2.2.td0", dir.file("CPM-MII.tdo"));
    EXPECT_NE(loadLog(dir.file("CPM-MII.tdo"), *disk).find("Teledisk image loaded."), std::string::npos);
    EXPECT_EQ(disk->trackCount, 80);
    fs::copy_file(real / "imd" / "adc-supersix-cpm22-boot.imd", dir.file("boot.dmk"));
    EXPECT_NE(loadLog(dir.file("boot.dmk"), *disk).find("its content is IMD"), std::string::npos);
    EXPECT_EQ(disk->trackCount, 77);
    fs::copy_file(real / "td0" / "td215-adv.td0", dir.file("adv.dsk"));
    EXPECT_NE(loadLog(dir.file("adv.dsk"), *disk).find("its content is TD0"), std::string::npos);
    EXPECT_EQ(disk->trackCount, 41);
    fs::copy_file(real / "td0" / "not-a-disk-http404.td0", dir.file("404.td0"));
    EXPECT_NE(loadLog(dir.file("404.td0"), *disk, false).find("has a bad header"), std::string::npos);
}

}  // namespace
}  // namespace sv
