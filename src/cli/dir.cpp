// dir IMAGE: the analysis of a Model II disk, as text or (--json) as one JSON object, a stable
// interface described in the README.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/analysis_output.h"
#include "cli/commands.h"
#include "cli/load.h"

namespace sv::cli {

namespace {

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

nlohmann::ordered_json analysisJson(const AnalysedImage& image) {
    const DiskAnalysis& a = image.analysis;
    const Recognition& r = a.recognition;
    nlohmann::ordered_json out;
    out["diskInfo"] = latin1ToUtf8(a.diskInfo);
    if (r.recognised()) {
        out["osCode"] = std::string(1, static_cast<char>(r.osCode));
    } else {
        out["osCode"] = nullptr;
    }
    out["dirTrack"] = r.modelII ? r.dirTrack : 0;
    out["firstDirSector"] = r.modelII ? r.firstDirSector : 0;
    out["osVersion"] = r.modelII ? r.osVersion : 0;
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const std::size_t i : a.listOrder) {
        const AnalysedEntry& e = a.entries[i];
        nlohmann::ordered_json entry{{"row", e.row},
                                     {"line", latin1ToUtf8(e.listingLine)},
                                     {"content", hexBytes(e.fileContent)}};
        if (e.basicListing) {
            entry["basic"] = latin1ToUtf8(*e.basicListing);
        }
        entries.push_back(std::move(entry));
    }
    out["entries"] = std::move(entries);
    out["log"] = latin1ToUtf8(image.addedLog);
    return out;
}

}  // namespace

void addDirCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("dir", "Recognise a Model II disk's system and list its files");
    auto image = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    auto geometry = std::make_shared<std::string>();
    cmd->add_option("IMAGE", *image, "Image file (DMK, IMD, TD0, DSK, HFE, SCP or IMG)")->required();
    addGeometryOption(*cmd, *geometry);
    cmd->add_flag("--json", *json, "Print one JSON object (a stable interface)");
    cmd->callback([image, json, geometry, &exitCode] {
        auto disk = makeDiskImage();
        const std::optional<AnalysedImage> analysed = analyseImage(*image, *disk, *geometry);
        if (!analysed) {
            exitCode = kExitFailed;
            return;
        }
        if (*json) {
            std::puts(analysisJson(*analysed).dump(-1, ' ', false).c_str());
        } else {
            std::string text = analysed->analysis.diskInfo;
            for (const std::size_t i : analysed->analysis.listOrder) {
                text += "\r\n" + analysed->analysis.entries[i].listingLine;
            }
            text += analysed->addedLog;
            std::puts(terminalText(text).c_str());
        }
        exitCode = kExitOk;
    });
}

}  // namespace sv::cli
