#include "formats/dmk.h"

namespace sv {

void loadDmkImage(const std::string& path, DiskImage& disk, OperationLog& log) {
    clear(disk);
    LogText text(log, "Loading DMK Image: " + path);
}

}  // namespace sv
