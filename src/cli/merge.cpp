// merge TARGET SOURCE OUT: load TARGET, merge SOURCE into it sector by sector, save OUT.
#include <cstdio>

#include "cli/cli_log.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "app/image_commands.h"

namespace sv::cli {

void addMergeCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand(
        "merge", "Merge a second read of a disk into a first, sector by sector, and save it");
    auto target = std::make_shared<std::string>();
    auto source = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    auto force = std::make_shared<bool>(false);
    auto flags = std::make_shared<LoadFlags>();
    cmd->add_option("TARGET", *target, "Image to merge into (DMK, IMD, TD0, DSK, HFE, SCP or IMG)")->required();
    cmd->add_option("SOURCE", *source, "Image whose sectors are merged in")->required();
    cmd->add_option("OUT", *out, "File to write; its extension (DMK, DSK, HFE, IMD or IMG) picks the type")
        ->required();
    cmd->add_flag("--force", *force,
                  "Merge even when the two images look like two different disks");
    addSideLogOption(*cmd, *flags);
    cmd->callback([target, source, out, force, flags, &exitCode] {
        if (!isSavableType(*out)) {
            exitCode = kExitUsage;
            return;
        }
        auto disk = makeDiskImage();
        auto sourceDisk = makeDiskImage();
        if (!loadAndPrint(*target, *disk, *flags)) {
            exitCode = kExitFailed;
            return;
        }
        {
            CliLog loadLog;
            CliLog mergeLog;
            const MergeCommandOutcome outcome =
                runMergeCommand(*source, *disk, *sourceDisk, loadLog, mergeLog,
                                *force ? DifferentDisks::Merge : DifferentDisks::Refuse,
                                LoadOptions{.imdSideLog = flags->sideLog});
            const bool merged = outcome == MergeCommandOutcome::Merged;
            // The source's log is a failure's only when the source did not load.
            loadLog.print(outcome == MergeCommandOutcome::SourceNotLoaded ? stderr : stdout);
            mergeLog.print(merged ? stdout : stderr);
            if (outcome == MergeCommandOutcome::Refused) {
                std::fputs("merge: --force merges them all the same\n", stderr);
            }
            if (!merged) {
                exitCode = kExitFailed;
                return;
            }
        }
        exitCode = saveAndPrint(*out, *disk);
    });
}

}  // namespace sv::cli
