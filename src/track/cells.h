#pragma once

// Bit-level tracks. A track is a run of cells, one byte each (0 or 1, 1 = a flux transition), in
// time order, on the double-density grid: an MFM cell is one cell, an FM cell is two (an empty
// one, then the FM cell). FM and MFM sectors can then share one track, as on a Model II disk
// whose cylinder 0 side 0 is FM, and one decoder finds both.

#include <cstdint>
#include <span>
#include <vector>

namespace sv {

using Cells = std::vector<std::uint8_t>;

// One recorded byte. `missingClock` marks the address-mark bytes: FM marks (clock 0xC7, 0xD7 for
// the index mark 0xFC) and the MFM syncs 0xA1 and 0xC2 with their one clock left out.
struct TrackByte {
    std::uint8_t value;
    bool fm;
    bool missingClock;
};

// Appends recorded bytes as cells, keeping the last data bit for the MFM clock rule across calls.
class CellEncoder {
public:
    explicit CellEncoder(Cells& cells) : cells_(cells) {}
    void put(TrackByte b);

private:
    Cells& cells_;
    bool lastDataBit_ = false;
};

// The 16 cells of one FM byte (clock and data interleaved, clock first), or of one MFM byte.
[[nodiscard]] std::uint16_t fmCellWord(std::uint8_t value, bool missingClock);
[[nodiscard]] std::uint16_t mfmCellWord(std::uint8_t value, bool missingClock, bool lastDataBit);

// Packs cells eight to a byte, the earliest cell in bit 0 (the HFE order), and back.
[[nodiscard]] std::vector<std::uint8_t> packCellsLsbFirst(std::span<const std::uint8_t> cells);
void unpackCellsLsbFirst(std::span<const std::uint8_t> bytes, Cells& cells);

}  // namespace sv
