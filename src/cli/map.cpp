// map IMAGE: one row per track side, one character per sector in the order found; --json prints
// one JSON object, a stable interface described in the README.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "cli/cli_log.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "survey/disk_survey.h"

namespace sv::cli {

namespace {

constexpr std::array kHealths{SectorHealth::Good, SectorHealth::DataCrcError, SectorHealth::BadId,
                              SectorHealth::Deleted, SectorHealth::NoData};

const char* colourOf(char symbol) {
    switch (symbol) {
        case '.':
            return "\x1b[32m";
        case 'C':
            return "\x1b[1;31m";
        case 'B':
            return "\x1b[1;35m";
        case 'D':
            return "\x1b[36m";
        case 'N':
            return "\x1b[1;33m";
        default:
            return "\x1b[2m";
    }
}

std::string painted(const std::string& symbols, bool colour) {
    if (!colour) {
        return symbols;
    }
    std::string out;
    for (const char symbol : symbols) {
        out += colourOf(symbol);
        out += symbol;
    }
    return out + "\x1b[0m";
}

std::string mapText(const DiskSurvey& survey, bool colour) {
    std::string text;
    for (const TrackSurvey& track : survey.tracks) {
        text += "T" + zeroPadded(track.cylinder, 3) + " H" + std::to_string(track.side) + " " +
                painted(trackSymbols(track), colour) + "\n";
    }
    text += "Legend:";
    for (const SectorHealth health : kHealths) {
        const std::string symbol(1, healthSymbol(health));
        text += " " + painted(symbol, colour) + " " + std::string(sectorHealthLabel(health)) + ",";
    }
    text += " " + painted(std::string(1, kMissingSymbol), colour) +
            " a record missing from the sequence";
    return text;
}

nlohmann::ordered_json mapJson(const DiskSurvey& survey) {
    nlohmann::ordered_json legend;
    for (const SectorHealth health : kHealths) {
        legend[std::string(1, healthSymbol(health))] = sectorHealthName(health);
    }
    legend[std::string(1, kMissingSymbol)] = "missing";
    nlohmann::ordered_json tracks = nlohmann::ordered_json::array();
    for (const TrackSurvey& track : survey.tracks) {
        nlohmann::ordered_json sectors = nlohmann::ordered_json::array();
        for (const SurveyedSector& s : track.sectors) {
            sectors.push_back({{"cylinder", s.cylinder},
                               {"head", s.head},
                               {"record", s.record},
                               {"sizeCode", s.sizeCode},
                               {"singleDensity", s.singleDensity ? 1 : 0},
                               {"status", s.status},
                               {"state", sectorHealthName(s.health)},
                               {"dataState", dataStateName(s.state)}});
        }
        tracks.push_back({{"cylinder", track.cylinder},
                          {"side", track.side},
                          {"row", trackSymbols(track)},
                          {"sectors", std::move(sectors)},
                          {"missing", track.missingRecords}});
    }
    return {{"legend", std::move(legend)}, {"tracks", std::move(tracks)}};
}

}  // namespace

void addMapCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand(
        "map", "One row per track side, one character per sector: where the damage lies");
    const auto args = addImageArguments(*cmd, true);
    cmd->callback([args, &exitCode] {
        auto disk = makeDiskImage();
        CliLog log;
        if (!loadImageAs(args->image, args->load, *disk, log)) {
            reportFailure(notLoaded(args->image), log.currentText(), args->json);
            exitCode = kExitFailed;
            return;
        }
        const DiskSurvey survey = surveyDisk(*disk);
        if (args->json) {
            std::puts(mapJson(survey).dump(-1, ' ', false).c_str());
        } else {
            const bool colour = ::isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
            std::puts(mapText(survey, colour).c_str());
        }
        exitCode = kExitOk;
    });
}

}  // namespace sv::cli
