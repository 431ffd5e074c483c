#include "core/crc16.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string_view>
#include <vector>

namespace sv {
namespace {

TEST(Crc16, TableAndCatalogueCheckValue) {
    EXPECT_EQ(kCrc16Table[1], 0x1021);
    EXPECT_EQ(kCrc16Table[255], 0x1EF0);
    constexpr std::string_view check = "123456789";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(check.data()),
                                              check.size());
    EXPECT_EQ(crc16(bytes), 0x29B1);  // CRC-16/IBM-3740 check value
    EXPECT_EQ(kCrc16AfterMfmSync, 0xCDB4);
}

// Eight bytes at a time must give what one at a time gives, from any register, for every length
// around the eight-byte steps and for a whole sector.
TEST(Crc16, EightAtATimeEqualsOneAtATime) {
    std::mt19937 random(1021);
    std::vector<std::uint8_t> bytes(1024 + 7);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    for (const std::size_t length :
         std::array<std::size_t, 14>{0, 1, 2, 7, 8, 9, 15, 16, 17, 23, 128, 256, 1024, 1031}) {
        const auto start = static_cast<std::uint16_t>(random());
        std::uint16_t oneAtATime = start;
        for (std::size_t i = 0; i < length; ++i) {
            oneAtATime = crc16Update(oneAtATime, bytes[i]);
        }
        EXPECT_EQ(crc16(std::span(bytes).first(length), start), oneAtATime) << length;
    }
}

}  // namespace
}  // namespace sv
