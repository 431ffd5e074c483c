#include "merge/merge_command.h"

#include "formats/image_types.h"
#include "merge/sector_merge.h"

namespace sv {

namespace {

void sayNothingMerged(OperationLog& log, const std::string& why, bool belowCurrentText) {
    const std::string line = "Nothing was merged: " + why;
    if (belowCurrentText && !log.currentText().empty()) {
        LogText::continuing(log).line(line);
    } else {
        LogText(log, line);
    }
}

}  // namespace

MergeCommandOutcome runMergeCommand(const std::string& chosenPath, DiskImage& target,
                                    DiskImage& source, OperationLog& loadLog,
                                    OperationLog& mergeLog) {
    // A stale source from an earlier merge is never merged again.
    if (!isChosenPath(chosenPath)) {
        sayNothingMerged(mergeLog, "no file was chosen.", false);
        return MergeCommandOutcome::Cancelled;
    }
    if (isEmpty(target)) {
        sayNothingMerged(mergeLog, "no disk is loaded to merge into.", false);
        return MergeCommandOutcome::NoTarget;
    }
    if (chooseImageLoader(chosenPath).load == nullptr) {
        source.trackCount = 0;
        sayNothingMerged(mergeLog,
                         chosenPath + " is not a known image type; the types that load are " +
                             loadableTypes() + ".",
                         false);
        return MergeCommandOutcome::UnknownType;
    }
    if (!loadImageByType(chosenPath, source, loadLog)) {
        // Kept below the reader's own failure lines, which say what went wrong.
        sayNothingMerged(mergeLog, chosenPath + " did not load.", true);
        return MergeCommandOutcome::SourceNotLoaded;
    }
    mergeImages(target, source, mergeLog);
    return MergeCommandOutcome::Merged;
}

}  // namespace sv
