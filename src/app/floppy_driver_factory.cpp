#include "app/floppy_driver_factory.h"

#include <cctype>
#include <cstdlib>

#include "app/image_commands.h"
#include "drives/linux_floppy_driver.h"
#include "drives/simulated_floppy_driver.h"

namespace sv {

std::unique_ptr<FloppyDriver> makeFloppyDriver() {
    const char* image = std::getenv("SECTORVANE_DRIVE_SIM");
    if (image == nullptr || *image == '\0') {
        return std::make_unique<LinuxFloppyDriver>();
    }
    std::shared_ptr<DiskImage> disk = makeDiskImage();
    TextSink ignored;
    (void)loadImageByType(image, *disk, ignored);
    SimulatedDriveOptions options;
    if (isEmpty(*disk)) {
        options.driverPresent = false;
        options.absenceCause = std::string("The simulated drive's image ") + image +
                               " (SECTORVANE_DRIVE_SIM) could not be loaded.";
    }
    return std::make_unique<SimulatedFloppyDriver>(std::move(disk), options);
}

std::string driveName(const std::string& text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':')) {
        return {};
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return letter == 'A' || letter == 'B' ? std::string(1, letter) + ":" : std::string();
}

}  // namespace sv
