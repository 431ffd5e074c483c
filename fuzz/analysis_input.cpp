#include "analysis_input.h"

#include <algorithm>

namespace svfuzz {

void layAnalysisInput(std::span<const std::uint8_t> input, sv::DiskImage& disk) {
    sv::clear(disk);
    const int sides = !input.empty() && (input[0] & 1) != 0 ? 2 : 1;
    disk.trackCount = kAnalysisCylinders;
    disk.sideCount = static_cast<std::uint8_t>(sides);
    disk.trackLength = 10560;
    disk.formatFlags = sides == 1 ? 0x10 : 0;
    for (int c = 0; c < kAnalysisCylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            for (int r = 1; r <= sv::kMaxSectorsPerTrack; ++r) {
                sv::SectorEntry* e = sv::appendSector(disk, s, c);
                const bool fm = c == 0 && s == 0;
                e->cylinder = static_cast<std::uint8_t>(c);
                e->head = static_cast<std::uint8_t>(s);
                e->record = static_cast<std::uint8_t>(r);
                e->sizeCode = fm ? 0 : 1;
                e->singleDensity = fm ? 1 : 0;
                e->status = 0x03;
                e->data.fill(0xE5);
            }
        }
    }
    for (std::size_t at = 1; at + kChunkHeader <= input.size(); at += kChunkHeader + kChunkData) {
        const int c = input[at] % kAnalysisCylinders;
        const int s = (input[at + 1] & 1) % sides;
        const std::size_t quarter = (input[at + 1] >> 1) & 3;
        const int slot = input[at + 2] % sv::kMaxSectorsPerTrack;
        const auto bytes = input.subspan(at + kChunkHeader,
                                         std::min(kChunkData, input.size() - at - kChunkHeader));
        auto& data = disk.track(s, c).sectors[static_cast<std::size_t>(slot)].data;
        std::copy(bytes.begin(), bytes.end(),
                  data.begin() + static_cast<std::ptrdiff_t>(quarter * kChunkData));
    }
}

std::vector<std::uint8_t> analysisInputOf(const sv::DiskImage& disk) {
    std::vector<std::uint8_t> input{static_cast<std::uint8_t>(disk.sideCount == 2 ? 1 : 0)};
    for (int c = 0; c < std::min<int>(disk.trackCount, kAnalysisCylinders); ++c) {
        for (int s = 0; s < std::min<int>(disk.sideCount, 2); ++s) {
            const sv::TrackRecord& t = disk.track(s, c);
            for (int i = 0; i < t.sectorCount; ++i) {
                const sv::SectorEntry& e = t.sectors[static_cast<std::size_t>(i)];
                if (e.record < 1 || e.record > sv::kMaxSectorsPerTrack) {
                    continue;
                }
                for (std::size_t q = 0; q < 4; ++q) {
                    const auto first = e.data.begin() + static_cast<std::ptrdiff_t>(q * kChunkData);
                    const auto last = first + static_cast<std::ptrdiff_t>(kChunkData);
                    if (std::all_of(first, last, [](std::uint8_t b) { return b == 0xE5 || b == 0x20; })) {
                        continue;
                    }
                    input.push_back(static_cast<std::uint8_t>(c));
                    input.push_back(static_cast<std::uint8_t>(s | (q << 1)));
                    input.push_back(static_cast<std::uint8_t>(e.record - 1));
                    input.insert(input.end(), first, last);
                }
            }
        }
    }
    return input;
}

}  // namespace svfuzz
