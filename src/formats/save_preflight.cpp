#include "formats/save_preflight.h"

#include <algorithm>

namespace sv {

bool SavePreflight::reports(const SectorPlace& place) const {
    return std::any_of(losses.begin(), losses.end(), [&](const SaveLoss& loss) {
        return std::find(loss.sectors.begin(), loss.sectors.end(), place) != loss.sectors.end();
    });
}

std::vector<std::string> SavePreflight::lines() const {
    std::vector<std::string> out;
    for (const SaveLoss& loss : losses) {
        if (loss.rule->tail.empty()) {
            continue;
        }
        const auto count = loss.sectors.size();
        out.push_back(std::to_string(count) + " " +
                      std::string(count == 1 ? loss.rule->one : loss.rule->many) +
                      std::string(loss.rule->tail));
    }
    return out;
}

SavePreflight preflightSave(const DiskImage& disk, std::span<const LossRule> rules) {
    SavePreflight preflight;
    for (const LossRule& rule : rules) {
        SaveLoss loss{&rule, {}};
        forEachHeldSector(disk, [&](const SectorEntry& e, DataState state, int s, int c, int k) {
            if (rule.applies(e, state, s, c)) {
                loss.sectors.push_back({s, c, k});
            }
        });
        if (!loss.sectors.empty()) {
            preflight.losses.push_back(std::move(loss));
        }
    }
    return preflight;
}

}  // namespace sv
