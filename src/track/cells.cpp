#include "track/cells.h"

#include <array>
#include <bit>
#include <cstring>

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
    // Written in place, sixteen or thirty-two cells at once: a track is hundreds of thousands.
    const std::size_t at = cells_.size();
    if (b.fm) {
        const std::uint16_t word = fmCellWord(b.value, b.missingClock);
        cells_.resize(at + 32, 0);
        std::uint8_t* const out = cells_.data() + at;
        for (int i = 0; i < 16; ++i) {
            out[2 * i + 1] = static_cast<std::uint8_t>((word >> (15 - i)) & 1);
        }
    } else {
        const std::uint16_t word = mfmCellWord(b.value, b.missingClock, lastDataBit_);
        cells_.resize(at + 16);
        std::uint8_t* const out = cells_.data() + at;
        for (int i = 0; i < 16; ++i) {
            out[i] = static_cast<std::uint8_t>((word >> (15 - i)) & 1);
        }
    }
    lastDataBit_ = (b.value & 1) != 0;
}

namespace {

// Eight cells are read and written as one 64-bit word, the first cell in the lowest byte.
static_assert(std::endian::native == std::endian::little, "cells are packed eight to a little-endian word");
// The product gathers the low bit of each of eight bytes into the top byte, the first byte's
// lowest; the table spreads a byte's bits back out, one to a byte.
constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;
constexpr std::uint64_t kGatherFirstLowest = 0x0102040810204080ULL;

constexpr std::array<std::uint64_t, 256> spreadTable() {
    std::array<std::uint64_t, 256> table{};
    for (std::size_t b = 0; b < 256; ++b) {
        for (std::size_t bit = 0; bit < 8; ++bit) {
            table[b] |= static_cast<std::uint64_t>((b >> bit) & 1) << (8 * bit);
        }
    }
    return table;
}
constexpr std::array<std::uint64_t, 256> kSpread = spreadTable();

}  // namespace

std::vector<std::uint8_t> packCellsLsbFirst(std::span<const std::uint8_t> cells) {
    std::vector<std::uint8_t> bytes((cells.size() + 7) / 8, 0);
    const std::size_t whole = cells.size() / 8;
    for (std::size_t k = 0; k < whole; ++k) {
        std::uint64_t eight = 0;
        std::memcpy(&eight, cells.data() + 8 * k, sizeof eight);
        bytes[k] = static_cast<std::uint8_t>(((eight & kLowBits) * kGatherFirstLowest) >> 56);
    }
    for (std::size_t i = whole * 8; i < cells.size(); ++i) {
        if ((cells[i] & 1) != 0) {
            bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (1U << (i % 8)));
        }
    }
    return bytes;
}

void unpackCellsLsbFirst(std::span<const std::uint8_t> bytes, Cells& cells) {
    std::size_t at = cells.size();
    cells.resize(at + bytes.size() * 8);
    for (const std::uint8_t b : bytes) {
        std::memcpy(cells.data() + at, &kSpread[b], 8);
        at += 8;
    }
}

}  // namespace sv
