#include "cli/load.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/image_commands.h"
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "core/text.h"
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

std::shared_ptr<ImageArguments> addImageArguments(CLI::App& cmd, bool withJson) {
    auto args = std::make_shared<ImageArguments>();
    cmd.add_option("IMAGE", args->image, "Image file (DMK, IMD, TD0, DSK, HFE, SCP or IMG)")
        ->required();
    addLoadOptions(cmd, args->load);
    if (withJson) {
        cmd.add_flag("--json", args->json, "Print one JSON object (a stable interface)");
    }
    return args;
}

void addLoadOptions(CLI::App& cmd, LoadFlags& flags) {
    cmd.add_option("--geometry", flags.geometry,
                   "Read IMAGE as a raw image of this layout: CYL:HEADS:SECTORS:SIZE[:fm0]")
        ->check([](const std::string& text) {
            std::string error;
            return parseRawGeometry(text, error) ? std::string() : error;
        });
    addSideLogOption(cmd, flags);
}

void addSideLogOption(CLI::App& cmd, LoadFlags& flags) {
    cmd.add_flag("--side-log", flags.sideLog,
                 "Leave NAME.log beside an IMD image, as the window does (never over a file that "
                 "is not such a log)");
}

bool loadImageAs(const std::string& path, const LoadFlags& flags, DiskImage& disk,
                 OperationLog& log) {
    if (flags.geometry.empty()) {
        return loadImageByType(path, disk, log, LoadOptions{.imdSideLog = flags.sideLog});
    }
    std::string error;
    const auto layout = parseRawGeometry(flags.geometry, error);
    if (!layout) {
        return false;  // the option's check has refused it already
    }
    loadRawImageAs(path, *layout, disk, log);
    return !isEmpty(disk);
}

bool loadAndPrint(const std::string& path, DiskImage& disk, const LoadFlags& flags) {
    CliLog log;
    const bool loaded = loadImageAs(path, flags, disk, log);
    log.print(loaded ? stdout : stderr);
    return loaded;
}

int saveAndPrint(const std::string& out, const DiskImage& disk) {
    CliLog log;
    const SaveOutcome outcome = saveImageByType(out, disk, log);
    const bool saved = outcome == SaveOutcome::Saved;
    log.print(saved ? stdout : stderr);
    return saved ? kExitOk : kExitFailed;
}

std::string notLoaded(const std::string& path) { return path + " did not load."; }

void reportFailure(const std::string& error, const std::string& logText, bool json) {
    if (json) {
        // As dump's log: the text as built, any byte that is no UTF-8 replaced.
        const nlohmann::ordered_json out{{"error", error}, {"log", logText}};
        std::puts(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        std::fflush(stdout);
        return;
    }
    std::fflush(stdout);
    if (!logText.empty()) {
        std::fputs(unixLines(logText).c_str(), stderr);
        std::fputc('\n', stderr);
    }
}

}  // namespace sv::cli
