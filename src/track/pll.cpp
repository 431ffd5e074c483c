#include "track/pll.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sv {

namespace {

// How fast the period follows the timing error, how much of the phase error is corrected at
// each transition, and how far the period may stray from the nominal one.
constexpr double kPeriodAdjust = 0.05;
constexpr double kPhaseAdjust = 0.6;
constexpr double kMaxPeriodDrift = 0.10;
// Beyond this many empty cells the loop has nothing to follow and drifts back to nominal.
constexpr int kLargestInSyncRun = 3;
constexpr std::size_t kRateSample = 20'000;
constexpr std::array<double, 3> kKnownCellNs{1000.0, 5000.0 / 3.0, 2000.0};
constexpr double kSnapTolerance = 0.12;

}  // namespace

double detectCellTicks(std::span<const std::uint32_t> intervals, double tickNs) {
    std::vector<std::uint32_t> sample(intervals.begin(),
                                      intervals.begin() + static_cast<std::ptrdiff_t>(std::min(intervals.size(), kRateSample)));
    sample.erase(std::remove(sample.begin(), sample.end(), 0U), sample.end());
    if (sample.empty() || tickNs <= 0) {
        return 0;
    }
    const auto tenth = sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 10);
    std::nth_element(sample.begin(), tenth, sample.end());
    const double low = *tenth;
    // The two-cell intervals: MFM's next ones are 1.5 times as long, FM's twice.
    double sum = 0;
    std::size_t count = 0;
    for (const std::uint32_t f : sample) {
        if (f >= low * 0.6 && f <= low * 1.3) {
            sum += f;
            ++count;
        }
    }
    const double cellNs = sum / static_cast<double>(std::max<std::size_t>(count, 1)) / 2.0 * tickNs;
    for (const double known : kKnownCellNs) {
        if (std::abs(cellNs - known) <= known * kSnapTolerance) {
            return known / tickNs;
        }
    }
    return cellNs / tickNs;
}

void fluxToCells(std::span<const std::uint32_t> intervals, double cellTicks, Cells& cells) {
    if (!(cellTicks > 0)) {
        return;
    }
    const std::size_t budget = cells.size() + kMaxCellsPerRevolution;
    // One allocation for the whole revolution: the flux's length in periods, within the budget.
    double ticks = 0;
    for (const std::uint32_t f : intervals) {
        ticks += f;
    }
    cells.reserve(cells.size() +
                  static_cast<std::size_t>(std::min(ticks / (cellTicks * (1 - kMaxPeriodDrift)) + 1,
                                                    static_cast<double>(kMaxCellsPerRevolution))));
    const double lowest = cellTicks * (1 - kMaxPeriodDrift);
    const double highest = cellTicks * (1 + kMaxPeriodDrift);
    double period = cellTicks;
    double elapsed = 0;  // since the last cell boundary
    for (const std::uint32_t f : intervals) {
        elapsed += f;
        if (elapsed < period / 2) {
            continue;
        }
        const double spanned = std::floor(elapsed / period + 0.5);
        const std::size_t room = budget - cells.size();
        const auto zeros = static_cast<std::size_t>(std::min(spanned - 1, static_cast<double>(room)));
        cells.insert(cells.end(), zeros, 0);
        if (cells.size() >= budget) {
            return;
        }
        cells.push_back(1);
        const double error = elapsed - spanned * period;
        if (zeros <= kLargestInSyncRun) {
            period += kPeriodAdjust * error / spanned;
        } else {
            period += kPeriodAdjust * (cellTicks - period);
        }
        period = std::clamp(period, lowest, highest);
        elapsed = error * (1 - kPhaseAdjust);
    }
}

}  // namespace sv
