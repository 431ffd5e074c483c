#pragma once

// What the subcommands that load and save images share.

#include <string>

#include "core/disk_image.h"
#include <CLI/CLI.hpp>

#include "formats/image_types.h"

namespace sv::cli {

// The writer the extension of `out` names; nullptr after a message on stderr naming the types
// that can be saved.
[[nodiscard]] ImageSaver saverFor(const std::string& out);

// --geometry CYL:HEADS:SECTORS:SIZE[:fm0]: IMAGE is a raw image in that layout, whatever its
// name and size. A text that is no layout is a usage error.
void addGeometryOption(CLI::App& cmd, std::string& geometry);

// Loads IMAGE as a raw image in `geometry` when one is given, else with the reader its type
// picks. False when no disk was loaded.
bool loadImageAs(const std::string& path, const std::string& geometry, DiskImage& disk,
                 OperationLog& log);

// Loads as loadImageAs does and prints the load's log. False when no disk was loaded.
bool loadAndPrint(const std::string& path, DiskImage& disk, const std::string& geometry = {});

// Saves and prints the save's log. Returns the exit status.
[[nodiscard]] int saveAndPrint(ImageSaver save, const std::string& out, const DiskImage& disk);

}  // namespace sv::cli
