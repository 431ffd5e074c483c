// Damaged and hostile files for every reader: cut at every offset, random bytes, random
// corruption of a good file. Nothing may crash, hang or read out of bounds (the test build runs
// under the sanitizers), and the store's capacities must hold.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "core/file_io.h"
#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/imd.h"
#include "formats/raw.h"
#include "formats/td0.h"
#include "format_test_support.h"
#include "test_util.h"

namespace sv {
namespace {

// Two cylinders, two sides, three small sectors a track, with every kind of fault.
mkdisk::Disk tinyDisk() {
    mkdisk::Disk disk(2, 2);
    disk.comment = "tiny\ndisk";
    for (int c = 0; c < 2; ++c) {
        for (int h = 0; h < 2; ++h) {
            for (int r = 1; r <= 3; ++r) {
                mkdisk::Sector s;
                s.cylinder = static_cast<std::uint8_t>(c);
                s.head = static_cast<std::uint8_t>(h);
                s.record = static_cast<std::uint8_t>(r);
                s.sizeCode = 0;
                s.fm = c == 0;
                s.data.assign(128, static_cast<std::uint8_t>(r == 2 ? 0xE5 : c * 16 + r));
                s.data[5] = 0x42;
                disk.at(c, h).sectors.push_back(s);
            }
        }
    }
    disk.find(1, 0, 1)->badDataCrc = true;
    disk.find(1, 1, 2)->badIdCrc = true;
    disk.find(1, 1, 3)->mark = 0xF8;
    disk.find(0, 1, 3)->noDataField = true;
    return disk;
}

void expectWithinCapacity(const DiskImage& disk) {
    EXPECT_LE(disk.trackCount, kMaxCylinders);
    EXPECT_LE(disk.sideCount, kMaxSides);
    for (const auto& side : disk.tracks) {
        for (const auto& track : side) {
            ASSERT_LE(track.sectorCount, kMaxSectorsPerTrack);
        }
    }
}

void loadTinyRaw(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                 OperationLog& log) {
    const RawGeometry geometry{2, 2, {3, 0, true, 1}, 2, {3, 0, false, 1}};
    loadRawBytes(bytes, path, &geometry, disk, log);
}

struct Reader {
    const char* name;
    svtest::BytesLoader load;
    std::vector<std::uint8_t> good;
    std::vector<std::uint8_t> prefix;  // what random files start with, to get past the header
};

std::vector<Reader> readers() {
    const mkdisk::Disk disk = tinyDisk();
    return {
        {"IMD", loadImdBytes, mkdisk::writeImd(disk), {'I', 'M', 'D', 0x1A}},
        {"TD0", loadTd0Bytes, mkdisk::writeTd0(disk), {'T', 'D', 0, 0, 0x15, 0, 2, 0, 0, 2, 0, 0}},
        {"DSK", loadDskBytes, mkdisk::writeDsk(disk), {}},
        {"TD0 LZW", loadTd0Bytes, mkdisk::writeTd0(disk, {.advancedLzw = true}),
         {'t', 'd', 0, 0, 11, 0, 2, 0, 0, 2, 0, 0}},
        {"raw", loadTinyRaw, mkdisk::writeRaw(disk), {}},
    };
}

TEST(HostileInput, GoodTinyFilesLoadWhole) {
    for (const auto& r : readers()) {
        auto disk = makeDiskImage();
        TextSink log;
        r.load(r.good, "t", *disk, log);
        EXPECT_EQ(disk->trackCount, 2) << r.name << "\n" << log.currentText();
        EXPECT_EQ(disk->sideCount, 2) << r.name;
    }
}

TEST(HostileInput, CutAtEveryOffset) {
    auto disk = makeDiskImage();
    for (const auto& r : readers()) {
        for (std::size_t size = 0; size < r.good.size(); ++size) {
            // The DSK table is 8704 bytes of mostly free entries: every offset near the used
            // entries and the data, a sparse walk through the rest.
            const bool dense = r.name != std::string("DSK") || size < 64 || size + 1700 > r.good.size();
            if (!dense && size % 61 != 0) {
                continue;
            }
            const std::vector<std::uint8_t> cut(r.good.begin(),
                                                r.good.begin() + static_cast<std::ptrdiff_t>(size));
            TextSink log;
            r.load(cut, "t", *disk, log);
            expectWithinCapacity(*disk);
            const std::string text = log.currentText();
            ASSERT_TRUE(text.find("loaded.") != std::string::npos ||
                        text.find("Operation aborted") != std::string::npos)
                << r.name << " cut at " << size << "\n" << text;
        }
    }
}

TEST(HostileInput, RandomBytesAndCorruptedFiles) {
    std::mt19937 random(20240611);
    auto disk = makeDiskImage();
    for (const auto& r : readers()) {
        for (int round = 0; round < 150; ++round) {
            std::vector<std::uint8_t> bytes = r.prefix;
            const std::size_t size = random() % 3000;
            for (std::size_t i = 0; i < size; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(random()));
            }
            TextSink log;
            r.load(bytes, "t", *disk, log);
            expectWithinCapacity(*disk);
        }
        for (int round = 0; round < 300; ++round) {
            std::vector<std::uint8_t> bytes = r.good;
            for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            }
            TextSink log;
            r.load(bytes, "t", *disk, log);
            expectWithinCapacity(*disk);
        }
    }
}

