#include "app/file_choice.h"

#include <algorithm>
#include <array>

#include "formats/image_types.h"

namespace sv {

namespace {

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
    return {{filterFor("DMK"), filterFor("DSK"), filterFor("IMD"), filterFor("HFE"), filterFor("All")}, "DMK"};
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

}  // namespace sv
