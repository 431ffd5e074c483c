#include "drives/track_scan.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

namespace sv {

namespace {

constexpr int kMinRevolutions = 2;
constexpr int kMaxRevolutions = 12;
// A clock that stands still (a broken drive layer) must not keep a scan going.
constexpr int kMaxCommands = 4000;
// Between the end of one ID and the end of the next, besides the data bytes: gap 2, the data
// mark with its sync, the data CRC, and the next ID with its sync.
constexpr int kFmFieldBytes = 11 + 7 + 2 + 13;
constexpr int kMfmFieldBytes = 22 + 16 + 2 + 22;
constexpr int kMaxSizeCode = 7;
// The address mark, the ID and its CRC, without sync: an ID can be no shorter.
constexpr int kShortestIdBytes = 7;

struct Sighting {
    Nanoseconds ended;
    IdAnswerKind kind;
    SectorId id;
};

struct Cluster {
    Nanoseconds angle;
    bool good = false;
    SectorId id{};
    int sightings = 1;
};

Nanoseconds modulo(Nanoseconds value, Nanoseconds period) {
    const Nanoseconds r = value % period;
    return r < Nanoseconds::zero() ? r + period : r;
}

// The same good ID seen again lies a whole number of revolutions later; the longest such
// stretch gives the finest measure of the drive's real speed.
Nanoseconds measuredRevolution(const std::vector<Sighting>& sightings, Nanoseconds nominal) {
    Nanoseconds best = nominal;
    long bestTurns = 0;
    for (std::size_t i = 0; i < sightings.size(); ++i) {
        if (sightings[i].kind != IdAnswerKind::Id) {
            continue;
        }
        for (std::size_t j = sightings.size(); j-- > i + 1;) {
            if (sightings[j].kind != IdAnswerKind::Id || !(sightings[j].id == sightings[i].id)) {
                continue;
            }
            const Nanoseconds span = sightings[j].ended - sightings[i].ended;
            const long turns = static_cast<long>((span + nominal / 2) / nominal);
            // Off by more than a twentieth of a turn: a second ID with the same fields.
            if (turns > bestTurns && std::abs((span - turns * nominal).count()) * 20 < nominal.count()) {
                best = span / turns;
                bestTurns = turns;
            }
            break;
        }
    }
    return best;
}

// Sightings closer than `tolerance` in angle are one ID; a good sighting names it.
std::vector<Cluster> clustersOf(const std::vector<Sighting>& sightings, Nanoseconds start,
                                Nanoseconds revolution, Nanoseconds tolerance) {
    std::vector<Cluster> items;
    for (const Sighting& s : sightings) {
        items.push_back(Cluster{modulo(s.ended - start, revolution), s.kind == IdAnswerKind::Id,
                                s.id});
    }
    std::sort(items.begin(), items.end(),
              [](const Cluster& a, const Cluster& b) { return a.angle < b.angle; });
    std::vector<Cluster> clusters;
    Nanoseconds last{};
    for (const Cluster& item : items) {
        const bool near = !clusters.empty() && item.angle - last <= tolerance;
        const bool otherId = near && clusters.back().good && item.good &&
                             !(clusters.back().id == item.id);
        if (near && !otherId) {
            ++clusters.back().sightings;
            if (item.good && !clusters.back().good) {
                clusters.back().good = true;
                clusters.back().id = item.id;
            }
        } else {
            clusters.push_back(item);
        }
        last = item.angle;
    }
    // The first and the last may be one ID seen either side of the starting angle.
    if (clusters.size() > 1 &&
        clusters.front().angle + revolution - clusters.back().angle <= tolerance &&
        !(clusters.front().good && clusters.back().good &&
          !(clusters.front().id == clusters.back().id))) {
        if (clusters.back().good && !clusters.front().good) {
            clusters.front().good = true;
            clusters.front().id = clusters.back().id;
        }
        clusters.front().sightings += clusters.back().sightings;
        clusters.pop_back();
    }
    return clusters;
}

// A stretch from one ID to the next that a probe found to hold nothing else (angles of the two
// ID ends).
struct Confirmed {
    Nanoseconds from;
    Nanoseconds to;
};

struct Coverage {
    std::vector<std::size_t> holesAfter;  // clusters followed by a stretch that could hide an ID
    std::size_t afterWidestGap = 0;       // the cluster that follows the widest stretch
};

bool near(Nanoseconds a, Nanoseconds b, Nanoseconds revolution, Nanoseconds tolerance) {
    const Nanoseconds d = modulo(a - b, revolution);
    return d <= tolerance || revolution - d <= tolerance;
}

Coverage coverageOf(const std::vector<Cluster>& clusters, const std::vector<Confirmed>& confirmed,
                    Nanoseconds revolution, Nanoseconds tolerance, std::uint8_t flags,
                    Nanoseconds byteTime) {
    Coverage coverage;
    std::uint8_t smallest = kMaxSizeCode;
    for (const Cluster& c : clusters) {
        if (c.good) {
            smallest = std::min<std::uint8_t>(smallest, c.id.sizeCode);
        }
    }
    const Nanoseconds hiddenSector = minimumIdSpacing(0, flags, byteTime);
    Nanoseconds widest{-1};
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const std::size_t next = (i + 1) % clusters.size();
        const Nanoseconds arc = clusters.size() == 1
                                    ? revolution
                                    : modulo(clusters[next].angle - clusters[i].angle, revolution);
        const std::uint8_t size = clusters[i].good ? clusters[i].id.sizeCode : smallest;
        const bool known = std::any_of(confirmed.begin(), confirmed.end(), [&](const Confirmed& c) {
            return near(c.from, clusters[i].angle, revolution, tolerance) &&
                   near(c.to, clusters[next].angle, revolution, tolerance);
        });
        if (!known && arc >= minimumIdSpacing(size, flags, byteTime) + hiddenSector) {
            coverage.holesAfter.push_back(i);
        }
        if (arc > widest) {
            widest = arc;
            coverage.afterWidestGap = next;
        }
    }
    return coverage;
}

}  // namespace

