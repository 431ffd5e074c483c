// Raw sector images: layouts by size and by --geometry, cut and long files, and the writer's
// round trip over every sample whose layout a raw image can hold.
#include "app/image_commands.h"
#include "formats/raw.h"

#include <gtest/gtest.h>

#include "formats/dmk.h"
#include "formats/image_types.h"
#include "dmk_test_support.h"
#include "format_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

svtest::Loaded loadRaw(const std::vector<std::uint8_t>& bytes, const RawGeometry* geometry = nullptr) {
    svtest::Loaded out;
    TextSink log;
    loadRawBytes(bytes, "d.img", geometry, *out.disk, log);
    out.log = log.currentText();
    return out;
}

RawGeometry geometryOf(std::string_view text) {
    std::string error;
    const auto g = parseRawGeometry(text, error);
    EXPECT_TRUE(g.has_value()) << error;
    return g.value_or(RawGeometry{});
}

TEST(RawReader, ModelTwoLayoutsBySize) {
    for (const int sides : {1, 2}) {
        auto model = mkdisk::model2Disk(sides);
        svtest::fillPattern(model);
        const auto bytes = mkdisk::writeRaw(model);
        ASSERT_EQ(bytes.size(), sides == 1 ? 509184u : 1021696u);
        const auto loaded = loadRaw(bytes);
        svtest::expectSectorsMatch(model, *loaded.disk);
        EXPECT_EQ(loaded.disk->trackCount, 77);
        EXPECT_EQ(loaded.disk->sideCount, sides);
        EXPECT_EQ(loaded.disk->formatFlags, sides == 1 ? 0x10 : 0x00);
        EXPECT_EQ(loaded.disk->trackLength, 10560);
        EXPECT_EQ(svtest::sourcePathOf(*loaded.disk), "d.img");
        if (sides == 1) {
            EXPECT_EQ(loaded.log, "Loading Raw Image: d.img\r\nd.img: 509184 bytes, read as 77 "
                                  "cylinders, 1 side, 26 x 256 MFM; cylinder 0 side 0 26 x 128 FM "
                                  "(Model II, one side).\r\nT076 H0 S26 - Raw image loaded.");
        }
    }
    // An ambiguous size is read as the Model II layout, and the log names the other.
    const auto uniform = loadRaw(std::vector<std::uint8_t>(512512, 0xE5));
    EXPECT_EQ(uniform.disk->track(0, 0).sectors[0].sizeCode, 1);
    EXPECT_NE(uniform.log.find("The same size also fits 77 x 2 x 26 x 128 FM"), std::string::npos);

    const auto odd = loadRaw(std::vector<std::uint8_t>(1000, 0));
    EXPECT_TRUE(isEmpty(*odd.disk));
    EXPECT_EQ(odd.log, "Loading Raw Image: d.img\r\nd.img is 1000 bytes long, a size of no known raw "
                       "layout; name its layout with --geometry CYL:HEADS:SECTORS:SIZE[:fm0].\r\n"
                       "Operation aborted.");
}

TEST(RawReader, GivenGeometryCutAndLongFiles) {
    const RawGeometry g = geometryOf("3:1:10:256:r0");
    std::vector<std::uint8_t> bytes(3 * 10 * 256);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i / 256);
    const auto exact = loadRaw(bytes, &g);
    EXPECT_EQ(exact.disk->trackCount, 3);
    EXPECT_EQ(exact.disk->trackLength, 6528);
    EXPECT_EQ(exact.disk->track(0, 2).sectors[9].record, 9);
    EXPECT_EQ(exact.disk->track(0, 2).sectors[9].data[0], 29);
    EXPECT_EQ(exact.disk->track(0, 2).sectors[9].singleDensity, 0);

    auto cut = bytes;
    cut.resize(cut.size() - 256 - 100);  // the last sector missing, the one before cut short
    const auto shorter = loadRaw(cut, &g);
    const TrackRecord& last = shorter.disk->track(0, 2);
    ASSERT_EQ(last.sectorCount, 9);
    EXPECT_EQ(last.sectors[8].status, 0x43);
    EXPECT_EQ(dataState(*shorter.disk, 0, 2, 8), DataState::CutShort);
    EXPECT_EQ(dataState(*shorter.disk, 0, 2, 7), DataState::Good);
    EXPECT_EQ(last.sectors[8].data[155], 28);
    EXPECT_EQ(last.sectors[8].data[156], 0x20);
    EXPECT_NE(shorter.log.find("T002 H0 S08 CRC\r\n"), std::string::npos) << shorter.log;
    EXPECT_NE(shorter.log.find("d.img ends before T002 H0 S09: 1 sector of the layout are not in "
                               "the file."),
              std::string::npos)
        << shorter.log;

    auto longer = bytes;
    longer.resize(longer.size() + 7);
    EXPECT_NE(loadRaw(longer, &g).log.find("7 bytes after the last sector of the layout are not read."),
              std::string::npos);
    EXPECT_TRUE(isEmpty(*loadRaw({}, &g).disk));
}

