#include "analysis_input.h"

#include <algorithm>
#include <memory>

namespace svfuzz {

namespace {

sv::DiskImagePtr baseDisk(int sides) {
    auto disk = sv::makeDiskImage();
    disk->trackCount = kAnalysisCylinders;
    disk->sideCount = static_cast<std::uint8_t>(sides);
    disk->trackLength = 10560;
    disk->formatFlags = sides == 1 ? 0x10 : 0;
    for (int c = 0; c < kAnalysisCylinders; ++c) {
        for (int s = 0; s < sides; ++s) {
            for (int r = 1; r <= sv::kMaxSectorsPerTrack; ++r) {
                sv::SectorEntry* e = sv::appendSector(*disk, s, c);
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
    return disk;
}

struct Quarter {
    sv::DiskImage* disk;
    int side;
    int cylinder;
    int slot;
    std::size_t quarter;
};

}  // namespace

const sv::DiskImage& layAnalysisInput(std::span<const std::uint8_t> input) {
    static const sv::DiskImagePtr bases[2] = {baseDisk(1), baseDisk(2)};
    static std::vector<Quarter> written;
    const auto quarterOf = [](const Quarter& q) {
        auto& data = q.disk->track(q.side, q.cylinder).sectors[static_cast<std::size_t>(q.slot)].data;
        return data.begin() + static_cast<std::ptrdiff_t>(q.quarter * kChunkData);
    };
    for (const Quarter& q : written) {
        std::fill_n(quarterOf(q), kChunkData, std::uint8_t{0xE5});
    }
    written.clear();
    const int sides = !input.empty() && (input[0] & 1) != 0 ? 2 : 1;
    sv::DiskImage& disk = *bases[sides - 1];
    for (std::size_t at = 1; at + kChunkHeader <= input.size(); at += kChunkHeader + kChunkData) {
        const Quarter q{&disk, (input[at + 1] & 1) % sides, input[at] % kAnalysisCylinders,
                        input[at + 2] % sv::kMaxSectorsPerTrack, std::size_t{(input[at + 1] >> 1) & 3u}};
        const auto bytes = input.subspan(at + kChunkHeader,
                                         std::min(kChunkData, input.size() - at - kChunkHeader));
        std::copy(bytes.begin(), bytes.end(), quarterOf(q));
        written.push_back(q);
    }
    return disk;
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
