#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "sectorvane_version.h"

namespace {

// For a command line that names no subcommand, or one that does not exist: what there is, on
// stderr.
void listSubcommands(const CLI::App& app, int argc, char** argv) {
    std::string word;
    for (int i = 1; i < argc && word.empty(); ++i) {
        if (argv[i][0] != '-') {
            word = argv[i];
        }
    }
    if (word.empty()) {
        std::fputs("A subcommand is required.\n", stderr);
    } else {
        std::fprintf(stderr, "%s is not a subcommand.\n", word.c_str());
    }
    std::fputs("Subcommands:\n", stderr);
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        std::fprintf(stderr, "  %-9s %s\n", sub->get_name().c_str(), sub->get_description().c_str());
    }
    std::fprintf(stderr, "Run %s SUBCOMMAND --help for its options.\n", app.get_name().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"sectorvane-cli: load, convert, merge and analyse TRS-80 Model II disk images",
                 "sectorvane-cli"};
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
        if (e.get_exit_code() != 0 && app.get_subcommands().empty()) {
            listSubcommands(app, argc, argv);
            return sv::cli::kExitUsage;
        }
        const int status = app.exit(e);
        return status == 0 ? 0 : sv::cli::kExitUsage;
    }
    return exitCode;
}