TEST(HostileInput, HugeCountsStayBounded) {
    auto disk = makeDiskImage();
    TextSink log;
    // TD0: an RLE record asking for 255 repeats of a 510-byte pattern; a pattern block of 65535.
    loadTd0Bytes(std::vector<std::uint8_t>{'T', 'D', 0, 0, 0, 0, 2, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0,
                                           0, 1, 6, 0, 0, 0, 0, 2, 255, 255},
                 "t", *disk, log);
    expectWithinCapacity(*disk);
    // IMD: 255 sectors of size code 6 on cylinder 255, then a record with size code 200.
    std::vector<std::uint8_t> imd{0x1A, 3, 255, 0, 255, 6};
    imd.resize(imd.size() + 255, 1);
    for (int k = 0; k < 255; ++k) imd.insert(imd.end(), {2, 0x00});
    imd.insert(imd.end(), {3, 0, 0, 1, 200, 1, 1, 0});
    loadImdBytes(imd, "t", *disk, log);
    expectWithinCapacity(*disk);
    EXPECT_NE(log.currentText().find("size code 200"), std::string::npos);
}

// Real disks cut short and with single bytes changed, read from memory by the reader their folder
// names. The outcome is not checked beyond the store's capacities: the sanitizers are the test.
void loadDmkBytes(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                  OperationLog& log) {
    clear(disk);
    LogEditor text(log, "Loading DMK Image: " + path);
    decodeDmk(bytes, disk, text);
}

void loadRawGuessed(std::span<const std::uint8_t> bytes, const std::string& path, DiskImage& disk,
                    OperationLog& log) {
    loadRawBytes(bytes, path, nullptr, disk, log);
}

// Keeps nothing: the sweep loads thousands of damaged files, and their logs are not checked.
class DiscardingLog : public OperationLog {
public:
    void show(const std::string&) override {}
    [[nodiscard]] std::string currentText() const override { return {}; }
};

// Each image of the folder, copied to a temporary folder first, cut at 256 evenly spaced
// offsets and with up to 256 single bytes changed one at a time (a fixed seed).
void sweepRealDisks(const char* folder, svtest::BytesLoader load) {
    namespace fs = std::filesystem;
    const fs::path real = svtest::realDisksDir();
    if (real.empty()) {
        GTEST_SKIP() << "../shared/realdisks is absent; the real-disk sweep is skipped";
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(real / folder)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << (real / folder);
    svtest::TempDir temp;
    auto disk = makeDiskImage();
    DiscardingLog log;
    std::mt19937 random(20261208);
    for (const fs::path& file : files) {
        const std::string copy = svtest::copyRealDisk(std::string(folder) + "/" + file.filename().string(), temp);
        const std::vector<std::uint8_t> whole = readWholeFile(copy).bytes;
        ASSERT_FALSE(whole.empty()) << copy;
        constexpr std::size_t kSteps = 256;
        for (std::size_t step = 0; step < kSteps; ++step) {
            load(std::span(whole).first(whole.size() * step / kSteps), copy, *disk, log);
            expectWithinCapacity(*disk);
        }
        // Each changed file is read whole: past 256 KB, fewer changes keep an image's share of
        // the sanitizer build's time near that of a 256 KB one (at least 32 changes).
        const std::size_t changes = std::clamp<std::size_t>(kSteps * (256 * 1024) / whole.size(), 32, kSteps);
        std::vector<std::uint8_t> changed = whole;
        for (std::size_t round = 0; round < changes; ++round) {
            const std::size_t at = random() % changed.size();
            changed[at] = static_cast<std::uint8_t>(random());
            load(changed, copy, *disk, log);
            expectWithinCapacity(*disk);
            changed[at] = whole[at];
        }
    }
}

TEST(HostileInput, RealDmkDisksCutAndChanged) { sweepRealDisks("dmk", loadDmkBytes); }
TEST(HostileInput, RealImdDisksCutAndChanged) { sweepRealDisks("imd", loadImdBytes); }
TEST(HostileInput, RealTd0DisksCutAndChanged) { sweepRealDisks("td0", loadTd0Bytes); }
TEST(HostileInput, RealRawDisksCutAndChanged) { sweepRealDisks("raw", loadRawGuessed); }
}  // namespace
}  // namespace sv
