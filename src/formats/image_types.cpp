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

}  // namespace sv
