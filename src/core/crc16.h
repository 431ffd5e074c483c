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

// Eight tables: slice k gives the register after a byte followed by k zero bytes, starting from
// zero. The register is linear in the bytes, so eight bytes go in at once, the register's own
// two bytes folded into the first two, and none waits on the one before.
using Crc16Slices = std::array<Crc16Table, 8>;

[[nodiscard]] constexpr Crc16Slices makeCrc16Slices() {
    Crc16Slices slices{};
    slices[0] = kCrc16Table;
    for (std::size_t k = 1; k < slices.size(); ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const std::uint16_t r = slices[k - 1][i];
            slices[k][i] = static_cast<std::uint16_t>(((r << 8) & 0xFFFF) ^ slices[0][r >> 8]);
        }
    }
    return slices;
}

inline constexpr Crc16Slices kCrc16Slices = makeCrc16Slices();

// The loops read the tables and the bytes through plain pointers, so they stay fast in
// unoptimised (sanitizer) builds too, where every sector of every image passes through them.
[[nodiscard]] constexpr std::uint16_t crc16(std::span<const std::uint8_t> bytes,
                                            std::uint16_t crc = kCrc16Initial) {
    const std::uint16_t* t0 = kCrc16Slices[0].data();
    const std::uint16_t* t1 = kCrc16Slices[1].data();
    const std::uint16_t* t2 = kCrc16Slices[2].data();
    const std::uint16_t* t3 = kCrc16Slices[3].data();
    const std::uint16_t* t4 = kCrc16Slices[4].data();
    const std::uint16_t* t5 = kCrc16Slices[5].data();
    const std::uint16_t* t6 = kCrc16Slices[6].data();
    const std::uint16_t* t7 = kCrc16Slices[7].data();
    const std::uint8_t* b = bytes.data();
    const std::uint8_t* end = b + bytes.size();
    for (; end - b >= 8; b += 8) {
        crc = static_cast<std::uint16_t>(t7[b[0] ^ (crc >> 8)] ^ t6[b[1] ^ (crc & 0xFF)] ^ t5[b[2]] ^
                                         t4[b[3]] ^ t3[b[4]] ^ t2[b[5]] ^ t1[b[6]] ^ t0[b[7]]);
    }
    for (; b != end; ++b) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ t0[((crc >> 8) ^ *b) & 0xFF]);
    }
    return crc;
}

// The register after the three 0xA1 sync bytes that open every MFM field.
inline constexpr std::uint16_t kCrc16AfterMfmSync =
    crc16Update(crc16Update(crc16Update(kCrc16Initial, 0xA1), 0xA1), 0xA1);

}  // namespace sv
