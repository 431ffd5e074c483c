#include "formats/image_types.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/byte_reader.h"
#include "core/file_io.h"
#include "formats/dmk.h"
#include "formats/dsk.h"
#include "formats/hfe.h"
#include "formats/imd.h"
#include "formats/raw.h"
#include "formats/scp.h"
#include "formats/td0.h"
#include "formats/td0_advanced.h"

namespace sv {

namespace {

using ContentCheck = bool (*)(std::span<const std::uint8_t> file);

bool startsWith(std::span<const std::uint8_t> file, std::string_view text) {
    return file.size() >= text.size() && std::equal(text.begin(), text.end(), file.begin());
}

bool imdSignature(std::span<const std::uint8_t> file) { return startsWith(file, "IMD"); }
// "IMDU" is what one real writer puts where the version belongs.
bool imdClearly(std::span<const std::uint8_t> file) {
    return (startsWith(file, "IMD ") || startsWith(file, "IMDU")) &&
           std::find(file.begin(), file.end(), std::uint8_t{0x1A}) != file.end();
}

bool td0Signature(std::span<const std::uint8_t> file) {
    return startsWith(file, "TD") || startsWith(file, "td");
}

constexpr std::uint8_t kDmkKnownFlags = kDmkSingleSided | kDmkSingleDensity | kDmkIgnoreDensity;
constexpr std::uint32_t kDmkRealDiskMark = 0x12345678;
constexpr std::uint16_t kDmkLargestTrackLength = 0x4000;

// What the DMK reader needs to read anything: a header naming tracks that hold a pointer table.
bool dmkReadable(std::span<const std::uint8_t> file) {
    const ByteReader in(file);
    return in.has(0, kDmkHeaderBytes) && (in.u8(0) == 0x00 || in.u8(0) == 0xFF) && in.u8(1) > 0 &&
           in.le16(2) > kDmkPointerTableBytes;
}
// A header no other kind of file has by chance: known flags, reserved bytes zero, a whole first
// track, and a first pointer inside it.
bool dmkClearly(std::span<const std::uint8_t> file) {
    if (!dmkReadable(file)) {
        return false;
    }
    const ByteReader in(file);
    const std::size_t trackLength = in.le16(2);
    const std::uint32_t realDisk = in.le32(12);
    const std::size_t firstPointer = in.le16(kDmkHeaderBytes) & 0x3FFF;
    return trackLength <= kDmkLargestTrackLength && (in.u8(4) & ~kDmkKnownFlags) == 0 &&
           std::all_of(file.begin() + 5, file.begin() + 12, [](std::uint8_t b) { return b == 0; }) &&
           (realDisk == 0 || realDisk == kDmkRealDiskMark) &&
           file.size() >= kDmkHeaderBytes + trackLength &&
           (firstPointer == 0 || (firstPointer >= kDmkPointerTableBytes && firstPointer < trackLength));
}

constexpr std::size_t kDskEntries = 2901;
constexpr std::size_t kDskTableBytes = kDskEntries * 3 + 1;
constexpr std::uint8_t kDskUnusedFlagBit = 0x04;

// A first sector table whose used entries name cylinders of a disk, whose flags use only the
// bits the format defines, and whose data fits in the file.
bool dskPlausible(std::span<const std::uint8_t> file) {
    if (file.size() < kDskTableBytes) {
        return false;
    }
    const std::uint8_t writeProtect = file[kDskTableBytes - 1];
    if (writeProtect != 0x00 && writeProtect != 0xFF) {
        return false;
    }
    std::size_t data = 0;
    std::size_t used = 0;
    for (std::size_t e = 0; e < kDskEntries; ++e) {
        const std::uint8_t cylinder = file[3 * e];
        const std::uint8_t flags = file[3 * e + 2];
        if (cylinder == 0xFF) {
            continue;
        }
        if (cylinder >= kMaxCylinders || (flags & kDskUnusedFlagBit) != 0) {
            return false;
        }
        ++used;
        data += std::size_t{128} << (flags & 3);
    }
    return used > 0 && data <= file.size() - kDskTableBytes;
}

bool hfeSignature(std::span<const std::uint8_t> file) {
    return startsWith(file, "HXCPICFE") || startsWith(file, "HXCHFEV3");
}

bool scpSignature(std::span<const std::uint8_t> file) { return startsWith(file, "SCP"); }

bool rawSize(std::span<const std::uint8_t> file) { return rawLayoutForSize(file.size()) != nullptr; }

enum class Claim {
    Signature,  // a signature or header no other kind of file has
    Size,       // only the file's size: weaker than any signature
    None,       // never taken for a file named as another type
};

struct LoaderRow {
    std::string_view extension;
    std::string_view name;    // the type as the log names it
    ImageLoader load;
    ContentCheck looksRight;  // for a file with this extension: whether its reader should read it
    ContentCheck clearly;     // for a file with another extension: whether it plainly is this type
    Claim claim;
    std::string_view why;     // what `clearly` found, for the log
};
struct SaverRow {
    std::string_view extension;
    ImageSaver save;
};

// Tested in this order.
constexpr std::array kLoaders{
    LoaderRow{"TD0", "TD0", loadTd0Image, td0Signature, hasTd0Header, Claim::Signature,
              "it starts with a Teledisk header whose CRC is right"},
    LoaderRow{"IMD", "IMD", loadImdImage, imdSignature, imdClearly, Claim::Signature,
              "it starts with the IMD signature"},
    LoaderRow{"DSK", "DSK", loadDskImage, dskPlausible, nullptr, Claim::None, ""},
    LoaderRow{"DMK", "DMK", loadDmkImage, dmkReadable, dmkClearly, Claim::Signature,
              "its header passes the DMK checks"},
    LoaderRow{"HFE", "HFE", loadHfeImage, hfeSignature, hfeSignature, Claim::Signature,
              "it starts with an HFE signature"},
    LoaderRow{"SCP", "SCP", loadScpImage, scpSignature, scpSignature, Claim::Signature,
              "it starts with the SCP signature"},
    LoaderRow{"IMG", "raw", loadRawImage, rawSize, rawSize, Claim::Size, "its size is that of a raw layout"},
};
// Other names the same types go by.
struct AliasRow {
    std::string_view extension;
    std::string_view type;
};
constexpr std::array kAliases{
    AliasRow{"TDO", "TD0"},
    AliasRow{"IMA", "IMG"},
};
constexpr std::array kSavers{
    SaverRow{"DSK", saveDskImage},
    SaverRow{"DMK", saveDmkImage},
    SaverRow{"HFE", saveHfeImage},
    SaverRow{"IMD", saveImdImage},
    SaverRow{"IMG", saveRawImage},
};

const LoaderRow* loaderRowFor(std::string_view ext) {
    for (const auto& alias : kAliases) {
        if (alias.extension == ext) {
            ext = alias.type;
        }
    }
    for (const auto& row : kLoaders) {
        if (row.extension == ext) {
            return &row;
        }
    }
    return nullptr;
}

// The one other type the content plainly belongs to: a single signature, else a raw size.
const LoaderRow* otherClaimant(std::span<const std::uint8_t> file, const LoaderRow* named) {
    for (const Claim strength : {Claim::Signature, Claim::Size}) {
        const LoaderRow* found = nullptr;
        int count = 0;
        for (const auto& row : kLoaders) {
            if (&row != named && row.claim == strength && row.clearly(file)) {
                found = &row;
                ++count;
            }
        }
        if (count > 0) {
            return count == 1 ? found : nullptr;
        }
    }
    return nullptr;
}

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
    const LoaderRow* row = loaderRowFor(imageExtension(path));
    return row != nullptr ? row->load : nullptr;
}

ReaderChoice chooseImageLoader(const std::string& path) {
    const std::string ext = imageExtension(path);
    const LoaderRow* named = loaderRowFor(ext);
    ReaderChoice choice{named != nullptr ? named->load : nullptr, {}};
    if (named != nullptr && named->extension != ext) {
        choice.note = path + ": the extension " + ext + " is read as " +
                      std::string(named->name) + ".";
    }
    const FileBytes file = readWholeFile(path);
    if (!file.ok() || (named != nullptr && named->looksRight(file.bytes))) {
        return choice;
    }
    const LoaderRow* other = otherClaimant(file.bytes, named);
    if (other == nullptr) {
        return choice;
    }
    const std::string type(other->name);
    choice.load = other->load;
    choice.note = path + (named != nullptr ? " is named as " + std::string(named->name) +
                                                 ", but its content is " + type
                                           : " has no known extension; its content is " + type) +
                  " (" + std::string(other->why) + "), so it is read as " + type + ".";
    return choice;
}

ReaderChoice fallbackImageLoader(const std::string& path) {
    const LoaderRow* named = loaderRowFor(imageExtension(path));
    const FileBytes file = readWholeFile(path);
    if (named == nullptr || !file.ok()) {
        return {};
    }
    const LoaderRow* other = otherClaimant(file.bytes, named);
    if (other == nullptr) {
        return {};
    }
    const std::string type(other->name);
    return {other->load, "The " + std::string(named->name) + " reader refused " + path +
                             "; its content is " + type + " (" + std::string(other->why) +
                             "), so it is read as " + type + "."};
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
