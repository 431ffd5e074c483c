#include "ui/viewer_text.h"

#include "analysis/host_export.h"
#include "core/text.h"

namespace sv::ui {

namespace {

bool isPrintable(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

}  // namespace

std::string printableText(std::span<const std::uint8_t> bytes) {
    std::string raw;
    for (const std::uint8_t byte : textBeforeEnd(bytes)) {
        raw += isTextByte(byte) ? static_cast<char>(byte) : '.';
    }
    return unixLines(raw, LoneCarriageReturn::EndsLine);
}

std::string hexDump(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
        out += hexField(offset, 6);
        out += "  ";
        std::string characters;
        for (std::size_t i = 0; i < 16; ++i) {
            if (i == 8) {
                out += ' ';
            }
            if (offset + i < bytes.size()) {
                const std::uint8_t byte = bytes[offset + i];
                out += hexField(byte, 2);
                out += ' ';
                characters += isPrintable(byte) ? static_cast<char>(byte) : '.';
            } else {
                out += "   ";
            }
        }
        out += ' ';
        out += characters;
        out += '\n';
    }
    return out;
}

std::string viewerText(const AnalysedEntry* entry) {
    if (entry == nullptr) {
        return kEmptyViewerText;
    }
    std::string text = unixLines(entry->listingLine, LoneCarriageReturn::EndsLine) + "\n\n";
    if (entry->basicListing) {
        text += unixLines(*entry->basicListing, LoneCarriageReturn::EndsLine);
    } else if (mostlyPrintable(entry->fileContent)) {
        text += printableText(entry->fileContent);
    } else {
        text += hexDump(entry->fileContent);
    }
    return text;
}

}  // namespace sv::ui
