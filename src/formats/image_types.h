#pragma once

#include <string>
#include <string_view>

#include "core/disk_image.h"
#include "core/operation_log.h"

namespace sv {

using ImageLoader = void (*)(const std::string& path, DiskImage& disk, OperationLog& log);
// A writer says whether the file was written; the log says why not.
using ImageSaver = bool (*)(const std::string& path, const DiskImage& disk, OperationLog& log);

// The extension of a path: its last three characters, upper-cased; nothing else of the name
// counts (no dot is required).
[[nodiscard]] std::string imageExtension(std::string_view path);

// The reader for a path's extension (TD0, IMD, DSK, DMK, HFE, SCP), or nullptr when the type is
// not known.
[[nodiscard]] ImageLoader findImageLoader(std::string_view path);
// The writer for a path's extension (DSK, DMK, HFE), or nullptr.
[[nodiscard]] ImageSaver findImageSaver(std::string_view path);

// The extensions the reader and the writer tables know, for messages: "TD0, IMD, DSK, DMK".
[[nodiscard]] std::string loadableTypes();
[[nodiscard]] std::string savableTypes();

}  // namespace sv
