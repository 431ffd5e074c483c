#pragma once

// The listing of each recognised system. Each reads the recognition values and the disk through
// the analysis' one sector buffer and records its files in the entry table.

#include "analysis/analysis.h"
#include "analysis/entry_table.h"

namespace sv {

using ListingFunction = void (*)(const Recognition& recognition, SectorReader& reader,
                                 EntryTable& table);

}  // namespace sv
