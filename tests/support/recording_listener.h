#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/station_events.h"

namespace bf::test {

// Notes every event the station's parts announce, one line each:
// "switch 2 api", "failover 3 (why) backup", "return 3", "restart 3",
// "last resort", "title Song".
class RecordingListener : public StationListener {
public:
    void switched(const SwitchEvent& e) override {
        events.push_back("switch " + std::to_string(e.to.number) + " " +
                         std::string(kSwitchCauseNames[static_cast<size_t>(e.cause)]));
    }
    void failoverStarted(const FailoverEvent& e) override {
        static constexpr const char* kStandIn[] = {"backup", "last resort", "none"};
        events.push_back((e.silence ? "silence " : "failover ") + std::to_string(e.failed.number) + " (" +
                         e.reason + ") " + kStandIn[static_cast<size_t>(e.standIn)]);
    }
    void returned(const AirSource& s) override { events.push_back("return " + std::to_string(s.number)); }
    void failoverResumed(const AirSource& s) override {
        events.push_back("resumed " + std::to_string(s.number));
    }
    void titleChanged(const TitleChange& change) override { events.push_back("title " + change.title); }
    void playerRestarted(const RestartEvent& e) override {
        events.push_back("restart " + std::to_string(e.source.number));
    }
    void checked(const CheckEvent& e) override { ++checks[static_cast<size_t>(e.result)]; }
    void lastResort(const LastResortEvent& e) override {
        events.push_back("last resort " + std::to_string(e.failed.number) + " (" + e.reason + ")");
    }

    void lastResortTrack(const std::string& title) override { events.push_back("track " + title); }

    std::vector<std::string> events;
    std::array<uint64_t, 3> checks{};  // the health checks' verdicts, by HealthCheckResult
};

}  // namespace bf::test
