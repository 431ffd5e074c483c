#pragma once

// The driver layer on Linux: the kernel's raw floppy-controller commands (FDRAWCMD) on
// /dev/fd0 (drive A) and /dev/fd1 (drive B).
//
// Raw commands exist only in kernels built with CONFIG_BLK_DEV_FD_RAWCMD; elsewhere FDRAWCMD
// fails with EOPNOTSUPP and the driver counts as absent, with a log line saying why. Every
// command is bounded in time: a confused controller can keep an ioctl waiting for ever.

#include <linux/fd.h>
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <span>
#include <string>

#include "drives/floppy_driver.h"
#include "drives/track_scan.h"

namespace sv {

// The controller command blocks, built without touching a device.
namespace fdc {

inline constexpr std::uint8_t kSeek = 0x0F;
inline constexpr std::uint8_t kReadId = 0x0A;
inline constexpr std::uint8_t kReadData = 0x06;
inline constexpr std::uint8_t kSenseDriveStatus = 0x04;

// Second command byte: head select in bit 2, drive unit in bits 0-1.
[[nodiscard]] constexpr std::uint8_t headUnit(int head, int unit) {
    return static_cast<std::uint8_t>(((head & 1) << 2) | (unit & 3));
}

[[nodiscard]] floppy_raw_cmd seekCommand(int unit, std::uint8_t cylinder, std::uint8_t head);
[[nodiscard]] floppy_raw_cmd senseDriveCommand(int unit);
// READ ID on the cylinder the head was stepped to (the driver seeks there first).
[[nodiscard]] floppy_raw_cmd readIdCommand(int unit, std::uint8_t rateCode, std::uint8_t flags,
                                           std::uint8_t head, std::uint8_t seekCylinder);
// READ DATA of one sector into `buffer`, from the cylinder the head was stepped to; the
// request's cylinder is the one the controller compares with the IDs.
[[nodiscard]] floppy_raw_cmd readDataCommand(int unit, std::uint8_t rateCode,
                                             const ReadRequest& request,
                                             std::uint8_t seekCylinder,
                                             std::span<std::uint8_t> buffer);

// The reply of a finished command as the caller sees it.
struct Reply {
    int error = 0;  // errno of a failed ioctl, else 0
    int count = 0;
    std::array<std::uint8_t, 7> bytes{};
    long residueBytes = 0;  // bytes the transfer left undone
    bool timedOut = false;  // the command's deadline ended it
    bool retried = false;   // issued again after another signal interrupted it
};

// What a READ ID answered: a good ID (ST0 interrupt code 00), an ID with a CRC error (abnormal
// end with ST1's data-error bit), no ID at all (missing address mark), or a plain failure.
[[nodiscard]] IdAnswer idAnswerFromReply(const Reply& reply);
// Good: ST0 interrupt code 00 (ST0 itself may carry seek-end and head bits). A data-error bit
// (ST1 or ST2) is the CRC error; anything else a plain failure. ST2's control-mark bit is the
// deleted-data mark; alone it does not make the read fail.
[[nodiscard]] ReadResult readResultFromReply(const Reply& reply, std::size_t requestedBytes);

// The log line that says why raw commands cannot be used, from the errno FDRAWCMD gave.
[[nodiscard]] std::string rawCommandRefusal(const std::string& device, int error);
// The log line that says why the floppy device did not open, from the errno open() gave: no
// node (no controller, or the floppy module is not loaded), no permission (the disk group), no
// drive behind it.
[[nodiscard]] std::string openRefusal(const std::string& device, int error);
// The log line for a probe that the controller never answered.
[[nodiscard]] std::string noAnswer(const std::string& device);

}  // namespace fdc

// Bounds blocking system calls in time. A watchdog thread, started once per watchdog, sends
// SIGALRM to the calling thread when a call's limit passes, and again every few milliseconds
// until the call gives up, so a signal that lands just before the call blocks is not lost. The
// handler is installed once per process, without SA_RESTART, so the call returns EINTR. An EINTR
// from any other signal is not a timeout: the call is made again within the same limit.
class CommandWatchdog {
public:
    CommandWatchdog();
    ~CommandWatchdog();
    CommandWatchdog(const CommandWatchdog&) = delete;
    CommandWatchdog& operator=(const CommandWatchdog&) = delete;

    // False when the watchdog thread could not be made: no call can then be bounded.
    [[nodiscard]] bool started() const { return thread_.joinable(); }

    struct Outcome {
        int result = -1;  // the call's own result
        int error = 0;    // errno when the result is negative
        bool timedOut = false;
        bool interrupted = false;  // by another signal; run() makes the call again
        bool retried = false;      // the outcome is of a call made again
    };
    // `call` returns a negative result and sets errno on failure; `beforeRetry` runs before the
    // call is made again after an interruption.
    [[nodiscard]] Outcome run(std::chrono::milliseconds limit, const std::function<int()>& call,
                              const std::function<void()>& beforeRetry = {});

private:
    void watch();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::steady_clock::time_point deadline_{};
    pthread_t target_{};
    bool armed_ = false;
    bool fired_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

class LinuxFloppyDriver : public FloppyDriver {
public:
    static constexpr std::chrono::milliseconds kDefaultCommandLimit{4000};

    explicit LinuxFloppyDriver(std::string deviceA = "/dev/fd0", std::string deviceB = "/dev/fd1",
                               std::chrono::milliseconds commandLimit = kDefaultCommandLimit);

    // Present when a floppy device opens and takes a raw command; the version is the layer's
    // own.
    [[nodiscard]] DriverStatus queryDriver() override;
    [[nodiscard]] std::unique_ptr<FloppyDrive> openDrive(int unit) override;
    [[nodiscard]] std::string openFailure(int unit) const override;

private:
    std::string devices_[2];
    std::string openFailures_[2];
    std::chrono::milliseconds commandLimit_;
};

}  // namespace sv
