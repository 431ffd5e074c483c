#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sv {

// The floppy CRC: CRC-16/IBM-3740 (polynomial 0x1021, MSB first, initial 0xFFFF, no final
// inversion), table driven.
using Crc16Table = std::array<std::uint16_t, 256>;

[[nodiscard]] constexpr Crc16Table makeCrc16Table() {
    Crc16Table table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1;
        }
        table[i] = static_cast<std::uint16_t>(crc & 0xFFFF);
    }
    return table;
}

inline constexpr Crc16Table kCrc16Table = makeCrc16Table();
inline constexpr std::uint16_t kCrc16Initial = 0xFFFF;

[[nodiscard]] constexpr std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>(((crc << 8) & 0xFFFF) ^ kCrc16Table[((crc >> 8) ^ byte) & 0xFF]);
}

// The loop reads the table and the bytes through plain pointers, so it stays fast in unoptimised
// (sanitizer) builds too, where every sector of every image passes through it.
[[nodiscard]] constexpr std::uint16_t crc16(std::span<const std::uint8_t> bytes,
                                            std::uint16_t crc = kCrc16Initial) {
    const std::uint16_t* table = kCrc16Table.data();
    const std::uint8_t* b = bytes.data();
    for (const std::uint8_t* end = b + bytes.size(); b != end; ++b) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ *b) & 0xFF]);
    }
    return crc;
}

// The register after the three 0xA1 sync bytes that open every MFM field.
inline constexpr std::uint16_t kCrc16AfterMfmSync =
    crc16Update(crc16Update(crc16Update(kCrc16Initial, 0xA1), 0xA1), 0xA1);

}  // namespace sv
