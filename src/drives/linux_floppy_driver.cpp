#include "drives/linux_floppy_driver.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sv {

namespace fdc {

namespace {

constexpr std::uint8_t kSt0InterruptCode = 0xC0;
constexpr std::uint8_t kSt0AbnormalEnd = 0x40;
constexpr std::uint8_t kSt1DataError = 0x20;
constexpr std::uint8_t kSt1MissingAddressMark = 0x01;
constexpr std::uint8_t kSt2DataErrorInData = 0x20;
constexpr std::uint8_t kSt2ControlMark = 0x40;

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

IdAnswer idAnswerFromReply(const Reply& reply) {
    if (reply.error != 0 || reply.count < 7) {
        return {};
    }
    const std::uint8_t code = reply.bytes[0] & kSt0InterruptCode;
    if (code == 0) {
        return IdAnswer{IdAnswerKind::Id,
                        SectorId{reply.bytes[3], reply.bytes[4], reply.bytes[5], reply.bytes[6]},
                        reply.retried};
    }
    if (code == kSt0AbnormalEnd && (reply.bytes[1] & kSt1DataError) != 0) {
        return IdAnswer{IdAnswerKind::BadId, {}, reply.retried};
    }
    if (code == kSt0AbnormalEnd && (reply.bytes[1] & kSt1MissingAddressMark) != 0) {
        return IdAnswer{IdAnswerKind::NoId, {}};
    }
    return {};
}

ReadResult readResultFromReply(const Reply& reply, std::size_t requestedBytes) {
    if (reply.error != 0 || reply.count < 7) {
        return {ReadOutcome::Failed, 0};
    }
    const long residue = std::clamp<long>(reply.residueBytes, 0, static_cast<long>(requestedBytes));
    const std::size_t returned = requestedBytes - static_cast<std::size_t>(residue);
    const std::uint8_t code = reply.bytes[0] & kSt0InterruptCode;
    const bool deleted = (reply.bytes[2] & kSt2ControlMark) != 0;
    const bool dataError =
        (reply.bytes[1] & kSt1DataError) != 0 || (reply.bytes[2] & kSt2DataErrorInData) != 0;
    if (code == 0) {
        return {ReadOutcome::Read, returned, deleted};
    }
    if (code == kSt0AbnormalEnd && dataError) {
        return {ReadOutcome::CrcError, returned, deleted};
    }
    // Some controllers end a read of a deleted sector abnormally with nothing else wrong.
    if (code == kSt0AbnormalEnd && deleted && reply.bytes[1] == 0 &&
        (reply.bytes[2] & ~kSt2ControlMark) == 0) {
        return {ReadOutcome::Read, returned, true};
    }
    return {ReadOutcome::Failed, returned};
}

std::string rawCommandRefusal(const std::string& device, int error) {
    if (error == EOPNOTSUPP) {
        return "The kernel's floppy module refuses raw commands on " + device +
               " (it was built without CONFIG_BLK_DEV_FD_RAWCMD); the README says how to build "
               "one with them.";
    }
    if (error == ENXIO || error == ENODEV) {
        return "Raw floppy commands on " + device + " failed: " + std::strerror(error) +
               ". No drive answers: none is connected there, or the firmware setup does not "
               "declare it.";
    }
    std::string line = "Raw floppy commands on " + device + " failed: " + std::strerror(error) + ".";
    if (error == EPERM || error == EACCES) {
        line += " They need write access to " + device + ": add your user to the disk group.";
    }
    return line;
}

std::string openRefusal(const std::string& device, int error) {
    switch (error) {
    case ENOENT:
        return device + " does not exist: this machine has no floppy controller, or the "
                        "kernel's floppy module is not loaded (sudo modprobe floppy).";
    case EACCES:
    case EPERM:
        return device + " could not be opened: " + std::strerror(error) +
               ". Add your user to the disk group (sudo usermod -aG disk USER), then log in "
               "again.";
    case ENXIO:
    case ENODEV:
        return "No drive answers on " + device + " (" + std::strerror(error) +
               "): none is connected there, or the firmware setup does not declare it.";
    default:
        return device + " could not be opened: " + std::strerror(error) + ".";
    }
}

std::string noAnswer(const std::string& device) {
    return "Nothing answered a command on " + device +
           " in time: the controller or the drive does not answer.";
}

}  // namespace fdc

namespace {

constexpr std::chrono::milliseconds kResignalInterval{20};
constexpr const char* kUnboundedCommands =
    "Floppy commands cannot be bounded in time: no watchdog thread could be started.";

void ignoreSignal(int) {}

// Once per process. A handler someone else installed is kept: it interrupts the call as well.
void installAlarmHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current;
        std::memset(&current, 0, sizeof current);
        sigaction(SIGALRM, nullptr, &current);
        if (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN) {
            return;
        }
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = ignoreSignal;  // no SA_RESTART: the blocked call must give up
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, nullptr);
    });
}

}  // namespace

