#include "track/cells.h"

namespace sv {

namespace {

constexpr std::uint8_t kFmMarkClock = 0xC7;
constexpr std::uint8_t kFmIndexMarkClock = 0xD7;
constexpr std::uint8_t kFmIndexMark = 0xFC;
constexpr std::uint16_t kMfmSyncA1 = 0x4489;
constexpr std::uint16_t kMfmSyncC2 = 0x5224;

}  // namespace

std::uint16_t fmCellWord(std::uint8_t value, bool missingClock) {
    const std::uint8_t clock =
        !missingClock ? 0xFF : (value == kFmIndexMark ? kFmIndexMarkClock : kFmMarkClock);
    std::uint16_t word = 0;
    for (int bit = 7; bit >= 0; --bit) {
        word = static_cast<std::uint16_t>((word << 2) | (((clock >> bit) & 1) << 1) | ((value >> bit) & 1));
    }
    return word;
}

std::uint16_t mfmCellWord(std::uint8_t value, bool missingClock, bool lastDataBit) {
    if (missingClock && value == 0xA1) {
        return kMfmSyncA1;
    }
    if (missingClock && value == 0xC2) {
        return kMfmSyncC2;
    }
    std::uint16_t word = 0;
    bool previous = lastDataBit;
    for (int bit = 7; bit >= 0; --bit) {
        const bool data = ((value >> bit) & 1) != 0;
        const bool clock = !previous && !data;
        word = static_cast<std::uint16_t>((word << 2) | (clock ? 2 : 0) | (data ? 1 : 0));
        previous = data;
    }
    return word;
}

void CellEncoder::put(TrackByte b) {
    if (b.fm) {
        const std::uint16_t word = fmCellWord(b.value, b.missingClock);
        for (int i = 15; i >= 0; --i) {
            cells_.push_back(0);
            cells_.push_back(static_cast<std::uint8_t>((word >> i) & 1));
        }
    } else {
        const std::uint16_t word = mfmCellWord(b.value, b.missingClock, lastDataBit_);
        for (int i = 15; i >= 0; --i) {
            cells_.push_back(static_cast<std::uint8_t>((word >> i) & 1));
        }
    }
    lastDataBit_ = (b.value & 1) != 0;
}

std::vector<std::uint8_t> packCellsLsbFirst(std::span<const std::uint8_t> cells) {
    std::vector<std::uint8_t> bytes((cells.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] != 0) {
            bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (1U << (i % 8)));
        }
    }
    return bytes;
}

void unpackCellsLsbFirst(std::span<const std::uint8_t> bytes, Cells& cells) {
    std::size_t at = cells.size();
    cells.resize(at + bytes.size() * 8);
    for (const std::uint8_t b : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            cells[at++] = static_cast<std::uint8_t>((b >> bit) & 1);
        }
    }
}

}  // namespace sv
