// drives: the start-up discovery of the floppy driver and of controller cards.
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "drives/drive_discovery.h"
#include "app/floppy_driver_factory.h"

namespace sv::cli {

void addDrivesCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand(
        "drives", "Look for the floppy driver and controller cards, as the window does at start");
    cmd->callback([&exitCode] {
        CliLog log;
        const std::unique_ptr<FloppyDriver> driver = makeFloppyDriver();
        DriveAvailability found = discoverDrives(*driver, log);
        discoverCatweaselCards(log, found);
        exitCode = found.driver == DriverState::Ready ? kExitOk : kExitFailed;
        log.print(exitCode == kExitOk ? stdout : stderr);
    });
}

}  // namespace sv::cli
