#pragma once

// What the file viewer shows for a listed file: its listing line, then its BASIC listing, its
// text when the bytes are mostly printable, or else a hex and character dump. Plain strings,
// one char per disk byte (shown as Latin-1); lines end in "\n".

#include <cstdint>
#include <span>
#include <string>

#include "analysis/analysis.h"
#include "analysis/host_export.h"

namespace sv::ui {

// The text when no line is chosen.
inline constexpr const char* kEmptyViewerText = "FileView";

[[nodiscard]] std::string viewerText(const AnalysedEntry* entry);

// Whether bytes are text is the engine's rule, shared with extraction.
using sv::mostlyPrintable;
// The bytes as text up to an end-of-file byte: CR LF, CR and LF each end a line; other control
// bytes show as '.'.
[[nodiscard]] std::string printableText(std::span<const std::uint8_t> bytes);
// 16 bytes a line: 6-digit offset, the bytes in upper-case hex (a gap after the eighth), and
// the printable characters ('.' for the others).
[[nodiscard]] std::string hexDump(std::span<const std::uint8_t> bytes);

}  // namespace sv::ui
