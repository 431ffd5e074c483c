// The generator's disks of the CP/M family, UCSD Pascal and Xenix, written by its own DMK code
// and read back through the DMK reader, listed whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "analysis/analysis.h"
#include "formats/dmk.h"
#include "mkdisk/cpm_samples.h"
#include "test_util.h"

namespace sv {
namespace {

struct Listed {
    std::string diskInfo;
    std::vector<std::string> lines;
    std::vector<std::vector<std::uint8_t>> contents;
};

Listed listSample(const mkdisk::Disk& sample) {
    svtest::TempDir dir;
    const std::string path = dir.file("sample.dmk");
    mkdisk::writeFile(path, mkdisk::writeDmk(sample));
    auto disk = makeDiskImage();
    TextSink log;
    loadDmkImage(path, *disk, log);
    const DiskAnalysis a = analyseDisk(*disk, log);
    Listed out{a.diskInfo, {}, {}};
    for (const AnalysedEntry& e : a.entries) {
        out.lines.push_back(e.listingLine);
        out.contents.push_back(e.fileContent);
    }
    return out;
}

std::vector<std::uint8_t> text(std::string_view tag, std::size_t bytes) {
    return mkdisk::sampleText(tag, bytes);
}

// The file's bytes, then the rest of its last block as the system left it.
bool startsWith(const std::vector<std::uint8_t>& content, const std::vector<std::uint8_t>& file) {
    return content.size() >= file.size() && std::equal(file.begin(), file.end(), content.begin());
}

TEST(ListingSamples, FmgExtentsErasedEntryAndAttributeBit) {
    const Listed l = listSample(mkdisk::fmgSample());
    EXPECT_EQ(l.diskInfo, "FMG Corporation - MODEL II CP/M 2.24 Disk\r\nDirTrack=   2[0002]");
    ASSERT_EQ(l.lines, (std::vector<std::string>{"PIP.COM", "PROG.BAS", "LONG.TXT", "LONG.TXT",
                                                 "LONG.TXT", "README "}));
    EXPECT_TRUE(startsWith(l.contents[0], text("PIP", 7000)));
    EXPECT_EQ(l.contents[0].size(), 8192u);
    std::vector<std::uint8_t> whole = text("LONG part 1", 16384);
    for (const auto& part : {text("LONG part 2", 16384), text("LONG part 3", 3000)}) {
        whole.insert(whole.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(startsWith(l.contents[2], whole));
    EXPECT_EQ(l.contents[2].size(), 36864u);
    EXPECT_EQ(l.contents[3].size(), 20480u);  // extent 1, then 3
    EXPECT_EQ(l.contents[4].size(), 4096u);   // extent 3 alone
}

TEST(ListingSamples, PicklesTroutEverySignature) {
    for (const auto& [build, title] :
         {std::pair{&mkdisk::picklesTroutSample, "Pickles & Trout CPM V224 Disk"},
          std::pair{&mkdisk::picklesTroutBiosmodsSample, "Pickles & Trout BIOSMODS.PNT Disk"},
          std::pair{&mkdisk::picklesTroutCorvusSample, "Pickles & Trout Corvus Disk"}}) {
        const Listed l = listSample(build());
        EXPECT_EQ(l.diskInfo, std::string(title) + "\r\nDirTrack=   2[0002]");
        ASSERT_EQ(l.lines,
                  (std::vector<std::string>{"PIP.COM", "STAT.COM", "BIG.DAT", "LAST.BLK"}));
        EXPECT_TRUE(startsWith(l.contents[2], text("BIG", 40000)));
        EXPECT_EQ(l.contents[3], text("LAST", 2048));
    }
}

TEST(ListingSamples, LifeboatAndAton) {
    const Listed lifeboat = listSample(mkdisk::lifeboatSample());
    EXPECT_EQ(lifeboat.diskInfo, "Lifeboat CP/M V2.24 Disk\r\nDirTrack=   2[0002]");
    ASSERT_EQ(lifeboat.lines, (std::vector<std::string>{"PIP.COM", "WS.COM", "LETTER.TXT"}));
    EXPECT_TRUE(startsWith(lifeboat.contents[1], text("WS", 20000)));

    for (const auto& [build, title] :
         {std::pair{&mkdisk::atonSingleSample, "ATON CP/M 2.25 SSHD Disk"},
          std::pair{&mkdisk::atonDoubleSample, "ATON CP/M 2.25 DSHD Disk"}}) {
        const Listed l = listSample(build());
        EXPECT_EQ(l.diskInfo, std::string(title) + "\r\nDirTrack=   2[0002]");
        ASSERT_EQ(l.lines, (std::vector<std::string>{"PIP.COM", "FAR.DAT", "NOTE.TXT"}));
        EXPECT_TRUE(startsWith(l.contents[1], text("FAR", 30000))) << title;
        EXPECT_EQ(l.contents[1].size(), 30720u);
    }
}

TEST(ListingSamples, UcsdVolume) {
    const Listed l = listSample(mkdisk::ucsdSample());
    EXPECT_EQ(l.diskInfo,
              "UCSD Pascal Disk\r\nVolName='WORK', NBLKs=01EE, Date=17/03/1984\r\n"
              "DirTrack=   1[0001]");
    EXPECT_EQ(l.lines,
              (std::vector<std::string>{
                  "HELLO.TEXT          20/07/1984 SBLK=0006 EBLK=0009 EOFB=0200",
                  "PRIMES.CODE         02/11/1983 SBLK=000A EBLK=000B EOFB=012C",
                  "NOTES.TEXT          31/12/1999 SBLK=001A EBLK=001D EOFB=004D"}));
    EXPECT_EQ(l.contents[1], text("PRIMES.CODE", 1024));
    EXPECT_EQ(l.contents[2], text("NOTES.TEXT", 2048));
}

TEST(ListingSamples, XenixTar) {
    const Listed l = listSample(mkdisk::xenixTarSample());
    EXPECT_EQ(l.diskInfo, "Xenix TAR Disk\r\n\r\nDirTrack=   1[0001]");
    EXPECT_EQ(l.lines,
              (std::vector<std::string>{
                  "usr\\                                    05/11/1985 00:53:20 Size=0000000",
                  "usr\\lib\\x                               05/11/1985 00:55:00 Size=0001025",
                  "usr\\lib\\y                               05/11/1985 00:56:40 Size=0001024",
                  "etc\\motd                                05/01/1989 10:40:00 Size=0000017"}));
    std::vector<std::uint8_t> x = text("x", 1025);
    x.resize(1025);
    EXPECT_EQ(l.contents[1], x);
    EXPECT_EQ(l.contents[3], std::vector<std::uint8_t>(
                                 {'W', 'e', 'l', 'c', 'o', 'm', 'e', ' ', 't', 'o', ' ', 'X',
                                  'e', 'n', 'i', 'x', '\n'}));
}

}  // namespace
}  // namespace sv
