#include "cli/analysis_output.h"

#include "cli/cli_log.h"
#include "cli/load.h"
#include "app/image_commands.h"

namespace sv::cli {

namespace {
constexpr std::size_t kMaxHostNameChars = 64;
}  // namespace

std::optional<AnalysedImage> analyseImage(const std::string& path, DiskImage& disk) {
    CliLog log;
    if (!loadImageByType(path, disk, log)) {
        log.print();
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

std::string hostSafeName(const std::string& listedName) {
    std::string name;
    bool inRun = false;
    for (const char c : listedName) {
        const auto b = static_cast<unsigned char>(c);
        const bool kept = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                          (b >= '0' && b <= '9') || b == '.' || b == '-' || b == '_';
        if (kept || b == '/') {
            name += b == '/' ? '.' : c;
            inRun = false;
        } else if (!inRun) {
            name += '_';
            inRun = true;
        }
    }
    while (!name.empty() && name.back() == '_') {
        name.pop_back();
    }
    while (!name.empty() && name.front() == '_') {
        name.erase(0, 1);
    }
    if (!name.empty() && name.front() == '.') {
        name.front() = '_';
    }
    if (name.size() > kMaxHostNameChars) {
        name.resize(kMaxHostNameChars);
    }
    return name.empty() ? "_" : name;
}

}  // namespace sv::cli
