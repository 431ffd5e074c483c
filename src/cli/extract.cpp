// extract IMAGE DIR: every listed file's bytes into DIR, under a host-safe name, plus NAME.txt
// with the BASIC listing where there is one.
#include <cstdio>
#include <filesystem>
#include <set>

#include "cli/analysis_output.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "core/file_io.h"

namespace sv::cli {

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return text;
}

// Names are compared without case, since the host may not tell them apart.
class NameChooser {
public:
    std::string take(const std::string& wanted) {
        std::string name = wanted;
        for (int n = 2; taken_.contains(lowerAscii(name)) ||
                        taken_.contains(lowerAscii(name + ".txt"));
             ++n) {
            const auto dot = wanted.find('.', 1);
            const std::string suffix = "~" + std::to_string(n);
            name = dot == std::string::npos ? wanted + suffix
                                            : wanted.substr(0, dot) + suffix + wanted.substr(dot);
        }
        taken_.insert(lowerAscii(name));
        return name;
    }
    void reserve(const std::string& name) { taken_.insert(lowerAscii(name)); }

private:
    std::set<std::string> taken_;
};

}  // namespace

void addExtractCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("extract", "Write every listed file of a Model II disk to DIR");
    auto image = std::make_shared<std::string>();
    auto dir = std::make_shared<std::string>();
    auto geometry = std::make_shared<std::string>();
    cmd->add_option("IMAGE", *image, "Image file (DMK, IMD, TD0, DSK, HFE, SCP or IMG)")->required();
    addGeometryOption(*cmd, *geometry);
    cmd->add_option("DIR", *dir, "Folder to write into (created when missing)")->required();
    cmd->callback([image, dir, geometry, &exitCode] {
        auto disk = makeDiskImage();
        const std::optional<AnalysedImage> analysed = analyseImage(*image, *disk, *geometry);
        if (!analysed) {
            exitCode = kExitFailed;
            return;
        }
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::create_directories(*dir, ec);
        if (!fs::is_directory(*dir, ec)) {
            std::printf("%s cannot be created as a folder.\n", dir->c_str());
            exitCode = kExitFailed;
            return;
        }
        std::puts(terminalText(analysed->analysis.diskInfo).c_str());
        NameChooser names;
        bool allWritten = true;
        const auto write = [&](const std::string& name, std::span<const std::uint8_t> bytes,
                               const std::string& what) {
            const std::string path = (fs::path(*dir) / name).string();
            if (writeFileAtomically(path, bytes)) {
                std::printf("Wrote %s (%zu bytes) %s\n", path.c_str(), bytes.size(), what.c_str());
            } else {
                std::printf("%s could not be written.\n", path.c_str());
                allWritten = false;
            }
        };
        for (const std::size_t i : analysed->analysis.listOrder) {
            const AnalysedEntry& e = analysed->analysis.entries[i];
            const std::string name = names.take(hostSafeName(e.fileName));
            write(name, e.fileContent, "from " + terminalText(e.fileName));
            if (e.basicListing) {
                const std::string listing = names.take(name + ".txt");
                const auto* text = reinterpret_cast<const std::uint8_t*>(e.basicListing->data());
                write(listing, {text, e.basicListing->size()}, "BASIC listing");
            }
        }
        exitCode = allWritten ? kExitOk : kExitFailed;
    });
}

}  // namespace sv::cli
