// convert IN OUT: load IN, save it as OUT in the type OUT's extension names.
#include "cli/commands.h"
#include "cli/load.h"

namespace sv::cli {

void addConvertCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("convert", "Load an image and save it as DMK, DSK, HFE, IMD or IMG");
    auto in = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    auto flags = std::make_shared<LoadFlags>();
    cmd->add_option("IN", *in, "Image to load (DMK, IMD, TD0, DSK, HFE, SCP or IMG)")->required();
    cmd->add_option("OUT", *out, "File to write; its extension (DMK, DSK, HFE, IMD or IMG) picks the type")
        ->required();
    addLoadOptions(*cmd, *flags);
    cmd->callback([in, out, flags, &exitCode] {
        if (!isSavableType(*out)) {
            exitCode = kExitUsage;
            return;
        }
        auto disk = makeDiskImage();
        if (!loadAndPrint(*in, *disk, *flags)) {
            exitCode = kExitFailed;
            return;
        }
        exitCode = saveAndPrint(*out, *disk);
    });
}

}  // namespace sv::cli
