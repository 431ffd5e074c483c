#include "app/image_commands.h"

#include "drives/physical_reader.h"
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

// The reader's log below the line that says why that reader was chosen.
void loadWithNote(const ReaderChoice& choice, const std::string& path, DiskImage& disk,
                  OperationLog& log, const std::string& before, const LoadOptions& options) {
    choice.load(path, disk, log, options);
    if (!choice.note.empty()) {
        log.show(before + choice.note + "\r\n" + log.currentText());
    }
}

}  // namespace

bool loadImageByType(const std::string& path, DiskImage& disk, OperationLog& log,
                     const LoadOptions& options) {
    const ReaderChoice choice = chooseImageLoader(path);
    if (choice.load == nullptr) {
        disk.trackCount = 0;
        LogEditor(log, unknownLoadType(path));
        return false;
    }
    loadWithNote(choice, path, disk, log, "", options);
    if (isEmpty(disk)) {
        const ReaderChoice other = fallbackImageLoader(path);
        if (other.load != nullptr && other.load != choice.load) {
            loadWithNote(other, path, disk, log, log.currentText() + "\r\n", options);
        }
    }
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
                                    OperationLog& loadLog, OperationLog& mergeLog,
                                    DifferentDisks differentDisks, const LoadOptions& options) {
    if (isEmpty(target)) {
        sayNothingMerged(mergeLog, "no disk is loaded to merge into.", false);
        return MergeCommandOutcome::NoTarget;
    }
    // A stale source from an earlier merge is never merged again.
    if (chooseImageLoader(path).load == nullptr) {
        source.trackCount = 0;
        sayNothingMerged(mergeLog, unknownLoadType(path), false);
        return MergeCommandOutcome::UnknownType;
    }
    if (!loadImageByType(path, source, loadLog, options)) {
        // Kept below the reader's own failure lines, which say what went wrong.
        sayNothingMerged(mergeLog, path + " did not load.", true);
        return MergeCommandOutcome::SourceNotLoaded;
    }
    return mergeImages(target, source, mergeLog, differentDisks).merged
               ? MergeCommandOutcome::Merged
               : MergeCommandOutcome::Refused;
}

bool runReadCommand(const std::string& drive, DiskImage& disk, FloppyDriver& driver,
                    OperationLog& log) {
    readPhysicalDisk(drive, disk, driver, log);
    return !isEmpty(disk);
}

}  // namespace sv
