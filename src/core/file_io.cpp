#include "core/file_io.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sv {

namespace fs = std::filesystem;

namespace {

std::string systemText(int error) { return std::strerror(error); }

// Closes the descriptor when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

FileBytes readFailure(ReadFileError error, std::string cause) {
    FileBytes result;
    result.error = error;
    result.cause = std::move(cause);
    return result;
}

}  // namespace

FileBytes readWholeFile(const std::string& path, std::uint64_t maxBytes) {
    // Looked at before it is opened: opening a device or a fifo can have effects of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return readFailure(error == ENOENT || error == ENOTDIR ? ReadFileError::NotFound
                                                               : ReadFileError::CannotOpen,
                           systemText(error));
    }
    if (S_ISDIR(info.st_mode)) {
        return readFailure(ReadFileError::CannotOpen, systemText(EISDIR));
    }
    if (!S_ISREG(info.st_mode)) {
        return readFailure(ReadFileError::CannotOpen, "it is not a regular file");
    }
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        return readFailure(ReadFileError::CannotOpen, systemText(errno));
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > maxBytes) {
        return readFailure(ReadFileError::TooLarge, "it is larger than any disk image");
    }
    FileBytes result;
    result.bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t n = ::read(fd.get(), result.bytes.data() + done, result.bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return readFailure(ReadFileError::ReadFailed, systemText(errno));
        }
        if (n == 0) {
            return readFailure(ReadFileError::ReadFailed, "the file ended before its stated size");
        }
        done += static_cast<std::size_t>(n);
    }
    return result;
}

std::string causeLine(std::string_view cause) {
    std::string line = "Cause: ";
    line += cause;
    if (!line.ends_with('.')) {
        line += '.';
    }
    return line;
}

namespace {

// 0, or the errno of the write that failed.
int writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

WriteResult writeFailure(int error) { return WriteResult{error, systemText(error)}; }

}  // namespace

WriteResult writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    fs::path target(path);
    // A link is followed, so the file it names is replaced rather than the link itself.
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) {
            return WriteResult{ec.value(), "the link " + path + " cannot be followed: " + ec.message()};
        }
    }
    if (target.filename().empty()) {
        return WriteResult{0, "the path names a folder, not a file"};
    }
    // Only a regular file is ever replaced: renaming over a device or a fifo would destroy it.
    const auto kind = fs::status(target, ec).type();
    if (kind == fs::file_type::directory) {
        return writeFailure(EISDIR);
    }
    if (kind != fs::file_type::not_found && kind != fs::file_type::regular) {
        return WriteResult{0, "it is not a regular file, and only a regular file is replaced"};
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
        return writeFailure(errno);
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
    int error = writeAll(fd, bytes);
    if (error == 0 && ::fchmod(fd, mode) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return writeFailure(error);
    }
    return {};
}

}  // namespace sv
