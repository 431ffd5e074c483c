#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

using ImageLoader = void (*)(const std::string& path, DiskImage& disk, OperationLog& log);
// A writer says whether the file was written; the log says why not.
using ImageSaver = bool (*)(const std::string& path, const DiskImage& disk, OperationLog& log);

// The extension of a path: its last three characters, upper-cased; nothing else of the name
// counts (no dot is required).
[[nodiscard]] std::string imageExtension(std::string_view path);

// The reader for a path's extension (TD0, IMD, DSK, DMK, HFE, SCP), or nullptr when the type is not known.
[[nodiscard]] ImageLoader findImageLoader(std::string_view path);
// The writer for a path's extension (DSK, DMK, HFE), or nullptr.
[[nodiscard]] ImageSaver findImageSaver(std::string_view path);

// The extensions the reader and the writer tables know, for messages: "TD0, IMD, DSK, DMK".
[[nodiscard]] std::string loadableTypes();
[[nodiscard]] std::string savableTypes();

// --- File selection: everything about the Load, Merge and Save choices that is not a dialog.

inline constexpr std::string_view kLoadDialogTitle = "Load an image file";
inline constexpr std::string_view kMergeDialogTitle = "Merge an image file";
inline constexpr std::string_view kSaveDialogTitle = "Save an image file";

struct FileFilter {
    std::string key;          // "DMK", "IMD", "TD0", "DSK" or "All"
    std::string description;  // "DMK Files (*.DMK)"
    std::string pattern;      // "*.DMK"
};

struct FilterChoice {
    std::vector<FileFilter> filters;  // the dialog preselects the first
    std::string defaultExtension;     // "DMK", ... or "*"
};

// Load and Merge dialogs: the type of the path in the load path box comes first, and is the
// default extension; any other box text (an empty one too) puts "All Files" first and "*".
[[nodiscard]] FilterChoice loadFilterChoice(std::string_view loadPathBox);
// Save dialog: DMK, DSK, HFE, All; default extension "DMK".
[[nodiscard]] FilterChoice saveFilterChoice();

// The folder a dialog opens in: the part of the path before its last '/', "/" for a file in the
// root, and empty (the current directory) when the path names no folder.
[[nodiscard]] std::string folderOfPath(std::string_view path);

// A dialog result of fewer than two characters means the dialog was cancelled.
[[nodiscard]] bool isChosenPath(std::string_view path);

// The save name proposed after a load: a DMK file gets " - Copy.DMK" in place of its last four
// characters, so saving does not overwrite it; any other file its stem + "DMK".
[[nodiscard]] std::string proposedSaveName(std::string_view loadedPath);

// Load (and Merge) of a chosen path: the reader its extension picks. A path of no known type
// reads nothing: the disk's trackCount becomes 0 (nothing else of it changes) and the log gets
// one line naming the types that load. True when a disk is loaded.
bool loadImageByType(const std::string& path, DiskImage& disk, OperationLog& log);

enum class SaveOutcome {
    Saved,
    Failed,        // the writer refused or could not write; its log says why
    TooFewTracks,  // fewer than two tracks: nothing is written and nothing logged
    UnknownType,   // nothing written; the disk stays as it is; one log line
};

// Save of a chosen path: the writer its extension picks, for a disk of at least two tracks.
// A path of no known type keeps the disk and logs one line naming the path and the types
// that can be saved.
SaveOutcome saveImageByType(const std::string& path, const DiskImage& disk, OperationLog& log);

}  // namespace sv
