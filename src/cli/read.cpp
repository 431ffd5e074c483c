// read [A|B] OUT: read the disk in a drive (or the simulated one) and save it as OUT.
#include <cctype>

#include "cli/cli_log.h"
#include "cli/commands.h"
#include "drives/floppy_driver.h"
#include "drives/physical_reader.h"
#include "cli/load.h"

namespace sv::cli {

namespace {

// "A", "b", "A:" ... -> "A:" / "B:"; empty when the text names no drive.
std::string driveName(const std::string& text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':')) {
        return {};
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return letter == 'A' || letter == 'B' ? std::string(1, letter) + ":" : std::string();
}

}  // namespace

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
        const ImageSaver save = saverFor(out);
        if (save == nullptr) {
            exitCode = kExitUsage;
            return;
        }
        auto disk = makeDiskImage();
        {
            CliLog log;
            const std::unique_ptr<FloppyDriver> driver = makeFloppyDriver();
            readPhysicalDisk(drive, *disk, *driver, log);
            log.print();
            if (isEmpty(*disk)) {
                exitCode = kExitFailed;
                return;
            }
        }
        exitCode = saveAndPrint(save, out, *disk);
    });
}

}  // namespace sv::cli
