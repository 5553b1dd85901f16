#include "app/reactions/event_command.h"

#include "core/run_handler.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/timer_names.h"
#include "core/url_credentials.h"

namespace bf {

EventCommand::EventCommand(Station& station) : station_(station) {
    station_.timers.define(TimerName::EventHooks, kTickMs,
                           [this] { RunHandler(station_, "tmrEventHooks_Timer", [this] { tick(); }); });
}

void EventCommand::switched(const SwitchEvent& event) {
    if (event.cause == SwitchCause::StepUp) tell("step-up", event.to);
    if (event.cause != SwitchCause::Failover && event.cause != SwitchCause::StepUp &&
        event.cause != SwitchCause::Return && event.cause != SwitchCause::Restart)
        tell("switch", event.to);
}

void EventCommand::failoverStarted(const FailoverEvent& event) {
    tell(event.silence ? "silence" : "failover", event.failed, WithoutCredentials(event.reason));
}

void EventCommand::returned(const AirSource& source) {
    tell("return", source);
}

void EventCommand::playerRestarted(const RestartEvent& event) {
    tell("restart", event.source);
}

void EventCommand::lastResort(const LastResortEvent& event) {
    tell("last-resort", event.failed, event.reason);
}

void EventCommand::standby(const StandbyEvent& event) {
    tell("standby", event.link, event.failing ? WithoutCredentials(event.why) : "heard again");
}

void EventCommand::titleChanged(const TitleChange& change) {
    if (change.cause == TitleCause::Announced) tell("title", station_.onAir.source(), change.title);
}

void EventCommand::tell(std::string_view event, const AirSource& source, std::string_view detail) {
    if (station_.settings().OnEventCommand.empty()) return;
    if (queue_.size() >= kQueueLimit) {
        queue_.pop_front();
        if (!overflowLogged_)
            AddToAirLog(station_, "  SYS - EVENT COMMAND TOO SLOW - OLDEST EVENTS DROPPED",
                        LogPriority::Warning);
        overflowLogged_ = true;
    }
    // A command line is readable by every user of the machine: the URL goes
    // without its user and password (a hook that needs them reads the source
    // list).
    queue_.push_back({std::string(event), std::to_string(source.number), source.name,
                      WithoutCredentials(source.url), std::string(detail)});
    if (!station_.timers.running(TimerName::EventHooks)) station_.timers.start(TimerName::EventHooks);
    tick();
}

void EventCommand::tick() {
    if (running_) {
        if (station_.processes.stillRunning(*running_)) {
            if (station_.clock.monotonicSeconds() - startedAt_ < kHookSeconds) return;
            station_.processes.stopProgram(*running_);
            AddToAirLog(station_, "  SYS - EVENT COMMAND STOPPED AFTER 10 S", LogPriority::Warning);
        }
        running_.reset();
    }
    if (queue_.empty()) {
        station_.timers.stop(TimerName::EventHooks);
        overflowLogged_ = false;
        return;
    }
    const std::vector<std::string> args = std::move(queue_.front());
    queue_.pop_front();
    running_ = station_.processes.startProgram(station_.settings().OnEventCommand, args);
    startedAt_ = station_.clock.monotonicSeconds();
    if (!running_)
        AddToAirLog(station_,
                    "  SYS - EVENT COMMAND " +
                        std::string(CutAtCharacter(station_.settings().OnEventCommand, 80)) +
                        " DID NOT START",
                    LogPriority::Warning);
}

}  // namespace bf
