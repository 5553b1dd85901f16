#include "apiserver/api_server.h"

#include "apiserver/request_text.h"
#include "core/api_key.h"
#include "core/run_handler.h"
#include "core/station.h"
#include "core/station_log.h"

namespace bf {

std::string ApiStatusText(const Station& station) {
    switch (station.api.status) {
        case ApiStatus::Disabled:
            break;
        case ApiStatus::NoKey:
            return "Disabled - no APIKey set";
        case ApiStatus::ExampleKey:
            return "Disabled - APIKey is the example's change-this-key";
        case ApiStatus::Enabled:
            return KindOfApiKey(station.settings()) == ApiKeyKind::Empty
                       ? "Enabled - empty APIKey: anyone may call"
                       : "Enabled";
        case ApiStatus::NotListening:
            return "Not listening on port " + station.api.notListening;
    }
    return "Disabled";
}

void JudgeApiStatus(ApiServerModel& api, const Settings& settings) {
    ApiStatus& status = api.status;
    if (status == ApiStatus::NotListening) return;
    if (!settings.APIallowed) {
        status = ApiStatus::Disabled;
        return;
    }
    switch (KindOfApiKey(settings)) {
        case ApiKeyKind::Missing:
            status = ApiStatus::NoKey;
            return;
        case ApiKeyKind::Example:
            status = ApiStatus::ExampleKey;
            return;
        case ApiKeyKind::Empty:
        case ApiKeyKind::Secret:
            status = api.created ? ApiStatus::Enabled : ApiStatus::Disabled;
            return;
    }
}

std::string LastRequestText(const Station& station) {
    const std::optional<Stamped>& last = station.api.lastRequest;
    return last ? StampedText(last->at, last->text) : "NO REMOTE API CALLS MADE";
}

ApiServer::ApiServer(Station& station, TcpListener& listener) : station_(station), listener_(listener) {}

ApiServer::~ApiServer() {
    station_.timers.remove(kTimeoutTimer);
    listener_.setConnectionRequestHandler({});
    listener_.setShortageHandler({});
}

void ApiServer::Open(int port, const std::string& address) {
    station_.api.created = true;
    station_.api.response.clear();
    station_.api.rows = {"(No Connection)"};
    slots_.clear();
    slots_.emplace_back();  // slot 0: the listener
    if (rowChanged) rowChanged(0);

    listener_.setConnectionRequestHandler(
        [this] { RunHandler(station_, "Sck_ConnectionRequest", [this] { Sck_ConnectionRequest(); }); });
    listener_.setShortageHandler([this](bool shortage) {
        AddToAirLog(station_,
                    shortage ? "  SYS - API SHORT OF DESCRIPTORS" : "  SYS - API HAS DESCRIPTORS AGAIN");
    });
    if (port >= 0 && port <= 65535) listener_.listen(static_cast<uint16_t>(port), address);
    if (listener_.isListening())
        SetRow(0, " Listening");
    else
        ReportListenFailure(port, address);

    station_.timers.define(kTimeoutTimer, 1000, [this] {
        RunHandler(station_, kTimeoutTimer, [this] { tmrApiTimeout_Timer(); });
    });
    station_.timers.start(kTimeoutTimer);
}

void ApiServer::ReportListenFailure(int port, const std::string& address) {
    const std::string reason = port < 0 || port > 65535 ? "no such port" : listener_.listenError();
    const std::string where = std::to_string(port) + (address.empty() ? "" : " of " + address);
    station_.api.status = ApiStatus::NotListening;
    station_.api.notListening = where + ": " + reason;
    AddToAirLog(station_, "  SYS - API NOT LISTENING ON PORT " + where + ": " + reason);
}

bool ApiServer::busy(int16_t slot) const {
    return slot > 0 && static_cast<size_t>(slot) < slots_.size() && slots_[slot].socket != nullptr;
}

bool ApiServer::Holds(int16_t slot, uint64_t serial) const {
    return slot > 0 && static_cast<size_t>(slot) < slots_.size() && slots_[slot].serial == serial &&
           slots_[slot].socket != nullptr;
}

// An event of a connection that has left its slot must not act on the slot's
// next connection. The slot and the serial travel as one number, so that an
// event costs no allocation of its own.
template <void (ApiServer::*Handler)(int16_t), const std::string_view& Name>
std::function<void()> ApiServer::SlotEvent(int16_t slot, uint64_t serial) {
    const uint64_t key = serial << 16 | static_cast<uint16_t>(slot);
    return [this, key] {
        RunHandler(station_, Name, [this, key] {
            const auto slot = static_cast<int16_t>(key & 0xffff);
            if (Holds(slot, key >> 16)) (this->*Handler)(slot);
        });
    };
}

TcpConnection::Events ApiServer::EventsFor(int16_t slot, uint64_t serial) {
    static constexpr std::string_view kData = "Sck_DataArrival", kSent = "Sck_SendComplete",
                                      kEnded = "Sck_InputEnded", kClose = "Sck_Close";
    return {SlotEvent<&ApiServer::Sck_DataArrival, kData>(slot, serial),
            SlotEvent<&ApiServer::Sck_SendComplete, kSent>(slot, serial),
            SlotEvent<&ApiServer::Sck_InputEnded, kEnded>(slot, serial),
            SlotEvent<&ApiServer::Sck_Close, kClose>(slot, serial)};
}

// Takes waiting connections for as long as a slot is free or can be made
// (see AdmitConnections); while every slot has its request, the rest wait in
// the listener's queue until one comes free.
void ApiServer::Sck_ConnectionRequest() {
    const AdmissionStop stop = AdmitConnections(listener_, *this, kLimits);
    // The reserve taken by others: the time-out tick tries again.
    reserveWait_ = stop == AdmissionStop::Descriptors;
    slotWait_ = stop == AdmissionStop::Room;
}

size_t ApiServer::held() const {
    size_t held = 0;
    for (const Slot& slot : slots_) held += slot.socket != nullptr;
    return held;
}

size_t ApiServer::heldFrom(std::string_view address) const {
    size_t held = 0;
    for (const Slot& slot : slots_) held += slot.socket && slot.address == address;
    return held;
}

bool ApiServer::dropLingering() {
    if (lingering_.empty()) return false;
    lingering_.pop_front();
    return true;
}

bool ApiServer::findIdlest() {
    idlest_ = OldestWaiting();
    return idlest_ != 0;
}

void ApiServer::dropIdlest() {
    FreeSlot(static_cast<int16_t>(idlest_), false);
}

TcpConnection::Events ApiServer::eventsForNext(bool replacing) {
    next_ = replacing ? idlest_ : FirstFreeSlot();
    nextSerialTaken_ = nextSerial_++;
    return EventsFor(static_cast<int16_t>(next_), nextSerialTaken_);
}

void ApiServer::take(std::unique_ptr<TcpConnection> connection, std::string address, bool) {
    if (next_ == slots_.size()) {
        slots_.emplace_back();
        // A new row starts as a copy of row 0.
        station_.api.rows.resize(slots_.size(), station_.api.rows.empty() ? "" : station_.api.rows[0]);
        if (rowChanged) rowChanged(static_cast<int16_t>(next_));
    }
    Slot& slot = slots_[next_];
    slot = Slot{};
    slot.serial = nextSerialTaken_;
    slot.address = std::move(address);
    slot.socket = std::move(connection);
}

// The lowest slot without a connection; one past the highest when all are busy.
size_t ApiServer::FirstFreeSlot() const {
    size_t slot = 1;
    while (slot < slots_.size() && slots_[slot].socket) ++slot;
    return slot;
}

// The busy slot whose connection came first of those still waiting for their
// request, once what it has sent is read: a request that came while the
// station was busy (a switch's pause) is answered, not dropped. 0 when every
// busy slot has its request.
size_t ApiServer::OldestWaiting() {
    for (;;) {
        size_t oldest = 0;
        for (size_t i = 1; i < slots_.size(); ++i) {
            const Slot& s = slots_[i];
            if (s.socket && !s.answered && !s.handling && (oldest == 0 || s.serial < slots_[oldest].serial))
                oldest = i;
        }
        if (oldest == 0) return 0;
        const uint64_t serial = slots_[oldest].serial;
        Sck_DataArrival(static_cast<int16_t>(oldest));
        if (Holds(static_cast<int16_t>(oldest), serial) && !slots_[oldest].answered) return oldest;
    }
}

void ApiServer::Sck_DataArrival(int16_t slot) {
    if (!busy(slot)) return;
    Slot& s = slots_[slot];
    std::string bytes = s.socket->readAll();
    // One reply per connection: what comes after the request is dropped.
    if (s.answered || bytes.empty()) return;
    s.idleTicks = 0;
    if (s.received.empty())
        s.received = std::move(bytes);
    else
        s.received += bytes;
    if (AssessRequestText(s.received) != RequestTextState::Incomplete) Answer(slot);
}

void ApiServer::Answer(int16_t slot) {
    Slot& s = slots_[slot];
    s.answered = true;
    s.handling = true;
    const uint64_t serial = s.serial;
    const std::string text = std::move(s.received);
    s.received = std::string();
    const std::string address = s.address;

    // A set-source request waits for the source list report, and the event
    // loop runs meanwhile: slots may be added and this connection may close.
    const ApiAnswer answer = AnswerRequestText(station_, text, address);

    if (Holds(slot, serial)) slots_[slot].handling = false;
    // A slot that has come free meanwhile keeps its "Closed" row.
    // "Transfering" is spelt as the operators know it from their screens: keep it.
    if (answer.path && busy(slot)) SetRow(slot, " Transfering: ", *answer.path);
    if (answer.failure && failed) failed(*answer.failure);
    if (Holds(slot, serial)) slots_[slot].socket->send(answer.reply);
}

void ApiServer::Sck_InputEnded(int16_t slot) {
    if (!busy(slot) || slots_[slot].answered) return;  // a reply on its way closes the slot when it is out
    if (slots_[slot].received.empty())
        CloseSlot(slot, false);
    else
        Answer(slot);
}

void ApiServer::Sck_SendComplete(int16_t slot) {
    if (busy(slot) && slots_[slot].answered && !slots_[slot].handling) CloseSlot(slot, true);
}

void ApiServer::Sck_Close(int16_t slot) {
    CloseSlot(slot, false);
}

void ApiServer::tmrApiTimeout_Timer() {
    for (Lingering& l : lingering_) ++l.ticks;
    while (!lingering_.empty() && lingering_.front().ticks >= kLingerSeconds) lingering_.pop_front();
    std::vector<int16_t> expired;
    for (size_t i = 1; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        if (!s.socket || s.handling) continue;
        ++s.idleTicks;
        ++s.ageTicks;
        if (s.idleTicks >= kIdleSeconds || s.ageTicks >= kLifetimeSeconds)
            expired.push_back(static_cast<int16_t>(i));
    }
    for (const int16_t slot : expired) CloseSlot(slot, false);
    if (reserveWait_) Sck_ConnectionRequest();
}

void ApiServer::CloseSlot(int16_t slot, bool afterReply) {
    if (!busy(slot)) return;
    FreeSlot(slot, afterReply);
    // A connection left waiting for a slot takes it; otherwise the listener
    // announces the next caller itself.
    if (slotWait_ || reserveWait_) Sck_ConnectionRequest();
}

void ApiServer::FreeSlot(int16_t slot, bool afterReply) {
    Slot& s = slots_[slot];
    // The slot is free from here on, also while the connection winds down.
    std::unique_ptr<TcpConnection> socket = std::move(s.socket);
    s.received = std::string();
    s.handling = false;
    if (afterReply) {
        socket->close();
        if (socket->lingers()) lingering_.push_back({std::move(socket)});
        if (lingering_.size() > kMostLingering) lingering_.pop_front();
    }
    socket.reset();
    SetRow(slot, " Closed");
}

// The row, written in place: the last two digits of the slot's number (7 ->
// "07", 12 -> "12", 100 -> "00"), then `what` and `detail`.
void ApiServer::SetRow(int16_t slot, std::string_view what, std::string_view detail) {
    if (slot < 0 || static_cast<size_t>(slot) >= station_.api.rows.size()) return;
    const char tag[2] = {static_cast<char>('0' + slot / 10 % 10), static_cast<char>('0' + slot % 10)};
    station_.api.rows[slot].assign(tag, 2).append(what).append(detail);
    if (rowChanged) rowChanged(slot);
}

}  // namespace bf
