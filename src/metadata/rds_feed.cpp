#include "metadata/rds_feed.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "core/text_decode.h"

namespace bf {

namespace {

constexpr std::array<int, 8> kBaudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::string_view kForms = "is not tcp://HOST:PORT, udp://HOST:PORT or serial:PATH:BAUD";

std::optional<int> WholeNumber(std::string_view digits) {
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

ParsedTarget NetworkTarget(EncoderTarget::Kind kind, std::string_view rest) {
    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":")
            return {std::nullopt, "has an IPv6 host without [ADDRESS]:PORT"};
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return {std::nullopt, "has no :PORT"};
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return {std::nullopt, "has an IPv6 host without brackets: write [ADDRESS]:PORT"};
    }
    if (host.empty() || host.find_first_of("/@ ") != std::string_view::npos)
        return {std::nullopt, "has no usable host"};
    const std::optional<int> number = WholeNumber(port);
    if (!number || *number < 1 || *number > 65535) return {std::nullopt, "has a port that is not 1-65535"};
    EncoderTarget target;
    target.kind = kind;
    target.host = std::string(host);
    target.port = static_cast<uint16_t>(*number);
    return {target, {}};
}

}  // namespace

std::optional<std::string> RdsLineEndBytes(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper == "CR") return "\r";
    if (upper == "CRLF") return "\r\n";
    if (upper == "LF") return "\n";
    return std::nullopt;
}

ParsedTarget ParseEncoderTarget(std::string_view text) {
    if (text.starts_with("tcp://")) return NetworkTarget(EncoderTarget::Kind::Tcp, text.substr(6));
    if (text.starts_with("udp://")) return NetworkTarget(EncoderTarget::Kind::Udp, text.substr(6));
    if (!text.starts_with("serial:")) return {std::nullopt, std::string(kForms)};
    const std::string_view rest = text.substr(7);
    const size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return {std::nullopt, "has no serial:PATH:BAUD"};
    const std::optional<int> baud = WholeNumber(rest.substr(colon + 1));
    if (!baud || std::ranges::find(kBaudRates, *baud) == kBaudRates.end())
        return {std::nullopt,
                "has a baud rate that is not 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200"};
    EncoderTarget target;
    target.kind = EncoderTarget::Kind::Serial;
    target.path = std::string(rest.substr(0, colon));
    target.baud = *baud;
    return {target, {}};
}

RdsSetup RdsSetupOf(const Settings& s) {
    if (s.RdsTarget.empty()) return {};
    const ParsedTarget parsed = ParseEncoderTarget(s.RdsTarget);
    if (!parsed.target) return {std::nullopt, "RdsTarget " + parsed.problem};
    RdsConfig config;
    config.target = *parsed.target;
    config.shown = s.RdsTarget;
    config.command = s.RdsCommand.empty() ? Settings{}.RdsCommand : s.RdsCommand;
    config.psCommand = s.RdsPsCommand;
    config.maxLength = static_cast<size_t>(std::max<int16_t>(1, s.RdsMaxLength));
    config.psMaxLength = static_cast<size_t>(std::max<int16_t>(1, s.RdsPsMaxLength));
    std::string problem;
    const std::optional<std::string> lineEnd = RdsLineEndBytes(s.RdsLineEnd);
    if (!lineEnd)
        problem = "RdsLineEnd=" + std::string(CutAtCharacter(s.RdsLineEnd, 20)) + " is not CR, CRLF or LF";
    config.lineEnd = lineEnd.value_or("\r");
    const std::optional<RdsCharset> charset = ParseRdsCharset(s.RdsCharset);
    if (!charset)
        problem = "RdsCharset=" + std::string(CutAtCharacter(s.RdsCharset, 20)) + " is not ascii or latin1";
    if (!problem.empty()) return {std::nullopt, problem};
    config.charset = *charset;
    config.repeatSeconds = std::max<int16_t>(0, s.RdsRepeatSeconds);
    return {config, {}};
}

