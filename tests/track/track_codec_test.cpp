// Cells, marks and the PLL, against the values the format notes give and against flux that
// wobbles as a real drive's does.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/crc16.h"
#include "track/cells.h"
#include "track/pll.h"
#include "track/track_decoder.h"

namespace sv {
namespace {

TEST(TrackCells, MarkAndByteWordsAreTheRecordedOnes) {
    EXPECT_EQ(fmCellWord(0xFE, true), 0xF57E);  // ID mark, clock C7
    EXPECT_EQ(fmCellWord(0xFB, true), 0xF56F);
    EXPECT_EQ(fmCellWord(0xF8, true), 0xF56A);
    EXPECT_EQ(fmCellWord(0xFC, true), 0xF77A);  // index mark, clock D7
    EXPECT_EQ(fmCellWord(0x00, false), 0xAAAA);
    EXPECT_EQ(mfmCellWord(0xA1, true, false), 0x4489);
    EXPECT_EQ(mfmCellWord(0xC2, true, false), 0x5224);
    EXPECT_EQ(mfmCellWord(0xA1, false, false), 0x44A9);
    EXPECT_EQ(mfmCellWord(0x4E, false, false), 0x9254);
    EXPECT_EQ(mfmCellWord(0x00, false, true), 0x2AAA);  // no clock after a 1
    // In an HFE file the earliest cell is bit 0: MFM 0x4E after a 0 is stored as 49 2A.
    Cells cells;
    CellEncoder(cells).put({0x4E, false, false});
    EXPECT_EQ(packCellsLsbFirst(cells), (std::vector<std::uint8_t>{0x49, 0x2A}));
}

// A track with one FM and one MFM sector, as a Model II disk mixes them.
Cells mixedTrack(std::uint8_t fmFill, bool spoilMfmData = false) {
    Cells cells;
    CellEncoder enc(cells);
    const auto put = [&](std::uint8_t v, bool fm, int times = 1, bool mark = false) {
        for (int i = 0; i < times; ++i) enc.put({v, fm, mark});
    };
    const auto field = [&](bool fm, std::uint8_t mark, const std::vector<std::uint8_t>& body, bool spoil) {
        put(0x00, fm, fm ? 6 : 12);
        std::uint16_t crc = fm ? kCrc16Initial : kCrc16AfterMfmSync;
        if (!fm) put(0xA1, false, 3, true);
        put(mark, fm, 1, fm);
        crc = crc16Update(crc, mark);
        crc = crc16(body, crc);
        for (std::size_t i = 0; i < body.size(); ++i) put(spoil && i == 5 ? body[i] ^ 1 : body[i], fm);
        put(static_cast<std::uint8_t>(crc >> 8), fm);
        put(static_cast<std::uint8_t>(crc), fm);
        put(fm ? 0xFF : 0x4E, fm, 20);
    };
    put(fmFill, true, 20);
    field(true, 0xFE, {0, 0, 1, 0}, false);
    field(true, 0xFB, std::vector<std::uint8_t>(128, 0x5A), false);
    field(false, 0xFE, {1, 0, 7, 1}, false);
    field(false, 0xF8, std::vector<std::uint8_t>(256, 0xC3), spoilMfmData);
    field(false, 0xFE, {1, 0, 8, 1}, false);  // an ID without its data field
    put(0x4E, false, 200);
    return cells;
}

TEST(TrackDecoder, FindsFmAndMfmSectorsOnOneTrackWithTheirFaults) {
    const auto found = decodeCells(mixedTrack(0xFF, true));
    ASSERT_EQ(found.size(), 3U);
    EXPECT_TRUE(found[0].fm);
    EXPECT_TRUE(found[0].idCrcGood && found[0].dataCrcGood);
    EXPECT_EQ(found[0].data, std::vector<std::uint8_t>(128, 0x5A));
    EXPECT_FALSE(found[1].fm);
    EXPECT_EQ(found[1].record, 7);
    EXPECT_EQ(found[1].mark, 0xF8);
    EXPECT_FALSE(found[1].dataCrcGood);  // one bit spoilt
    EXPECT_FALSE(found[2].dataFound);

    SectorEntry e{};
    EXPECT_EQ(fillSlot(found[1], e), DataState::CrcError);
    EXPECT_EQ(e.status, status::deletedData | status::dataCrcError);
    EXPECT_EQ(fillSlot(found[2], e), DataState::NoDataField);
    EXPECT_EQ(e.status, 0x43);  // as the DMK reader keeps a missing data field
    EXPECT_EQ(e.data[0], ' ');
}

TEST(TrackDecoder, CellsThatEndInsideAFieldAreCutNotReadBeyond) {
    Cells cells = mixedTrack(0xFF);
    const auto whole = decodeCells(cells);
    // End inside the MFM data field: the sector is kept, cut short.
    const std::size_t cut = whole[1].position + 16 * 100;
    const auto found = decodeCells(std::span<const std::uint8_t>(cells.data(), cut));
    ASSERT_EQ(found.size(), 2U);
    EXPECT_TRUE(found[1].dataCutShort);
    SectorEntry e{};
    EXPECT_EQ(fillSlot(found[1], e), DataState::CutShort);
    EXPECT_NE(e.status & status::dataCrcError, 0);
    for (std::size_t n = 0; n < cells.size(); n += 997) {
        (void)decodeCells(std::span<const std::uint8_t>(cells.data(), n));
    }
}

// The mark search skips the cells between sync patterns: a sector is found whatever comes
// before it, however close, long or empty: MFM noise, a run without transitions, or nothing.
TEST(TrackDecoder, FindsMarksWhateverPrecedesThem) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        Cells cells;
        CellEncoder enc(cells);
        for (int n = static_cast<int>(random() % 40); n > 0; --n) {
            enc.put({static_cast<std::uint8_t>(random()), false, false});
        }
        cells.insert(cells.end(), random() % 3 == 0 ? random() % 300 : 0, 0);
        const auto sector = [&](bool fm, std::uint8_t record) {
            std::uint16_t crc = fm ? kCrc16Initial : kCrc16AfterMfmSync;
            if (!fm) {
                for (int i = 0; i < 3; ++i) enc.put({0xA1, false, true});
            } else {
                enc.put({0x00, true, false});
            }
            const std::vector<std::uint8_t> id{0xFE, 3, 0, record, 0};
            for (std::size_t i = 0; i < id.size(); ++i) enc.put({id[i], fm, fm && i == 0});
            crc = crc16(std::span<const std::uint8_t>(id), crc);
            enc.put({static_cast<std::uint8_t>(crc >> 8), fm, false});
            enc.put({static_cast<std::uint8_t>(crc), fm, false});
        };
        const bool fmFirst = random() % 2 == 0;
        sector(fmFirst, 1);
        sector(!fmFirst, 2);
        const auto found = decodeCells(cells);
        ASSERT_GE(found.size(), 2U) << "round " << round;
        const FoundSector& first = found[found.size() - 2];
        const FoundSector& second = found.back();
        EXPECT_EQ(first.record, 1) << "round " << round;
        EXPECT_EQ(second.record, 2) << "round " << round;
        EXPECT_TRUE(first.idCrcGood && second.idCrcGood) << "round " << round;
        EXPECT_EQ(first.fm, fmFirst) << "round " << round;
    }
}

