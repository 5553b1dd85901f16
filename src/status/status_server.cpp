#include "status/status_server.h"

#include <algorithm>
#include <utility>

#include "asrun/as_run_record.h"
#include "core/run_handler.h"
#include "core/station.h"
#include "core/station_log.h"
#include "status/air_health.h"
#include "status/asrun_download.h"
#include "status/metrics_text.h"
#include "status/status_json.h"
#include "status/status_page.h"
#include "webconsole/web_console.h"

namespace bf {

namespace {

HttpReply PlainReply(int status, std::string body) {
    return {status, "text/plain; charset=utf-8", std::move(body) + "\n", {}};
}

// The status without the fields that change every second by themselves.
std::string StreamedStatus(const Station& station, const ProcessReadings& readings) {
    std::string status;
    for (const StatusField& field : StatusFields(station, readings)) {
        if (field.path == "station.time" || field.path == "station.uptime" ||
            field.path.starts_with("process"))
            continue;
        status.append(field.path).append("=");
        if (const auto* text = std::get_if<std::string>(&field.value)) status += *text;
        if (const auto* number = std::get_if<int64_t>(&field.value)) status += std::to_string(*number);
        if (const auto* flag = std::get_if<bool>(&field.value)) status += *flag ? "1" : "0";
        if (const auto* lines = std::get_if<std::vector<std::string>>(&field.value))
            status += lines->empty() ? "" : lines->front();
        status += '\n';
    }
    return status;
}

}  // namespace

HttpReply AnswerStatusRequest(const Station& station, const ProcessReadings& readings,
                              const HttpRequest& request) {
    if (request.method == "HEAD") {
        HttpReply reply = AnswerStatusRequest(station, readings, {"GET", request.path, request.query});
        reply.headOnly = true;
        return reply;
    }
    if (request.method != "GET") {
        HttpReply reply = PlainReply(405, "Method Not Allowed: this port only reads");
        reply.headers = {{"Allow", "GET, HEAD"}};
        return reply;
    }
    // The values change every second: no cache keeps them.
    const std::vector<std::pair<std::string, std::string>> fresh = {{"Cache-Control", "no-store"}};
    if (request.path == "/") return {200, "text/html; charset=utf-8", StatusPage(station, readings), fresh};
    if (request.path == "/page.css") return {200, "text/css; charset=utf-8", StatusPageStyle(), {}};
    if (request.path == "/page.js") return {200, "text/javascript; charset=utf-8", StatusPageScript(), {}};
    if (request.path == "/status.json")
        return {200, "application/json", StatusJson(station, readings), fresh};
    if (request.path == "/metrics")
        return {200, "text/plain; version=0.0.4; charset=utf-8", MetricsText(station, readings), fresh};
    if (request.path == "/health") {
        const AirHealth health = JudgeAirHealth(station, readings);
        HttpReply reply = PlainReply(health.healthy ? 200 : 503, health.reason);
        reply.headers = fresh;
        return reply;
    }
    if (request.path == "/asrun.csv")
        return AsRunDownload(AsRunRecord(station.workingFolder), request.query, station.clock.now());
    return PlainReply(404, "Not Found: try /, /status.json, /metrics, /health or /asrun.csv");
}

StatusServer::StatusServer(Station& station, TcpListener& listener, WebConsole* web)
    : station_(station), listener_(listener), web_(web) {}

StatusServer::~StatusServer() {
    station_.timers.remove(kTimeoutTimer);
    listener_.setConnectionRequestHandler({});
    listener_.setShortageHandler({});
}

bool StatusServer::Open(uint16_t port, const std::string& address) {
    station_.timers.define(kTimeoutTimer, 1000,
                           [this] { RunHandler(station_, kTimeoutTimer, [this] { Tick(); }); });
    listener_.setConnectionRequestHandler(
        [this] { RunHandler(station_, "StatusConnectionRequest", [this] { ConnectionsWait(); }); });
    listener_.setShortageHandler([this](bool shortage) {
        AddToAirLog(station_, shortage ? "  SYS - STATUS PAGE SHORT OF DESCRIPTORS"
                                       : "  SYS - STATUS PAGE HAS DESCRIPTORS AGAIN");
    });
    const std::string host = address.find(':') == std::string::npos ? address : "[" + address + "]";
    if (!listener_.listen(port, address)) {
        AddToAirLog(station_, "  SYS - STATUS PAGE NOT OPENED ON " + host + ":" + std::to_string(port) +
                                  ": " + listener_.listenError());
        return false;
    }
    AddToAirLog(station_,
                "  SYS - STATUS PAGE ON http://" + host + ":" + std::to_string(listener_.localPort()) + "/");
    return true;
}

TcpConnection::Events StatusServer::EventsFor(uint64_t serial) {
    auto event = [this, serial](void (StatusServer::*handler)(uint64_t)) {
        return [this, serial, handler] {
            RunHandler(station_, "StatusRequest", [&] {
                if (open_.contains(serial)) (this->*handler)(serial);
            });
        };
    };
    return {event(&StatusServer::DataArrived), event(&StatusServer::SendComplete),
            event(&StatusServer::InputEnded), event(&StatusServer::Drop)};
}

void StatusServer::ConnectionsWait() {
    reserveWait_ = AdmitConnections(listener_, *this, kLimits) == AdmissionStop::Descriptors;
    // The reserve taken by others: the time-out tick tries again.
    if (reserveWait_ && !station_.timers.running(kTimeoutTimer)) station_.timers.start(kTimeoutTimer);
}

size_t StatusServer::heldFrom(std::string_view address) const {
    return static_cast<size_t>(std::count_if(open_.begin(), open_.end(), [&](const auto& entry) {
        return entry.second.address == address && !entry.second.stream;
    }));
}

void StatusServer::OpenStream(Connection& c, const HttpRequest& request) {
    c.client = web_ ? web_->ClientAddress(request, c.address) : c.address;
    const auto from = std::count_if(open_.begin(), open_.end(), [&](const auto& entry) {
        return entry.second.stream && entry.second.client == c.client;
    });
    if (!kStreamLimits.admits(streams_, static_cast<size_t>(from))) {
        HttpReply busy = PlainReply(503, "Service Unavailable: too many event streams");
        busy.headers = {{"Retry-After", "15"}};
        return Answer(c, busy);
    }
    c.answered = c.stream = c.sending = true;
    c.received = std::string();
    if (web_) c.session = web_->SessionIdOf(request);
    if (streams_++ == 0) {
        streamStatus_ = StreamedStatus(station_, readings_.Read(station_));
        streamLogTop_ = station_.log.text().substr(0, station_.log.text().find('\n'));
    }
    c.socket->send(
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
        "X-Accel-Buffering: no\r\nConnection: close\r\n\r\nretry: 3000\n\n" +
        StreamEvent(!c.session.empty()));
}

std::string StatusServer::StreamEvent(bool webLines) {
    return "event: status\ndata: " + StatusJson(station_, readings_.Read(station_), webLines) + "\n\n";
}

void StatusServer::TellStreams(bool tick) {
    if (streams_ == 0) return;
    std::string status = StreamedStatus(station_, readings_.Read(station_));
    std::string top = station_.log.text().substr(0, station_.log.text().find('\n'));
    // A session's stream is told also of a new log line that the public status leaves out.
    const bool changed = status != streamStatus_, logged = changed || top != streamLogTop_;
    streamStatus_ = std::move(status);
    streamLogTop_ = std::move(top);
    std::string event[2];
    for (auto& [serial, c] : open_) {
        if (!c.stream) continue;
        if (!c.session.empty() && !web_->SessionLive(c.session)) c.session.clear();  // it ended: public now
        const bool own = !c.session.empty(), news = own ? logged : changed;
        const bool keep = tick && ++c.ticks % kStreamKeepSeconds == 0;
        // A caller that has not taken the last event gets the status as it is once it has.
        c.behind |= c.sending && news;
        if (c.sending || (!news && !keep)) continue;
        c.sending = true;
        if (news && event[own].empty()) event[own] = StreamEvent(own);
        c.socket->send(news ? event[own] : ":\n\n");
    }
}

bool StatusServer::dropLingering() {
    if (lingering_.empty()) return false;
    lingering_.pop_front();
    return true;
}

bool StatusServer::findIdlest() {
    idlest_ = Idlest();
    return idlest_ != open_.end();
}

TcpConnection::Events StatusServer::eventsForNext(bool) {
    nextSerialTaken_ = nextSerial_++;
    return EventsFor(nextSerialTaken_);
}

void StatusServer::take(std::unique_ptr<TcpConnection> socket, std::string address, bool) {
    Connection& connection = open_[nextSerialTaken_];
    connection.socket = std::move(socket);
    connection.address = std::move(address);
    // Started anew, the timer would never tick under a flood.
    if (!station_.timers.running(kTimeoutTimer)) station_.timers.start(kTimeoutTimer);
}

// The oldest connection still waiting for its request, once what it has sent
// is read: a request that came while the station was busy (a switch's pause)
// is answered, not dropped. The end when every connection has its request.
std::map<uint64_t, StatusServer::Connection>::iterator StatusServer::Idlest() {
    for (;;) {
        const auto waiting = std::find_if(open_.begin(), open_.end(),
                                          [](const auto& entry) { return !entry.second.answered; });
        if (waiting == open_.end()) return waiting;
        DataArrived(waiting->first);
        if (!waiting->second.answered) return waiting;
    }
}

void StatusServer::DataArrived(uint64_t serial) {
    Connection& c = open_.at(serial);
    std::string bytes = c.socket->readAll();
    if (c.answered) return;  // one request per connection: the rest is thrown away
    c.received += bytes;
    const RequestHead head = ReadRequestHead(c.received);
    switch (head.state) {
        case RequestHeadState::Incomplete:
            return;
        case RequestHeadState::Complete: {
            HttpReply reply = PlainReply(500, "Internal Server Error");
            bool waiting = false;
            RunHandler(station_, "StatusRequest", [&] {
                const HttpRequest& request = head.request;
                // A login waiting for its password check is answered when the check is done.
                const auto later = [this, serial](const HttpReply& done) {
                    if (const auto it = open_.find(serial); it != open_.end()) Answer(it->second, done);
                };
                std::optional<HttpReply> web =
                    web_ ? web_->Answer(request, c.address, later, waiting) : std::nullopt;
                if (waiting) return;
                if (request.path == "/events" && request.method == "GET") {
                    OpenStream(c, request);
                    waiting = true;  // answered, or streaming
                    return;
                }
                reply =
                    web ? std::move(*web) : AnswerStatusRequest(station_, readings_.Read(station_), request);
                constexpr std::string_view kControls = "<!--controls-->";
                const size_t at = reply.body.find(kControls);
                if (web_ && request.path == "/" && at != std::string::npos)
                    reply.body.replace(at, kControls.size(), web_->Controls(request, c.address));
            });
            if (waiting) {
                c.answered = true;
                c.received = std::string();
                return;
            }
            Answer(c, reply);
            // What a control changed reaches the pages at once, not at the next tick.
            if (head.request.path.starts_with("/control/")) TellStreams(false);
            return;
        }
        case RequestHeadState::NoLength:
            Answer(c, PlainReply(411, "Length Required"));
            return;
        case RequestHeadState::BodyTooLarge:
            Answer(c, PlainReply(413, "Content Too Large: a form here takes 4 KiB at most"));
            return;
        case RequestHeadState::Malformed:
            Answer(c, PlainReply(400, "Bad Request"));
            return;
        case RequestHeadState::TooLarge:
            Answer(c, PlainReply(431, "Request Header Fields Too Large"));
            return;
    }
}

void StatusServer::Answer(Connection& connection, const HttpReply& reply) {
    connection.answered = true;
    connection.received = std::string();
    std::string text;
    if (reply.contentType.starts_with("text/html")) {
        // No page of the station runs another site's code or sits in another site's frame.
        HttpReply page = reply;
        page.headers.emplace_back("Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'");
        page.headers.emplace_back("X-Frame-Options", "DENY");
        text = ComposeHttpReply(page);
    } else {
        text = ComposeHttpReply(reply);
    }
    connection.bodyPart = reply.bodyPart;
    connection.bodyLength = reply.bodyLength;
    // The first part goes with the head; a part that fails to read is tried
    // once more when the head is out. HEAD gets the head alone.
    if (reply.headOnly) connection.bodyPart = nullptr;
    if (connection.bodyPart) {
        if (const std::optional<std::string> part = connection.bodyPart(0, kBodyPartBytes)) {
            text += *part;
            connection.bodySent = part->size();
        }
    }
    connection.socket->send(text);
}

// A caller that has finished sending without a whole request never sends
// one; one that ends its side of a stream has left.
void StatusServer::InputEnded(uint64_t serial) {
    if (!open_.at(serial).answered || open_.at(serial).stream) Drop(serial);
}

void StatusServer::SendComplete(uint64_t serial) {
    Connection& c = open_.at(serial);
    if (!c.answered) return;
    if (c.stream) {
        c.sending = std::exchange(c.behind, false);
        if (c.sending) c.socket->send(StreamEvent(web_ && web_->SessionLive(c.session)));
        return;
    }
    if (c.bodyPart && c.bodySent < c.bodyLength) {
        const std::optional<std::string> part = c.bodyPart(c.bodySent, kBodyPartBytes);
        // A body that can no longer be read cuts the caller off: the reply
        // would fall short of its Content-Length.
        if (!part || part->empty()) return Drop(serial);
        c.bodySent += part->size();
        c.socket->send(*part);
        return;
    }
    c.socket->close();
    if (c.socket->lingers()) lingering_.push_back({std::move(c.socket)});
    if (lingering_.size() > kMostLingering) lingering_.pop_front();
    Drop(serial);
}

void StatusServer::Drop(uint64_t serial) {
    if (const auto it = open_.find(serial); it != open_.end() && it->second.stream) --streams_;
    open_.erase(serial);
    ConnectionsWait();  // a connection waiting in the queue takes the room
}

void StatusServer::Tick() {
    for (Lingering& l : lingering_) ++l.ticks;
    while (!lingering_.empty() && lingering_.front().ticks >= kLingerSeconds) lingering_.pop_front();
    for (auto it = open_.begin(); it != open_.end();) {
        if (!it->second.stream && ++it->second.ticks >= kRequestSeconds)
            it = open_.erase(it);
        else
            ++it;
    }
    TellStreams(true);
    ConnectionsWait();
    // Nothing runs for the listener while nobody asks.
    if (open_.empty() && lingering_.empty() && !reserveWait_) station_.timers.stop(kTimeoutTimer);
}

}  // namespace bf
