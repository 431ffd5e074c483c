#include "cli/load.h"

#include <cstdio>

#include "app/image_commands.h"
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "formats/image_types.h"

namespace sv::cli {

bool isSavableType(const std::string& out) {
    if (findImageSaver(out) == nullptr) {
        std::fprintf(stderr, "%s is not a type that can be saved; use %s.\n", out.c_str(),
                     savableTypes().c_str());
        return false;
    }
    return true;
}

bool loadAndPrint(const std::string& path, DiskImage& disk) {
    CliLog log;
    const bool loaded = loadImageByType(path, disk, log);
    log.print();
    return loaded;
}

int saveAndPrint(const std::string& out, const DiskImage& disk) {
    CliLog log;
    const SaveOutcome outcome = saveImageByType(out, disk, log);
    log.print();
    return outcome == SaveOutcome::Saved ? kExitOk : kExitFailed;
}

}  // namespace sv::cli
