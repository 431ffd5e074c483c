#pragma once

// Whether the disk the commands work on holds work that is in no file: a merge into it or a
// physical read, not saved since. The commands neither know nor ask; a front end records each
// command's outcome here and asks the user before a command replaces such a disk.

#include "app/image_commands.h"
#include "core/disk_image.h"

namespace sv {

// What put the disk's contents where no file holds them.
enum class UnsavedWork {
    None,   // empty, loaded from a file, or saved since
    Merge,  // a merge into it
    Read,   // a physical read
};

class UnsavedDisk {
public:
    // A load leaves a file's disk or none, whatever its outcome.
    void loadRan() { work_ = UnsavedWork::None; }
    // A merge that did not merge left the disk as it was.
    void mergeRan(bool merged) {
        if (merged) {
            work_ = UnsavedWork::Merge;
        }
    }
    void mergeRan(MergeCommandOutcome outcome) { mergeRan(outcome == MergeCommandOutcome::Merged); }
    // A read clears the disk first: whatever it holds now came from the drive.
    void readRan() { work_ = UnsavedWork::Read; }
    // A failed save keeps the work unsaved.
    void saveRan(SaveOutcome outcome) {
        if (outcome == SaveOutcome::Saved) {
            work_ = UnsavedWork::None;
        }
    }

    // The unsaved work `disk` holds; None when it is empty, as there is nothing to lose.
    [[nodiscard]] UnsavedWork work(const DiskImage& disk) const {
        return isEmpty(disk) ? UnsavedWork::None : work_;
    }

private:
    UnsavedWork work_ = UnsavedWork::None;
};

}  // namespace sv
