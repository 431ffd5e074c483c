#pragma once

// The DOCUMENT/CTL index of a TRSDOS disk: a chain of 256-byte blocks, one per document, each
// reported as a line of the analysis' report.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sv {

// The report lines, each document's line followed by an empty one. A chain that comes back to a
// block already reported ends there.
[[nodiscard]] std::vector<std::string> readDocumentIndex(std::span<const std::uint8_t> document);

}  // namespace sv
