#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/air_state.h"
#include "core/certificate_record.h"
#include "core/check_record.h"
#include "core/console_model.h"
#include "core/management_state.h"
#include "core/metadata_state.h"
#include "core/notify_record.h"
#include "core/now_playing_record.h"
#include "core/on_air_record.h"
#include "core/outside_service.h"
#include "core/schedule_state.h"
#include "core/settings_record.h"
#include "core/station_counters.h"
#include "core/station_events.h"
#include "core/station_log.h"
#include "core/station_state.h"
#include "core/title_outputs_record.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/process_stats.h"
#include "platform/processes.h"
#include "platform/timers.h"

namespace bf {

// Addresses of the outside services and other start-up choices.
struct StationOptions {
    int apiPort = 1011;
    std::string airUrl = "http://air.radiotime.com";
    std::string weatherUrl = "http://api.openweathermap.org";
    std::string apiBind;  // the API's listening address; empty: every interface
    // The stream monitor program (brackenfield-monitor); app/ finds it beside
    // the program.
    std::string monitorProgram = "brackenfield-monitor";
};

// What the station reaches the outside world through. The real program
// hands in the Qt/POSIX implementations, tests hand in fakes.
struct Platform {
    Clock& clock;
    Processes& processes;
    Timers& timers;
    HttpClient& InetTestURL;
    HttpClient& Inet1;
    HttpClient& InetAIR;
    HttpClient& InetTallyway;
    HttpClient& InetWeather;
    const ProcessStats& processStats;
};

// A status text and when it was made: "YYYY-MM-DD HH:MM:SS" + text.
struct Stamped {
    LocalTime at;
    std::string text;
};

// What the API's status label tells: closed (by default, or for want of a
// usable key), open, or not listening.
enum class ApiStatus { Disabled, NoKey, ExampleKey, Enabled, NotListening };

// The API server window's public fields and its status rows.
struct ApiServerModel {
    bool created = false;
    std::string response;
    std::vector<std::string> rows;  // row i is connection slot i's status
    ApiStatus status = ApiStatus::Disabled;
    std::string notListening;  // with NotListening: the port and why
    // The last request's client and command ("  NET - 127.0.0.1 - ...");
    // from the start until the first, that none was made. Nothing before
    // the start.
    std::optional<Stamped> lastRequest;
};

// The whole program: state record, console model and platform services
// (station.clock, station.Inet1, ...). Handlers are free functions that take
// the Station.
struct Station : Platform {
    Station(Platform platform, std::filesystem::path workingFolder, StationOptions options = {});

    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    const std::filesystem::path workingFolder;
    const StationOptions options;

    // The settings as last read; a reading made while a handler holds the
    // old record leaves it whole until the handler lets go of it.
    const Settings& settings() const { return *settings_; }
    std::shared_ptr<const Settings> sharedSettings() const { return settings_; }
    void replaceSettings(Settings next) { settings_ = std::make_shared<Settings>(std::move(next)); }

    StationState state;
    StationLog log;
    OnAirRecord onAir;
    ScheduleState schedule;
    AirState air;
    CheckRecord check;
    ConsoleModel console;
    ApiServerModel api;
    NowPlayingRecord nowPlaying;
    MetadataState metadata;
    ManagementState management;
    // Outside services (OutsideService) whose last request failed.
    std::array<bool, kOutsideServiceNames.size()> servicesFailing{};
    StationCounters counters;
    // The RDS encoder's feed and the station's own Icecast mount.
    TitleOutputsRecord titleOutputs;
    // What the webhook was told (app/reactions/notifier).
    NotifyRecord notify;
    // What the station read of its HTTPS sources' certificates.
    CertificateRecord certificates;

    // Told of switches, failovers, returns, titles and restarts; app/ points
    // it at the reactions it wires. By default nobody listens.
    StationListener* listener = &NobodyListens();
    // The events waiting for the listener until the running handler returns.
    EventQueue events;

    // Ends the program at once (no further handler runs). Set by
    // app/Program; tests record the call.
    std::function<void()> quit = [] {};
    // Creates and shows the API server window (startup, when allowed).
    std::function<void()> openApiServer = [] {};
    // Receives every station log line, stamped, without its line end (the
    // program copies it to standard output).
    std::function<void(std::string_view, LogPriority)> logSink = [](std::string_view, LogPriority) {};

    // Every file of the station is opened as working folder + bare name.
    std::filesystem::path file(std::string_view bareName) const {
        return workingFolder / std::string(bareName);
    }

private:
    std::shared_ptr<const Settings> settings_ = std::make_shared<Settings>();
};

// Adds one line to the top of the station log (station.log, which the
// console shows as txtAIR): " YYYY-MM-DD HH:MM:SS" + message + CR LF. The
// same line is appended to station.log in the working folder and handed,
// without its leading blank and line end, to the station's logSink (standard
// output in the program), so the record outlives the window, with its
// priority. Neither copy can hold up or fail the caller.
void AddToAirLog(Station& station, std::string_view message, LogPriority priority = LogPriority::Info);

// The same line, posted among the station's events (EventQueue): it keeps
// its place after the events its handler posted before it.
void PostToAirLog(Station& station, std::string message, LogPriority priority = LogPriority::Info);

// Posts an event for the station's listener: it is told once the running
// handler returns (see EventQueue).
template <typename Event>
void PostEvent(Station& station, void (StationListener::*method)(const Event&), Event event) {
    station.events.post(*station.listener, [method, event = std::move(event)](StationListener& listener) {
        (listener.*method)(event);
    });
}

// "YYYY-MM-DD HH:MM:SS" of `at` directly followed by the message.
std::string StampedText(const LocalTime& at, std::string_view message);

// The same at the station clock's time now, for status labels.
std::string StampedStatus(const Station& station, std::string_view message);

}  // namespace bf
