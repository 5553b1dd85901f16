#include "core/monitor_line.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace bf {

namespace {

constexpr std::string_view kErrorStream = "error: stream: ";
constexpr std::string_view kErrorFormat = "error: format: ";

// "peak=-3.1" at its key in the line: the number after it, if any.
std::optional<double> NumberAfter(std::string_view line, std::string_view key) {
    const size_t at = line.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string rest(line.substr(at + key.size(), 24));
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str()) return std::nullopt;
    return value;
}

std::string Decibels(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::string FormatMonitorLine(const MonitorLine& line) {
    switch (line.kind) {
        case MonitorLine::Kind::Count: {
            std::string text = "bytes=" + std::to_string(line.bytes);
            if (line.peak) text += " peak=" + Decibels(*line.peak);
            if (line.rms) text += " rms=" + Decibels(*line.rms);
            if (line.left && line.right)
                text += " left=" + Decibels(*line.left) + " right=" + Decibels(*line.right);
            return text;
        }
        case MonitorLine::Kind::Title:
            return "title=" + line.text;
        case MonitorLine::Kind::Entry:
            return "entry=" + line.text;
        case MonitorLine::Kind::StreamGone:
            return std::string(kErrorStream) + line.text;
        case MonitorLine::Kind::CannotRead:
            return std::string(kErrorFormat) + line.text;
    }
    return {};
}

std::optional<MonitorLine> ParseMonitorLine(std::string_view line) {
    MonitorLine parsed;
    if (line.starts_with("title=")) {
        parsed.kind = MonitorLine::Kind::Title;
        parsed.text = line.substr(6);
    } else if (line.starts_with("entry=")) {
        parsed.kind = MonitorLine::Kind::Entry;
        parsed.text = line.substr(6);
    } else if (line.starts_with(kErrorStream)) {
        parsed.kind = MonitorLine::Kind::StreamGone;
        parsed.text = line.substr(kErrorStream.size());
    } else if (line.starts_with("error: ")) {
        // Any other fault is the monitor's own: it cannot read the stream.
        parsed.kind = MonitorLine::Kind::CannotRead;
        parsed.text = line.substr(line.starts_with(kErrorFormat) ? kErrorFormat.size() : 7);
    } else if (line.starts_with("bytes=")) {
        const std::string_view digits = line.substr(6);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed.bytes);
        if (error != std::errc() || end == digits.data()) return std::nullopt;
        parsed.peak = NumberAfter(line, " peak=");
        parsed.rms = NumberAfter(line, " rms=");
        parsed.left = NumberAfter(line, " left=");
        parsed.right = NumberAfter(line, " right=");
    } else {
        return std::nullopt;
    }
    return parsed;
}

std::optional<double> ParseSamplePeriod(std::string_view seconds) {
    double value = 0;
    const auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
    if (error != std::errc() || end != seconds.data() + seconds.size() || !(value >= 1 && value <= 600))
        return std::nullopt;
    return value;
}

LevelSampler::Step LevelSampler::next(double now) {
    if (period_ <= 0) return Step::Decode;
    if (windowStart_ < 0) windowStart_ = now;
    if (!skipping_) return Step::Decode;
    if (now < windowStart_ + period_) return Step::Skip;
    // The next sample keeps the beat, unless the clock has run far ahead.
    windowStart_ = now - windowStart_ < 2 * period_ ? windowStart_ + period_ : now;
    skipping_ = false;
    heard_ = 0;
    warm_ = warmup_;
    return Step::Restart;
}

bool LevelSampler::counts(double seconds) {
    if (period_ <= 0) return true;
    if (warm_ > 0) {
        --warm_;
        return false;
    }
    heard_ += seconds;
    if (heard_ >= listen_) skipping_ = true;
    return true;
}

}  // namespace bf
