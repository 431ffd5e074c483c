#pragma once

// The DOCUMENT/CTL index of a TRSDOS disk: a chain of 256-byte blocks, one per document, each
// reported as a line of the operation log.

#include <cstdint>
#include <span>

#include "core/operation_log.h"

namespace sv {

// Continues the text `log` shows. A chain that comes back to a block already reported ends there.
void readDocumentIndex(std::span<const std::uint8_t> document, OperationLog& log);

}  // namespace sv
