#include "analysis/document_index.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

std::vector<std::uint8_t> blocks(int count) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(count) * 256, ' ');
}

void put(std::vector<std::uint8_t>& bytes, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<long>(offset));
}

void link(std::vector<std::uint8_t>& bytes, std::size_t offset, unsigned block) {
    bytes[offset] = static_cast<std::uint8_t>(block);
    bytes[offset + 1] = static_cast<std::uint8_t>(block >> 8);
}

std::string report(const std::vector<std::uint8_t>& bytes) {
    TextSink log;
    log.show("L");
    readDocumentIndex(bytes, log);
    return log.currentText();
}

TEST(DocumentIndex, ShortOrEmptyIndexHasNoEntries) {
    EXPECT_EQ(report(std::vector<std::uint8_t>(8, 0xFF)),
              "L\r\nNo Directory Entries in Document");
    auto bytes = blocks(1);
    link(bytes, 8, 0);
    EXPECT_EQ(report(bytes), "L\r\nNo Directory Entries in Document");
}

TEST(DocumentIndex, EntriesStandAnEmptyLineApartAndTrimTheLongFields) {
    auto bytes = blocks(3);
    link(bytes, 8, 2);
    link(bytes, 2 * 256 + 3, 1);
    put(bytes, 2 * 256 + 5, "MEMO            ");
    put(bytes, 2 * 256 + 23, "12/03/84");
    put(bytes, 2 * 256 + 31, "JONES   ");
    put(bytes, 2 * 256 + 41, "  To all staff");
    put(bytes, 2 * 256 + 169, "DRAFT");
    link(bytes, 256 + 3, 0);
    put(bytes, 256 + 5, "NOTE            ");
    EXPECT_EQ(report(bytes),
              "L\r\n  Entry: MEMO             12/03/84 JONES    To all staff    DRAFT\r\n"
              "\r\n  Entry: NOTE" + std::string(12 + 1 + 8 + 1 + 8 + 5, ' ') + "\r\n");
}

TEST(DocumentIndex, ChainPastTheEndReadsBlankAndLoopsStop) {
    auto bytes = blocks(2);
    link(bytes, 8, 1);
    link(bytes, 256 + 3, 9);  // beyond the file: zero link, blank fields
    put(bytes, 256 + 5, "A");
    const std::string past = report(bytes);
    EXPECT_EQ(past.substr(past.rfind("Entry:")), "Entry: " + std::string(16 + 1 + 8 + 1 + 8, ' ') +
                                                     std::string(5, ' ') + "\r\n");

    auto loop = blocks(3);
    link(loop, 8, 1);
    link(loop, 256 + 3, 2);
    link(loop, 512 + 3, 1);
    const std::string looped = report(loop);
    std::size_t count = 0;
    for (auto p = looped.find("Entry:"); p != std::string::npos; p = looped.find("Entry:", p + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 2u);
}

}  // namespace
}  // namespace sv