ScanTiming scanTiming(std::uint8_t rateCode, std::uint8_t flags) {
    const long bitsPerSecond = rateCode == rate::kbps500   ? 500'000
                               : rateCode == rate::kbps300 ? 300'000
                                                           : 250'000;
    const long fmFactor = (flags & encoding::mfm) != 0 ? 1 : 2;
    return ScanTiming{kRevolutionAt360Rpm, Nanoseconds{8'000'000'000L * fmFactor / bitsPerSecond}};
}

Nanoseconds minimumIdSpacing(std::uint8_t sizeCode, std::uint8_t flags, Nanoseconds byteTime) {
    const long fieldBytes = (flags & encoding::mfm) != 0 ? kMfmFieldBytes : kFmFieldBytes;
    return byteTime * (fieldBytes + (128L << std::min<int>(sizeCode, kMaxSizeCode)));
}

TrackScan scanTrackByTime(ReadIdPort& port, const ScanTiming& timing, std::uint8_t flags,
                          std::uint8_t head, Nanoseconds& latencyBound) {
    TrackScan scan;
    std::vector<Sighting> sightings;
    std::vector<Confirmed> confirmed;
    const Nanoseconds start = port.now();
    const Nanoseconds idTime = timing.byteTime * kShortestIdBytes;
    // Half the closest two IDs can lie: finer than any stretch that could hold an ID.
    const Nanoseconds resolution = minimumIdSpacing(0, flags, timing.byteTime) / 2;
    Nanoseconds revolution = timing.revolution;
    int commands = 0;
    bool nothingThere = false;

    struct Timed {
        Nanoseconds issued;
        Nanoseconds ended;
    };
    // When the READ ID was issued and its ID ended; nothing when no ID was answered, or when the
    // READ ID was issued again and so tells nothing of when the controller began to watch.
    auto readId = [&]() -> std::optional<Timed> {
        ++commands;
        const Nanoseconds issued = port.now();
        const IdAnswer answer = port.readId(flags, head);
        const Nanoseconds ended = port.now();
        if (answer.kind == IdAnswerKind::Id || answer.kind == IdAnswerKind::BadId) {
            sightings.push_back(Sighting{ended, answer.kind, answer.id});
            // The controller was watching before this ID began.
            latencyBound = std::min(latencyBound, ended - idTime - issued);
            return answer.retried ? std::nullopt : std::optional<Timed>(Timed{issued, ended});
        }
        if (answer.kind == IdAnswerKind::NoId && sightings.empty()) {
            nothingThere = true;  // two index pulses passed without an ID
        } else {
            ++scan.failedReadIds;
        }
        return std::nullopt;
    };
    auto elapsedTurns = [&] { return (port.now() - start) / revolution; };

    while (elapsedTurns() < kMinRevolutions && commands < kMaxCommands && !nothingThere) {
        (void)readId();
    }
    std::vector<Cluster> clusters;
    Coverage coverage;
    bool settled = false;
    while (!nothingThere && !sightings.empty()) {
        revolution = measuredRevolution(sightings, timing.revolution);
        clusters = clustersOf(sightings, start, revolution, resolution);
        coverage = coverageOf(clusters, confirmed, revolution, resolution, flags, timing.byteTime);
        // One stretch long enough to hold a sector is the gap before the index, when every ID
        // came round again: the READ IDs kept up with the track.
        settled = coverage.holesAfter.empty() ||
                  (coverage.holesAfter.size() == 1 &&
                   std::all_of(clusters.begin(), clusters.end(),
                               [](const Cluster& c) { return c.sightings > 1; }));
        if (settled || elapsedTurns() >= kMaxRevolutions || commands >= kMaxCommands) {
            break;
        }
        // Probe each stretch: start a READ ID so the controller begins to watch just after the
        // ID before it. The answer is then the next ID there is. When it is that same ID, the
        // controller is quicker than thought (the bound narrows), and the stretch is probed
        // again later; so is one whose READ ID started late (a wait that overslept).
        std::vector<std::size_t> pending = coverage.holesAfter;
        while (!pending.empty() && elapsedTurns() < kMaxRevolutions) {
            const Nanoseconds phase = modulo(port.now() - start, revolution);
            const Nanoseconds bound = latencyBound;
            const Nanoseconds lead = bound - resolution / 2;
            auto waitFor = [&](std::size_t cluster) {
                return modulo(clusters[cluster].angle - idTime - lead - phase, revolution);
            };
            const auto soonest = std::min_element(
                pending.begin(), pending.end(),
                [&](std::size_t a, std::size_t b) { return waitFor(a) < waitFor(b); });
            const Cluster before = clusters[*soonest];
            const Nanoseconds planned = port.now() + waitFor(*soonest);
            port.waitFor(planned - port.now());
            pending.erase(soonest);
            const std::optional<Timed> answered = readId();
            if (!answered || answered->issued > planned + resolution / 2) {
                continue;
            }
            const Nanoseconds angle = modulo(answered->ended - start, revolution);
            if (!near(angle, before.angle, revolution, resolution)) {
                confirmed.push_back(Confirmed{before.angle, angle});
            }
        }
    }
    scan.incomplete = !settled && !nothingThere && (!sightings.empty() || scan.failedReadIds > 0);
    for (std::size_t k = 0; k < clusters.size(); ++k) {
        const Cluster& c = clusters[(coverage.afterWidestGap + k) % clusters.size()];
        if (!c.good) {
            scan.badIdCount = static_cast<std::uint8_t>(std::min(scan.badIdCount + 1, 255));
        } else if (scan.count < kMaxScanIds) {
            scan.ids[scan.count++] = c.id;
        }
    }
    return scan;
}

}  // namespace sv
