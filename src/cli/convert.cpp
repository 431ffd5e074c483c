// convert IN OUT: load IN, save it as OUT in the type OUT's extension names.
#include "cli/cli_log.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "formats/image_types.h"

namespace sv::cli {

void addConvertCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("convert", "Load an image and save it as DMK or DSK");
    auto in = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    cmd->add_option("IN", *in, "Image to load (DMK, IMD, TD0 or DSK)")->required();
    cmd->add_option("OUT", *out, "File to write; its extension (DMK or DSK) picks the type")
        ->required();
    cmd->callback([in, out, &exitCode] {
        const ImageSaver save = findImageSaver(*out);
        if (save == nullptr) {
            std::fprintf(stderr, "%s is not a type that can be saved; use %s.\n", out->c_str(),
                         savableTypes().c_str());
            exitCode = kExitUsage;
            return;
        }
        auto disk = makeDiskImage();
        {
            CliLog log;
            const bool loaded = loadImage(*in, *disk, log);
            log.print();
            if (!loaded) {
                exitCode = kExitFailed;
                return;
            }
        }
        CliLog log;
        const bool saved = save(*out, *disk, log);
        log.print();
        exitCode = saved ? kExitOk : kExitFailed;
    });
}

}  // namespace sv::cli
