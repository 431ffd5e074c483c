#include "analysis/basic_detokeniser.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

std::string listing(std::vector<std::uint8_t> bytes) { return detokeniseBasic(bytes); }

TEST(BasicDetokeniser, TokenisedLinesMergeTheirBlanks) {
    EXPECT_EQ(listing({0x0A, 0x00, 0x0A, 0x00, 0x99, 0x20, 0x41, 0x00, 0x00, 0x00}),
              "10 DEFSNG A\r\n");
    EXPECT_EQ(listing({0x00, 0x00, 0x0A, 0x00, 0x99, 0x00}), "");
    EXPECT_EQ(listing({0x01, 0x01, 0x14, 0x00, 0x00, 0x00, 0x00}), "20 \r\n");
    // Line numbers print in full; 0xFF is a lone blank; 0xCD the backslash.
    EXPECT_EQ(listing({0x01, 0x00, 0xE8, 0xFD, 0x41, 0xCD, 0x42, 0xFF, 0x43, 0x00, 0, 0}),
              "65000 A\\B C\r\n");
}

TEST(BasicDetokeniser, UnassignedTokensShowTheirCode) {
    EXPECT_EQ(listing({0x01, 0x00, 0x05, 0x00, 0xD5, 0xA7, 0xCE, 0x00, 0, 0}),
              "5 {{D5h}} {{A7h}} {{CEh}}\r\n");
}

TEST(BasicDetokeniser, BlankPairsHalveInOnePass) {
    // Three blanks in a literal leave two; four leave two.
    EXPECT_EQ(listing({1, 0, 1, 0, '"', ' ', ' ', ' ', '"', ' ', ' ', ' ', ' ', 'X', 0, 0, 0}),
              "1 \"  \"  X\r\n");
}

TEST(BasicDetokeniser, StopsAtTheEndOfTheInput) {
    // No zero link, and the last line cut short.
    EXPECT_EQ(listing({0x01, 0x00, 0x0A, 0x00, 0x41, 0x00, 0x01, 0x00, 0x14, 0x00, 0x42}),
              "10 A\r\n20 B\r\n");
    EXPECT_EQ(listing({0x01, 0x00, 0x0A}), "");
    EXPECT_EQ(listing({}), "");
}

TEST(BasicDetokeniser, RecordFormEndsAtTheFirstEndLine) {
    std::vector<std::uint8_t> bytes{4, 'A', 'B', 'C', 4, 'E', 'N', 'D', 4, 'X', 'Y', 'Z'};
    for (const char c : std::string_view("RSBASIC")) bytes.push_back(static_cast<std::uint8_t>(c));
    EXPECT_EQ(detokeniseBasic(bytes), "ABC\r\nEND\r\n");

    // Without an END line it stops at the end of the input, the last record as far as it goes.
    const std::string text = "\x08RSBASIC\x05X  Y\x09Z";
    EXPECT_EQ(detokeniseBasic(std::vector<std::uint8_t>(text.begin(), text.end())),
              "RSBASIC\r\nX Y\r\nZ\r\n");
}

}  // namespace
}  // namespace sv
