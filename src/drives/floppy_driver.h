#pragma once

// The floppy driver layer: the five operations a disk read needs (version query, seek, data
// rate, track scan, sector read), the control device and drives A and B. The physical reader
// and the discovery take it as an argument, so they run unchanged on the Linux raw-command
// driver, on the simulated drive and on the tests' scripted fakes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace sv {

// Versions are four bytes, most significant first: major, minor, release, build.
inline constexpr std::uint32_t kRequiredDriverVersion = 0x0100010A;  // 1.0.1.10

// Only the upper 16 bits are compared: 1.0.0.x passes, 2.x and 1.1.x do not.
[[nodiscard]] constexpr bool driverVersionAccepted(std::uint32_t version) {
    return (version >> 16) == (kRequiredDriverVersion >> 16);
}

// "1.00.01.10": the major byte in plain digits, the other three as two digits each.
[[nodiscard]] std::string formatDriverVersion(std::uint32_t version);

// Data rate codes as the controller takes them.
namespace rate {
inline constexpr std::uint8_t kbps500 = 0;
inline constexpr std::uint8_t kbps300 = 1;
inline constexpr std::uint8_t kbps250 = 2;
}  // namespace rate

// Encoding flags of a scan or a read request.
namespace encoding {
inline constexpr std::uint8_t mfm = 0x40;
inline constexpr std::uint8_t fm = 0x00;
}  // namespace encoding

struct SectorId {
    std::uint8_t cylinder = 0;
    std::uint8_t head = 0;
    std::uint8_t record = 0;
    std::uint8_t sizeCode = 0;

    friend bool operator==(const SectorId&, const SectorId&) = default;
};

inline constexpr int kMaxScanIds = 33;

// The IDs of one track in the order they pass the head from the index (or from the widest gap
// where the index cannot be seen); count 0 = none found. IDs past `count` are zero.
struct TrackScan {
    std::uint8_t count = 0;
    std::array<SectorId, kMaxScanIds> ids{};
    // IDs whose own CRC failed: their sectors cannot be asked for.
    std::uint8_t badIdCount = 0;
    // READ IDs that failed without telling anything (timeouts, errors).
    int failedReadIds = 0;
    // Part of the track was never seen and could hold IDs.
    bool incomplete = false;
};

// The nine request bytes of a sector read.
struct ReadRequest {
    std::uint8_t flags = 0;  // encoding::mfm or encoding::fm
    std::uint8_t physicalHead = 0;
    std::uint8_t cylinder = 0;
    std::uint8_t head = 0;
    std::uint8_t record = 0;
    std::uint8_t sizeCode = 0;
    std::uint8_t endOfTrack = 0;
    std::uint8_t gapLength = 0;
    std::uint8_t dataLength = 0;

    friend bool operator==(const ReadRequest&, const ReadRequest&) = default;
};

enum class ReadOutcome {
    Read,      // the sector came back good
    CrcError,  // the data field failed its CRC; the bytes returned are the damaged data
    Failed,    // any other failure (no such sector, no data mark, timeout, ...)
};

struct ReadResult {
    ReadOutcome outcome = ReadOutcome::Failed;
    std::size_t bytesReturned = 0;
    bool deletedMark = false;  // the data field carried the deleted-data mark
};

// An open drive, held for a whole disk read and closed when destroyed.
class FloppyDrive {
public:
    virtual ~FloppyDrive() = default;
    virtual void seek(std::uint8_t cylinder, std::uint8_t head) = 0;
    virtual void setDataRate(std::uint8_t rateCode) = 0;
    // flags: encoding::mfm or encoding::fm.
    [[nodiscard]] virtual TrackScan scanTrack(std::uint8_t flags, std::uint8_t head) = 0;
    // Reads into `buffer` (128 << sizeCode bytes are asked for).
    [[nodiscard]] virtual ReadResult readSector(const ReadRequest& request,
                                                std::span<std::uint8_t> buffer) = 0;
};

// What opening the control device told: whether the driver is there and its version.
struct DriverStatus {
    bool present = false;
    std::uint32_t version = 0;  // 0 when the version query failed
    // Why the driver counts as absent when the reason is known (one log line), else empty.
    std::string absenceCause;
};

class FloppyDriver {
public:
    virtual ~FloppyDriver() = default;
    // Opens the control device, queries the version, closes it again.
    [[nodiscard]] virtual DriverStatus queryDriver() = 0;
    // unit 0 = drive A, 1 = drive B; nullptr when the drive does not open.
    [[nodiscard]] virtual std::unique_ptr<FloppyDrive> openDrive(int unit) = 0;
    // Why the last openDrive(unit) gave nullptr, as one log line; empty when not known.
    [[nodiscard]] virtual std::string openFailure(int unit) const {
        (void)unit;
        return {};
    }
};

}  // namespace sv