TEST(RawGeometryText, ParsesAndPrintsTheOptionForm) {
    const RawGeometry model2 = geometryOf("77:2:26:256:fm0");
    EXPECT_EQ(model2, rawLayoutForSize(1021696)->geometry);
    EXPECT_EQ(model2.bytes(), 1021696u);
    EXPECT_TRUE(geometryOf("77:1:26:128").rest.fm);
    EXPECT_FALSE(geometryOf("40:2:9:512").rest.fm);
    EXPECT_TRUE(geometryOf("35:1:10:256:fm:r0").rest.fm);
    for (const auto* text : {"77:2:26:256:fm0", "77:1:26:128", "35:1:10:256:fm:r0", "40:1:9:128:mfm"}) {
        EXPECT_EQ(rawGeometryText(geometryOf(text)), text);
    }
    std::string error;
    for (const auto* bad : {"", "77:1:26", "0:1:26:256", "81:1:26:256", "77:3:26:256", "77:1:31:256",
                            "77:1:26:300", "77:1:26:256:x", "77:1:26:256 ", "a:1:26:256"}) {
        EXPECT_FALSE(parseRawGeometry(bad, error).has_value()) << bad;
        EXPECT_NE(error.find("is not CYL:HEADS:SECTORS:SIZE"), std::string::npos);
    }
    // Layouts with their own first track on both sides have no option form.
    EXPECT_EQ(rawGeometryText(rawLayoutForSize(1018368)->geometry), "");
}

// Every sample: written raw when its tracks allow, read back in the layout the writer reports,
// sector for sector (a raw image keeps records in ascending order and IDs equal to positions).
TEST(RawWriter, SamplesRoundTripOrAreRefusedNamingATrack) {
    int written = 0;
    for (const auto& sample : mkdisk::samples()) {
        const auto disk = svtest::decodeDmkDisk(sample.build()).disk;
        TextSink log;
        LogEditor text(log, "Saving Raw Image: x.img");
        std::string reason;
        const auto geometry = rawGeometryOf(*disk, reason);
        const auto file = encodeRaw(*disk, text);
        ASSERT_EQ(file.has_value(), geometry.has_value()) << sample.name;
        if (!file) {
            EXPECT_NE(log.currentText().find("A raw image cannot hold this disk: cylinder "),
                      std::string::npos)
                << log.currentText();
            continue;
        }
        ++written;
        ASSERT_EQ(file->size(), geometry->bytes()) << sample.name;
        const auto again = loadRaw(*file, &*geometry);
        for (int side = 0; side < disk->sideCount; ++side) {
            for (int c = 0; c < disk->trackCount; ++c) {
                const TrackRecord& before = disk->track(side, c);
                const TrackRecord& after = again.disk->track(side, c);
                ASSERT_EQ(before.sectorCount, after.sectorCount) << sample.name;
                for (int k = 0; k < before.sectorCount; ++k) {
                    const SectorEntry& e = before.sectors[k];
                    const SectorEntry& r = after.sectors[e.record - after.sectors[0].record];
                    EXPECT_EQ(r.record, e.record);
                    EXPECT_EQ(r.sizeCode, e.sizeCode);
                    EXPECT_EQ(r.singleDensity, e.singleDensity);
                    EXPECT_EQ(svtest::sectorData(r, r.lengthBytes()), svtest::sectorData(e, e.lengthBytes()))
                        << sample.name << " C" << c << " S" << side << " R" << int(e.record);
                }
            }
        }
        // Where the size names a layout unambiguously, the size alone reads it back the same way.
        const RawLayout* bySize = rawLayoutForSize(file->size());
        if (bySize != nullptr && bySize->alsoFits.empty()) {
            EXPECT_EQ(bySize->geometry, *geometry) << sample.name;
        }
    }
    EXPECT_GE(written, 10);

    TextSink log;
    LogEditor text(log, "Saving Raw Image: x.img");
    EXPECT_FALSE(encodeRaw(*svtest::decodeDmkDisk(mkdisk::damagedModel2Disk()).disk, text).has_value());
    EXPECT_EQ(log.currentText(), "Saving Raw Image: x.img\r\nA raw image cannot hold this disk: "
                                 "cylinder 5 side 0 does not fit a raw image: record 7 is on it "
                                 "twice.\r\nOperation aborted.");
}

