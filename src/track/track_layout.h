#pragma once

// The track a writer synthesises from the sectors of the store, as a floppy controller lays it
// down when it formats and writes a disk: preamble with index mark, then per sector sync, ID
// mark, ID, CRC, gap 2, sync, data mark, data, CRC and gap 3, in FM or MFM per sector. The DMK
// writer stores these bytes, the HFE writer their cells; both take the layout from here.

#include <array>
#include <cstdint>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "track/cells.h"

namespace sv {

struct TrackLayout {
    std::vector<TrackByte> bytes;
    // bytes[idMarkAt[k]] is slot k's ID mark.
    std::array<std::size_t, kMaxSectorsPerTrack> idMarkAt{};
    int sectorCount = 0;
    bool fmFirst = false;  // slot 1 is FM: the FM preamble and 0xFF fill

    [[nodiscard]] TrackByte fill() const { return {fmFirst ? std::uint8_t{0xFF} : std::uint8_t{0x4E}, fmFirst, false}; }
};

// Synthesises the tracks of one save in order. Gap 3 is chosen per track from slot 1 and the
// disk's track length, and kept from track to track when a track does not choose one.
class TrackSynthesis {
public:
    explicit TrackSynthesis(const DiskImage& disk) : disk_(disk) {}

    // Each sector's progress field is set in the text, and its faults are marked: " BadID" (the ID
    // is written with a correct CRC) and " CRC" (the data is written with a failing CRC). A
    // sector whose bytes are fill (no data field, not captured) is written as its ID alone; one
    // longer than a slot or cut short gets a failing CRC, so no filled byte reads back as data.
    [[nodiscard]] TrackLayout track(int side, int cylinder, LogEditor& text);

private:
    const DiskImage& disk_;
    std::uint8_t gap3_ = 0;
};

}  // namespace sv
