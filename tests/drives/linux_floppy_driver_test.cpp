#include "drives/linux_floppy_driver.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>
#include <numeric>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "test_util.h"

namespace sv {
namespace {

std::vector<unsigned char> bytesOf(const floppy_raw_cmd& c) {
    return std::vector<unsigned char>(c.cmd, c.cmd + c.cmd_count);
}

TEST(LinuxCommandBlocks, SeekAndSenseDrive) {
    const floppy_raw_cmd seek = fdc::seekCommand(1, 12, 1);
    EXPECT_EQ(bytesOf(seek), (std::vector<unsigned char>{0x0F, 0x05, 12}));
    EXPECT_EQ(seek.flags, unsigned{FD_RAW_INTR | FD_RAW_SPIN});
    EXPECT_EQ(seek.track, 12);
    EXPECT_EQ(seek.data, nullptr);

    const floppy_raw_cmd sense = fdc::senseDriveCommand(1);
    EXPECT_EQ(bytesOf(sense), (std::vector<unsigned char>{0x04, 0x01}));
    EXPECT_EQ(sense.flags, 0u);
}

TEST(LinuxCommandBlocks, ReadIdCarriesEncodingRateHeadAndImpliedSeek) {
    const floppy_raw_cmd mfm = fdc::readIdCommand(0, rate::kbps500, encoding::mfm, 1, 6);
    EXPECT_EQ(bytesOf(mfm), (std::vector<unsigned char>{0x4A, 0x04}));
    EXPECT_EQ(mfm.rate, 0);
    EXPECT_EQ(mfm.track, 6);
    EXPECT_EQ(mfm.flags, unsigned{FD_RAW_INTR | FD_RAW_SPIN | FD_RAW_NEED_SEEK});

    const floppy_raw_cmd fm = fdc::readIdCommand(1, rate::kbps250, encoding::fm, 0, 40);
    EXPECT_EQ(bytesOf(fm), (std::vector<unsigned char>{0x0A, 0x01}));
    EXPECT_EQ(fm.rate, 2);
    EXPECT_EQ(fm.track, 40);
}

TEST(LinuxCommandBlocks, ReadDataNamesTheIdButSeeksToTheHeadPosition) {
    std::vector<std::uint8_t> buffer(256);
    // A double-stepped disk: the head sits on cylinder 10, the ID says cylinder 5.
    const ReadRequest request{encoding::mfm, 1, 5, 1, 7, 1, 8, 0x36, 0xFF};
    const floppy_raw_cmd c = fdc::readDataCommand(1, rate::kbps300, request, 10, buffer);
    EXPECT_EQ(bytesOf(c),
              (std::vector<unsigned char>{0x46, 0x05, 5, 1, 7, 1, 8, 0x36, 0xFF}));
    EXPECT_EQ(c.flags, unsigned{FD_RAW_READ | FD_RAW_INTR | FD_RAW_SPIN | FD_RAW_NEED_SEEK});
    EXPECT_EQ(c.rate, 1);
    EXPECT_EQ(c.track, 10);
    EXPECT_EQ(c.data, buffer.data());
    EXPECT_EQ(c.length, 256);

    const ReadRequest fmRequest{encoding::fm, 0, 0, 0, 1, 0, 2, 0x1B, 0x80};
    const floppy_raw_cmd fm = fdc::readDataCommand(0, rate::kbps500, fmRequest, 0, buffer);
    EXPECT_EQ(fm.cmd[0], 0x06);
    EXPECT_EQ(fm.cmd[1], 0x00);
    EXPECT_EQ(fm.cmd[8], 0x80);
}

fdc::Reply reply(std::uint8_t st0, std::uint8_t st1, std::uint8_t st2, long residue = 0) {
    return fdc::Reply{0, 7, {st0, st1, st2, 3, 1, 9, 2}, residue};
}

TEST(LinuxReplies, GoodMeansInterruptCodeZeroNotSt0Zero) {
    // Seek-end and head bits in ST0 still mean a good end.
    EXPECT_EQ(fdc::readResultFromReply(reply(0x24, 0, 0), 512).outcome, ReadOutcome::Read);
    const IdAnswer good = fdc::idAnswerFromReply(reply(0x21, 0, 0));
    EXPECT_EQ(good.kind, IdAnswerKind::Id);
    EXPECT_EQ(good.id, (SectorId{3, 1, 9, 2}));
    EXPECT_EQ(fdc::idAnswerFromReply(reply(0x40, 0x01, 0)).kind, IdAnswerKind::NoId);
    EXPECT_EQ(fdc::idAnswerFromReply(reply(0x41, 0x20, 0)).kind, IdAnswerKind::BadId);
    EXPECT_EQ(fdc::idAnswerFromReply(reply(0x40, 0x04, 0)).kind, IdAnswerKind::Failed);
    EXPECT_EQ(fdc::idAnswerFromReply(fdc::Reply{EINTR, 0, {}, 0, true}).kind,
              IdAnswerKind::Failed);
    EXPECT_EQ(fdc::idAnswerFromReply(fdc::Reply{0, 2, {0x20, 6}, 0}).kind, IdAnswerKind::Failed);
}

TEST(LinuxReplies, ControlMarkIsTheDeletedMark) {
    const ReadResult clean = fdc::readResultFromReply(reply(0x04, 0, 0x40), 256);
    EXPECT_EQ(clean.outcome, ReadOutcome::Read);
    EXPECT_TRUE(clean.deletedMark);
    // Controllers that end the read abnormally on the mark alone still returned the sector.
    const ReadResult abnormal = fdc::readResultFromReply(reply(0x40, 0x80, 0x40), 256);
    EXPECT_EQ(abnormal.outcome, ReadOutcome::Failed);
    EXPECT_EQ(fdc::readResultFromReply(reply(0x40, 0, 0x40), 256).outcome, ReadOutcome::Read);
    const ReadResult damaged = fdc::readResultFromReply(reply(0x40, 0x20, 0x60), 256);
    EXPECT_EQ(damaged.outcome, ReadOutcome::CrcError);
    EXPECT_TRUE(damaged.deletedMark);
    EXPECT_FALSE(fdc::readResultFromReply(reply(0, 0, 0), 256).deletedMark);
}

TEST(LinuxReplies, DataErrorBitsAreTheCrcError) {
    const ReadResult inData = fdc::readResultFromReply(reply(0x40, 0x20, 0x20, 0), 256);
    EXPECT_EQ(inData.outcome, ReadOutcome::CrcError);
    EXPECT_EQ(inData.bytesReturned, 256u);
    EXPECT_EQ(fdc::readResultFromReply(reply(0x41, 0x20, 0x00), 256).outcome,
              ReadOutcome::CrcError);
    // No data (ND), missing mark (MA), an abnormal end of another kind: plain failures.
    EXPECT_EQ(fdc::readResultFromReply(reply(0x40, 0x04, 0), 256).outcome, ReadOutcome::Failed);
    EXPECT_EQ(fdc::readResultFromReply(reply(0x40, 0x01, 0x01), 256).outcome, ReadOutcome::Failed);
    EXPECT_EQ(fdc::readResultFromReply(reply(0x80, 0, 0), 256).outcome, ReadOutcome::Failed);
    const ReadResult timedOut = fdc::readResultFromReply(fdc::Reply{EINTR, 0, {}, 0}, 256);
    EXPECT_EQ(timedOut.outcome, ReadOutcome::Failed);
    EXPECT_EQ(timedOut.bytesReturned, 0u);
}

TEST(LinuxReplies, ResidueGivesTheBytesReturned) {
    EXPECT_EQ(fdc::readResultFromReply(reply(0, 0, 0, 384), 512).bytesReturned, 128u);
    EXPECT_EQ(fdc::readResultFromReply(reply(0, 0, 0, 9999), 512).bytesReturned, 0u);
    EXPECT_EQ(fdc::readResultFromReply(reply(0, 0, 0, -5), 512).bytesReturned, 512u);
}

// A track of evenly spaced 256-byte MFM IDs turning at 360 rpm, a gap of two before the index,
// answering READ IDs as a controller does, which begins to watch `latency` after the call; the
// READ IDs numbered in `failing` time out after a millisecond, and every wait oversleeps by
// `oversleep`, as a loaded host does.
class EvenTrack : public ReadIdPort {
public:
    EvenTrack(int sectors, std::vector<int> failing, Nanoseconds latency = Nanoseconds{100'000},
              Nanoseconds oversleep = Nanoseconds{0})
        : sectors_(sectors), failing_(std::move(failing)), latency_(latency),
          oversleep_(oversleep) {}
    IdAnswer readId(std::uint8_t, std::uint8_t) override {
        const int n = calls_++;
        if (std::find(failing_.begin(), failing_.end(), n) != failing_.end()) {
            now_ += Nanoseconds{1'000'000};
            return {};
        }
        const Nanoseconds turn = kRevolutionAt360Rpm;
        const Nanoseconds pitch = turn / (sectors_ + 2);
        const Nanoseconds watching = now_ + latency_;
        long turns = watching / turn;
        long next = ((watching % turn) + pitch - Nanoseconds{1}) / pitch;
        if (next >= sectors_) {
            ++turns;
            next = 0;
        }
        now_ = turn * turns + pitch * next + Nanoseconds{160'000};
        return IdAnswer{IdAnswerKind::Id, SectorId{0, 0, static_cast<std::uint8_t>(next + 1), 1}};
    }
    Nanoseconds now() override { return now_; }
    void waitFor(Nanoseconds duration) override { now_ += duration + oversleep_; }

private:
    int sectors_;
    std::vector<int> failing_;
    Nanoseconds latency_;
    Nanoseconds oversleep_;
    int calls_ = 0;
    Nanoseconds now_{5'000'000};
};

TrackScan scanOf(EvenTrack&& track) {
    Nanoseconds latencyBound = kRevolutionAt360Rpm;
    return scanTrackByTime(track, scanTiming(rate::kbps500, encoding::mfm), encoding::mfm, 0,
                           latencyBound);
}

TEST(LinuxTrackScan, FailedReadIdsCostTimeNotIds) {
    const TrackScan full = scanOf(EvenTrack(26, {}));
    EXPECT_EQ(full.count, 26);
    EXPECT_EQ(full.ids[0].record, 1);
    EXPECT_EQ(full.ids[25].record, 26);
    EXPECT_EQ(full.ids[26], SectorId{});
    EXPECT_FALSE(full.incomplete);

    // The first READ ID failing, or the sixth, used to end the scan with 0 or 5 IDs.
    for (const std::vector<int>& failing : {std::vector<int>{0}, std::vector<int>{5, 6, 30}}) {
        const TrackScan scan = scanOf(EvenTrack(26, failing));
        EXPECT_EQ(scan.count, 26);
        EXPECT_EQ(scan.failedReadIds, static_cast<int>(failing.size()));
        EXPECT_FALSE(scan.incomplete);
    }
    EXPECT_EQ(scanOf(EvenTrack(40, {})).count, kMaxScanIds);

    // READ IDs that keep failing leave stretches no READ ID watched: said, not hidden.
    std::vector<int> fromThird(3000);
    std::iota(fromThird.begin(), fromThird.end(), 3);
    const TrackScan cut = scanOf(EvenTrack(26, fromThird));
    EXPECT_EQ(cut.count, 3);
    EXPECT_TRUE(cut.incomplete);
}

TEST(LinuxTrackScan, ProbesThatStartLateConfirmNothing) {
    // A controller that always misses the next ID: the probes find the others...
    const Nanoseconds pitch = kRevolutionAt360Rpm / 28;
    const TrackScan slow = scanOf(EvenTrack(26, {}, pitch));
    EXPECT_EQ(slow.count, 26);
    EXPECT_FALSE(slow.incomplete);
    // ... also when the host oversleeps a little. A probe that starts much too late may pass
    // the ID it was meant to catch and answer the one after, which proves nothing about the
    // stretch between them: the scan never calls itself complete with IDs missing.
    EXPECT_EQ(scanOf(EvenTrack(26, {}, pitch, Nanoseconds{500'000})).count, 26);
    for (int late = 2; late <= 6; ++late) {
        const TrackScan scan = scanOf(EvenTrack(26, {}, pitch, pitch * late / 2));
        EXPECT_TRUE(scan.count == 26 || scan.incomplete) << late;
    }
}

// A pipe nobody writes to: a read on it blocks like a confused controller.
struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
};

TEST(LinuxDeadline, BlockedCallEndsAtItsLimitAndOtherSignalsDoNotEndIt) {
    CommandWatchdog watchdog;
    ASSERT_TRUE(watchdog.started());
    char byte = 0;
    {
        Pipe pipe;
        const auto before = std::chrono::steady_clock::now();
        const CommandWatchdog::Outcome outcome = watchdog.run(
            std::chrono::milliseconds(50), [&] { return static_cast<int>(::read(pipe.fds[0], &byte, 1)); });
        const auto took = std::chrono::steady_clock::now() - before;
        EXPECT_TRUE(outcome.timedOut);
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.error, EINTR);
        EXPECT_GE(took, std::chrono::milliseconds(50));
        EXPECT_LT(took, std::chrono::seconds(2));
    }
    {
        // A signal meant for something else arrives first; the call is made again and ends when
        // its data comes, well inside its limit.
        Pipe pipe;
        const pthread_t caller = pthread_self();
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            pthread_kill(caller, SIGALRM);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            EXPECT_EQ(::write(pipe.fds[1], "x", 1), 1);
        });
        const CommandWatchdog::Outcome outcome = watchdog.run(
            std::chrono::seconds(5), [&] { return static_cast<int>(::read(pipe.fds[0], &byte, 1)); });
        other.join();
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_TRUE(outcome.retried);
        EXPECT_EQ(byte, 'x');
    }
}

TEST(LinuxDriver, RefusedRawCommandsNameTheCause) {
    const std::string cause = fdc::rawCommandRefusal("/dev/fd0", EOPNOTSUPP);
    EXPECT_NE(cause.find("CONFIG_BLK_DEV_FD_RAWCMD"), std::string::npos);
    EXPECT_NE(cause.find("/dev/fd0"), std::string::npos);
    EXPECT_EQ(fdc::rawCommandRefusal("/dev/fd1", EPERM),
              "Raw floppy commands on /dev/fd1 failed: Operation not permitted. They need write "
              "access to /dev/fd1: add your user to the disk group.");
    EXPECT_NE(fdc::rawCommandRefusal("/dev/fd0", ENXIO).find("No drive answers"), std::string::npos);
}

TEST(LinuxDriver, EveryFailedOpenNamesItsCause) {
    EXPECT_EQ(fdc::openRefusal("/dev/fd0", ENOENT),
              "/dev/fd0 does not exist: this machine has no floppy controller, or the kernel's "
              "floppy module is not loaded (sudo modprobe floppy).");
    EXPECT_NE(fdc::openRefusal("/dev/fd0", EACCES).find("Permission denied. Add your user to the "
                                                        "disk group"),
              std::string::npos);
    EXPECT_NE(fdc::openRefusal("/dev/fd1", ENXIO).find("No drive answers on /dev/fd1"),
              std::string::npos);
    EXPECT_EQ(fdc::openRefusal("/dev/fd0", EIO), "/dev/fd0 could not be opened: Input/output error.");
}

TEST(LinuxDriver, NoDeviceMeansNoDriverAndNoDrive) {
    LinuxFloppyDriver driver("/nonexistent/fd0", "/nonexistent/fd1");
    const DriverStatus status = driver.queryDriver();
    EXPECT_FALSE(status.present);
    EXPECT_EQ(status.absenceCause, fdc::openRefusal("/nonexistent/fd0", ENOENT));
    EXPECT_EQ(driver.openDrive(0), nullptr);
    EXPECT_EQ(driver.openFailure(0), status.absenceCause);
    EXPECT_EQ(driver.openDrive(2), nullptr);
}

TEST(LinuxDriver, DeviceWithoutRawCommandsCountsAsAbsentWithItsCause) {
    svtest::TempDir dir;
    const std::string notAFloppy = dir.file("fd0");
    svtest::writeFile(notAFloppy, {0});
    LinuxFloppyDriver driver(notAFloppy, dir.file("fd1"));
    const DriverStatus status = driver.queryDriver();
    EXPECT_FALSE(status.present);
    EXPECT_EQ(status.absenceCause,
              "Raw floppy commands on " + notAFloppy + " failed: Inappropriate ioctl for device.");
}

}  // namespace
}  // namespace sv
