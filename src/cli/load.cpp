#include "cli/load.h"

#include "formats/image_types.h"

namespace sv::cli {

bool loadImage(const std::string& path, DiskImage& disk, OperationLog& log) {
    const ImageLoader load = findImageLoader(path);
    if (load == nullptr) {
        clear(disk);
        log.show(path + " is not a known image type; the types that load are " + loadableTypes() +
                 ".");
        return false;
    }
    load(path, disk, log);
    return !isEmpty(disk);
}

}  // namespace sv::cli
