#pragma once

// What the subcommands that load and save images share.

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"

#include <CLI/CLI.hpp>

namespace sv::cli {

// False after a message on stderr naming the types that can be saved, when the extension of
// `out` names no writer. Checked before anything is loaded.
[[nodiscard]] bool isSavableType(const std::string& out);

// --geometry CYL:HEADS:SECTORS:SIZE[:fm0]: IMAGE is a raw image in that layout, whatever its
// name and size. A text that is no layout is a usage error.
void addGeometryOption(CLI::App& cmd, std::string& geometry);

// Loads IMAGE as a raw image in `geometry` when one is given, else with the reader its type
// picks. False when no disk was loaded.
bool loadImageAs(const std::string& path, const std::string& geometry, DiskImage& disk,
                 OperationLog& log);

// Loads as loadImageAs does and prints the load's log. False when no disk was loaded.
bool loadAndPrint(const std::string& path, DiskImage& disk, const std::string& geometry = {});

// Saves by type and prints the save's log. Returns the exit status.
[[nodiscard]] int saveAndPrint(const std::string& out, const DiskImage& disk);

}  // namespace sv::cli
