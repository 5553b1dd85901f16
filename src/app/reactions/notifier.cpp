#include "app/reactions/notifier.h"

#include <algorithm>
#include <cmath>

#include "core/text_decode.h"
#include "core/timer_names.h"
#include "core/url_credentials.h"

namespace bf {

namespace {

// Each name and reason is made UTF-8 on its own, so that one in Latin-1
// does not turn the whole sentence into Latin-1.
std::string SourceWords(const AirSource& source) {
    return "source " + std::to_string(source.number) + (source.name.empty() ? "" : " " + ToUtf8(source.name));
}

std::string WithReason(std::string_view reason) {
    return reason.empty() ? "" : " (" + ToUtf8(reason) + ")";
}

}  // namespace

std::string NotifyFailureWords(const HttpResult& reply) {
    if (reply.ok()) return "HTTP " + std::to_string(reply.status);
    switch (reply.error) {
        case HttpError::TimedOut:
            return "no answer within " + std::to_string(Notifier::kTimeoutMs / 1000) + " s";
        case HttpError::HostNotFound:
            return "host not found";
        case HttpError::ConnectionRefused:
            return "connection refused";
        case HttpError::MalformedUrl:
            return "NotifyURL is malformed";
        default:
            return "network error " + std::to_string(reply.error);
    }
}

NotifyBody NotifyBodyOf(const Notification& n, std::string_view format) {
    if (format == "text") return {"text/plain; charset=utf-8", ToUtf8(n.text)};
    return {"application/json", NotificationJson(n)};
}

Notifier::Notifier(NotifierLinks links) : l_(std::move(links)) {
    l_.timers.define(TimerName::Notify, kTickMs, [this] {
        try {
            tick();
        } catch (...) {
            // The next tick tries again.
        }
    });
    l_.timers.start(TimerName::Notify);
}

double Notifier::repeatSeconds() const {
    return 60.0 * std::max<int16_t>(1, l_.settings().NotifyRepeatMinutes);
}

void Notifier::failoverStarted(const FailoverEvent& event) {
    const std::string reason = WithoutCredentials(event.reason);
    const std::string standIn = event.standIn == StandIn::Backup       ? "the backup stands in"
                                : event.standIn == StandIn::LastResort ? "the last resort file plays"
                                                                       : "it stays on air";
    const std::string kind = event.silence ? "silence" : "failover";
    begin(kind + " " + std::to_string(event.failed.number), kind, event.failed, reason,
          SourceWords(event.failed) + (event.silence ? " is silent" : " failed") + WithReason(reason) + "; " +
              standIn + ".");
}

// The station has one failover at a time: a return ends it, also when the
// source chosen meanwhile is another than the one that failed.
void Notifier::returned(const AirSource& source) {
    const std::string back = SourceWords(source) + " is back on air";
    endAll("failover ", "return", back);
    endAll("silence ", "return", back);
    endAll("last-resort ", "last-resort", back);
}

void Notifier::failoverResumed(const AirSource& failed) {
    const std::string key = "failover " + std::to_string(failed.number);
    if (std::ranges::any_of(troubles_, [&](const Trouble& t) { return t.key == key; })) return;
    const double now = l_.clock.monotonicSeconds();
    troubles_.push_back({key, "failover", failed, "", SourceWords(failed) + " failed in the last run.", now,
                         now + repeatSeconds(), true});
}

void Notifier::switched(const SwitchEvent& event) {
    // A silent channel is the source on air's: once another source is on
    // air, nobody hears it any more.
    std::vector<std::string> channels;
    for (const Trouble& t : troubles_)
        if (t.key.starts_with("channel ") && t.source.number != event.to.number) channels.push_back(t.key);
    for (const std::string& key : channels)
        end(key, "channel", SourceWords(event.to) + " is on air instead.");
    // A held restart is made as a switch to the source (a restart or a
    // return); a choice of another source ends the hold too.
    if (IsChoice(event.cause))
        endAll("restarts-held ", "restarts-held", SourceWords(event.to) + " was chosen");
    end("restarts-held " + std::to_string(event.to.number), "restarts-held",
        "the player of " + SourceWords(event.to) + " is started again.");
    if (IsChoice(event.cause)) {
        const std::string chosen = SourceWords(event.to) + " was chosen";
        endAll("failover ", "return", chosen);
        endAll("silence ", "return", chosen);
        endAll("last-resort ", "last-resort", chosen);
    } else if (event.cause == SwitchCause::StepUp || event.cause == SwitchCause::Failover) {
        endAll("last-resort ", "last-resort", SourceWords(event.to) + " stands in");
    }
}

void Notifier::lastResort(const LastResortEvent& event) {
    const std::string reason = WithoutCredentials(event.reason);
    begin("last-resort " + std::to_string(event.failed.number), "last-resort", event.failed, reason,
          "no source plays: the last resort file is on air" + WithReason(reason) + ".");
}

void Notifier::standby(const StandbyEvent& event) {
    const std::string key = "standby " + std::to_string(event.link.number);
    if (!event.failing) return end(key, "standby", "standby " + SourceWords(event.link) + " is heard again.");
    const std::string why = WithoutCredentials(event.why);
    begin(key, "standby", event.link, why,
          "standby " + SourceWords(event.link) + " fails" + WithReason(why) + ".");
}

void Notifier::restartsHeld(const RestartsHeld& event) {
    const std::string reason = std::to_string(event.inARow) + " in a row, the next in " +
                               std::to_string(std::lround(event.nextInSeconds)) + " s";
    begin("restarts-held " + std::to_string(event.source.number), "restarts-held", event.source, reason,
          "the restarts of the player of " + SourceWords(event.source) + " are held (" + reason + ").");
}

void Notifier::playerRestarted(const RestartEvent& event) {
    end("restarts-held " + std::to_string(event.source.number), "restarts-held",
        "the player of " + SourceWords(event.source) + " is started again.");
}

void Notifier::fileTrouble(const FileTrouble& event) {
    if (event.over) return end("disk-full", "disk-full", "the station writes its files again.");
    const std::string reason = event.name + ": " + event.why;
    begin("disk-full", "disk-full", AirSource{}, reason,
          "the station cannot write its files" + WithReason(reason) + ".");
}

void Notifier::channelSilence(const ChannelSilence& event) {
    const std::string side = event.channel == 0 ? "left" : "right";
    const std::string key = "channel " + std::to_string(event.source.number) + " " + side;
    const std::string what = "the " + side + " channel of " + SourceWords(event.source);
    if (!event.silent) return end(key, "channel", what + " is heard again.");
    begin(key, "channel", event.source, side + " channel silent", what + " is silent.");
}

void Notifier::certificateExpiring(const CertificateEvent& event) {
    const std::string when = event.days < 0 ? "has ended" : "ends in " + std::to_string(event.days) + " days";
    tell("certificate", true, event.source, ToUtf8(event.text),
         "the certificate of " + SourceWords(event.source) + " " + when + ".");
}

void Notifier::begin(std::string key, std::string event, const AirSource& source, std::string reason,
                     std::string text) {
    if (std::ranges::any_of(troubles_, [&](const Trouble& t) { return t.key == key; })) return;
    const double now = l_.clock.monotonicSeconds();
    Trouble trouble{std::move(key), std::move(event), source, std::move(reason), std::move(text), now, now,
                    false};
    // Begun again soon after its end: told once it has lasted the repeat time.
    const bool flapping = std::ranges::any_of(
        ended_, [&](const Ended& e) { return e.key == trouble.key && now - e.at < repeatSeconds(); });
    if (flapping) {
        trouble.nextTell = now + repeatSeconds();
    } else {
        trouble.told = tell(trouble.event, true, source, trouble.reason, trouble.text);
        trouble.nextTell = now + repeatSeconds();
    }
    troubles_.push_back(std::move(trouble));
}

void Notifier::end(std::string_view key, std::string_view event, std::string text, std::string reason) {
    const auto it = std::ranges::find_if(troubles_, [&](const Trouble& t) { return t.key == key; });
    if (it == troubles_.end()) return;
    if (it->told) tell(event, false, it->source, reason.empty() ? it->reason : reason, text);
    std::erase_if(ended_, [&](const Ended& e) { return e.key == key; });
    ended_.push_back({it->key, l_.clock.monotonicSeconds()});
    troubles_.erase(it);
}

void Notifier::endAll(std::string_view prefix, std::string_view event, const std::string& reason) {
    std::vector<std::string> keys;
    for (const Trouble& t : troubles_)
        if (t.key.starts_with(prefix)) keys.push_back(t.key);
    for (const std::string& key : keys) {
        const auto it = std::ranges::find_if(troubles_, [&](const Trouble& t) { return t.key == key; });
        end(key, event, "the " + it->event + " of " + SourceWords(it->source) + " is over: " + reason + ".",
            reason);
    }
}

bool Notifier::tell(std::string_view event, bool begins, const AirSource& source, std::string_view reason,
                    std::string_view text) {
    const Settings& settings = l_.settings();
    l_.record.target = NotifyTarget(settings.NotifyURL).value_or("");
    if (settings.NotifyURL.empty()) return false;
    const Notification n{
        l_.station,  std::string(event),  begins,         source.number,
        source.name, std::string(reason), l_.clock.now(), l_.station + ": " + std::string(text)};
    if (queue_.size() >= kQueueLimit) {
        // The one being sent stays; the oldest waiting one goes.
        queue_.erase(queue_.begin() + (sending_ ? 1 : 0));
        ++l_.record.dropped;
    }
    queue_.push_back({NotifyBodyOf(n, settings.NotifyFormat)});
    l_.record.queued = queue_.size();
    send();
    return true;
}

void Notifier::tick() {
    l_.record.target = NotifyTarget(l_.settings().NotifyURL).value_or("");
    const double now = l_.clock.monotonicSeconds();
    const double repeat = repeatSeconds();
    std::erase_if(ended_, [&](const Ended& e) { return now - e.at >= repeat; });
    // A reload that stops the hearing ends what only the hearing could end:
    // nothing would tell these troubles over.
    const Settings& settings = l_.settings();
    if (!settings.CheckSource || !settings.StandbyCheck)
        endAll("standby ", "standby", "the standby links are no longer listened to");
    if (!settings.CheckSource) {
        endAll("failover ", "return", "the health check is off");
        endAll("silence ", "return", "the health check is off");
    }
    for (Trouble& t : troubles_) {
        if (now < t.nextTell) continue;
        const long minutes = std::lround((now - t.began) / 60);
        const bool first = !t.told;
        t.told = tell(t.event, true, t.source, t.reason,
                      first ? t.text : "for " + std::to_string(minutes) + " min now, " + t.text) ||
                 t.told;
        t.nextTell = now + repeat;
    }
    if (l_.titleOutputs) {
        const TitleOutputsRecord::Rds& rds = l_.titleOutputs->rds;
        if (rds.on && !rds.failing.empty())
            begin("rds", "rds", AirSource{}, rds.failing,
                  "the RDS encoder fails" + WithReason(rds.failing) + ".");
        else
            end("rds", "rds", "the RDS encoder takes the titles again.");
    }
    send();
}

void Notifier::send() {
    if (sending_ || queue_.empty() || l_.clock.monotonicSeconds() < nextTry_) return;
    const std::string url = l_.settings().NotifyURL;
    if (url.empty()) {
        l_.record.dropped += queue_.size();
        queue_.clear();
        l_.record.queued = 0;
        return;
    }
    sending_ = true;
    l_.http.setTimeoutMs(kTimeoutMs);
    const NotifyBody& body = queue_.front().body;
    l_.http.post(url, body.contentType, body.body, [this](const HttpResult& reply) {
        try {
            answered(reply);
        } catch (...) {
            // The message waits for the next try.
        }
    });
}

void Notifier::answered(const HttpResult& reply) {
    sending_ = false;
    const bool taken = reply.ok() && reply.status >= 200 && reply.status < 300;
    if (queue_.empty()) return;
    if (taken) {
        queue_.pop_front();
        ++l_.record.sent;
        l_.record.failing.clear();
        nextTry_ = 0;
        if (l_.outcome) l_.outcome(true, {});
    } else {
        ++l_.record.failed;
        l_.record.failing = NotifyFailureWords(reply);
        if (l_.outcome) l_.outcome(false, l_.record.failing);
        const int tries = ++queue_.front().tries;
        nextTry_ = l_.clock.monotonicSeconds() +
                   std::min(kLongestRetrySeconds, kFirstRetrySeconds * std::pow(2.0, tries - 1));
        if (tries >= kMaxTries) {
            queue_.pop_front();
            ++l_.record.dropped;
        }
    }
    l_.record.queued = queue_.size();
    send();
}

}  // namespace bf
