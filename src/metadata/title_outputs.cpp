#include "metadata/title_outputs.h"

namespace bf {

TitleOutputs::TitleOutputs(const Clock& clock, Timers& timers, EncoderLink& link, HttpClient& http,
                           TitleOutputsRecord& record, Say say)
    : timers_(timers),
      say_(say),
      rds_(clock, link, record.rds, say),
      icecast_(clock, http, record.icecast, say) {
    timers_.define(TimerName::TitleOutputs, kTickMs, [this] { tick(); });
}

void TitleOutputs::configure(const Settings& settings, std::string_view line) {
    const RdsSetup rds = RdsSetupOf(settings);
    if (!rds.problem.empty() && rds.problem != rdsProblem_)
        say_("  SYS - RDS ENCODER OFF: " + rds.problem, LogPriority::Warning);
    rdsProblem_ = rds.problem;
    rds_.setText(line);
    rds_.configure(rds.config);
    if (rds_.on())
        timers_.start(TimerName::TitleOutputs);
    else
        timers_.stop(TimerName::TitleOutputs);

    std::optional<IcecastMount> mount;
    std::string problem;
    if (!settings.IcecastMetadataURL.empty()) {
        const ParsedMount parsed = ParseIcecastMetadataUrl(settings.IcecastMetadataURL);
        mount = parsed.mount;
        if (!mount) problem = "IcecastMetadataURL " + parsed.problem;
    }
    if (!problem.empty() && problem != icecastProblem_)
        say_("  SYS - ICECAST METADATA OFF: " + problem, LogPriority::Warning);
    icecastProblem_ = problem;
    icecast_.setText(line);
    icecast_.configure(mount);
}

void TitleOutputs::metadataLineChanged(const std::string& line) {
    rds_.setText(line);
    icecast_.setText(line);
}

}  // namespace bf
