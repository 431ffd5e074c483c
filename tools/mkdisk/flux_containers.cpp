// HFE and SCP: tracks as cells and as flux, laid out with IBM gaps by mkdisk's own encoder.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "mkdisk/fixture.h"

namespace mkdisk {

namespace {

constexpr std::size_t kCellsPerRevolution = 166'667;  // 1 us cells at 360 rpm
constexpr double kTicksPerCell = 40.0;                 // 25 ns ticks

// Cells on the 1 us grid; an FM cell is written as an empty cell and then the cell.
class CellWriter {
public:
    void fmByte(std::uint8_t data, std::uint8_t clock = 0xFF) {
        for (int bit = 7; bit >= 0; --bit) {
            fmCell((clock >> bit) & 1);
            fmCell((data >> bit) & 1);
        }
        last_ = data & 1;
    }
    // missingClockBit: the data bit in front of which the clock is left out (2 for A1, 3 for C2).
    void mfmByte(std::uint8_t data, int missingClockBit = -1) {
        for (int bit = 7; bit >= 0; --bit) {
            const int d = (data >> bit) & 1;
            const int clock = (last_ == 0 && d == 0 && bit != missingClockBit) ? 1 : 0;
            cells_.push_back(static_cast<std::uint8_t>(clock));
            cells_.push_back(static_cast<std::uint8_t>(d));
            last_ = d;
        }
    }
    void byte(bool fm, std::uint8_t b, int times = 1) {
        for (int i = 0; i < times; ++i) {
            fm ? fmByte(b) : mfmByte(b);
        }
    }
    std::vector<std::uint8_t>& cells() { return cells_; }

private:
    void fmCell(int c) {
        cells_.push_back(0);
        cells_.push_back(static_cast<std::uint8_t>(c));
    }
    std::vector<std::uint8_t> cells_;
    int last_ = 0;
};

int mfmGap3(std::uint8_t sizeCode) {
    static constexpr int kGaps[] = {32, 54, 84, 116};
    return sizeCode < 4 ? kGaps[sizeCode] : 116;
}

// Sync and address mark; the CRC starts over the mark (and the MFM syncs).
std::vector<std::uint8_t> writeMark(CellWriter& w, bool fm, std::uint8_t mark) {
    if (fm) {
        w.byte(true, 0x00, 6);
        w.fmByte(mark, 0xC7);
        return {mark};
    }
    w.byte(false, 0x00, 12);
    for (int i = 0; i < 3; ++i) w.mfmByte(0xA1, 2);
    w.mfmByte(mark);
    return {0xA1, 0xA1, 0xA1, mark};
}

void writeCrc(CellWriter& w, bool fm, std::uint16_t crc) {
    w.byte(fm, static_cast<std::uint8_t>(crc >> 8));
    w.byte(fm, static_cast<std::uint8_t>(crc));
}

// One revolution of a track. `revolution` < 0: every sector as it is (HFE); otherwise a weak
// sector is spoilt differently in each revolution but its good one.
std::vector<std::uint8_t> trackCells(const Track& track, int revolution) {
    CellWriter w;
    const bool fmFirst = !track.sectors.empty() && track.sectors.front().fm;
    if (fmFirst) {
        w.byte(true, 0xFF, 40);
        w.byte(true, 0x00, 6);
        w.fmByte(0xFC, 0xD7);
        w.byte(true, 0xFF, 26);
    } else {
        w.byte(false, 0x4E, 80);
        w.byte(false, 0x00, 12);
        for (int i = 0; i < 3; ++i) w.mfmByte(0xC2, 3);
        w.mfmByte(0xFC);
        w.byte(false, 0x4E, 50);
    }
    for (const Sector& s : track.sectors) {
        std::vector<std::uint8_t> field = writeMark(w, s.fm, 0xFE);
        for (const std::uint8_t b : {s.cylinder, s.head, s.record, s.sizeCode}) {
            w.byte(s.fm, b);
            field.push_back(b);
        }
        writeCrc(w, s.fm, static_cast<std::uint16_t>(floppyCrc(field) ^ (s.badIdCrc ? 0x5A5A : 0)));
        w.byte(s.fm, s.fm ? 0xFF : 0x4E, s.fm ? 11 : 22);
        if (!s.noDataField) {
            field = writeMark(w, s.fm, s.mark);
            std::vector<std::uint8_t> data = sectorBytes(s);
            field.insert(field.end(), data.begin(), data.end());
            const auto crc = static_cast<std::uint16_t>(floppyCrc(field) ^ (s.badDataCrc ? 0x1234 : 0));
            if (revolution >= 0 && s.weakGoodRevolution >= 0 && revolution != s.weakGoodRevolution) {
                for (std::size_t i = 7; i < data.size(); i += 61) {
                    data[i] = static_cast<std::uint8_t>(data[i] ^ (revolution + 1) * 0x11);
                }
            }
            for (const std::uint8_t b : data) w.byte(s.fm, b);
            writeCrc(w, s.fm, crc);
        }
        w.byte(s.fm, s.fm ? 0xFF : 0x4E, s.fm ? 27 : mfmGap3(s.sizeCode));
    }
    // A track longer than a revolution (some samples pack more than a disk holds) is kept whole:
    // its revolution is longer.
    auto& cells = w.cells();
    while (cells.size() < kCellsPerRevolution) {
        w.byte(fmFirst, fmFirst ? 0xFF : 0x4E);
    }
    cells.resize(std::max(kCellsPerRevolution, (cells.size() + 7) / 8 * 8));
    return cells;
}

void put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}

// A small deterministic generator, so every run writes the same file.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed * 2654435761U + 1) {}
    double uniform() {  // -1 .. 1
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return (state_ % 20001) / 10000.0 - 1.0;
    }

private:
    std::uint32_t state_;
};

}  // namespace

