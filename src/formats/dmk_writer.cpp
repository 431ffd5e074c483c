#include "formats/dmk.h"

namespace sv {

bool saveDmkImage(const std::string& path, const DiskImage& disk, OperationLog& log) {
    (void)disk;
    LogText text(log, "Saving DMK Image: " + path);
    return false;
}

}  // namespace sv
