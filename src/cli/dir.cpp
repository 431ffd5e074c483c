// dir IMAGE: the analysis of a Model II disk, as text or (--json) as one JSON object, a stable
// interface described in the README.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "analysis/host_export.h"
#include "cli/analysis_output.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "core/text.h"

namespace sv::cli {

namespace {

nlohmann::ordered_json addressJson(const SectorAddress& at) {
    return nlohmann::ordered_json::array({at.cylinder, at.head, at.record});
}

void addFileFields(nlohmann::ordered_json& entry, const AnalysedEntry& e) {
    entry["name"] = latin1ToUtf8(e.name);
    entry["size"] = e.size;
    if (!e.date.empty()) {
        entry["date"] = e.date;
    }
    entry["text"] = e.text;
    nlohmann::ordered_json sectors = nlohmann::ordered_json::array();
    for (const SectorAddress& at : e.sectors.sectors) {
        sectors.push_back(addressJson(at));
    }
    entry["sectors"] = std::move(sectors);
    nlohmann::ordered_json damaged = nlohmann::ordered_json::array();
    for (const DamagedSector& d : e.sectors.damaged) {
        damaged.push_back({{"cylinder", d.at.cylinder},
                           {"head", d.at.head},
                           {"record", d.at.record},
                           {"problem", sectorProblemName(d.problem)}});
    }
    entry["damaged"] = std::move(damaged);
    if (!e.note.empty()) {
        entry["note"] = latin1ToUtf8(e.note);
    }
    if (e.isDirectory) {
        entry["directory"] = true;
    }
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
        addFileFields(entry, e);
        entries.push_back(std::move(entry));
    }
    out["entries"] = std::move(entries);
    out["log"] = latin1ToUtf8(image.addedLog);
    return out;
}

}  // namespace

void addDirCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("dir", "Recognise a Model II disk's system and list its files");
    const auto args = addImageArguments(*cmd, true);
    cmd->callback([args, &exitCode] {
        auto disk = makeDiskImage();
        const std::optional<AnalysedImage> analysed =
            analyseImage(args->image, *disk, args->load, args->json);
        if (!analysed) {
            exitCode = kExitFailed;
            return;
        }
        if (args->json) {
            std::puts(analysisJson(*analysed).dump(-1, ' ', false).c_str());
        } else {
            std::string text = analysed->analysis.diskInfo;
            for (const std::size_t i : analysed->analysis.listOrder) {
                const AnalysedEntry& e = analysed->analysis.entries[i];
                text += "\r\n" + e.listingLine;
                if (e.sectors.isDamaged()) {
                    text += "\r\n  ! " + damageSummary(e.sectors);
                }
            }
            text += analysed->addedLog;
            std::puts(terminalText(text).c_str());
        }
        exitCode = kExitOk;
    });
}

}  // namespace sv::cli
