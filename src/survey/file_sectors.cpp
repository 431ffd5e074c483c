#include "survey/file_sectors.h"

namespace sv {

std::vector<SectorPlace> fileSectorPlaces(const DiskImage& disk, const AnalysedEntry& entry) {
    (void)disk;
    (void)entry;
    return {};
}

}  // namespace sv
