#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "core/connection_admission.h"
#include "core/timer_names.h"
#include "platform/tcp_listener.h"
#include "status/process_readings.h"
#include "status/status_request.h"

namespace bf {

struct Station;
class WebConsole;

// The status listener's answer: GET / (the page), /status.json, /metrics,
// /health (200 or 503 with the air's health in one line) and /asrun.csv (a
// day of the as-run record); 404 for other paths. HEAD gets GET's head
// without its body, other methods 405. Nothing here changes the station.
HttpReply AnswerStatusRequest(const Station& station, const ProcessReadings& readings,
                              const HttpRequest& request);

// The status listener: one request per connection, answered and closed.
// Every caller is bounded: a connection whose request does not arrive in
// time is dropped, a request longer than kMaxRequestHeadBytes gets 431, and
// connections are admitted as core/connection_admission has it (an address
// holds a share of them, a wake-up of the listener hands over a few), and
// together never hold more than a few dozen descriptors, so that no number
// of callers can take the station's descriptors or memory.
class StatusServer : private ConnectionPool {
public:
    // Connections held at once. When all are taken, the oldest one still
    // waiting for its request is dropped for a new one: a flood of idle
    // callers cannot lock out a scraper.
    static constexpr size_t kMostConnections = 32;
    // A connection from an address that already holds this many is closed at once.
    static constexpr size_t kConnectionsPerAddress = kMostConnections / 4;
    static constexpr ConnectionLimits kLimits{kMostConnections, kConnectionsPerAddress, kAcceptsPerWake};
    // A connection still open this long after it came (its request did not
    // arrive, or its caller does not take the reply) is dropped. Counted in
    // ticks of the time-out timer.
    static constexpr int kRequestSeconds = 10;
    // Answered connections go on swallowing what their callers still send for
    // kLingerSeconds, so that it cannot make the callers' systems discard the
    // reply; beyond kMostLingering of them the oldest is dropped.
    static constexpr int kLingerSeconds = 3;
    static constexpr size_t kMostLingering = 32;
    static constexpr std::string_view kTimeoutTimer = TimerName::StatusTimeout;
    // GET /events: a stream of Server-Sent Events that tells the page the
    // status whenever it changes (looked at every tick), and a comment
    // every kStreamKeepSeconds so that proxies keep it open. Streams are a
    // pool of their own, kStreamLimits: never dropped for plain requests,
    // and beyond the pool answered 503; through a trusted proxy its share
    // is the forwarded client's, not the proxy's. A stream whose caller does
    // not take what was sent gets only the latest status when it does, however
    // many changes came meanwhile. A
    // logged-in user's stream also tells the browser console's log lines,
    // as they come, while the session lives.
    static constexpr ConnectionLimits kStreamLimits{32, 4, kAcceptsPerWake};
    static constexpr int kStreamKeepSeconds = 15;

    // With `web`, the browser console takes its requests (logins and
    // controls) and draws its controls on the page.
    StatusServer(Station& station, TcpListener& listener, WebConsole* web = nullptr);
    ~StatusServer() override;
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Listens on address:port and logs where it listens, or that it could
    // not and why. Every request runs through RunHandler.
    bool Open(uint16_t port, const std::string& address);

    // Connections waiting for their request or sending their reply.
    size_t connections() const { return open_.size() - streams_; }
    size_t streams() const { return streams_; }

private:
    struct Connection {
        std::unique_ptr<TcpConnection> socket;
        std::string address;
        std::string received;
        bool answered = false;
        // A body read in parts: what is left of it goes out as the caller
        // takes the part before.
        decltype(HttpReply::bodyPart) bodyPart;
        uint64_t bodySent = 0, bodyLength = 0;
        int ticks = 0;
        bool stream = false;   // an event stream: it stays open
        bool sending = false;  // the stream's last event is still on its way
        bool behind = false;   // and the status changed meanwhile
        std::string client;    // a stream's: whose share of the pool it takes
        std::string session;   // a stream's session id, "" without one
    };
    struct Lingering {
        std::unique_ptr<TcpConnection> socket;
        int ticks = 0;
    };

    TcpConnection::Events EventsFor(uint64_t serial);
    void ConnectionsWait();
    std::map<uint64_t, Connection>::iterator Idlest();
    void DataArrived(uint64_t serial);
    void InputEnded(uint64_t serial);
    void SendComplete(uint64_t serial);
    void Drop(uint64_t serial);
    void Tick();
    void Answer(Connection& connection, const HttpReply& reply);
    // Takes the connection for an event stream, or answers 503.
    void OpenStream(Connection& connection, const HttpRequest& request);
    std::string StreamEvent(bool webLines);
    // Sends the status to the streams it changed for, and at a tick their comments.
    void TellStreams(bool tick);

    // The pool the connection admission fills.
    size_t held() const override { return open_.size() - streams_; }
    size_t heldFrom(std::string_view address) const override;
    bool dropLingering() override;
    bool findIdlest() override;
    void dropIdlest() override { open_.erase(idlest_); }
    TcpConnection::Events eventsForNext(bool replacing) override;
    void take(std::unique_ptr<TcpConnection> connection, std::string address, bool replacing) override;

    Station& station_;
    TcpListener& listener_;
    WebConsole* web_;
    std::map<uint64_t, Connection> open_;  // by serial: the oldest first
    std::deque<Lingering> lingering_;      // the oldest first
    ProcessReadingsCache readings_;
    size_t streams_ = 0;        // of open_
    std::string streamStatus_;  // what the streams were last told, without the clock
    std::string streamLogTop_;  // the station log's newest line then
    uint64_t nextSerial_ = 1;
    uint64_t nextSerialTaken_ = 0;                     // of the connection being accepted
    std::map<uint64_t, Connection>::iterator idlest_;  // what findIdlest() found
    bool reserveWait_ = false;                         // callers wait for descriptors that others hold
};

}  // namespace bf