CommandWatchdog::CommandWatchdog() {
    installAlarmHandler();
    try {
        thread_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        // started() reports it; the callers refuse to run unbounded commands.
    }
}

CommandWatchdog::~CommandWatchdog() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
}

void CommandWatchdog::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!armed_) {
            changed_.wait(lock);
            continue;
        }
        if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
            !stopping_ && std::chrono::steady_clock::now() >= deadline_) {
            fired_ = true;
            pthread_kill(target_, SIGALRM);
            deadline_ = std::chrono::steady_clock::now() + kResignalInterval;
        }
    }
}

CommandWatchdog::Outcome CommandWatchdog::run(std::chrono::milliseconds limit,
                                              const std::function<int()>& call,
                                              const std::function<void()>& beforeRetry) {
    if (!started()) {
        return Outcome{-1, ETIME, true, false};
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool made = false;
    return retryInterrupted([&] {
        if (made && beforeRetry) {
            beforeRetry();
        }
        const bool again = made;
        made = true;
        {
            std::lock_guard lock(mutex_);
            target_ = pthread_self();
            deadline_ = deadline;
            armed_ = true;
            fired_ = false;
        }
        changed_.notify_all();
        Outcome outcome;
        outcome.retried = again;
        outcome.result = call();
        outcome.error = outcome.result < 0 ? errno : 0;
        bool fired = false;
        {
            std::lock_guard lock(mutex_);
            armed_ = false;
            fired = fired_;
        }
        if (outcome.result < 0 && outcome.error == EINTR) {
            outcome.timedOut = fired || std::chrono::steady_clock::now() >= deadline;
            outcome.interrupted = !outcome.timedOut;
        }
        return outcome;
    });
}

namespace {

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

void resetIfNeeded(CommandWatchdog& watchdog, int fd, std::chrono::milliseconds limit) {
    (void)watchdog.run(limit, [fd] { return ::ioctl(fd, FDRESET, FD_RESET_IF_NEEDED); });
}

fdc::Reply runCommand(CommandWatchdog& watchdog, int fd, floppy_raw_cmd& command,
                      std::chrono::milliseconds limit) {
    fdc::Reply reply;
    // The kernel writes the reply into the block: a command made again starts from a clean copy.
    const floppy_raw_cmd issued = command;
    const CommandWatchdog::Outcome outcome = watchdog.run(
        limit,
        [&] {
            command = issued;
            return ::ioctl(fd, FDRAWCMD, &command);
        },
        [&] { resetIfNeeded(watchdog, fd, limit); });
    reply.retried = outcome.retried;
    if (outcome.result < 0) {
        reply.error = outcome.error;
        reply.timedOut = outcome.timedOut;
        if (reply.error == EIO || reply.error == EINTR) {
            // The controller is flagged for reset after a failure; clear it for the next command.
            resetIfNeeded(watchdog, fd, limit);
        }
        return reply;
    }
    reply.count = std::min<int>(command.reply_count, static_cast<int>(reply.bytes.size()));
    std::copy_n(command.reply, reply.count, reply.bytes.begin());
    reply.residueBytes = command.length;
    return reply;
}

class LinuxFloppyDrive : public FloppyDrive, private ReadIdPort {
public:
    LinuxFloppyDrive(DeviceHandle handle, std::unique_ptr<CommandWatchdog> watchdog, int unit,
                     std::chrono::milliseconds limit)
        : handle_(std::move(handle)), watchdog_(std::move(watchdog)), unit_(unit), limit_(limit) {}

    void seek(std::uint8_t cylinder, std::uint8_t head) override {
        floppy_raw_cmd command = fdc::seekCommand(unit_, cylinder, head);
        (void)runCommand(*watchdog_, handle_.fd(), command, limit_);
        cylinder_ = cylinder;
    }

    void setDataRate(std::uint8_t rateCode) override { rate_ = rateCode; }

    TrackScan scanTrack(std::uint8_t flags, std::uint8_t head) override {
        return scanTrackByTime(*this, scanTiming(rate_, flags), flags, head, latencyBound_);
    }

    IdAnswer readId(std::uint8_t flags, std::uint8_t head) override {
        floppy_raw_cmd command = fdc::readIdCommand(unit_, rate_, flags, head, cylinder_);
        return fdc::idAnswerFromReply(runCommand(*watchdog_, handle_.fd(), command, limit_));
    }
    Nanoseconds now() override { return std::chrono::steady_clock::now().time_since_epoch(); }
    void waitFor(Nanoseconds duration) override { std::this_thread::sleep_for(duration); }

    ReadResult readSector(const ReadRequest& request, std::span<std::uint8_t> buffer) override {
        floppy_raw_cmd command = fdc::readDataCommand(unit_, rate_, request, cylinder_, buffer);
        return fdc::readResultFromReply(runCommand(*watchdog_, handle_.fd(), command, limit_),
                                        buffer.size());
    }

private:
    DeviceHandle handle_;
    std::unique_ptr<CommandWatchdog> watchdog_;
    int unit_;
    std::chrono::milliseconds limit_;
    std::uint8_t cylinder_ = 0;
    std::uint8_t rate_ = rate::kbps500;
    Nanoseconds latencyBound_ = kRevolutionAt360Rpm;
};

}  // namespace

LinuxFloppyDriver::LinuxFloppyDriver(std::string deviceA, std::string deviceB,
                                     std::chrono::milliseconds commandLimit)
    : devices_{std::move(deviceA), std::move(deviceB)}, commandLimit_(commandLimit) {}

namespace {

// Which failed open says most: a refusal (permission, or another error) before a node with no
// drive behind it, before a missing node.
int openFailureWeight(int error) {
    switch (error) {
    case ENOENT: return 0;
    case ENXIO:
    case ENODEV: return 1;
    default: return 2;
    }
}

}  // namespace

DriverStatus LinuxFloppyDriver::queryDriver() {
    std::string cause;
    int causeWeight = -1;
    for (int unit = 0; unit < 2; ++unit) {
        int error = 0;
        DeviceHandle handle = openFloppy(devices_[unit], error);
        if (!handle.valid()) {
            if (openFailureWeight(error) > causeWeight) {
                causeWeight = openFailureWeight(error);
                cause = fdc::openRefusal(devices_[unit], error);
            }
            continue;
        }
        CommandWatchdog watchdog;
        if (!watchdog.started()) {
            return DriverStatus{false, 0, kUnboundedCommands};
        }
        resetIfNeeded(watchdog, handle.fd(), commandLimit_);
        floppy_raw_cmd probe = fdc::senseDriveCommand(unit);
        const fdc::Reply reply = runCommand(watchdog, handle.fd(), probe, commandLimit_);
        if (reply.timedOut) {
            return DriverStatus{false, 0, fdc::noAnswer(devices_[unit])};
        }
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
    openFailures_[unit].clear();
    int error = 0;
    DeviceHandle handle = openFloppy(devices_[unit], error);
    if (!handle.valid()) {
        openFailures_[unit] = fdc::openRefusal(devices_[unit], error);
        return nullptr;
    }
    auto watchdog = std::make_unique<CommandWatchdog>();
    if (!watchdog->started()) {
        openFailures_[unit] = kUnboundedCommands;
        return nullptr;  // a command that cannot be bounded is never sent
    }
    resetIfNeeded(*watchdog, handle.fd(), commandLimit_);
    return std::make_unique<LinuxFloppyDrive>(std::move(handle), std::move(watchdog), unit,
                                              commandLimit_);
}

std::string LinuxFloppyDriver::openFailure(int unit) const {
    return unit == 0 || unit == 1 ? openFailures_[unit] : std::string();
}

}  // namespace sv
