#include "cli/load.h"

#include "formats/image_types.h"

namespace sv::cli {

bool loadImage(const std::string& path, DiskImage& disk, OperationLog& log) {
    return loadImageByType(path, disk, log);
}

}  // namespace sv::cli
