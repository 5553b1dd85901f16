#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/now_playing_record.h"
#include "core/on_air_record.h"

namespace bf {

// A switch of the source on air, told after the new player has started.
struct SwitchEvent {
    AirSource from;  // number -1: nothing was on air
    AirSource to;
    int16_t slot = 0;
    SwitchCause cause = SwitchCause::Schedule;
    // Who chose it, for a switch from the browser console: the user, or
    // "api" for the API's key.
    std::string by = {};
};

// What stands in for a failed source.
enum class StandIn { Backup, LastResort, None };

// A failure that started a failover: the source that failed, why, and what
// stands in for it (with none, it stays on air).
struct FailoverEvent {
    AirSource failed;
    std::string reason;
    bool silence = false;  // the source was on air but silent
    StandIn standIn = StandIn::Backup;
};

// The last resort file went on air for `failed` (the selected source): why.
struct LastResortEvent {
    AirSource failed;
    std::string reason;
};

// A standby link of the backup chain was heard failing (why), or heard
// again once it had flowed for the return's hold.
struct StandbyEvent {
    AirSource link;
    bool failing = false;
    std::string why;
};

// No player of `source` runs (or it hung): it is started again. `slot` is
// the slot whose player ended.
struct RestartEvent {
    AirSource source;
    int16_t slot = 0;
};

// Why a player was refreshed (replaced by a fresh one of the same source):
// its age, its memory, or the daily time.
enum class RefreshReason { Age, Memory, Time };
inline constexpr std::array<std::string_view, 3> kRefreshReasonNames = {"age", "memory", "time"};
// The player on `slot` was replaced by a fresh one playing `source`: no
// switch, a restart of the same source for titles and billing.
struct RefreshEvent {
    AirSource source;
    int16_t slot = 0;
    RefreshReason reason = RefreshReason::Age;
};

// Restarts of `source`'s player are held: `inARow` were made, the next
// waits `nextInSeconds`.
struct RestartsHeld {
    AirSource source;
    int inARow = 0;
    double nextInSeconds = 0;
};

// One channel (0 left, 1 right) of the source on air fell silent while the
// other plays, or was heard again.
struct ChannelSilence {
    AirSource source;
    int channel = 0;
    bool silent = false;
};

// The source on air, as heard, began to stall (no audio came) or fell
// silent: why, in words ("no audio for 2 s", "silent for 10 s").
struct AirTrouble {
    AirSource source;
    bool silence = false;
    std::string why;
};

// What a health check found, and for one that asked the server how long it
// waited. NoVerdict: no answer while the management link was busy, or a
// hearing that tells nothing yet.
// The remote API's commands; Other is a request that names none of them (or
// no request at all). A request for a command with a wrong key counts under
// that command as Denied.
enum class ApiCommand {
    GetCurrent,
    SetCurrent,
    ListSources,
    Metadata,
    SetMode,
    LeaveBackup,
    RestartPlayer,
    Other
};
inline constexpr std::array<std::string_view, 8> kApiCommandNames = {
    "getcurrent", "setcurrent",  "listsources",   "metadata",
    "setmode",    "leavebackup", "restartplayer", "other"};
enum class ApiResult { Ok, Error, Denied };
inline constexpr std::array<std::string_view, 3> kApiResultNames = {"ok", "error", "denied"};
// A request to the remote API was answered.
struct ApiAnswered {
    ApiCommand command = ApiCommand::Other;
    ApiResult result = ApiResult::Error;
};

// The billing server's answer to a report: taken, refused for good, or none
// (the report is sent again later).
enum class BillingOutcome { Answered, Refused, Unanswered };
struct BillingAnswer {
    BillingOutcome outcome = BillingOutcome::Unanswered;
};

// A file the station writes could not be written (its name).
struct FileWriteFailure {
    std::string name;
};

// The station's files could not be written (the first file, and why: a
// full disk, a folder turned read-only), or are written again (`over`).
struct FileTrouble {
    std::string name;
    std::string why;
    bool over = false;
};

// The certificate chain of an HTTPS source ends within two weeks, or has
// ended (`days` below 0): told once a day, with the line the station log says.
struct CertificateEvent {
    AirSource source;  // its number and name
    std::string address;
    double expiry = 0;  // seconds since 1970
    int days = 0;       // whole days left
    std::string text;
};

enum class HealthCheckResult { Passed, Failed, NoVerdict };
struct CheckEvent {
    HealthCheckResult result = HealthCheckResult::NoVerdict;
    std::optional<double> waited;
};

// What the station's parts tell each other through. The parts that own a
// decision post it (EventQueue) once their records are written; app/ wires
// the reactions (the station log's story, the counters, the as-run record,
// the event command, the source list report). Every method does nothing
// unless overridden, and none may hold its caller: slow work is put off to
// a later turn of the event loop.
class StationListener {
public:
    virtual ~StationListener() = default;
    virtual void switched(const SwitchEvent&) {}
    virtual void failoverStarted(const FailoverEvent&) {}
    // The selected source is back on air: its player plays again.
    virtual void returned(const AirSource&) {}
    // The received title changed, and why (never to an empty title but
    // after a failover to an empty strapline).
    virtual void titleChanged(const TitleChange&) {}
    // A new paid airing was recorded (tallyway.txt), to be billed once.
    virtual void paidAiring(const PaidItem&) {}
    // No player ran, or it hung: the source is started again.
    virtual void playerRestarted(const RestartEvent&) {}
    // The backup failed too, or there is none: the last resort file plays.
    virtual void lastResort(const LastResortEvent&) {}
    // The player on air was replaced by a fresh one of the same source.
    virtual void playerRefreshed(const RefreshEvent&) {}
    virtual void standby(const StandbyEvent&) {}
    // A track of the last resort began to play: its tags' "Artist - Title",
    // else its file's name.
    virtual void lastResortTrack(const std::string&) {}
    // A stall or silence of the air began (told once until the sound moves
    // again).
    virtual void airTrouble(const AirTrouble&) {}
    // A health check gave its verdict.
    virtual void checked(const CheckEvent&) {}
    // metadata.txt shows a new line (told by the metadata tick that wrote it).
    virtual void metadataLineChanged(const std::string&) {}
    virtual void apiAnswered(const ApiAnswered&) {}
    virtual void billingAnswered(const BillingAnswer&) {}
    virtual void fileWriteFailed(const FileWriteFailure&) {}
    // Told once when the files' trouble begins, and once when it ends.
    virtual void fileTrouble(const FileTrouble&) {}
    virtual void restartsHeld(const RestartsHeld&) {}
    virtual void channelSilence(const ChannelSilence&) {}
    virtual void certificateExpiring(const CertificateEvent&) {}
    // A start kept the last run's stand-in on air (KeepAirOnStart): the
    // failover of `failed` that the last run began goes on.
    virtual void failoverResumed(const AirSource& /*failed*/) {}
};

// A listener that does nothing, for a station nobody listens to.
inline StationListener& NobodyListens() {
    static StationListener nobody;
    return nobody;
}

// The events of the station, in the order they happened. An owner posts
// them once its record is written; they reach the listener when the
// outermost handler that is running returns (see DeliveryScope), so that
// every listener sees whole records and causes are told before effects (a
// line for the station log may be posted too, to keep its place). An event
// posted while no handler runs is delivered at once.
class EventQueue {
public:
    using Event = std::function<void(StationListener&)>;

