// Big-endian 16-bit flux intervals -> rate detection, the PLL and the track decoder; the first
// byte picks a cell period of its own now and then, so the loop also runs far off the flux.
#include "fuzz_support.h"
#include "track/pll.h"
#include "track/track_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    std::vector<std::uint32_t> intervals;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        intervals.push_back(static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]));
    }
    const double cell = data[0] < 16 ? data[0] : sv::detectCellTicks(intervals, 25.0);
    sv::Cells cells;
    sv::fluxToCells(intervals, cell, cells);
    for (const sv::FoundSector& found : sv::decodeCells(cells)) {
        sv::SectorEntry entry{};
        (void)sv::fillSlot(found, entry);
    }
    return 0;
}
