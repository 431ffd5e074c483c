#pragma once

// Which sectors of the store a listed file was gathered from, for the disk map's highlight.

#include <vector>

#include "analysis/analysis.h"
#include "survey/disk_survey.h"

namespace sv {

// The places of the file's sectors, in the order the file reads them; sectors the disk does not
// hold are left out.
[[nodiscard]] std::vector<SectorPlace> fileSectorPlaces(const DiskImage& disk,
                                                        const AnalysedEntry& entry);

}  // namespace sv
