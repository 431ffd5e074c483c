#include "ui/viewer_text.h"

#include "core/text.h"

namespace sv::ui {

namespace {

constexpr std::uint8_t kEndOfFile = 0x1A;

bool isPrintable(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

bool isTextByte(std::uint8_t byte) {
    return isPrintable(byte) || byte == '\r' || byte == '\n' || byte == '\t';
}

// The part before an end-of-file byte, without the zeros that fill a last sector.
std::span<const std::uint8_t> textPart(std::span<const std::uint8_t> bytes) {
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != kEndOfFile) {
        ++end;
    }
    while (end > 0 && bytes[end - 1] == 0) {
        --end;
    }
    return bytes.first(end);
}

}  // namespace

bool mostlyPrintable(std::span<const std::uint8_t> bytes) {
    const std::span<const std::uint8_t> text = textPart(bytes);
    if (text.empty()) {
        return false;
    }
    std::size_t good = 0;
    for (const std::uint8_t byte : text) {
        good += isTextByte(byte) ? 1 : 0;
    }
    return good * 10 >= text.size() * 9;
}

std::string printableText(std::span<const std::uint8_t> bytes) {
    std::string raw;
    for (const std::uint8_t byte : textPart(bytes)) {
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
