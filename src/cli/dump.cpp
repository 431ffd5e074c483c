// dump IMAGE: the loaded disk and the load's log as one JSON object (a stable interface, see
// the README).
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/image_commands.h"
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "core/text.h"

namespace sv::cli {

namespace {

nlohmann::ordered_json diskJson(const DiskImage& disk) {
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (int c = 0; c < kMaxCylinders; ++c) {
        for (int s = 0; s < kMaxSides; ++s) {
            const TrackRecord& track = disk.track(s, c);
            const bool inGeometry = s < disk.sideCount && c < disk.trackCount;
            if (!inGeometry && track.sectorCount == 0) {
                continue;
            }
            nlohmann::ordered_json sectors = nlohmann::ordered_json::array();
            for (int i = 0; i < track.sectorCount && i < kMaxSectorsPerTrack; ++i) {
                const SectorEntry& e = track.sectors[i];
                sectors.push_back({{"cylinder", e.cylinder},
                                   {"head", e.head},
                                   {"record", e.record},
                                   {"sizeCode", e.sizeCode},
                                   {"singleDensity", e.singleDensity},
                                   {"status", e.status},
                                   {"data", hexBytes(e.data)},
                                   {"dataState", dataStateName(dataState(disk, s, c, i))}});
            }
            tracks.push_back({{"side", s}, {"cylinder", c}, {"sectors", std::move(sectors)}});
        }
    }
    return {{"writeProtect", disk.writeProtect}, {"trackCount", disk.trackCount},
            {"sideCount", disk.sideCount},       {"trackLength", disk.trackLength},
            {"formatFlags", disk.formatFlags},   {"sourcePath", sourcePathTrimmed(disk)},
            {"tracks", std::move(tracks)}};
}

}  // namespace

void addDumpCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("dump", "Load an image and print the disk and the log as JSON");
    const auto args = addImageArguments(*cmd, false);
    cmd->callback([args, &exitCode] {
        auto disk = makeDiskImage();
        CliLog log;
        const bool loaded = loadImageAs(args->image, args->load, *disk, log);
        nlohmann::ordered_json out{{"log", log.currentText()}, {"disk", diskJson(*disk)}};
        if (!loaded) {
            out["error"] = notLoaded(args->image);
        }
        std::puts(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        exitCode = loaded ? kExitOk : kExitFailed;
    });
}

}  // namespace sv::cli
