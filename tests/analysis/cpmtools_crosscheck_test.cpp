// A CP/M file system laid out by cpmtools (software nobody here wrote), placed on a Model II disk
// by the generator and listed by sectorvane-cli: every file cpmcp copies back out must come out
// of `extract` with the same bytes, followed only by the rest of its last 2048-byte block.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "formats/dmk.h"
#include "mkdisk/cpm_samples.h"
#include "test_util.h"

namespace sv {
namespace {

namespace fs = std::filesystem;
using svtest::run;
using svtest::shellQuote;

constexpr std::size_t kBlockBytes = 2048;

struct Case {
    const char* diskdef;
    mkdisk::CpmSystem system;
    std::map<std::string, std::size_t> files;  // CP/M name -> size (whole 128-byte records)
};

std::vector<std::uint8_t> pattern(const std::string& name, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31 + name.size() * 7 + i / 251);
    }
    return bytes;
}

// Lists the wrapped disk; line -> content of its first entry (FMG also lists later extents).
std::map<std::string, std::vector<std::uint8_t>> listed(const std::string& dmkPath) {
    auto disk = makeDiskImage();
    TextSink log;
    loadDmkImage(dmkPath, *disk, log);
    std::map<std::string, std::vector<std::uint8_t>> out;
    for (const AnalysedEntry& e : analyseDisk(*disk, log).entries) {
        out.try_emplace(e.listingLine, e.fileContent);
    }
    return out;
}

void crossCheck(const Case& c) {
    if (run("command -v mkfs.cpm >/dev/null && command -v cpmcp >/dev/null").status != 0) {
        GTEST_SKIP() << "cpmtools is not installed (scripts/install-deps installs it)";
    }
    svtest::TempDir dir;
    fs::copy_file(fs::path(SV_TESTS_DIR) / "analysis" / "cpmtools_diskdefs", dir.path() / "diskdefs");
    const std::string cd = "cd " + shellQuote(dir.path().string()) + " && ";
    ASSERT_EQ(run(cd + "mkfs.cpm -f " + c.diskdef + " disk.img").status, 0);
    fs::create_directory(dir.path() / "in");
    fs::create_directory(dir.path() / "out");
    for (const auto& [name, size] : c.files) {
        svtest::writeFile(dir.file("in/" + name), pattern(name, size));
        const auto r = run(cd + "cpmcp -f " + c.diskdef + " disk.img in/" + name + " 0:" + name);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const auto copied = run(cd + "cpmcp -f " + c.diskdef + " disk.img '0:*' out/");
    ASSERT_EQ(copied.status, 0) << copied.err;

    const mkdisk::Disk disk = mkdisk::wrapCpmImage(c.system, svtest::readFile(dir.file("disk.img")));
    mkdisk::writeFile(dir.file("disk.dmk"), mkdisk::writeDmk(disk));
    const auto files = listed(dir.file("disk.dmk"));

    ASSERT_EQ(files.size(), c.files.size());
    for (const auto& [name, size] : c.files) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char ch) { return static_cast<char>(std::tolower(ch)); });
        const std::vector<std::uint8_t> theirs = svtest::readFile(dir.file("out/" + lower));
        ASSERT_EQ(theirs.size(), size) << name;
        // A name without a type is listed with one space after it.
        const std::string line = name.find('.') == std::string::npos ? name + " " : name;
        ASSERT_TRUE(files.contains(line)) << name;
        const std::vector<std::uint8_t>& ours = files.at(line);
        EXPECT_EQ(ours.size(), (size + kBlockBytes - 1) / kBlockBytes * kBlockBytes) << name;
        EXPECT_TRUE(ours.size() >= theirs.size() &&
                    std::equal(theirs.begin(), theirs.end(), ours.begin()))
            << name;
    }
}

// FMG's one-byte block numbers put two 16 KB extents in each entry (numbered 1, then 3); sizes
// are whole records, as CP/M 2.2 keeps them.
TEST(CpmtoolsCrossCheck, FmgShapedDisk) {
    crossCheck({"sv-fmg", mkdisk::CpmSystem::fmg,
                {{"A.COM", 128}, {"B.TXT", 2048}, {"C.DAT", 16384}, {"D.DAT", 20480},
                 {"WHOLE.BIN", 65536}, {"NOTYPE", 5120}}});
}

TEST(CpmtoolsCrossCheck, PicklesTroutShapedDisk) {
    crossCheck({"sv-pickles-trout", mkdisk::CpmSystem::picklesTrout,
                {{"A.COM", 128}, {"B.TXT", 6016}, {"C.DAT", 16384}, {"D.DAT", 50048},
                 {"E.DAT", 131072}}});
}

TEST(CpmtoolsCrossCheck, LifeboatShapedDisk) {
    crossCheck({"sv-lifeboat", mkdisk::CpmSystem::lifeboat,
                {{"A.COM", 128}, {"B.TXT", 3968}, {"C.DAT", 16512}, {"D.DAT", 99968}}});
}

}  // namespace
}  // namespace sv
