#include "ui/ui_tests.h"

namespace svtest {

std::shared_ptr<sv::DiskImage> toDiskImage(const mkdisk::Disk& model) {
    std::shared_ptr<sv::DiskImage> disk = sv::makeDiskImage();
    disk->trackCount = static_cast<std::uint8_t>(model.cylinders);
    disk->sideCount = static_cast<std::uint8_t>(model.sides);
    disk->trackLength = 10560;
    for (int cylinder = 0; cylinder < model.cylinders; ++cylinder) {
        for (int side = 0; side < model.sides; ++side) {
            for (const mkdisk::Sector& sector : model.at(cylinder, side).sectors) {
                sv::SectorEntry* slot = sv::appendSector(*disk, side, cylinder);
                if (slot == nullptr) {
                    continue;
                }
                slot->cylinder = sector.cylinder;
                slot->head = sector.head;
                slot->record = sector.record;
                slot->sizeCode = sector.sizeCode;
                slot->singleDensity = sector.fm ? 1 : 0;
                slot->status = static_cast<std::uint8_t>(
                    ((sector.mark - 0xF8) & 3) | (sector.badDataCrc ? sv::status::dataCrcError : 0) |
                    (sector.badIdCrc ? sv::status::idCrcError : 0));
                sv::setSectorData(*slot, mkdisk::sectorBytes(sector));
                if (sector.noDataField) {
                    sv::setDataState(*disk, side, cylinder, disk->track(side, cylinder).sectorCount - 1,
                                     sv::DataState::NoDataField);
                }
            }
        }
    }
    return disk;
}

std::vector<UiTestClass>& uiTestClasses() {
    static std::vector<UiTestClass> classes;
    return classes;
}

}  // namespace svtest
