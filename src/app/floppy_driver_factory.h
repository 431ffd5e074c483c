#pragma once

#include <memory>
#include <string>

#include "drives/floppy_driver.h"

namespace sv {

// The driver both programs use: the simulated drive when SECTORVANE_DRIVE_SIM names a disk
// image, otherwise the Linux raw floppy-controller driver.
[[nodiscard]] std::unique_ptr<FloppyDriver> makeFloppyDriver();

// "A", "b", "A:" ... -> "A:" / "B:"; empty when the text names no drive.
[[nodiscard]] std::string driveName(const std::string& text);

}  // namespace sv
