// read [A|B] OUT: read the disk in a drive (or the simulated one) and save it as OUT.
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "app/floppy_driver_factory.h"
#include "app/image_commands.h"
#include "cli/load.h"

namespace sv::cli {

void addReadCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand(
        "read", "Read the disk in drive A or B (A when not given) and save it as DMK, DSK or HFE");
    auto driveText = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    // DRIVE may be left out: a lone argument is OUT.
    cmd->positionals_at_end();
    auto* driveOption = cmd->add_option("DRIVE", *driveText, "A or B (A: and B: too); A when not given");
    cmd->add_option("OUT", *out, "File to write; its extension (DMK, DSK or HFE) picks the type")
        ->required();
    cmd->callback([driveText, driveOption, out, &exitCode] {
        const std::string drive = driveOption->count() > 0 ? driveName(*driveText) : "A:";
        if (drive.empty()) {
            std::fprintf(stderr, "%s is not a drive; use A or B.\n", driveText->c_str());
            exitCode = kExitUsage;
            return;
        }
        if (!isSavableType(*out)) {
            exitCode = kExitUsage;
            return;
        }
        auto disk = makeDiskImage();
        {
            CliLog log;
            const std::unique_ptr<FloppyDriver> driver = makeFloppyDriver();
            const bool read = runReadCommand(drive, *disk, *driver, log);
            log.print(read ? stdout : stderr);
            if (!read) {
                exitCode = kExitFailed;
                return;
            }
        }
        exitCode = saveAndPrint(*out, *disk);
    });
}

}  // namespace sv::cli
