#include "analysis/entry_table.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(EntryTable, ListOrderIgnoresAsciiCaseAndBreaksTiesByRow) {
    EntryTable table;
    table.record("b", {});
    table.record("A", {});
    table.record("a", {});
    table.record("_x", {});
    table.record("\xC9t", {});
    const auto entries = table.entries();
    const auto order = sortedListOrder(entries);
    std::vector<std::string> lines;
    for (const auto i : order) {
        lines.push_back(entries[i].listingLine);
    }
    // Case folds to lower case, so '_' (0x5F) comes before letters; bytes above 0x7F last.
    EXPECT_EQ(lines, (std::vector<std::string>{"_x", "A", "a", "b", "\xC9t"}));
    EXPECT_EQ(entries[order[1]].row, 1);
    EXPECT_EQ(entries[order[2]].row, 2);
}

TEST(EntryTable, RowsGrowWithoutLimitAndCanStartAtOne) {
    EntryTable table;
    table.skipRow();
    for (int i = 0; i < 150; ++i) {
        table.record("F", {});
    }
    EXPECT_EQ(table.entries().size(), 150u);
    EXPECT_EQ(table.entries().front().row, 1);
    EXPECT_EQ(table.entries().back().row, 150);
}

TEST(EntryTable, ContentBudgetStopsGatheringOnce) {
    EntryTable table;
    std::vector<std::uint8_t> content;
    const std::vector<std::uint8_t> chunk(EntryTable::kContentBudgetBytes / 2, 1);
    EXPECT_TRUE(table.append(content, chunk));
    EXPECT_TRUE(table.append(content, chunk));
    EXPECT_FALSE(table.append(content, bytes("x")));
    EXPECT_TRUE(table.truncated());
    EXPECT_EQ(content.size(), EntryTable::kContentBudgetBytes);
}

TEST(ListingText, NameFieldHexAndDates) {
    EXPECT_EQ(nameField(bytes(" PAYROLL"), bytes("BAS"), '/', 13), "PAYROLL/BAS  ");
    EXPECT_EQ(nameField(bytes("A       "), bytes("   "), '/', 4), "A   ");
    EXPECT_EQ(nameField(bytes("LONGNAME"), bytes("E X"), '/', 5), "LONGNAME/EX");
    EXPECT_EQ(hexField(0x12345, 4), "2345");
    EXPECT_EQ(hexField(0xab, 2), "AB");
    EXPECT_EQ(dateText(5, 12, 1984), "05/12/1984");
    EXPECT_EQ(centuryYear(71), 1971);
    EXPECT_EQ(centuryYear(70), 2070);
}

}  // namespace
}  // namespace sv
