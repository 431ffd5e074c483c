#include "analysis/document_index.h"

#include <string>
#include <vector>

#include "analysis/entry_table.h"
#include "core/byte_reader.h"

namespace sv {

namespace {

constexpr std::size_t kBlockBytes = 256;
constexpr std::size_t kFirstEntryOffset = 8;

// A text field; bytes beyond the input read as blanks.
std::string field(const ByteReader& in, std::size_t offset, std::size_t width) {
    std::string text = textOf(in.bytes(offset, width));
    text.resize(width, ' ');
    return text;
}

}  // namespace

void readDocumentIndex(std::span<const std::uint8_t> document, OperationLog& log) {
    const ByteReader in(document);
    LogEditor text = LogEditor::continuing(log);
    unsigned block = in.le16(kFirstEntryOffset);
    if (block == 0) {
        text.line("No Directory Entries in Document");
        return;
    }
    std::vector<bool> reported(0x10000, false);
    while (block != 0 && !reported[block]) {
        reported[block] = true;
        const std::size_t b = block * kBlockBytes;
        std::string line = "  Entry: " + field(in, b + 5, 16) + " " + field(in, b + 23, 8) + " " +
                           field(in, b + 31, 8);
        for (const auto& [offset, width] : {std::pair<std::size_t, std::size_t>{41, 32},
                                            {73, 32}, {105, 32}, {137, 32}, {169, 12}}) {
            line += ' ';
            line += trimmed(field(in, b + offset, width));
        }
        text.line(line);
        text.line("");  // every entry ends its own line, so entries stand an empty line apart
        block = in.le16(b + 3);
    }
}

}  // namespace sv
