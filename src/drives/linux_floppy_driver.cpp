#include "drives/linux_floppy_driver.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <utility>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sv {

namespace fdc {

namespace {

constexpr std::uint8_t kSt0InterruptCode = 0xC0;
constexpr std::uint8_t kSt0AbnormalEnd = 0x40;
constexpr std::uint8_t kSt1DataError = 0x20;
constexpr std::uint8_t kSt2DataErrorInData = 0x20;

floppy_raw_cmd blankCommand() {
    floppy_raw_cmd command;
    std::memset(&command, 0, sizeof command);
    return command;
}

}  // namespace

floppy_raw_cmd seekCommand(int unit, std::uint8_t cylinder, std::uint8_t head) {
    floppy_raw_cmd command = blankCommand();
    // The driver senses the interrupt itself, so the reply is ST0 and the cylinder reached.
    command.flags = FD_RAW_INTR | FD_RAW_SPIN;
    command.cmd[0] = kSeek;
    command.cmd[1] = headUnit(head, unit);
    command.cmd[2] = cylinder;
    command.cmd_count = 3;
    command.track = cylinder;
    return command;
}

floppy_raw_cmd senseDriveCommand(int unit) {
    floppy_raw_cmd command = blankCommand();
    command.cmd[0] = kSenseDriveStatus;
    command.cmd[1] = headUnit(0, unit);
    command.cmd_count = 2;
    return command;
}

floppy_raw_cmd readIdCommand(int unit, std::uint8_t rateCode, std::uint8_t flags,
                             std::uint8_t head, std::uint8_t seekCylinder) {
    floppy_raw_cmd command = blankCommand();
    // The kernel forgets its head position after every raw command: let it seek each time.
    command.flags = FD_RAW_INTR | FD_RAW_SPIN | FD_RAW_NEED_SEEK;
    command.rate = rateCode;
    command.cmd[0] = static_cast<unsigned char>(kReadId | (flags & encoding::mfm));
    command.cmd[1] = headUnit(head, unit);
    command.cmd_count = 2;
    command.track = seekCylinder;
    return command;
}

floppy_raw_cmd readDataCommand(int unit, std::uint8_t rateCode, const ReadRequest& request,
                               std::uint8_t seekCylinder, std::span<std::uint8_t> buffer) {
    floppy_raw_cmd command = blankCommand();
    command.flags = FD_RAW_READ | FD_RAW_INTR | FD_RAW_SPIN | FD_RAW_NEED_SEEK;
    command.rate = rateCode;
    command.cmd[0] = static_cast<unsigned char>(kReadData | (request.flags & encoding::mfm));
    command.cmd[1] = headUnit(request.physicalHead, unit);
    command.cmd[2] = request.cylinder;
    command.cmd[3] = request.head;
    command.cmd[4] = request.record;
    command.cmd[5] = request.sizeCode;
    command.cmd[6] = request.endOfTrack;
    command.cmd[7] = request.gapLength;
    command.cmd[8] = request.dataLength;
    command.cmd_count = 9;
    command.track = seekCylinder;
    command.data = buffer.data();
    command.length = static_cast<long>(buffer.size());
    return command;
}

std::optional<SectorId> idFromReply(const Reply& reply) {
    if (reply.error != 0 || reply.count < 7 || (reply.bytes[0] & kSt0InterruptCode) != 0) {
        return std::nullopt;
    }
    return SectorId{reply.bytes[3], reply.bytes[4], reply.bytes[5], reply.bytes[6]};
}

ReadResult readResultFromReply(const Reply& reply, std::size_t requestedBytes) {
    if (reply.error != 0 || reply.count < 7) {
        return {ReadOutcome::Failed, 0};
    }
    const long residue = std::clamp<long>(reply.residueBytes, 0, static_cast<long>(requestedBytes));
    const std::size_t returned = requestedBytes - static_cast<std::size_t>(residue);
    const std::uint8_t code = reply.bytes[0] & kSt0InterruptCode;
    if (code == 0) {
        return {ReadOutcome::Read, returned};
    }
    if (code == kSt0AbnormalEnd &&
        ((reply.bytes[1] & kSt1DataError) != 0 || (reply.bytes[2] & kSt2DataErrorInData) != 0)) {
        return {ReadOutcome::CrcError, returned};
    }
    return {ReadOutcome::Failed, returned};
}

std::string rawCommandRefusal(const std::string& device, int error) {
    if (error == EOPNOTSUPP) {
        return "The kernel's floppy module refuses raw commands on " + device +
               " (it was built without CONFIG_BLK_DEV_FD_RAWCMD); the README says how to build "
               "one with them.";
    }
    return "Raw floppy commands on " + device + " failed: " + std::strerror(error) + ".";
}

}  // namespace fdc

namespace {

void ignoreSignal(int) {}

// Interrupts the calling thread's blocked ioctl when the limit passes: the ioctl then returns
// EINTR. The timer signals this thread only, so other threads of the program are untouched.
class CommandDeadline {
public:
    explicit CommandDeadline(std::chrono::milliseconds limit) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = ignoreSignal;  // no SA_RESTART: the ioctl must give up
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, &previous_);
        sigevent event;
        std::memset(&event, 0, sizeof event);
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = SIGALRM;
        event._sigev_un._tid = static_cast<pid_t>(::syscall(SYS_gettid));
        armed_ = timer_create(CLOCK_MONOTONIC, &event, &timer_) == 0;
        if (armed_) {
            itimerspec when;
            std::memset(&when, 0, sizeof when);
            when.it_value.tv_sec = static_cast<time_t>(limit.count() / 1000);
            when.it_value.tv_nsec = static_cast<long>(limit.count() % 1000) * 1000000L;
            timer_settime(timer_, 0, &when, nullptr);
        }
    }
    ~CommandDeadline() {
        if (armed_) {
            timer_delete(timer_);
        }
        sigaction(SIGALRM, &previous_, nullptr);
    }
    CommandDeadline(const CommandDeadline&) = delete;
    CommandDeadline& operator=(const CommandDeadline&) = delete;

