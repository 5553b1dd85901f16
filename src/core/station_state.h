#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// A paid item waiting for the billing server's answer: its stamp and its
// text with the leading "$ ". Two are the same item when stamp and text are.
struct PaidItem {
    std::string stamp;
    std::string item;
    // Billing ticks (seconds) until the next attempt after a failed one; 0:
    // due now.
    int16_t retryCountdown = 0;
    bool operator==(const PaidItem& other) const { return stamp == other.stamp && item == other.item; }
};

// Where the metadata tick stands in the active player's log: the slot and
// the file, the end of the last complete line read and the bytes just before
// it. A log that is another file or no longer holds those bytes there is a
// fresh one (a player started anew), read from its start. `kept` holds, by
// the reader's table, the lines kept when the log is cut: its last stream
// header lines, its start of playback and its last title line.
// `skipping`: the read is inside a line too long to take, skipped to its end.
// `startedFar`: the start of playback lies beyond the log's first bytes,
// where the switch and the stream watch look for it.
struct PlayerLogPlace {
    int16_t slot = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t end = 0;
    std::string before;
    std::vector<std::string> kept;
    bool skipping = false;
    bool startedFar = false;
    // The slot of a player kept on air from the last run, whose log that run
    // has read: it is read to its end before its titles count (0: none).
    int16_t resumeSlot = 0;
    bool resuming = false;
};

// The station's record beside its settings (station.settings()), what is on
// air (station.onAir) and the schedule (station.schedule). Integers are
// 16-bit, the uptime 32-bit.
struct StationState {
    int16_t ManagementCounter = 0;
    std::string AIRLastArtist;
    std::string AIRLastTitle;
    int16_t WeatherCounter = 0;
    int16_t TimerCount = 0;
    int16_t MinMax = 0;
    std::string RXmetadata;
    std::string PreviousMetadata;
    int32_t SystemRuntime = 0;
    std::string SystemStart;
    std::string TallywayTT;
    std::string TallywayMM;
    std::string LastFileLine1;
    std::string LastFileLine2;
    int16_t StartupFlag = 1;

    // Kept beside the documented fields: paid items the billing server has
    // not yet answered for, oldest first.
    std::vector<PaidItem> PendingReports;
    // The paid title whose airing is on air, until the stream announces
    // another title: the same paid title read again from a fresh player log
    // (a restart of a player or of the program, a switch back) is the same
    // airing. Empty when no paid airing is on air.
    std::string PaidTitleOnAir;
    // The last title the title intake took, whoever read it: the title
    // before the next one the stream announces.
    std::string TitleTaken;
    PlayerLogPlace PlayerLog;
    // PendingReports has changed since kPendingReportsFile was written.
    bool PendingReportsUnsaved = false;
    // The queue was full and a paid airing went unreported.
    bool PendingReportsFull = false;
    // Why the last configuration download failed; empty after a success.
    std::string LastConfigFailure;
    // Outside services (OutsideService) whose last request failed.
    std::array<bool, 4> ServiceFailing{};
    // The station's files whose last write failed, with why (errno).
    std::map<std::string, int> FailingFiles;
};

}  // namespace bf