std::vector<std::uint8_t> writeHfe(const Disk& disk) {
    std::vector<std::vector<std::uint8_t>> cellTracks;
    std::size_t longest = kCellsPerRevolution;
    for (int c = 0; c < disk.cylinders; ++c) {
        for (int h = 0; h < 2; ++h) {
            cellTracks.push_back(h < disk.sides ? trackCells(disk.at(c, h), -1) : std::vector<std::uint8_t>());
            longest = std::max(longest, cellTracks.back().size());
        }
    }
    const std::size_t sideBytes = (longest + 7) / 8;
    if (sideBytes * 2 > 0xFFFF) {
        throw std::runtime_error("mkdisk: a track is too long for HFE");
    }
    const std::size_t blocks = (sideBytes + 255) / 256;
    std::vector<std::uint8_t> out(1024, 0xFF);
    const std::string sig = "HXCPICFE";
    std::copy(sig.begin(), sig.end(), out.begin());
    out[8] = 0;
    out[9] = static_cast<std::uint8_t>(disk.cylinders);
    out[10] = static_cast<std::uint8_t>(disk.sides);
    out[11] = 0x00;
    put16(out, 12, 500);
    put16(out, 14, 360);
    out[16] = 0x07;
    put16(out, 18, 1);
    for (int c = 0; c < disk.cylinders; ++c) {
        put16(out, 512 + 4 * static_cast<std::size_t>(c), static_cast<unsigned>(2 + c * blocks));
        put16(out, 512 + 4 * static_cast<std::size_t>(c) + 2, static_cast<unsigned>(sideBytes * 2));
        std::vector<std::uint8_t> sides[2];
        for (int h = 0; h < 2; ++h) {
            std::vector<std::uint8_t>& cells = cellTracks[static_cast<std::size_t>(c * 2 + h)];
            while (cells.size() < sideBytes * 8) {  // MFM gap: 0x4E is the cells 1001 0010 0101 0100
                for (const int cell : {1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0}) {
                    cells.push_back(static_cast<std::uint8_t>(cell));
                }
            }
            cells.resize(sideBytes * 8);
            sides[h].assign(blocks * 256, 0x88);
            for (std::size_t i = 0; i < cells.size(); ++i) {
                if (cells[i]) sides[h][i / 8] |= static_cast<std::uint8_t>(1 << (i % 8));
                else sides[h][i / 8] &= static_cast<std::uint8_t>(~(1 << (i % 8)));
            }
        }
        for (std::size_t b = 0; b < blocks; ++b) {
            for (int h = 0; h < 2; ++h) {
                out.insert(out.end(), sides[h].begin() + static_cast<std::ptrdiff_t>(b * 256),
                           sides[h].begin() + static_cast<std::ptrdiff_t>(b * 256 + 256));
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> writeScp(const Disk& disk, const ScpOptions& options) {
    const int tracks = disk.sides == 1 ? 2 * disk.cylinders - 1 : 2 * disk.cylinders;
    std::vector<std::uint8_t> out(0x2B0, 0);
    out[0] = 'S';
    out[1] = 'C';
    out[2] = 'P';
    out[3] = 0x25;
    out[4] = disk.sides == 1 ? 0x41 : 0x43;
    out[5] = static_cast<std::uint8_t>(options.revolutions);
    out[6] = 0;
    out[7] = static_cast<std::uint8_t>(tracks - 1);
    out[8] = static_cast<std::uint8_t>((options.indexCued ? 0x01 : 0) | 0x04 | 0x80);
    out[9] = 0;
    out[10] = disk.sides == 1 ? 1 : 0;
    out[11] = 0;
    Random random(options.seed);
    for (int c = 0; c < disk.cylinders; ++c) {
        for (int h = 0; h < disk.sides; ++h) {
            const int t = 2 * c + h;
            const std::size_t tdh = out.size();
            put32(out, 0x10 + 4 * static_cast<std::size_t>(t), static_cast<std::uint32_t>(tdh));
            out.resize(tdh + 4 + 12 * static_cast<std::size_t>(options.revolutions), 0);
            out[tdh] = 'T';
            out[tdh + 1] = 'R';
            out[tdh + 2] = 'K';
            out[tdh + 3] = static_cast<std::uint8_t>(t);
            for (int r = 0; r < options.revolutions; ++r) {
                const std::vector<std::uint8_t> cells = trackCells(disk.at(c, h), r);
                const double speed = !options.speedVariation ? 1.0 : r == 1 ? 1.03 : r == 2 ? 0.97 : 1.0;
                const std::size_t dataStart = out.size();
                double previous = 0;
                double time = 0;
                std::uint32_t words = 0;
                double cellTicks = kTicksPerCell * speed;
                for (std::size_t i = 0; i < cells.size(); ++i) {
                    if (options.speedVariation && i % 256 == 0) {
                        const double drift = 0.01 * std::sin(6.2832 * static_cast<double>(i) / static_cast<double>(cells.size()));
                        cellTicks = kTicksPerCell * speed * (1.0 + drift);
                    }
                    time += cellTicks;
                    if (!cells[i]) continue;
                    const double at = time + random.uniform() * options.jitterCells * kTicksPerCell;
                    auto ticks = static_cast<std::uint32_t>(std::lround(std::max(at - previous, 1.0)));
                    previous += ticks;
                    while (ticks >= 65536) {
                        out.push_back(0);
                        out.push_back(0);
                        ticks -= 65536;
                        ++words;
                    }
                    if (ticks == 0) ticks = 1;
                    out.push_back(static_cast<std::uint8_t>(ticks >> 8));
                    out.push_back(static_cast<std::uint8_t>(ticks));
                    ++words;
                }
                const std::size_t entry = tdh + 4 + 12 * static_cast<std::size_t>(r);
                put32(out, entry, static_cast<std::uint32_t>(std::lround(time)));
                put32(out, entry + 4, words);
                put32(out, entry + 8, static_cast<std::uint32_t>(dataStart - tdh));
            }
        }
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0x10; i < out.size(); ++i) sum += out[i];
    put32(out, 0x0C, sum);
    return out;
}

}  // namespace mkdisk
