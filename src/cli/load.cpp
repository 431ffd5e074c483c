#include "cli/load.h"

#include <cstdio>

#include "cli/cli_log.h"
#include "cli/commands.h"

namespace sv::cli {

ImageSaver saverFor(const std::string& out) {
    const ImageSaver save = findImageSaver(out);
    if (save == nullptr) {
        std::fprintf(stderr, "%s is not a type that can be saved; use %s.\n", out.c_str(),
                     savableTypes().c_str());
    }
    return save;
}

bool loadAndPrint(const std::string& path, DiskImage& disk) {
    CliLog log;
    const bool loaded = loadImageByType(path, disk, log);
    log.print();
    return loaded;
}

bool loadQuietly(const std::string& path, DiskImage& disk, CliLog& log) {
    if (loadImageByType(path, disk, log)) {
        return true;
    }
    log.print();
    return false;
}

int saveAndPrint(ImageSaver save, const std::string& out, const DiskImage& disk) {
    CliLog log;
    const bool saved = save(out, disk, log);
    log.print();
    return saved ? kExitOk : kExitFailed;
}

}  // namespace sv::cli
