#pragma once

#include <string>

#include "core/disk_image.h"
#include "core/operation_log.h"
#include "merge/sector_merge.h"

namespace sv {

enum class MergeCommandOutcome {
    Merged,
    Cancelled,        // no file chosen
    NoTarget,         // no disk loaded to merge into
    UnknownType,      // the chosen file is of no known type
    SourceNotLoaded,  // the reader left the source empty; its log says why
    Refused,          // the two images hold different disks; nothing changed
};

// The Merge command after its file dialog: `chosenPath` is what the dialog returned (shorter
// than two characters = cancelled). Loads the chosen file into `source` with the reader its
// extension picks and merges it into `target`. The source load reports to `loadLog`, the merge
// to `mergeLog`; the window passes its one log pane for both. When nothing is merged, the log
// says why in one line.
MergeCommandOutcome runMergeCommand(const std::string& chosenPath, DiskImage& target,
                                    DiskImage& source, OperationLog& loadLog,
                                    OperationLog& mergeLog,
                                    DifferentDisks differentDisks = DifferentDisks::Refuse);

}  // namespace sv
