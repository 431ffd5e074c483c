#pragma once

// What the subcommands that load and save images share.

#include <string>

#include "core/disk_image.h"

namespace sv::cli {

// False after a message on stderr naming the types that can be saved, when the extension of
// `out` names no writer. Checked before anything is loaded.
[[nodiscard]] bool isSavableType(const std::string& out);

// Loads with the reader the extension picks and prints the load's log. False when no disk was
// loaded.
bool loadAndPrint(const std::string& path, DiskImage& disk);

// Saves by type and prints the save's log. Returns the exit status.
[[nodiscard]] int saveAndPrint(const std::string& out, const DiskImage& disk);

}  // namespace sv::cli
