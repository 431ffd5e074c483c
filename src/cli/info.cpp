// info IMAGE: the disk's health at a glance; --json prints one JSON object, a stable interface
// described in the README.
#include <cstdio>
#include <nlohmann/json.hpp>

#include "analysis/host_export.h"
#include "cli/analysis_output.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "survey/disk_survey.h"

namespace sv::cli {

namespace {

std::string plural(int count, const char* one, const char* many) {
    return std::to_string(count) + (count == 1 ? one : many);
}

// The label's first line: the system's name, or "Not a Model II Disk".
std::string systemName(const DiskAnalysis& analysis) {
    return analysis.diskInfo.substr(0, analysis.diskInfo.find("\r\n"));
}

std::string countsText(const HealthCounts& c) {
    std::string text = "Sectors: " + std::to_string(c.sectors()) + ": " + std::to_string(c.good) +
                       " good, " + std::to_string(c.dataCrcError) + " data CRC error, " +
                       std::to_string(c.badId) + " bad ID, " + std::to_string(c.deleted) +
                       " deleted";
    // Fill bytes under a clean status happen only where an image says so; named when present.
    if (c.noData > 0) {
        text += ", " + std::to_string(c.noData) + " no data";
    }
    return text;
}

std::string infoText(const DiskSurvey& survey, const DiskAnalysis& analysis) {
    std::string text = "Geometry: " + plural(survey.trackCount, " cylinder", " cylinders") + ", " +
                       plural(survey.sideCount, " side", " sides") + ", track length " +
                       std::to_string(survey.trackLength);
    if (survey.cylinders != survey.trackCount || survey.sides != survey.sideCount) {
        text += " (sectors held on " + plural(survey.cylinders, " cylinder", " cylinders") + ", " +
                plural(survey.sides, " side", " sides") + ")";
    }
    text += "\n";
    for (const LayoutRun& run : survey.layout) {
        text += "  " + layoutRunText(run) + "\n";
    }
    text += countsText(survey.counts) + "\n";
    text += "Missing records: " + std::to_string(survey.counts.missing) + "\n";
    for (const TrackSurvey& track : survey.tracks) {
        if (track.missingRecords.empty()) {
            continue;
        }
        std::string line =
            "  T" + zeroPadded(track.cylinder, 3) + " H" + std::to_string(track.side) + ":";
        for (const int record : track.missingRecords) {
            line += " " + std::to_string(record);
        }
        text += line + "\n";
    }
    text += "System: " + systemName(analysis);
    if (analysis.recognition.recognised()) {
        text += ", " + plural(static_cast<int>(analysis.entries.size()), " file", " files");
    }
    for (const std::size_t i : analysis.listOrder) {
        const AnalysedEntry& e = analysis.entries[i];
        if (e.sectors.isDamaged()) {
            text += "\nDamaged: " + e.name + ": " + damageSummary(e.sectors);
        }
    }
    return text;
}

nlohmann::ordered_json infoJson(const DiskSurvey& survey, const DiskAnalysis& analysis) {
    nlohmann::ordered_json out;
    out["geometry"] = {{"trackCount", survey.trackCount},
                       {"sideCount", survey.sideCount},
                       {"trackLength", survey.trackLength},
                       {"cylinders", survey.cylinders},
                       {"sides", survey.sides}};
    nlohmann::ordered_json layout = nlohmann::ordered_json::array();
    for (const LayoutRun& run : survey.layout) {
        layout.push_back({{"firstCylinder", run.firstCylinder},
                          {"lastCylinder", run.lastCylinder},
                          {"firstSide", run.firstSide},
                          {"lastSide", run.lastSide},
                          {"layout", run.layout}});
    }
    out["layout"] = std::move(layout);
    const HealthCounts& c = survey.counts;
    out["counts"] = {
        {"sectors", c.sectors()}, {"good", c.good},       {"dataCrcError", c.dataCrcError},
        {"badId", c.badId},       {"deleted", c.deleted}, {"noData", c.noData},
        {"missing", c.missing}};
    nlohmann::ordered_json missing = nlohmann::ordered_json::array();
    for (const TrackSurvey& track : survey.tracks) {
        if (!track.missingRecords.empty()) {
            missing.push_back({{"cylinder", track.cylinder},
                               {"side", track.side},
                               {"records", track.missingRecords}});
        }
    }
    out["missing"] = std::move(missing);
    nlohmann::ordered_json system;
    const Recognition& r = analysis.recognition;
    system["osCode"] = r.recognised()
                           ? nlohmann::ordered_json(std::string(1, static_cast<char>(r.osCode)))
                           : nlohmann::ordered_json(nullptr);
    system["name"] = latin1ToUtf8(systemName(analysis));
    system["files"] = analysis.entries.size();
    out["system"] = std::move(system);
    nlohmann::ordered_json damaged = nlohmann::ordered_json::array();
    for (const std::size_t i : analysis.listOrder) {
        const AnalysedEntry& e = analysis.entries[i];
        if (e.sectors.isDamaged()) {
            damaged.push_back(
                {{"name", latin1ToUtf8(e.name)}, {"summary", damageSummary(e.sectors)}});
        }
    }
    out["damagedFiles"] = std::move(damaged);
    return out;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand(
        "info", "Geometry, track layout, sectors by state, missing records and the system");
    const auto args = addImageArguments(*cmd, true);
    cmd->callback([args, &exitCode] {
        auto disk = makeDiskImage();
        const std::optional<AnalysedImage> analysed =
            analyseImage(args->image, *disk, args->load, args->json);
        if (!analysed) {
            exitCode = kExitFailed;
            return;
        }
        const DiskSurvey survey = surveyDisk(*disk);
        if (args->json) {
            std::puts(infoJson(survey, analysed->analysis).dump(-1, ' ', false).c_str());
        } else {
            std::puts(terminalText(infoText(survey, analysed->analysis)).c_str());
        }
        exitCode = kExitOk;
    });
}

}  // namespace sv::cli
