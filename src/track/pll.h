#pragma once

// Flux to cells: a digital phase-locked loop whose cell period follows the timing of the flux
// transitions, so jitter and a drive turning a few percent off speed still give clean cells.

#include <cstdint>
#include <span>
#include <vector>

#include "track/cells.h"

namespace sv {

// The most cells one revolution may give: a revolution of an 8-inch disk holds about 167,000
// (5.25-inch: 200,000 at 1 us), so only a damaged or hostile file comes near it.
inline constexpr std::size_t kMaxCellsPerRevolution = 1'000'000;

// The cell period of the double-density grid, in ticks of `tickNs`, measured from the shortest
// common interval (two cells: MFM's "101", FM's clock to data). Rates close to a known one
// (500, 300 or 250 kbit/s on the MFM grid) are taken as that rate. 0 when there is no flux.
[[nodiscard]] double detectCellTicks(std::span<const std::uint32_t> intervals, double tickNs);

// Cells of one revolution: a 1 for each transition, zeros for the cells between. Intervals too
// short to be a cell join the next one.
void fluxToCells(std::span<const std::uint32_t> intervals, double cellTicks, Cells& cells);

}  // namespace sv
