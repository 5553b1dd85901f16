#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apiserver/api_commands.h"
#include "core/connection_admission.h"
#include "core/timer_names.h"
#include "platform/tcp_listener.h"

namespace bf {

struct Station;
struct ApiServerModel;
struct Settings;

// lblAPIstatus: "Disabled" (and why), "Enabled", or why it is not listening.
std::string ApiStatusText(const Station& station);

// Sets what lblAPIstatus tells from the settings as they are now: closed
// (APIallowed off, no usable key) or, while the start's listener listens,
// open. A listener that could not open stays so until the next start.
void JudgeApiStatus(ApiServerModel& api, const Settings& settings);

// lblRemoteStatus: the last request's time, client and command; the start's
// time and "  NO REMOTE API CALLS MADE" before the first.
std::string LastRequestText(const Station& station);

// The socket side of the API server window: the listener (slot 0, which
// never carries a connection) and the connection slots 1, 2, ... with their
// status rows in station.api.rows, which nothing else writes. A connection
// is accepted on the lowest free slot; a new slot is made only when every
// slot is busy. Bytes are buffered per connection until they make a request
// (or plainly cannot); each connection gets exactly one reply and is closed
// once it has gone out. Connections are admitted as core/connection_admission
// has it: one address holds a few slots at most, a wake-up of the listener
// hands over a few connections, and with every slot busy a newcomer takes the
// slot of the connection that has waited longest for its request, so that no
// caller can lock the others out.
class ApiServer : private ConnectionPool {
public:
    // The most slots. While every one has its request, further connections
    // wait in the listener's queue until one comes free.
    static constexpr int16_t kHighestSlot = 256;
    // A connection from an address that already holds this many slots (a
    // quarter of them) is closed at once. A web server or a proxy may ask
    // for many listeners through one address; the others keep the rest.
    static constexpr int kSlotsPerAddress = kHighestSlot / 4;
    static constexpr ConnectionLimits kLimits{kHighestSlot, kSlotsPerAddress, kAcceptsPerWake};
    // Closed connections go on swallowing what their peers still send for
    // kLingerSeconds, so that it cannot make the peers' systems discard the
    // reply; beyond kMostLingering of them the oldest is dropped, so that a
    // flood of callers cannot pile up descriptors.
    static constexpr int kLingerSeconds = 3;
    static constexpr size_t kMostLingering = 64;
    // A connection that sends nothing for this long, or is still open after
    // the lifetime, is dropped. Counted in ticks of the time-out timer.
    static constexpr int kIdleSeconds = 10;
    static constexpr int kLifetimeSeconds = 60;
    static constexpr std::string_view kTimeoutTimer = TimerName::ApiTimeout;

    ApiServer(Station& station, TcpListener& listener);
    ~ApiServer() override;
    ApiServer(const ApiServer&) = delete;
    ApiServer& operator=(const ApiServer&) = delete;

    // Window open: resets the window's fields and rows, listens on `port`
    // ("" address: every interface; a port outside 0..65535 is never
    // opened) and starts the time-out timer. A listener that cannot be
    // opened is reported with its reason on lblAPIstatus and in the station
    // log.
    void Open(int port, const std::string& address = {});

    void Sck_ConnectionRequest();
    void Sck_DataArrival(int16_t slot);
    // The caller has finished sending: what it sent is its request.
    void Sck_InputEnded(int16_t slot);
    void Sck_SendComplete(int16_t slot);
    void Sck_Close(int16_t slot);
    void tmrApiTimeout_Timer();

    int16_t highestSlot() const { return static_cast<int16_t>(slots_.size() - 1); }
    bool busy(int16_t slot) const;

    // The row of `slot` changed or was created (then it is the last row).
    std::function<void(int16_t slot)> rowChanged;
    // A request's step failed; shown to the operator.
    std::function<void(const ApiFailure&)> failed;

private:
    struct Slot {
        std::unique_ptr<TcpConnection> socket;  // empty: the slot is free
        uint64_t serial = 0;                    // which connection the slot holds
        std::string address;                    // the peer's
        std::string received;
        bool answered = false;
        bool handling = false;
        int idleTicks = 0;
        int ageTicks = 0;
    };

    TcpConnection::Events EventsFor(int16_t slot, uint64_t serial);
    template <void (ApiServer::*Handler)(int16_t), const std::string_view& Name>
    std::function<void()> SlotEvent(int16_t slot, uint64_t serial);
    bool Holds(int16_t slot, uint64_t serial) const;
    void Answer(int16_t slot);
    size_t FirstFreeSlot() const;
    size_t OldestWaiting();

    // The pool the connection admission fills.
    size_t held() const override;
    size_t heldFrom(std::string_view address) const override;
    bool dropLingering() override;
    bool findIdlest() override;
    void dropIdlest() override;
    TcpConnection::Events eventsForNext(bool replacing) override;
    void take(std::unique_ptr<TcpConnection> connection, std::string address, bool replacing) override;

    void CloseSlot(int16_t slot, bool afterReply);
    void FreeSlot(int16_t slot, bool afterReply);
    void SetRow(int16_t slot, std::string_view what, std::string_view detail = {});
    void ReportListenFailure(int port, const std::string& address);

    struct Lingering {
        std::unique_ptr<TcpConnection> socket;
        int ticks = 0;
    };

    Station& station_;
    TcpListener& listener_;
    std::vector<Slot> slots_;
    std::deque<Lingering> lingering_;  // oldest first
    uint64_t nextSerial_ = 1;
    size_t idlest_ = 0;  // the slot findIdlest() found
    // The slot and serial of the connection being accepted.
    size_t next_ = 0;
    uint64_t nextSerialTaken_ = 0;
    bool reserveWait_ = false;  // callers wait for descriptors that others hold
    bool slotWait_ = false;     // callers wait in the listener's queue for a slot
};

}  // namespace bf
