#include "core/file_io.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv {

namespace fs = std::filesystem;

FileBytes readWholeFile(const std::string& path, std::uint64_t maxBytes) {
    FileBytes result;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        result.error = ReadFileError::CannotOpen;
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = ReadFileError::CannotOpen;
        return result;
    }
    const auto size = fs::file_size(path, ec);
    if (ec) {
        result.error = ReadFileError::ReadFailed;
        return result;
    }
    if (size > maxBytes) {
        result.error = ReadFileError::TooLarge;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(result.bytes.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uint64_t>(in.gcount()) != size) {
        result.bytes.clear();
        result.error = ReadFileError::ReadFailed;
    }
    return result;
}

namespace {

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    fs::path target(path);
    // A link is followed, so the file it names is replaced rather than the link itself.
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
    }
    if (target.filename().empty()) {
        return false;
    }
    // Only a regular file is ever replaced: renaming over a device or a fifo would destroy it.
    const auto kind = fs::status(target, ec).type();
    if (kind != fs::file_type::not_found && kind != fs::file_type::regular) {
        return false;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string tempName(1, '.');
    tempName += target.filename().string();
    tempName += ".XXXXXX";
    std::string temp = (folder / tempName).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    // An existing file keeps its permission bits; a new one gets the usual 0666 & ~umask.
    mode_t mode = 0666;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        ok = std::rename(temp.c_str(), target.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

}  // namespace sv
