#include "formats/dsk.h"

namespace sv {

void loadDskImage(const std::string& path, DiskImage& disk, OperationLog& log) {
    clear(disk);
    LogText text(log, "Loading DSK Image: " + path);
}

bool saveDskImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    (void)disk;
    LogText text(log, "Saving DSK Image: " + path);
    return false;
}

}  // namespace sv
