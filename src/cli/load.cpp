#include "cli/load.h"

#include <cstdio>

#include "app/image_commands.h"
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "formats/image_types.h"
#include "formats/raw.h"

namespace sv::cli {

bool isSavableType(const std::string& out) {
    if (findImageSaver(out) == nullptr) {
        std::fprintf(stderr, "%s is not a type that can be saved; use %s.\n", out.c_str(),
                     savableTypes().c_str());
        return false;
    }
    return true;
}

void addGeometryOption(CLI::App& cmd, std::string& geometry) {
    cmd.add_option("--geometry", geometry,
                   "Read IMAGE as a raw image of this layout: CYL:HEADS:SECTORS:SIZE[:fm0]")
        ->check([](const std::string& text) {
            std::string error;
            return parseRawGeometry(text, error) ? std::string() : error;
        });
}

bool loadImageAs(const std::string& path, const std::string& geometry, DiskImage& disk,
                 OperationLog& log) {
    if (geometry.empty()) {
        return loadImageByType(path, disk, log);
    }
    std::string error;
    const auto layout = parseRawGeometry(geometry, error);
    if (!layout) {
        return false;  // the option's check has refused it already
    }
    loadRawImageAs(path, *layout, disk, log);
    return !isEmpty(disk);
}

bool loadAndPrint(const std::string& path, DiskImage& disk, const std::string& geometry) {
    CliLog log;
    const bool loaded = loadImageAs(path, geometry, disk, log);
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
