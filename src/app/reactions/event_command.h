#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/on_air_record.h"
#include "core/station_events.h"
#include "platform/processes.h"

namespace bf {

struct Station;

// OnEventCommand: a program of the operator's, told of every event of the
// air (a switch, a failover, a return, a player's restart, the last resort,
// silence, a new title) with the event's name, the source's number, name and
// URL, and what is known of it (the reason of a failover or silence, the
// title) as its five arguments. It runs without a shell, one at a time, each for at most
// kHookSeconds; the station never waits for it.
class EventCommand : public StationListener {
public:
    static constexpr double kHookSeconds = 10;
    static constexpr size_t kQueueLimit = 32;
    static constexpr int kTickMs = 250;

    explicit EventCommand(Station& station);
    EventCommand(const EventCommand&) = delete;
    EventCommand& operator=(const EventCommand&) = delete;

    // A switch the schedule, the operator, the API or the management server
    // made ("switch"); a failover, a return and a restart are told as such.
    void switched(const SwitchEvent& event) override;
    void failoverStarted(const FailoverEvent& event) override;
    void returned(const AirSource& source) override;
    void playerRestarted(const RestartEvent& event) override;
    // The last resort, with the source that failed and why.
    void lastResort(const LastResortEvent& event) override;
    void standby(const StandbyEvent& event) override;
    // A title the stream announced ("title").
    void titleChanged(const TitleChange& change) override;

    // Queues the event; nothing happens without OnEventCommand.
    void tell(std::string_view event, const AirSource& source, std::string_view detail = {});
    // Ends a program that ran too long, starts the next: the timer's tick.
    void tick();

private:
    Station& station_;
    std::deque<std::vector<std::string>> queue_;
    std::optional<ProgramHandle> running_;
    double startedAt_ = 0;
    bool overflowLogged_ = false;
};

}  // namespace bf
