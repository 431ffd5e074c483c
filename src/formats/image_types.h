#pragma once

#include <string>
#include <string_view>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "formats/load_options.h"

namespace sv {

using ImageLoader = void (*)(const std::string& path, DiskImage& disk, OperationLog& log,
                             const LoadOptions& options);
// A writer says whether the file was written; the log says why not.
using ImageSaver = bool (*)(const std::string& path, const DiskImage& disk, OperationLog& log);

// The extension of a path: its last three characters, upper-cased; nothing else of the name
// counts (no dot is required).
[[nodiscard]] std::string imageExtension(std::string_view path);

// The reader for a path's extension (TD0, IMD, DSK, DMK, HFE, SCP, IMG, and the variants TDO and
// IMA), or nullptr when the type is not known.
[[nodiscard]] ImageLoader findImageLoader(std::string_view path);
// The writer for a path's extension (DSK, DMK, HFE, IMD, IMG), or nullptr.
[[nodiscard]] ImageSaver findImageSaver(std::string_view path);

// The reader for a file: its extension's, unless the file's content does not look like that type
// and plainly is one other type (an IMD, Teledisk, HFE or SCP signature, a DMK header, a raw size). `note`
// is the log line that says which reader and why; empty when the extension decided plainly.
struct ReaderChoice {
    ImageLoader load = nullptr;
    std::string note;
};
[[nodiscard]] ReaderChoice chooseImageLoader(const std::string& path);
// After the extension's reader refused a file: the one other reader its content plainly names.
[[nodiscard]] ReaderChoice fallbackImageLoader(const std::string& path);

// The extensions the reader and the writer tables know, for messages: "TD0, IMD, DSK, DMK, HFE, SCP, IMG".
[[nodiscard]] std::string loadableTypes();
[[nodiscard]] std::string savableTypes();

}  // namespace sv
