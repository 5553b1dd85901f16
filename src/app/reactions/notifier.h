#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/notify_record.h"
#include "core/notify_text.h"
#include "core/settings_record.h"
#include "core/station_events.h"
#include "core/title_outputs_record.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/timers.h"

namespace bf {

// What the webhook's teller works with.
struct NotifierLinks {
    Clock& clock;
    Timers& timers;
    HttpClient& http;  // its own instance: one send at a time
    NotifyRecord& record;
    std::function<const Settings&()> settings;
    // Told of each send's outcome: the station log says once that the
    // webhook fails and once that it answers again, as for every outside
    // service.
    std::function<void(bool answered, std::string_view why)> outcome;
    std::string station;  // the name the messages carry
    // The RDS encoder's feed, whose trouble is read at each tick; none: not watched.
    const TitleOutputsRecord* titleOutputs = nullptr;
};

// The text/plain or JSON body of a notification, as NotifyFormat wants it.
struct NotifyBody {
    std::string contentType;
    std::string body;
};
NotifyBody NotifyBodyOf(const Notification& n, std::string_view format);

// Why a send failed ("HTTP 503", "connection refused"), in words that never
// hold the webhook's address.
std::string NotifyFailureWords(const HttpResult& reply);

// NotifyURL: tells a webhook when a trouble of the station begins and when
// it ends (a failover, the last resort, silence, a failing standby link,
// held restarts, files that cannot be written, a silent channel, the RDS
// encoder, a certificate near its end). A trouble that lasts is told again
// every NotifyRepeatMinutes; one of the same kind and source that begins
// again within NotifyRepeatMinutes of its end is told only once it has
// lasted that long, and its end only when its begin was told, so that a
// flapping backup sends no storm. The sends wait in a queue of at most
// kQueueLimit (the oldest dropped and counted), one at a time, each for at
// most kTimeoutMs, and a failed one is tried again later and later, at most
// kMaxTries times. Nothing here can hold up the air.
class Notifier : public StationListener {
public:
    static constexpr size_t kQueueLimit = 32;
    static constexpr int kTimeoutMs = 10000;
    static constexpr int kTickMs = 1000;
    static constexpr int kMaxTries = 8;
    static constexpr double kFirstRetrySeconds = 5;
    static constexpr double kLongestRetrySeconds = 300;

    explicit Notifier(NotifierLinks links);
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    // A failover (or silence) of the selected source begins; its return
    // ends it, told as "return".
    void failoverStarted(const FailoverEvent& event) override;
    void returned(const AirSource& source) override;
    // The last run's failover goes on after a start: its begin was told by
    // that run, so its end is told by this one.
    void failoverResumed(const AirSource& failed) override;
    // A choice (the schedule, the operator, ...) ends every failover; a
    // backup stepping in ends the last resort.
    void switched(const SwitchEvent& event) override;
    void lastResort(const LastResortEvent& event) override;
    void standby(const StandbyEvent& event) override;
    void restartsHeld(const RestartsHeld& event) override;
    // The held restart is made: the hold is over.
    void playerRestarted(const RestartEvent& event) override;
    void fileTrouble(const FileTrouble& event) override;
    void channelSilence(const ChannelSilence& event) override;
    // A source's certificate ends soon: the certificate watch says it once a
    // day, and each is told as it comes (no end follows).
    void certificateExpiring(const CertificateEvent& event) override;

    // Repeats what lasts, tells what waited out a flap, sends the next
    // message when its time has come: the timer's tick.
    void tick();

private:
    struct Trouble {
        std::string key;    // kind and source: one trouble of each at a time
        std::string event;  // as the message names it
        AirSource source;
        std::string reason;
        std::string text;  // the sentence of its begin, without the station's name
        double began = 0;
        double nextTell = 0;
        bool told = false;  // its begin was told
    };
    struct Pending {
        NotifyBody body;
        int tries = 0;
    };

    void begin(std::string key, std::string event, const AirSource& source, std::string reason,
               std::string text);
    // Ends the trouble of `key`, if one lasts: told as `event` when its begin was told.
    void end(std::string_view key, std::string_view event, std::string text, std::string reason = {});
    // Ends every trouble whose key starts with `prefix`.
    void endAll(std::string_view prefix, std::string_view event, const std::string& reason);
    // Queues the message; false when no webhook is set.
    bool tell(std::string_view event, bool begins, const AirSource& source, std::string_view reason,
              std::string_view text);
    void send();
    void answered(const HttpResult& reply);
    double repeatSeconds() const;

    NotifierLinks l_;
    std::vector<Trouble> troubles_;
    struct Ended {
        std::string key;
        double at = 0;
    };
    std::vector<Ended> ended_;  // within the repeat time
    std::deque<Pending> queue_;
    bool sending_ = false;
    double nextTry_ = 0;
};

}  // namespace bf
