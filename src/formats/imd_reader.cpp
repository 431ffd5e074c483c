#include "formats/imd.h"

namespace sv {

void loadImdImage(const std::string& path, DiskImage& disk, OperationLog& log) {
    clear(disk);
    LogText text(log, "Loading IMD Image: " + path);
}

}  // namespace sv
