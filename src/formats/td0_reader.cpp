#include "formats/td0.h"

namespace sv {

void loadTd0Image(const std::string& path, DiskImage& disk, OperationLog& log) {
    clear(disk);
    LogText text(log, "Loading Teledisk Image: " + path);
}

}  // namespace sv
