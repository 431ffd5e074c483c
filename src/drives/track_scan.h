#pragma once

// The track scan both drives run: READ ID after READ ID, each timestamped, for at least two
// revolutions. The IDs are placed by their angle, so a failed READ ID costs time, not IDs. A
// stretch between two IDs long enough to hide another is probed: a READ ID timed to start just
// after the first ID answers the next one there is, so a controller too slow to catch the ID
// after the one it answered still shows every ID. The scan ends when no stretch could hide an
// ID (one may: the gap before the index), or at its time budget, when it says it is incomplete.

#include <chrono>
#include <cstdint>

#include "drives/floppy_driver.h"

namespace sv {

using Nanoseconds = std::chrono::nanoseconds;

enum class IdAnswerKind {
    Id,      // a good ID
    BadId,   // an ID whose own CRC failed; its bytes are not trusted
    NoId,    // the controller saw no ID for two index pulses
    Failed,  // timeout or any other failure: tells nothing about the track
};

struct IdAnswer {
    IdAnswerKind kind = IdAnswerKind::Failed;
    SectorId id{};
    // Issued again after a signal: when the controller began to watch is not known.
    bool retried = false;
};

// What a scan needs of a drive: one READ ID, a monotonic clock, and a wait.
class ReadIdPort {
public:
    virtual ~ReadIdPort() = default;
    // flags: encoding::mfm or encoding::fm.
    [[nodiscard]] virtual IdAnswer readId(std::uint8_t flags, std::uint8_t head) = 0;
    [[nodiscard]] virtual Nanoseconds now() = 0;
    virtual void waitFor(Nanoseconds duration) = 0;
};

struct ScanTiming {
    Nanoseconds revolution;  // nominal index-to-index time
    Nanoseconds byteTime;    // one byte in the scanned encoding at the rate set
};

inline constexpr Nanoseconds kRevolutionAt360Rpm{166'666'667};

// The timing of a drive turning at 360 rpm (8-inch and 1.2M drives) at `rateCode`.
[[nodiscard]] ScanTiming scanTiming(std::uint8_t rateCode, std::uint8_t flags);

// The smallest distance from the end of one ID to the end of the next when the first belongs to
// a sector of 128 << sizeCode bytes: the data field and the next ID, without gaps.
[[nodiscard]] Nanoseconds minimumIdSpacing(std::uint8_t sizeCode, std::uint8_t flags,
                                           Nanoseconds byteTime);

// `latencyBound`: the longest the controller can take from a READ ID's start until it watches
// the track. The scan narrows it and the drive keeps it for its next scans; a drive starts it at
// a revolution.
[[nodiscard]] TrackScan scanTrackByTime(ReadIdPort& port, const ScanTiming& timing,
                                        std::uint8_t flags, std::uint8_t head,
                                        Nanoseconds& latencyBound);

// A command interrupted by a signal that was not its deadline is issued again, a few times.
inline constexpr int kMaxInterruptedRetries = 8;

template <typename Attempt>
[[nodiscard]] auto retryInterrupted(Attempt attempt) {
    auto result = attempt();
    for (int retry = 0; retry < kMaxInterruptedRetries && result.interrupted; ++retry) {
        result = attempt();
    }
    return result;
}

}  // namespace sv
