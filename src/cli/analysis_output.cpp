#include "cli/analysis_output.h"

#include "cli/cli_log.h"
#include "cli/load.h"
#include "app/image_commands.h"

namespace sv::cli {

std::optional<AnalysedImage> analyseImage(const std::string& path, DiskImage& disk,
                                          const LoadFlags& flags, bool json) {
    CliLog log;
    if (!loadImageAs(path, flags, disk, log)) {
        reportFailure(notLoaded(path), log.currentText(), json);
        return std::nullopt;
    }
    AnalysedImage result{.analysis = analyseDisk(disk, log), .addedLog = {}};
    for (const std::string& line : result.analysis.reportLines) {
        result.addedLog += "\r\n" + line;
    }
    return result;
}

std::string terminalText(const std::string& text) {
    std::string plain = unixLines(text);
    for (char& c : plain) {
        const auto b = static_cast<unsigned char>(c);
        const bool control = (b < 0x20 && b != '\n') || b == 0x7F || (b >= 0x80 && b < 0xA0);
        c = control ? '.' : c;
    }
    return latin1ToUtf8(plain);
}

}  // namespace sv::cli