TEST(RawWriter, SaysWhatItCannotMarkAndKeepsTheOldFileWhenRefused) {
    svtest::TempDir dir;
    auto model = mkdisk::model2Disk(1);
    model.find(2, 0, 5)->badDataCrc = true;
    model.find(4, 0, 9)->mark = 0xF8;
    const auto disk = svtest::decodeDmkDisk(model).disk;
    TextSink log;
    ASSERT_TRUE(saveRawImage(dir.file("a.img"), *disk, log));
    EXPECT_EQ(log.currentText(),
              "Saving Raw Image: " + dir.file("a.img") +
                  "\r\n1 sector has a data CRC error; a raw image cannot mark it, so the bytes "
                  "are saved as held.\r\n1 sector has a deleted or unusual data mark; a raw "
                  "image holds no marks.\r\nWritten as 77 cylinders, 1 side, 26 x 256 MFM; cylinder 0 "
                  "side 0 26 x 128 FM; its size names that layout.\r\nT076 H0 S26 - Raw image saved.");
    EXPECT_EQ(svtest::readFile(dir.file("a.img")), mkdisk::writeRaw(model));

    svtest::writeFile(dir.file("old.img"), {1, 2, 3});
    EXPECT_FALSE(saveRawImage(dir.file("old.img"), *svtest::decodeDmkDisk(mkdisk::damagedModel2Disk()).disk, log));
    EXPECT_EQ(svtest::readFile(dir.file("old.img")), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(RawReader, RealUcsdImageNamedDskLoadsAsRaw) {
    const fs::path dir = svtest::realDisksDir();
    if (dir.empty()) {
        GTEST_SKIP() << "the shared real-disk folder is absent";
    }
    svtest::TempDir tmp;
    const std::string copy = tmp.file("ucsd-iv-1.dsk");
    fs::copy_file(dir / "raw" / "z80pack-ucsd-iv-1.dsk", copy);
    auto disk = makeDiskImage();
    TextSink log;
    ASSERT_TRUE(loadImageByType(copy, *disk, log)) << log.currentText();
    EXPECT_EQ(log.currentText().rfind(copy + " is named as DSK, but its content is raw (its size is "
                                             "that of a raw layout), so it is read as raw.\r\n"
                                             "Loading Raw Image: ",
                                      0),
              0u)
        << log.currentText();
    EXPECT_EQ(log.currentText().find(" CRC"), std::string::npos);
    EXPECT_EQ(disk->trackCount, 77);
    EXPECT_EQ(disk->sideCount, 1);
    const auto bytes = svtest::readFile(copy);
    for (int c : {0, 1, 76}) {
        ASSERT_EQ(disk->track(0, c).sectorCount, 26);
        const SectorEntry& e = disk->track(0, c).sectors[25];
        EXPECT_EQ(e.record, 26);
        EXPECT_EQ(e.singleDensity, 1);
        EXPECT_TRUE(std::equal(e.data.begin(), e.data.begin() + 128,
                               bytes.begin() + (c * 26 + 25) * 128));
    }
}

}  // namespace
}  // namespace sv
