#include "formats/image_types.h"

#include <array>
#include <cctype>

#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/hfe.h"
#include "formats/imd.h"
#include "formats/scp.h"
#include "formats/td0.h"

namespace sv {

namespace {

struct LoaderRow {
    std::string_view extension;
    ImageLoader load;
};
struct SaverRow {
    std::string_view extension;
    ImageSaver save;
};

// Tested in this order.
constexpr std::array kLoaders{
    LoaderRow{"TD0", loadTd0Image},
    LoaderRow{"IMD", loadImdImage},
    LoaderRow{"DSK", loadDskImage},
    LoaderRow{"DMK", loadDmkImage},
    LoaderRow{"HFE", loadHfeImage},
    LoaderRow{"SCP", loadScpImage},
};
constexpr std::array kSavers{
    SaverRow{"DSK", saveDskImage},
    SaverRow{"DMK", saveDmkImage},
    SaverRow{"HFE", saveHfeImage},
};

template <typename Rows>
std::string joinExtensions(const Rows& rows) {
    std::string text;
    for (const auto& row : rows) {
        text += text.empty() ? "" : ", ";
        text += row.extension;
    }
    return text;
}

FileFilter filterFor(std::string_view key) {
    if (key == "All") {
        return {"All", "All Files (*.*)", "*.*"};
    }
    const std::string k(key);
    return {k, k + " Files (*." + k + ")", "*." + k};
}

struct FilterOrder {
    std::string_view extension;
    std::array<std::string_view, 7> keys;
};

constexpr std::array kLoadFilterOrders{
    FilterOrder{"DMK", {"DMK", "IMD", "TD0", "DSK", "HFE", "SCP", "All"}},
    FilterOrder{"IMD", {"IMD", "DMK", "TD0", "DSK", "HFE", "SCP", "All"}},
    FilterOrder{"TD0", {"TD0", "DMK", "IMD", "DSK", "HFE", "SCP", "All"}},
    FilterOrder{"DSK", {"DSK", "DMK", "IMD", "TD0", "HFE", "SCP", "All"}},
    FilterOrder{"HFE", {"HFE", "DMK", "IMD", "TD0", "DSK", "SCP", "All"}},
    FilterOrder{"SCP", {"SCP", "DMK", "IMD", "TD0", "DSK", "HFE", "All"}},
};
constexpr std::array<std::string_view, 7> kOtherLoadFilterOrder{"All", "DMK", "IMD", "TD0", "DSK", "HFE", "SCP"};

}  // namespace

std::string imageExtension(std::string_view path) {
    std::string ext(path.size() >= 3 ? path.substr(path.size() - 3) : path);
    for (char& c : ext) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return ext;
}

ImageLoader findImageLoader(std::string_view path) {
    const std::string ext = imageExtension(path);
    for (const auto& row : kLoaders) {
        if (row.extension == ext) {
            return row.load;
        }
    }
    return nullptr;
}

ImageSaver findImageSaver(std::string_view path) {
    const std::string ext = imageExtension(path);
    for (const auto& row : kSavers) {
        if (row.extension == ext) {
            return row.save;
        }
    }
    return nullptr;
}

std::string loadableTypes() { return joinExtensions(kLoaders); }
std::string savableTypes() { return joinExtensions(kSavers); }

FilterChoice loadFilterChoice(std::string_view loadPathBox) {
    const std::string ext = imageExtension(loadPathBox);
    FilterChoice choice{{}, "*"};
    const std::array<std::string_view, 7>* keys = &kOtherLoadFilterOrder;
    for (const auto& order : kLoadFilterOrders) {
        if (order.extension == ext) {
            keys = &order.keys;
            choice.defaultExtension = ext;
        }
    }
    for (const std::string_view key : *keys) {
        choice.filters.push_back(filterFor(key));
    }
    return choice;
}

FilterChoice saveFilterChoice() {
    return {{filterFor("DMK"), filterFor("DSK"), filterFor("HFE"), filterFor("All")}, "DMK"};
}

std::string folderOfPath(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

bool isChosenPath(std::string_view path) { return path.size() >= 2; }

std::string proposedSaveName(std::string_view loadedPath) {
    const auto stemOf = [&](std::size_t cut) {
        return std::string(loadedPath.substr(0, loadedPath.size() - std::min(cut, loadedPath.size())));
    };
    if (imageExtension(loadedPath) == "DMK") {
        return stemOf(4) + " - Copy.DMK";
    }
    return stemOf(3) + "DMK";
}

bool loadImageByType(const std::string& path, DiskImage& disk, OperationLog& log) {
    const ImageLoader load = findImageLoader(path);
    if (load == nullptr) {
        disk.trackCount = 0;
        LogText(log, path + " is not a known image type; the types that load are " +
                         loadableTypes() + ".");
        return false;
    }
    load(path, disk, log);
    return !isEmpty(disk);
}

SaveOutcome saveImageByType(const std::string& path, const DiskImage& disk, OperationLog& log) {
    if (disk.trackCount < 2) {
        return SaveOutcome::TooFewTracks;
    }
    const ImageSaver save = findImageSaver(path);
    if (save == nullptr) {
        LogText(log, path + " was not saved: it is not a type that can be saved; the types that "
                            "save are " + savableTypes() + ".");
        return SaveOutcome::UnknownType;
    }
    return save(path, disk, log) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

}  // namespace sv
