#include "core/text.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

TEST(Text, NumbersWiderThanTheirFieldKeepEveryDigitUnlessTheFieldIsFixed) {
    EXPECT_EQ(zeroPadded(-7, 3), "-007");
    EXPECT_EQ(zeroPadded(12345, 3), "12345");
    EXPECT_EQ(hexPadded(0x1E800, 4), "1E800");
    EXPECT_EQ(hexField(0x1E800, 4), "E800");
    EXPECT_EQ(hexField(0xFFFFFFFFFFFFFFFFu, 16), "FFFFFFFFFFFFFFFF");
    const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5};
    EXPECT_EQ(hexBytes(bytes), "000FA5");
}

TEST(Text, OnlyAPairEndsALineUnlessALoneCarriageReturnDoesToo) {
    EXPECT_EQ(unixLines("A\r\nB\rC\n\r"), "A\nB\rC\n\r");
    EXPECT_EQ(unixLines("A\r\nB\rC\n\r", LoneCarriageReturn::EndsLine), "A\nB\nC\n\n");
}

TEST(Text, Latin1BytesBecomeTwoByteUtf8) {
    EXPECT_EQ(latin1ToUtf8("a\xE9\x80"), "a\xC3\xA9\xC2\x80");
}

}  // namespace
}  // namespace sv