private:
    struct sigaction previous_;
    timer_t timer_{};
    bool armed_ = false;
};

class DeviceHandle {
public:
    DeviceHandle() = default;
    explicit DeviceHandle(int fd) : fd_(fd) {}
    ~DeviceHandle() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    DeviceHandle(DeviceHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    DeviceHandle& operator=(DeviceHandle&&) = delete;
    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// FDRAWCMD needs write access to the node; an ioctl-only open (access mode 3) also serves.
// O_NDELAY skips the kernel's media checks.
DeviceHandle openFloppy(const std::string& device, int& error) {
    int fd = ::open(device.c_str(), O_RDWR | O_NDELAY | O_CLOEXEC);
    if (fd < 0) {
        fd = ::open(device.c_str(), O_ACCMODE | O_NDELAY | O_CLOEXEC);
    }
    error = fd < 0 ? errno : 0;
    return DeviceHandle(fd);
}

fdc::Reply runCommand(int fd, floppy_raw_cmd& command, std::chrono::milliseconds limit) {
    fdc::Reply reply;
    int rc = 0;
    {
        CommandDeadline deadline(limit);
        rc = ::ioctl(fd, FDRAWCMD, &command);
        reply.error = rc < 0 ? errno : 0;
    }
    if (rc < 0) {
        if (reply.error == EIO || reply.error == EINTR) {
            // The controller is flagged for reset after a failure; clear it for the next command.
            CommandDeadline deadline(limit);
            (void)::ioctl(fd, FDRESET, FD_RESET_IF_NEEDED);
        }
        return reply;
    }
    reply.count = std::min<int>(command.reply_count, static_cast<int>(reply.bytes.size()));
    std::copy_n(command.reply, reply.count, reply.bytes.begin());
    reply.residueBytes = command.length;
    return reply;
}

class LinuxFloppyDrive : public FloppyDrive {
public:
    LinuxFloppyDrive(DeviceHandle handle, int unit, std::chrono::milliseconds limit)
        : handle_(std::move(handle)), unit_(unit), limit_(limit) {}

    void seek(std::uint8_t cylinder, std::uint8_t head) override {
        floppy_raw_cmd command = fdc::seekCommand(unit_, cylinder, head);
        (void)runCommand(handle_.fd(), command, limit_);
        cylinder_ = cylinder;
    }

    void setDataRate(std::uint8_t rateCode) override { rate_ = rateCode; }

    TrackScan scanTrack(std::uint8_t flags, std::uint8_t head) override {
        return fdc::scanByReadId([&]() {
            floppy_raw_cmd command = fdc::readIdCommand(unit_, rate_, flags, head, cylinder_);
            return fdc::idFromReply(runCommand(handle_.fd(), command, limit_));
        });
    }

    ReadResult readSector(const ReadRequest& request, std::span<std::uint8_t> buffer) override {
        floppy_raw_cmd command = fdc::readDataCommand(unit_, rate_, request, cylinder_, buffer);
        return fdc::readResultFromReply(runCommand(handle_.fd(), command, limit_), buffer.size());
    }

private:
    DeviceHandle handle_;
    int unit_;
    std::chrono::milliseconds limit_;
    std::uint8_t cylinder_ = 0;
    std::uint8_t rate_ = rate::kbps500;
};

}  // namespace

LinuxFloppyDriver::LinuxFloppyDriver(std::string deviceA, std::string deviceB,
                                     std::chrono::milliseconds commandLimit)
    : devices_{std::move(deviceA), std::move(deviceB)}, commandLimit_(commandLimit) {}

DriverStatus LinuxFloppyDriver::queryDriver() {
    std::string cause;
    for (int unit = 0; unit < 2; ++unit) {
        int error = 0;
        DeviceHandle handle = openFloppy(devices_[unit], error);
        if (!handle.valid()) {
            // A node that is missing or has no drive behind it just means no drive.
            if (cause.empty() && error != ENOENT && error != ENXIO && error != ENODEV) {
                cause = devices_[unit] + " could not be opened: " + std::strerror(error) + ".";
            }
            continue;
        }
        {
            CommandDeadline deadline(commandLimit_);
            (void)::ioctl(handle.fd(), FDRESET, FD_RESET_IF_NEEDED);
        }
        floppy_raw_cmd probe = fdc::senseDriveCommand(unit);
        const fdc::Reply reply = runCommand(handle.fd(), probe, commandLimit_);
        if (reply.error != 0) {
            return DriverStatus{false, 0, fdc::rawCommandRefusal(devices_[unit], reply.error)};
        }
        return DriverStatus{true, kRequiredDriverVersion, {}};
    }
    return DriverStatus{false, 0, cause};
}

std::unique_ptr<FloppyDrive> LinuxFloppyDriver::openDrive(int unit) {
    if (unit < 0 || unit > 1) {
        return nullptr;
    }
    int error = 0;
    DeviceHandle handle = openFloppy(devices_[unit], error);
    if (!handle.valid()) {
        return nullptr;
    }
    {
        CommandDeadline deadline(commandLimit_);
        (void)::ioctl(handle.fd(), FDRESET, FD_RESET_IF_NEEDED);
    }
    return std::make_unique<LinuxFloppyDrive>(std::move(handle), unit, commandLimit_);
}

}  // namespace sv
