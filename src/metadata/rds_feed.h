#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings_record.h"
#include "core/station_log.h"
#include "core/title_outputs_record.h"
#include "metadata/rds_text.h"
#include "platform/clock.h"
#include "platform/encoder_link.h"

namespace bf {

// A line for the station log and its priority.
using Say = std::function<void(std::string_view, LogPriority)>;

// RdsTarget read: tcp://HOST:PORT, udp://HOST:PORT (an IPv6 host in
// brackets) or serial:PATH:BAUD (the rate after the last colon, 1200 to
// 115200). `problem` says what is wrong when it is none of them.
struct ParsedTarget {
    std::optional<EncoderTarget> target;
    std::string problem;
};
ParsedTarget ParseEncoderTarget(std::string_view text);

// The bytes RdsLineEnd names ("CR", "CRLF", "LF" in any letter case).
std::optional<std::string> RdsLineEndBytes(std::string_view name);

// How the feed talks to the encoder, from the settings.
struct RdsConfig {
    EncoderTarget target;
    std::string shown;      // RdsTarget as written
    std::string command;    // RdsCommand
    std::string psCommand;  // RdsPsCommand; empty: no PS line
    size_t maxLength = 64;
    size_t psMaxLength = 8;
    std::string lineEnd = "\r";
    RdsCharset charset = RdsCharset::Ascii;
    int repeatSeconds = 60;  // 0: never again unless it changes
    bool operator==(const RdsConfig&) const = default;
};

// The feed's configuration from the settings: none without an RdsTarget,
// and none with `problem` saying why when a value cannot be used.
struct RdsSetup {
    std::optional<RdsConfig> config;
    std::string problem;
};
RdsSetup RdsSetupOf(const Settings& settings);

// The direct feed of an RDS encoder: the line metadata.txt shows, as the
// encoder's command, when it changes and again every RdsRepeatSeconds, at
// most one update (its RadioText line and its PS line) a second, the latest
// text winning. The link is opened again after a failure, 1 s later, then
// 2, 4, ... up to 60 s until it opens; a new link gets the current text at
// once. A failing
// encoder is said once, and its return once. Nothing waits for the encoder:
// what it does not take is dropped and counted.
class RdsFeed {
public:
    static constexpr double kMinGapSeconds = 1.0;
    static constexpr double kLongestRetrySeconds = 60.0;
    // A connection that has not opened by then has failed.
    static constexpr double kOpenTimeoutSeconds = 10.0;

    RdsFeed(const Clock& clock, EncoderLink& link, TitleOutputsRecord::Rds& record, Say say);
    ~RdsFeed();
    RdsFeed(const RdsFeed&) = delete;
    RdsFeed& operator=(const RdsFeed&) = delete;

    // Starts, stops or retargets the feed; the same configuration again
    // changes nothing.
    void configure(const std::optional<RdsConfig>& config);
    bool on() const { return config_.has_value(); }
    // The line metadata.txt shows now; empty sends nothing.
    void setText(std::string_view line);
    // What is due: a held update, a repeat, a new try of the link. Runs
    // every 100 ms while the feed is on.
    void tick();

private:
    enum class LinkState { Closed, Opening, Open };

    void openLink();
    void opened();
    void failed(const std::string& why);
    void sendUpdate(double now);
    void sayFailing(const std::string& why);
    void sayAnswers();

    const Clock& clock_;
    EncoderLink& link_;
    TitleOutputsRecord::Rds& record_;
    Say say_;
    std::optional<RdsConfig> config_;
    LinkState state_ = LinkState::Closed;
    std::string text_;
    std::string sentText_;  // the text the encoder took last on this link
    double lastSentAt_ = -1e9;
    double openedAt_ = 0;
    double retryAt_ = 0;
    double retryDelay_ = 1;
};

}  // namespace bf
