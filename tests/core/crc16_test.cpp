#include "core/crc16.h"

#include <gtest/gtest.h>

#include <string_view>

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

}  // namespace
}  // namespace sv