    void post(StationListener& listener, Event event) {
        queue_.push_back(std::move(event));
        if (depth_ == 0) deliver(listener);
    }
    // Tells the listener every event waiting, and those its reactions post
    // meanwhile. An event whose delivery fails is handed to `failed` and the
    // next one is delivered.
    void deliver(StationListener& listener) {
        if (delivering_) return;
        delivering_ = true;
        while (!queue_.empty()) {
            Event event = std::move(queue_.front());
            queue_.pop_front();
            try {
                event(listener);
            } catch (const std::exception& e) {
                Failed(e.what());
            } catch (...) {
                Failed("unknown failure");
            }
        }
        delivering_ = false;
    }
    // Told of an event whose delivery failed (the program logs it).
    std::function<void(std::string_view)> failed = [](std::string_view) {};
    bool empty() const { return queue_.empty(); }

private:
    friend class DeliveryScope;
    void Failed(std::string_view why) {
        try {
            failed(why);
        } catch (...) {
        }
    }
    std::deque<Event> queue_;
    int depth_ = 0;
    bool delivering_ = false;
};

// Held by a handler while it runs: the events its steps post wait until
// the outermost scope ends.
class DeliveryScope {
public:
    DeliveryScope(EventQueue& queue, StationListener& listener) : queue_(queue), listener_(listener) {
        ++queue_.depth_;
    }
    ~DeliveryScope() {
        if (--queue_.depth_ == 0) queue_.deliver(listener_);
    }
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;

private:
    EventQueue& queue_;
    StationListener& listener_;
};

}  // namespace bf
