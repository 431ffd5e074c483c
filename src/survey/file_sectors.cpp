#include "survey/file_sectors.h"

namespace sv {

std::vector<SectorPlace> fileSectorPlaces(const DiskImage& disk, const AnalysedEntry& entry) {
    std::vector<SectorPlace> places;
    for (const SectorAddress& at : entry.sectors.sectors) {
        // A sector the disk does not hold has no place on the map.
        if (const auto place = placeOfRecord(disk, at.cylinder, at.head, at.record)) {
            places.push_back(*place);
        }
    }
    return places;
}

}  // namespace sv
