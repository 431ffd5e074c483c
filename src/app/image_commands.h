#pragma once

// The load, save, merge and read commands both front ends run: the reader or writer a path's type picks,
// with the rules around it, so the window and the CLI cannot drift apart.

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "drives/floppy_driver.h"
#include "formats/load_options.h"
#include "merge/sector_merge.h"

namespace sv {

// Load of a chosen path: the reader chooseImageLoader picks, and when that reader refuses the
// file, the one other reader its content plainly names. A path of no known type reads nothing:
// the disk's trackCount becomes 0 (nothing else of it changes) and the log gets one line naming
// the types that load. True when a disk is loaded. `options` are the front end's choices (the
// window asks for the IMD side log, the CLI only when told to).
bool loadImageByType(const std::string& path, DiskImage& disk, OperationLog& log,
                     const LoadOptions& options = {});

// False, after the one line "Nothing to save: no disk is loaded.", when there is nothing to save.
// The window asks before its dialog; saveImageByType asks again.
bool hasDiskToSave(const DiskImage& disk, OperationLog& log);

enum class SaveOutcome {
    Saved,
    Failed,       // the writer refused or could not write; its log says why
    NothingToSave,  // no disk is loaded: nothing written, one log line
    UnknownType,  // nothing written; the disk stays as it is; one log line
};

// Save of a chosen path: the writer its extension picks, for any loaded disk (one track is
// enough). A path of no known type keeps the disk and logs one line naming the path and the
// types that can be saved.
SaveOutcome saveImageByType(const std::string& path, const DiskImage& disk, OperationLog& log);

enum class MergeCommandOutcome {
    Merged,
    NoTarget,         // no disk loaded to merge into
    UnknownType,      // the file is of no known type
    SourceNotLoaded,  // the reader left the source empty; its log says why
    Refused,          // the two images hold different disks; nothing changed
};

// The Merge command for a chosen file: loads it into `source` as Load does and merges it into `target`. The source load reports to `loadLog`, the merge to
// `mergeLog`; the window passes its one log pane for both. When nothing is merged, the log says
// why in one line. Whether a file was chosen at all is the front end's affair. The source loads
// with `options`, as loadImageByType's.
MergeCommandOutcome runMergeCommand(const std::string& path, DiskImage& target, DiskImage& source,
                                    OperationLog& loadLog, OperationLog& mergeLog,
                                    DifferentDisks differentDisks = DifferentDisks::Refuse,
                                    const LoadOptions& options = {});

// The Read command: the whole disk in `drive` ("A:" or "B:") into `disk`, which is cleared
// first. True when a disk was read; otherwise the log says why.
bool runReadCommand(const std::string& drive, DiskImage& disk, FloppyDriver& driver,
                    OperationLog& log);

}  // namespace sv
