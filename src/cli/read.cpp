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
    auto args = std::make_shared<std::vector<std::string>>();
    cmd->add_option("DRIVE OUT", *args, "[A|B] and the file to write (DMK, DSK or HFE)")
        ->required()
        ->expected(1, 2);
    cmd->callback([args, &exitCode] {
        const std::string drive = args->size() == 2 ? driveName(args->front()) : "A:";
        const std::string& out = args->back();
        if (drive.empty()) {
            std::fprintf(stderr, "%s is not a drive; use A or B.\n", args->front().c_str());
            exitCode = kExitUsage;
            return;
        }
        if (!isSavableType(out)) {
            exitCode = kExitUsage;
            return;
        }
        auto disk = makeDiskImage();
        {
            CliLog log;
            const std::unique_ptr<FloppyDriver> driver = makeFloppyDriver();
            const bool read = runReadCommand(drive, *disk, *driver, log);
            log.print();
            if (!read) {
                exitCode = kExitFailed;
                return;
            }
        }
        exitCode = saveAndPrint(out, *disk);
    });
}

}  // namespace sv::cli
