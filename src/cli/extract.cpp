// extract IMAGE DIR [NAME ...]: the listed files (or those named) into DIR, under host-safe
// names, at their exact length (--raw: the gathered bytes; --text: text files in the host's
// form), plus NAME.txt with the BASIC listing where there is one.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/host_export.h"
#include "cli/analysis_output.h"
#include "cli/commands.h"
#include "cli/load.h"
#include "core/file_io.h"

namespace sv::cli {

namespace {

namespace fs = std::filesystem;

struct ExtractOptions {
    std::string image;
    std::string dir;
    LoadFlags load;
    std::vector<std::string> names;
    bool raw = false;
    bool text = false;
};

// The entries to write, in list order; false after naming every NAME that picks nothing.
bool chooseEntries(const DiskAnalysis& analysis, const std::vector<std::string>& names,
                   std::vector<const AnalysedEntry*>& chosen) {
    bool allFound = true;
    for (const std::string& name : names) {
        bool found = false;
        for (const AnalysedEntry& e : analysis.entries) {
            found = found || namePicks(name, e);
        }
        if (!found) {
            std::fprintf(stderr, "No file on the disk matches %s.\n", name.c_str());
            allFound = false;
        }
    }
    for (const std::size_t i : analysis.listOrder) {
        const AnalysedEntry& e = analysis.entries[i];
        bool picked = names.empty();
        for (const std::string& name : names) {
            picked = picked || namePicks(name, e);
        }
        if (picked) {
            chosen.push_back(&e);
        }
    }
    return allFound;
}

int extract(const ExtractOptions& options) {
    auto disk = makeDiskImage();
    const std::optional<AnalysedImage> analysed = analyseImage(options.image, *disk, options.load, false);
    if (!analysed) {
        return kExitFailed;
    }
    const DiskAnalysis& analysis = analysed->analysis;
    std::vector<const AnalysedEntry*> chosen;
    if (!chooseEntries(analysis, options.names, chosen)) {
        return kExitUsage;
    }
    std::error_code ec;
    fs::create_directories(options.dir, ec);
    std::error_code checked;
    if (!fs::is_directory(options.dir, checked)) {
        std::fprintf(stderr, "%s cannot be created as a folder.\n%s\n", options.dir.c_str(),
                     causeLine(ec ? ec.message() : "a file of that name is in the way").c_str());
        return kExitFailed;
    }
    std::puts(terminalText(analysis.diskInfo).c_str());

    HostNames names;
    bool allWritten = true;
    std::vector<const AnalysedEntry*> damaged;
    const auto write = [&](const std::string& relative, std::span<const std::uint8_t> bytes,
                           const std::string& what) {
        const fs::path path = fs::path(options.dir) / fs::path(relative);
        std::error_code made;
        fs::create_directories(path.parent_path(), made);
        const WriteResult written = writeFileAtomically(path.string(), bytes);
        if (written.ok()) {
            std::printf("Wrote %s (%zu bytes) %s\n", path.string().c_str(), bytes.size(),
                        what.c_str());
        } else {
            std::fflush(stdout);
            std::fprintf(stderr, "%s could not be written.\n%s\n", path.string().c_str(),
                         causeLine(written.cause).c_str());
            allWritten = false;
        }
    };
    for (const AnalysedEntry* e : chosen) {
        const std::string from = "from " + terminalText(e->fileName);
        const std::string relative = names.take(e->name, e->isDirectory);
        if (e->isDirectory) {
            const fs::path path = fs::path(options.dir) / fs::path(relative);
            std::error_code made;
            fs::create_directories(path, made);
            std::error_code checked;
            if (fs::is_directory(path, checked)) {
                std::printf("Made folder %s %s\n", path.string().c_str(), from.c_str());
            } else {
                std::fflush(stdout);
                std::fprintf(stderr, "%s could not be made as a folder.\n%s\n",
                             path.string().c_str(),
                             causeLine(made ? made.message() : "a file of that name is in the way")
                                 .c_str());
                allWritten = false;
            }
            continue;
        }
        if (options.raw) {
            write(relative, e->fileContent, from + " (gathered bytes)");
        } else if (options.text && e->text) {
            const std::vector<std::uint8_t> text = hostText(*e, analysis.recognition.osCode);
            write(relative, text, from + " as text");
        } else {
            write(relative, e->exactContent(), from);
        }
        if (!e->note.empty()) {
            std::printf("  Note: %s\n", terminalText(e->note).c_str());
        }
        if (e->basicListing && !options.text) {
            const auto* listing = reinterpret_cast<const std::uint8_t*>(e->basicListing->data());
            write(names.takeBeside(relative, ".txt"), {listing, e->basicListing->size()},
                  "BASIC listing");
        }
        if (e->sectors.isDamaged()) {
            damaged.push_back(e);
        }
    }
    if (!damaged.empty()) {
        std::printf("%zu %s written %s damaged:\n", damaged.size(),
                    damaged.size() == 1 ? "file" : "files", damaged.size() == 1 ? "is" : "are");
        for (const AnalysedEntry* e : damaged) {
            std::printf("  %s: %s\n", terminalText(e->fileName).c_str(),
                        damageSummary(e->sectors).c_str());
        }
    }
    if (!allWritten) {
        return kExitFailed;
    }
    return damaged.empty() ? kExitOk : kExitDamaged;
}

}  // namespace

void addExtractCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand(
        "extract", "Write the files of a Model II disk (every listed file, or those named) to DIR");
    auto options = std::make_shared<ExtractOptions>();
    cmd->add_option("IMAGE", options->image, "Image file (DMK, IMD, TD0, DSK, HFE, SCP or IMG)")->required();
    addLoadOptions(*cmd, options->load);
    cmd->add_option("DIR", options->dir, "Folder to write into (created when missing)")
        ->required();
    cmd->add_option("NAME", options->names,
                    "Files to write: names as the listing shows them, wildcards, any case");
    auto* raw = cmd->add_flag("--raw", options->raw,
                              "Write the gathered bytes (whole sectors, blocks or records)");
    cmd->add_flag("--text", options->text, "Write text files in the host's form")->excludes(raw);
    cmd->callback([options, &exitCode] { exitCode = extract(*options); });
}

}  // namespace sv::cli
