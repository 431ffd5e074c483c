#pragma once

// What the subcommands that load and save images share.

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "cli/cli_log.h"
#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv::cli {

// How a subcommand loads IMAGE: the options every loading subcommand takes.
struct LoadFlags {
    // --geometry CYL:HEADS:SECTORS:SIZE[:fm0]: IMAGE is a raw image in that layout, whatever its
    // name and size.
    std::string geometry;
    // --side-log: an IMD load leaves NAME.log beside the image, as the window's does.
    bool sideLog = false;
};

// False after a message on stderr naming the types that can be saved, when the extension of
// `out` names no writer. Checked before anything is loaded.
[[nodiscard]] bool isSavableType(const std::string& out);

// What a subcommand that reads one image takes: IMAGE, the load options and, where it prints
// JSON, --json. Shared, since the subcommand's callback outlives the parse.
struct ImageArguments {
    std::string image;
    LoadFlags load;
    bool json = false;
};
[[nodiscard]] std::shared_ptr<ImageArguments> addImageArguments(CLI::App& cmd, bool withJson);

// --geometry (a text that is no layout is a usage error) and --side-log.
void addLoadOptions(CLI::App& cmd, LoadFlags& flags);
// --side-log alone, for a subcommand that takes no --geometry.
void addSideLogOption(CLI::App& cmd, LoadFlags& flags);

// Loads IMAGE as a raw image in flags.geometry when one is given, else with the reader its type
// picks. False when no disk was loaded.
bool loadImageAs(const std::string& path, const LoadFlags& flags, DiskImage& disk,
                 OperationLog& log);

// Loads as loadImageAs does and prints the load's log: on stdout when a disk was loaded, on
// stderr when not. False when no disk was loaded.
bool loadAndPrint(const std::string& path, DiskImage& disk, const LoadFlags& flags = {});

// Saves by type and prints the save's log (on stderr when the save failed). Returns the exit
// status.
[[nodiscard]] int saveAndPrint(const std::string& out, const DiskImage& disk);

// The `error` text of a failed load, in JSON and elsewhere: PATH + " did not load."
[[nodiscard]] std::string notLoaded(const std::string& path);

// A failed operation: with `json`, one object {"error": ..., "log": ...} on stdout, where scripts
// read; otherwise the log on stderr.
void reportFailure(const std::string& error, const std::string& logText, bool json);

}  // namespace sv::cli