RdsFeed::RdsFeed(const Clock& clock, EncoderLink& link, TitleOutputsRecord::Rds& record, Say say)
    : clock_(clock), link_(link), record_(record), say_(std::move(say)) {}

RdsFeed::~RdsFeed() {
    link_.close();
}

void RdsFeed::configure(const std::optional<RdsConfig>& config) {
    if (config == config_) return;
    link_.close();
    config_ = config;
    state_ = LinkState::Closed;
    record_.on = config.has_value();
    record_.target = config ? config->shown : "";
    record_.up = false;
    record_.failing.clear();
    sentText_.clear();
    retryDelay_ = 1;
    retryAt_ = clock_.monotonicSeconds();
    if (config_) openLink();
}

void RdsFeed::setText(std::string_view line) {
    text_ = std::string(line);
    tick();
}

void RdsFeed::tick() {
    if (!config_) return;
    const double now = clock_.monotonicSeconds();
    if (state_ == LinkState::Closed && now >= retryAt_) {
        openLink();
    } else if (state_ == LinkState::Opening && now - openedAt_ >= kOpenTimeoutSeconds) {
        link_.close();
        failed("no answer in 10 s");
    } else if (state_ == LinkState::Open && !text_.empty() && now - lastSentAt_ >= kMinGapSeconds) {
        const bool repeat = config_->repeatSeconds > 0 && now - lastSentAt_ >= config_->repeatSeconds;
        if (text_ != sentText_ || repeat) sendUpdate(now);
    }
}

void RdsFeed::openLink() {
    state_ = LinkState::Opening;
    openedAt_ = clock_.monotonicSeconds();
    link_.open(config_->target, {[this] { opened(); }, [this](const std::string& why) { failed(why); }});
}

void RdsFeed::opened() {
    state_ = LinkState::Open;
    retryDelay_ = 1;
    record_.up = true;
    sentText_.clear();
    sayAnswers();
    // A new link gets the current text at once: the encoder may have lost it.
    if (!text_.empty()) sendUpdate(clock_.monotonicSeconds());
}

void RdsFeed::failed(const std::string& why) {
    const double now = clock_.monotonicSeconds();
    state_ = LinkState::Closed;
    record_.up = false;
    sayFailing(why);
    retryAt_ = now + retryDelay_;
    retryDelay_ = std::min(retryDelay_ * 2, kLongestRetrySeconds);
}

void RdsFeed::sendUpdate(double now) {
    const RdsConfig& c = *config_;
    std::vector<std::string> lines = {RdsLine(c.command, text_, c.maxLength, c.charset)};
    if (!c.psCommand.empty()) lines.push_back(RdsLine(c.psCommand, text_, c.psMaxLength, c.charset));
    lastSentAt_ = now;
    bool taken = true;
    for (const std::string& line : lines) {
        if (taken && link_.send(line + c.lineEnd)) {
            ++record_.linesSent;
        } else {
            taken = false;
            ++record_.linesDropped;
        }
    }
    if (state_ != LinkState::Open) return;  // the link failed while it took them
    if (!taken) {
        sayFailing("the encoder takes no bytes");
        // A connection whose peer stopped reading is made anew; a port or
        // datagrams go on, and what comes is sent again a second later.
        if (c.target.kind == EncoderTarget::Kind::Tcp) {
            link_.close();
            failed("the encoder takes no bytes");
        }
        return;
    }
    sentText_ = text_;
    record_.lastLine = lines.front();
    record_.sentAt = clock_.now();
    sayAnswers();
}

void RdsFeed::sayFailing(const std::string& why) {
    if (record_.failing.empty())
        say_("  SYS - RDS ENCODER FAILING: " + std::string(CutAtCharacter(why, 80)), LogPriority::Warning);
    record_.failing = why;
}

void RdsFeed::sayAnswers() {
    if (record_.failing.empty()) return;
    record_.failing.clear();
    say_("  SYS - RDS ENCODER ANSWERS AGAIN", LogPriority::Notice);
}

}  // namespace bf
