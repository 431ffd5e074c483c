#pragma once

// What the subcommands that load and save images share.

#include <string>

#include "cli/cli_log.h"
#include "core/disk_image.h"
#include "formats/image_types.h"

namespace sv::cli {

// The writer the extension of `out` names; nullptr after a message on stderr naming the types
// that can be saved.
[[nodiscard]] ImageSaver saverFor(const std::string& out);

// Loads with the reader the extension picks and prints the load's log. False when no disk was
// loaded.
bool loadAndPrint(const std::string& path, DiskImage& disk);

// Loads without printing; on failure prints the load's log and returns false.
bool loadQuietly(const std::string& path, DiskImage& disk, CliLog& log);

// Saves and prints the save's log. Returns the exit status.
[[nodiscard]] int saveAndPrint(ImageSaver save, const std::string& out, const DiskImage& disk);

}  // namespace sv::cli
