// Flux intervals -> rate detection, the PLL and the track decoder. An interval is one byte, or
// 0xFF and a big-endian 16-bit word, so most are a few cells long as on a disk and the long gaps
// of a damaged track are still there to be found; the first byte picks a cell period of its own
// now and then, so the loop also runs far off the flux.
// The bounds hold for every input: no more cells than the budget of a revolution, nor than the
// flux's length allows at the shortest period the loop may drift to; no more sectors than the
// cells can hold.
#include <numeric>

#include "fuzz_support.h"
#include "track/pll.h"
#include "track/track_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    std::vector<std::uint32_t> intervals;
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] != 0xFF) {
            intervals.push_back(data[i]);
        } else if (i + 2 < size) {
            intervals.push_back(static_cast<std::uint32_t>(data[i + 1] << 8 | data[i + 2]));
            i += 2;
        }
    }
    const double cell = data[0] < 16 ? data[0] : sv::detectCellTicks(intervals, 25.0);
    sv::Cells cells;
    sv::fluxToCells(intervals, cell, cells);
    const double flux = std::accumulate(intervals.begin(), intervals.end(), 0.0);
    // A transition comes at least half a period after the last, and the period never falls
    // below 0.9 of the cell: each interval gives at most twice its length in periods, and the
    // phase it carries on is under a period.
    const double most = 2 * flux / (cell * 0.9) + 2.0 * static_cast<double>(intervals.size()) + 1;
    if (cells.size() > sv::kMaxCellsPerRevolution || (cell > 0 && static_cast<double>(cells.size()) > most)) {
        __builtin_trap();
    }
    // A sector's ID alone is dozens of cells.
    const auto found = sv::decodeCells(cells);
    if (found.size() > cells.size() / 16 + 1) {
        __builtin_trap();
    }
    for (const sv::FoundSector& sector : found) {
        sv::SectorEntry entry{};
        (void)sv::fillSlot(sector, entry);
    }
    return 0;
}
