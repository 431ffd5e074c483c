#include <cstdlib>

#include "drives/floppy_driver.h"
#include "drives/linux_floppy_driver.h"
#include "drives/simulated_floppy_driver.h"
#include "formats/image_types.h"

namespace sv {

std::unique_ptr<FloppyDriver> makeFloppyDriver() {
    const char* image = std::getenv("SECTORVANE_DRIVE_SIM");
    if (image == nullptr || *image == '\0') {
        return std::make_unique<LinuxFloppyDriver>();
    }
    std::shared_ptr<DiskImage> disk = makeDiskImage();
    const ImageLoader load = findImageLoader(image);
    if (load != nullptr) {
        TextLog ignored;
        load(image, *disk, ignored);
    }
    SimulatedDriveOptions options;
    if (isEmpty(*disk)) {
        options.driverPresent = false;
        options.absenceCause = std::string("The simulated drive's image ") + image +
                               " (SECTORVANE_DRIVE_SIM) could not be loaded.";
    }
    return std::make_unique<SimulatedFloppyDriver>(std::move(disk), options);
}

}  // namespace sv