// Flux of the cells at `cellNs`, each transition moved by up to `jitter` of a cell, the speed
// drifting by `drift` over the revolution.
std::vector<std::uint32_t> fluxOf(const Cells& cells, double cellNs, double jitter, double drift,
                                  unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> wobble(-jitter, jitter);
    std::vector<std::uint32_t> flux;
    double time = 0;
    double previous = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const double phase = static_cast<double>(i) / static_cast<double>(cells.size());
        time += cellNs / 25.0 * (1 + drift * std::sin(6.2832 * phase));
        if (cells[i]) {
            const double at = time + wobble(random) * cellNs / 25.0;
            const auto ticks = static_cast<std::uint32_t>(std::lround(at - previous));
            previous += ticks;
            flux.push_back(ticks);
        }
    }
    return flux;
}

TEST(Pll, FollowsJitterAndDriftOnBothDensities) {
    const Cells cells = mixedTrack(0xFF);
    for (const double drift : {0.0, 0.03, -0.04}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const auto flux = fluxOf(cells, 1000, 0.10, drift, seed);
            const double cell = detectCellTicks(flux, 25);
            EXPECT_DOUBLE_EQ(cell, 40.0);
            Cells out;
            fluxToCells(flux, cell, out);
            const auto found = decodeCells(out);
            ASSERT_EQ(found.size(), 3U) << "drift " << drift << " seed " << seed;
            EXPECT_TRUE(found[0].dataCrcGood && found[1].dataCrcGood);
            EXPECT_EQ(found[1].data, std::vector<std::uint8_t>(256, 0xC3));
        }
    }
}

TEST(Pll, DetectsTheFiveAndAQuarterInchRateAndBoundsItsOutput) {
    const auto slow = fluxOf(mixedTrack(0xFF), 2000, 0.05, 0, 7);
    EXPECT_DOUBLE_EQ(detectCellTicks(slow, 25), 80.0);
    EXPECT_EQ(detectCellTicks({}, 25), 0);
    // An interval of hours of no flux gives a bounded run of empty cells.
    const std::vector<std::uint32_t> hostile{40, 0xFFFFFFFFU, 80, 0xFFFFFFFFU};
    Cells out;
    fluxToCells(hostile, 40, out);
    EXPECT_LE(out.size(), kMaxCellsPerRevolution);
}

}  // namespace
}  // namespace sv
