#include "app/image_commands.h"

#include "formats/image_types.h"
#include "merge/sector_merge.h"

namespace sv {

namespace {

void sayNothingMerged(OperationLog& log, const std::string& why, bool belowCurrentText) {
    const std::string line = "Nothing was merged: " + why;
    if (belowCurrentText && !log.currentText().empty()) {
        LogEditor::continuing(log).line(line);
    } else {
        LogEditor(log, line);
    }
}

std::string unknownLoadType(const std::string& path) {
    return path + " is not a known image type; the types that load are " + loadableTypes() + ".";
}

}  // namespace

bool loadImageByType(const std::string& path, DiskImage& disk, OperationLog& log) {
    const ImageLoader load = findImageLoader(path);
    if (load == nullptr) {
        disk.trackCount = 0;
        LogEditor(log, unknownLoadType(path));
        return false;
    }
    load(path, disk, log);
    return !isEmpty(disk);
}

bool hasDiskToSave(const DiskImage& disk, OperationLog& log) {
    if (isEmpty(disk)) {
        LogEditor(log, "Nothing to save: no disk is loaded.");
        return false;
    }
    return true;
}

SaveOutcome saveImageByType(const std::string& path, const DiskImage& disk, OperationLog& log) {
    if (!hasDiskToSave(disk, log)) {
        return SaveOutcome::NothingToSave;
    }
    const ImageSaver save = findImageSaver(path);
    if (save == nullptr) {
        LogEditor(log, path + " was not saved: it is not a type that can be saved; the types that "
                            "save are " + savableTypes() + ".");
        return SaveOutcome::UnknownType;
    }
    return save(path, disk, log) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

MergeCommandOutcome runMergeCommand(const std::string& path, DiskImage& target, DiskImage& source,
                                    OperationLog& loadLog, OperationLog& mergeLog) {
    if (isEmpty(target)) {
        sayNothingMerged(mergeLog, "no disk is loaded to merge into.", false);
        return MergeCommandOutcome::NoTarget;
    }
    // A stale source from an earlier merge is never merged again.
    if (findImageLoader(path) == nullptr) {
        source.trackCount = 0;
        sayNothingMerged(mergeLog, unknownLoadType(path), false);
        return MergeCommandOutcome::UnknownType;
    }
    if (!loadImageByType(path, source, loadLog)) {
        // Kept below the reader's own failure lines, which say what went wrong.
        sayNothingMerged(mergeLog, path + " did not load.", true);
        return MergeCommandOutcome::SourceNotLoaded;
    }
    mergeImages(target, source, mergeLog);
    return MergeCommandOutcome::Merged;
}

}  // namespace sv
