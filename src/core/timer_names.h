#pragma once

#include <string_view>

// The names of the program's timers, as the operators' documentation writes
// them. Every start, stop and test goes through these constants, so a
// misspelt name fails to compile instead of naming a timer that never runs.
namespace bf::TimerName {

// The main window's timers; app/timer_table.h gives their periods and handlers.
inline constexpr std::string_view UptimeDisplayUpdate = "tmrUptimeDisplayUpdate";
inline constexpr std::string_view Counter = "tmrCounter";
inline constexpr std::string_view GetMetadata = "tmrGetMetadata";
// The metadata tick's reading of a long log, a step at each round of the
// event loop, until it has read to the end.
inline constexpr std::string_view GetMetadataMore = "tmrGetMetadataMore";
inline constexpr std::string_view LoadEventsAndCalculate = "tmrLoadEventsAndCalculate";
inline constexpr std::string_view CheckAndDoEvents = "tmrCheckAndDoEvents";
inline constexpr std::string_view CheckMplayerOK = "tmrCheckMplayerOK";
// Between the watchdog's looks: whether the player on air has ended.
inline constexpr std::string_view PlayerEnd = "tmrPlayerEnd";
inline constexpr std::string_view ManagementDownload = "tmrManagementDownload";
inline constexpr std::string_view CheckForChanges = "tmrCheckForChanges";
inline constexpr std::string_view AirUpdate = "tmrAirUpdate";
inline constexpr std::string_view Weather = "tmrWeather";
inline constexpr std::string_view SourceCheck = "tmrSourceCheck";
inline constexpr std::string_view CheckFile = "tmrCheckFile";
// A switch's overlap, until the old player is stopped.
inline constexpr std::string_view SwitchOverlap = "tmrSwitchOverlap";
// The source list report after a switch, once the switch's caller is done.
inline constexpr std::string_view ReportSourceList = "tmrReportSourceList";

// The air monitor: what the station hears of its streams and players.
inline constexpr std::string_view AirMonitor = "tmrAirMonitor";

// The certificate watch (sources/certificate_watch.h), defined by the program.
inline constexpr std::string_view Certificates = "tmrCertificates";

// The operator's event command, one event at a time.
inline constexpr std::string_view EventHooks = "tmrEventHooks";

// The webhook's tick: repeats of lasting troubles and the sends' retries.
inline constexpr std::string_view Notify = "tmrNotify";

// The title outputs' tick (metadata/title_outputs.h), while the RDS feed runs.
inline constexpr std::string_view TitleOutputs = "tmrTitleOutputs";

// The API server window's connection time-out timer.
inline constexpr std::string_view ApiTimeout = "tmrApiTimeout";
// The status listener's connection time-out timer; runs while it has connections.
inline constexpr std::string_view StatusTimeout = "tmrStatusTimeout";

}  // namespace bf::TimerName
