#include "ui/viewer_text.h"

#include <cstdio>

#include "analysis/host_export.h"

namespace sv::ui {

namespace {

bool isPrintable(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

std::string withLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string printableText(std::span<const std::uint8_t> bytes) {
    std::string raw;
    for (const std::uint8_t byte : textBeforeEnd(bytes)) {
        raw += isTextByte(byte) ? static_cast<char>(byte) : '.';
    }
    return withLineFeeds(raw);
}

std::string hexDump(std::span<const std::uint8_t> bytes) {
    std::string out;
    char field[8];
    for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
        std::snprintf(field, sizeof field, "%06zX", offset & 0xFFFFFF);
        out += field;
        out += "  ";
        std::string characters;
        for (std::size_t i = 0; i < 16; ++i) {
            if (i == 8) {
                out += ' ';
            }
            if (offset + i < bytes.size()) {
                const std::uint8_t byte = bytes[offset + i];
                std::snprintf(field, sizeof field, "%02X ", byte);
                out += field;
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
    std::string text = withLineFeeds(entry->listingLine) + "\n\n";
    if (entry->basicListing) {
        text += withLineFeeds(*entry->basicListing);
    } else if (mostlyPrintable(entry->fileContent)) {
        text += printableText(entry->fileContent);
    } else {
        text += hexDump(entry->fileContent);
    }
    return text;
}

}  // namespace sv::ui
