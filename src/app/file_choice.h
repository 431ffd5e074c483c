#pragma once

// The Load, Merge and Save choices, everything about them that is not a dialog: titles, filter
// orders, the folder a dialog opens in and the name proposed after a load.

#include <string>
#include <string_view>
#include <vector>

namespace sv {

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
// Save dialog: DMK, DSK, IMD, HFE, All; default extension "DMK".
[[nodiscard]] FilterChoice saveFilterChoice();

// The folder a dialog opens in: the part of the path before its last '/', "/" for a file in the
// root, and empty (the current directory) when the path names no folder.
[[nodiscard]] std::string folderOfPath(std::string_view path);

// A dialog result of fewer than two characters means the dialog was cancelled.
[[nodiscard]] bool isChosenPath(std::string_view path);

// The save name proposed after a load: a DMK file gets " - Copy.DMK" in place of its last four
// characters, so saving does not overwrite it; any other file its stem + "DMK".
[[nodiscard]] std::string proposedSaveName(std::string_view loadedPath);

}  // namespace sv
