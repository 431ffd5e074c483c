#include "cli/analysis_output.h"

#include "cli/cli_log.h"
#include "cli/load.h"
#include "app/image_commands.h"

namespace sv::cli {

namespace {
constexpr std::size_t kMaxHostNameChars = 64;
}  // namespace

std::optional<AnalysedImage> analyseImage(const std::string& path, DiskImage& disk,
                                          const std::string& geometry) {
    CliLog log;
    if (!loadImageAs(path, geometry, disk, log)) {
        log.print();
        return std::nullopt;
    }
    const std::string before = log.currentText();
    AnalysedImage result{.analysis = analyseDisk(disk, log), .addedLog = {}};
    const std::string after = log.currentText();
    result.addedLog = after.starts_with(before) ? after.substr(before.size()) : after;
    return result;
}

std::string latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string terminalText(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        const bool control = (b < 0x20 && b != '\n') || b == 0x7F || (b >= 0x80 && b < 0xA0);
        plain += control ? '.' : text[i];
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
