#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "sectorvane_version.h"

int main(int argc, char** argv) {
    CLI::App app{"sectorvane-cli: load, convert, merge and analyse TRS-80 Model II disk images"};
    app.set_version_flag("--version", "sectorvane-cli " SECTORVANE_VERSION, "Print the version and exit");
    app.require_subcommand(1);
    int exitCode = sv::cli::kExitOk;
    sv::cli::addDumpCommand(app, exitCode);
    sv::cli::addConvertCommand(app, exitCode);
    sv::cli::addDirCommand(app, exitCode);
    sv::cli::addExtractCommand(app, exitCode);
    sv::cli::addReadCommand(app, exitCode);
    sv::cli::addDrivesCommand(app, exitCode);
    sv::cli::addMergeCommand(app, exitCode);
    sv::cli::addInfoCommand(app, exitCode);
    sv::cli::addMapCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : sv::cli::kExitUsage;
    }
    return exitCode;
}
