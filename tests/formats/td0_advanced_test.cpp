// Teledisk advanced compression: both decoders against the real pairs of files Teledisk wrote
// in both forms, and bounded behaviour on streams that are cut, corrupt or explosive.
#include "formats/td0_advanced.h"

#include <gtest/gtest.h>

#include "formats/td0.h"
#include "format_test_support.h"
#include "mkdisk/samples.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

svtest::Loaded loadTd0(const std::vector<std::uint8_t>& bytes) {
    return svtest::loadBytes(loadTd0Bytes, bytes, "d.td0");
}

void expectSameDisk(const DiskImage& a, const DiskImage& b, const std::string& what) {
    ASSERT_EQ(a.trackCount, b.trackCount) << what;
    ASSERT_EQ(a.sideCount, b.sideCount) << what;
    EXPECT_EQ(a.trackLength, b.trackLength) << what;
    for (int s = 0; s < kMaxSides; ++s) {
        for (int c = 0; c < kMaxCylinders; ++c) {
            const auto& ta = a.track(s, c);
            const auto& tb = b.track(s, c);
            ASSERT_EQ(ta.sectorCount, tb.sectorCount) << what << " C" << c << " S" << s;
            for (int k = 0; k < ta.sectorCount; ++k) {
                const auto& x = ta.sectors[k];
                const auto& y = tb.sectors[k];
                EXPECT_EQ(std::tie(x.cylinder, x.head, x.record, x.sizeCode, x.singleDensity, x.status),
                          std::tie(y.cylinder, y.head, y.record, y.sizeCode, y.singleDensity, y.status))
                    << what << " C" << c << " S" << s << " slot " << k;
                EXPECT_EQ(x.data, y.data) << what << " C" << c << " S" << s << " slot " << k;
            }
        }
    }
}

TEST(TelediskCrc, CheckValueAndRealHeaders) {
    EXPECT_EQ(telediskCrc(bytesOf("123456789")), 0x0FB3);
    const fs::path dir = svtest::realDisksDir();
    if (dir.empty()) {
        GTEST_SKIP() << "the shared real-disk folder is absent";
    }
    for (const char* name : {"td105-adv.td0", "td105-norm.td0", "td215-adv.td0", "td215-norm.td0",
                             "m2-fmg-cpm-2.2.td0"}) {
        EXPECT_TRUE(hasTd0Header(svtest::readFile((dir / "td0" / name).string()))) << name;
    }
    EXPECT_FALSE(hasTd0Header(svtest::readFile((dir / "td0" / "not-a-disk-http404.td0").string())));
}

TEST(Td0Advanced, RealAdvancedFilesEqualTheirNormalTwins) {
    const fs::path dir = svtest::realDisksDir();
    if (dir.empty()) {
        GTEST_SKIP() << "the shared real-disk folder is absent";
    }
    for (const std::string version : {"td105", "td215"}) {
        const auto normal = loadTd0(svtest::readFile((dir / "td0" / (version + "-norm.td0")).string()));
        const auto advanced = loadTd0(svtest::readFile((dir / "td0" / (version + "-adv.td0")).string()));
        ASSERT_EQ(advanced.disk->trackCount, 41) << advanced.log;
        expectSameDisk(*normal.disk, *advanced.disk, version);
        EXPECT_NE(advanced.log.find(version == "td105"
                                        ? "d.td0 uses Advanced Compression (Teledisk 1.x, LZW), "
                                        : "d.td0 uses Advanced Compression (Teledisk 2.x, LZSS-Huffman), "),
                  std::string::npos)
            << advanced.log;
        EXPECT_EQ(advanced.log.find(" CRC"), std::string::npos) << advanced.log;
        EXPECT_NE(advanced.log.find(" - Teledisk image loaded."), std::string::npos);
    }
}

TEST(Td0Advanced, CutCorruptAndExplosiveStreamsStopWithALine) {
    const fs::path dir = svtest::realDisksDir();
    if (!dir.empty()) {
        // Cut in half: the tracks expanded so far load, and the log says the file ends early.
        for (const char* name : {"td105-adv.td0", "td215-adv.td0"}) {
            auto bytes = svtest::readFile((dir / "td0" / name).string());
            bytes.resize(bytes.size() / 2);
            const auto cut = loadTd0(bytes);
            EXPECT_GT(cut.disk->trackCount, 0) << name;
            EXPECT_LT(cut.disk->trackCount, 41) << name;
            EXPECT_NE(cut.log.find("d.td0 ends "), std::string::npos) << cut.log;
        }
    }
    // A 1.x block whose second code names an entry that does not exist yet.
    const std::vector<std::uint8_t> badLzw{'t', 'd', 0, 0, 11, 0, 2, 0, 0, 1, 0, 0,
                                           6, 0, 0x41, 0x10, 0x10, 0, 0};
    const auto refused = loadTd0(badLzw);
    EXPECT_TRUE(isEmpty(*refused.disk));
    EXPECT_EQ(refused.log, "Loading Teledisk Image: d.td0\r\n"
                           "d.td0 holds LZW code 257 before its entry exists.\r\n"
                           "d.td0 uses Advanced Compression - Cannot ingest\r\nOperation aborted");

    // Streams that expand without end are cut at the limit, and say so.
    const std::vector<std::uint8_t> ones(4096, 0xFF);
    const Expansion huffman = expandLzhuf(ones, 1000);
    EXPECT_LE(huffman.bytes.size(), 1000u + 60);
    EXPECT_NE(huffman.failure.find("expands to more than"), std::string::npos);
    // 0x000 0x100 0x101 ...: every code the entry the previous one just made, doubling each time.
    std::vector<std::uint8_t> lzw{0xFF, 0x2F};  // 4095 codes
    for (int code = 0; code < 4096; code += 2) {
        const int first = code == 0 ? 0 : 255 + code;
        const int second = 256 + code;
        lzw.push_back(static_cast<std::uint8_t>(first));
        lzw.push_back(static_cast<std::uint8_t>((first >> 8) | ((second & 0xF) << 4)));
        lzw.push_back(static_cast<std::uint8_t>(second >> 4));
    }
    const Expansion dictionary = expandLzw(lzw, 1 << 16);
    EXPECT_NE(dictionary.failure.find("expands to more than"), std::string::npos);
    EXPECT_TRUE(expandLzw({}, 100).failure.empty());
    EXPECT_TRUE(expandLzhuf({}, 100).bytes.empty());
}

}  // namespace
}  // namespace sv

namespace sv {
namespace {

// A generated disk in 1.x advanced form (the fixture tool's own LZW writer) loads as its normal
// form does, every sector and the log below the compression line.
TEST(Td0Advanced, GeneratedLzwFileEqualsItsNormalForm) {
    auto model = mkdisk::damagedModel2Disk();
    model.comment = "lzw\ncheck";
    const auto normal = loadTd0(mkdisk::writeTd0(model));
    const auto advanced = loadTd0(mkdisk::writeTd0(model, {.advancedLzw = true}));
    expectSameDisk(*normal.disk, *advanced.disk, "lzw");
    const auto tail = [](const std::string& log) { return log.substr(log.find("Image created")); };
    EXPECT_EQ(tail(normal.log), tail(advanced.log));
}

}  // namespace
}  // namespace sv
