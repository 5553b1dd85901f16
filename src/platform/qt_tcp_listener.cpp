#include "platform/qt_tcp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/descriptor_budget.h"

namespace bf {

namespace {

// A peer that sends megabytes cannot make the process buffer them: reading
// pauses at this many unread bytes.
constexpr size_t kReadBufferBytes = 64 * 1024;
// Connections the kernel holds for us while the thread is blocked (a
// switch's two-second overlap) or while every slot is busy; beyond them, a
// burst of clients would be held back by the clients' own retries.
constexpr int kListenBacklog = 256;
// Out of descriptors, the listener rests this long before it tries again
// instead of waking up at once for the connection it cannot take.
constexpr int kShortageRestMs = 250;

bool TryAgain(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool OutOfResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// "192.0.2.7", as inet_ntop writes it, without its printf.
std::string Ipv4Text(const uint8_t* octets) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        const int octet = octets[i];
        if (octet >= 100) text += static_cast<char>('0' + octet / 100);
        if (octet >= 10) text += static_cast<char>('0' + octet / 10 % 10);
        text += static_cast<char>('0' + octet % 10);
    }
    return text;
}

// "192.0.2.7"; an IPv4 peer of a dual-stack socket never in the IPv6-mapped form.
std::string AddressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        return Ipv4Text(
            reinterpret_cast<const uint8_t*>(&reinterpret_cast<const sockaddr_in&>(address).sin_addr));
    } else if (address.ss_family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&v6)) return Ipv4Text(&v6.s6_addr[12]);
        inet_ntop(AF_INET6, &v6, text, sizeof text);
    }
    return text;
}

std::string ListenErrorText(int error, uint16_t port) {
    switch (error) {
        case EACCES:
        case EPERM:
            return port < 1024 ? "permission denied (ports below 1024 need root or CAP_NET_BIND_SERVICE)"
                               : "permission denied";
        case EADDRINUSE:
            return "port already in use";
        case EADDRNOTAVAIL:
            return "address not on this machine";
        default:
            return std::strerror(error);
    }
}

}  // namespace

// What the epoll set tells a socket: it is ready (epoll's event bits),
// everything it was given to send has gone out, or its owner has had its say
// about that and what is held back may go.
class Watcher {
public:
    virtual void Ready(uint32_t events) = 0;
    virtual void Sent() {}
    virtual void Release() {}

protected:
    ~Watcher() = default;
};

// The listening socket and its connections in one epoll set (level-triggered),
// whose descriptor is the only one Qt's event loop watches. A socket's
// entry carries a generation, so that an event of a socket closed earlier in
// the same wake-up never reaches the socket that got its descriptor number.
// During a wake-up the set is told what each socket is to be watched for, and
// the system hears of it once the wake-up's work is done: a connection
// accepted, answered and closed within one wake-up never enters the set.
class EventSet {
public:
    EventSet() : fd_(::epoll_create1(EPOLL_CLOEXEC)) {
        if (fd_ < 0) return;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { Dispatch(); });
    }
    ~EventSet() {
        notifier_.reset();
        if (fd_ >= 0) ::close(fd_);
    }
    EventSet(const EventSet&) = delete;
    EventSet& operator=(const EventSet&) = delete;

    bool ok() const { return fd_ >= 0; }

    // Enters `fd`, not yet watched for anything; returns its generation.
    uint32_t Add(int fd, Watcher* watcher) {
        if (static_cast<size_t>(fd) >= entries_.size()) entries_.resize(static_cast<size_t>(fd) + 1);
        entries_[fd] = Entry{watcher, ++generation_};
        return generation_;
    }

    // Watches `fd` for `interest` (EPOLLIN, EPOLLOUT, both or nothing). A
    // socket watched for nothing leaves the set, or its hang-up would be
    // reported at every wake-up.
    void Watch(int fd, uint32_t interest) {
        Entry& entry = entries_[fd];
        entry.wanted = interest;
        if (dispatching_ == 0) return Apply(fd);
        if (!std::exchange(entry.changed, true)) changed_.push_back(fd);
    }

    // Forgets `fd` before it is closed. Closing takes it out of the set: no
    // process of ours holds a copy (every descriptor is close-on-exec).
    void Forget(int fd) { entries_[fd] = Entry{}; }

    // Tells `fd`'s watcher that its sending is done, after the events of the
    // current wake-up, never inside the call that sent.
    void SentLater(int fd) { Later(fd, Due::Sent); }

    // Tells `fd`'s watcher that it is readable, after the events of the
    // current wake-up, before the system is asked: a connection handed over
    // once its caller has sent something has its request already.
    void ReadableLater(int fd) { Later(fd, Due::Readable); }

private:
    struct Entry {
        Watcher* watcher = nullptr;
        uint32_t generation = 0;
        uint32_t interest = 0;  // what the system watches it for
        uint32_t wanted = 0;    // what it is to be watched for
        bool changed = false;   // in changed_
    };
    enum class Due { Sent, Readable };
    struct DueEvent {
        int fd;
        uint32_t generation;
        Due due;
    };

    Watcher* Live(int fd, uint32_t generation) const {
        if (fd < 0 || static_cast<size_t>(fd) >= entries_.size()) return nullptr;
        const Entry& entry = entries_[fd];
        return entry.generation == generation ? entry.watcher : nullptr;
    }

    void Apply(int fd) {
        Entry& entry = entries_[fd];
        entry.changed = false;
        if (entry.watcher == nullptr || entry.interest == entry.wanted) return;
        epoll_event event{};
        event.events = entry.wanted;
        event.data.u64 = static_cast<uint64_t>(entry.generation) << 32 | static_cast<uint32_t>(fd);
        const int operation = entry.wanted == 0     ? EPOLL_CTL_DEL
                              : entry.interest == 0 ? EPOLL_CTL_ADD
                                                    : EPOLL_CTL_MOD;
        if (::epoll_ctl(fd_, operation, fd, &event) == 0 || operation == EPOLL_CTL_DEL)
            entry.interest = entry.wanted;
    }

    void Later(int fd, Due due) {
        due_.push_back({fd, entries_[fd].generation, due});
        if (dispatching_ == 0 && !flushQueued_) {
            flushQueued_ = true;
            QTimer::singleShot(0, notifier_.get(), [this] { Dispatch(false); });
        }
    }

    // The set's events (`wait`: else only what is due), then what is due
    // after them, then the system hears of the changes. A stale event finds
    // its socket gone or no longer watching for it.
    void Dispatch(bool wait = true) {
        epoll_event ready[64];
        const int n = wait ? ::epoll_wait(fd_, ready, 64, 0) : 0;
        ++dispatching_;
        for (int i = 0; i < n; ++i) {
            const uint64_t key = ready[i].data.u64;
            if (Watcher* watcher =
                    Live(static_cast<int>(key & 0xffffffffu), static_cast<uint32_t>(key >> 32)))
                watcher->Ready(ready[i].events);
        }
        RunDue();
        --dispatching_;
        for (const int fd : std::exchange(changed_, {})) Apply(fd);
    }

    // Each owner told of its sending either sends more or closes (the held
    // back part then goes with the rest or with the connection's end), or
    // lets it go now.
    void RunDue() {
        flushQueued_ = false;
        while (!due_.empty()) {
            std::vector<DueEvent> due;
            due.swap(due_);
            for (const DueEvent& d : due)
                if (Watcher* watcher = Live(d.fd, d.generation))
                    d.due == Due::Sent ? watcher->Sent() : watcher->Ready(EPOLLIN);
            for (const DueEvent& d : due)
                if (Watcher* watcher = d.due == Due::Sent ? Live(d.fd, d.generation) : nullptr)
                    watcher->Release();
        }
    }

    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Entry> entries_;  // by descriptor
    uint32_t generation_ = 0;
    std::vector<DueEvent> due_;
    std::vector<int> changed_;  // descriptors whose `wanted` the system has not heard of
    int dispatching_ = 0;
    bool flushQueued_ = false;
};

namespace {

class PosixConnection final : public TcpConnection, private Watcher {
public:
    // `peer`: the caller's address as accept gave it; `readable`: the caller
    // has most likely sent something already.
    PosixConnection(std::shared_ptr<EventSet> set, int fd, std::string peer, Events events, bool readable)
        : set_(std::move(set)),
          fd_(fd),
          events_(std::make_shared<Events>(std::move(events))),
          peer_(std::move(peer)) {
        set_->Add(fd_, this);
        Want(EPOLLIN);
        if (readable) set_->ReadableLater(fd_);
    }

    ~PosixConnection() override { CloseDescriptor(); }

    std::string readAll() override {
        if (in_.empty() && fd_ >= 0 && !closing_ && !inputEnded_) {  // what the system already holds
            char buffer[16 * 1024];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) in_.append(buffer, static_cast<size_t>(n));
        }
        std::string bytes = std::exchange(in_, {});
        if (!closing_ && !inputEnded_) Want(interest_ | EPOLLIN);
        return bytes;
    }

    // What the system takes at once is handed over now; sendComplete runs
    // from the event loop, never inside send(). The system holds back the
    // last part of a segment until the owner has had its say at
    // sendComplete: a reply followed by close() leaves with the connection's
    // end in one segment instead of two.
    void send(std::string_view bytes) override {
        if (fd_ < 0 || closing_) return;
        if (out_.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_MORE);
            held_ = n > 0;
            if (n >= 0 && static_cast<size_t>(n) == bytes.size()) {
                set_->SentLater(fd_);
                return;
            }
            // The rest waits for room; a failure is met when the socket says so.
            bytes.remove_prefix(n > 0 ? static_cast<size_t>(n) : 0);
        }
        out_.append(bytes);
        Want(interest_ | EPOLLOUT);
    }

    void close() override {
        if (closing_) return;
        closing_ = true;
        in_.clear();
        if (fd_ < 0) return;
        if (out_.empty())
            EndOutput();
        else  // once the last byte has gone; meanwhile what comes is thrown away
            Want(EPOLLOUT | (inputEnded_ ? 0u : uint32_t{EPOLLIN}));
    }

    bool lingers() const override { return fd_ >= 0; }

    std::string peerAddress() const override { return peer_; }

private:
    // Each step may end the connection, or its handler destroy this object:
    // a step that did so stops the others.
    void Ready(uint32_t events) override {
        const bool failed = events & (EPOLLERR | EPOLLHUP);
        if ((interest_ & EPOLLOUT) && (failed || (events & EPOLLOUT)) && !OnWritable()) return;
        if ((interest_ & EPOLLIN) && (failed || (events & EPOLLIN))) OnReadable();
    }

    void Sent() override {
        if (fd_ >= 0 && out_.empty()) Fire(&Events::sendComplete);
    }

    // The owner neither sent more nor closed: what the system holds back goes.
    void Release() override {
        if (fd_ < 0 || closing_ || !held_ || !out_.empty()) return;
        held_ = false;
        const int off = 0;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
    }

    void OnReadable() {
        char buffer[16 * 1024];
        if (closing_) {  // lingering: what still comes is thrown away
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && !TryAgain(errno))) CloseDescriptor();
            return;
        }
        const size_t room = kReadBufferBytes - std::min(in_.size(), kReadBufferBytes);
        if (room == 0) {
            Want(interest_ & ~EPOLLIN);  // readAll() resumes
            return;
        }
        const ssize_t n = ::recv(fd_, buffer, std::min(room, sizeof buffer), 0);
        if (n > 0) {
            in_.append(buffer, static_cast<size_t>(n));
            Fire(&Events::dataArrived);
        } else if (n == 0) {
            inputEnded_ = true;
            Want(interest_ & ~EPOLLIN);
            Fire(&Events::inputEnded);
        } else if (!TryAgain(errno)) {
            Fail();
        }
    }

    // Whether the connection goes on as before (nothing fired, nothing ended).
    bool OnWritable() {
        while (!out_.empty()) {
            const ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL);
            if (n > 0) {
                held_ = false;  // sent without MSG_MORE: nothing is held back
                out_.erase(0, static_cast<size_t>(n));
            } else if (n < 0 && TryAgain(errno)) {
                return true;  // the next notification goes on
            } else {
                if (closing_)
                    CloseDescriptor();
                else
                    Fail();
                return false;
            }
        }
        out_ = std::string();
        Want(interest_ & ~EPOLLOUT);
        if (closing_)
            EndOutput();
        else
            Fire(&Events::sendComplete);
        return false;
    }

    // The reply is out. A peer that has sent nothing beyond what was read
    // is left at once. Otherwise our side ends, and what still comes is
    // read and thrown away until the peer's side has ended too: closing with
    // unread bytes would reset the connection and could destroy the reply
    // on its way.
    void EndOutput() {
        int unread = 0;
        if (inputEnded_ || (::ioctl(fd_, FIONREAD, &unread) == 0 && unread == 0)) {
            CloseDescriptor();
            return;
        }
        ::shutdown(fd_, SHUT_WR);
        Want(EPOLLIN);
    }

    void Fail() {
        CloseDescriptor();
        Fire(&Events::closed);
    }

    // The handler may destroy this object: nothing of it is touched after.
    void Fire(std::function<void()> Events::*event) {
        if (closing_) return;
        const std::shared_ptr<Events> keep = events_;
        if ((*keep).*event) ((*keep).*event)();
    }

    void Want(uint32_t interest) {
        if (fd_ < 0 || interest == interest_) return;
        interest_ = interest;
        set_->Watch(fd_, interest);
    }

    void CloseDescriptor() {
        if (fd_ < 0) return;
        set_->Forget(fd_);
        ::close(fd_);
        fd_ = -1;
    }

    std::shared_ptr<EventSet> set_;
    int fd_;
    uint32_t interest_ = 0;
    std::shared_ptr<Events> events_;
    std::string peer_, in_, out_;
    bool inputEnded_ = false;
    bool closing_ = false;
    bool held_ = false;  // sent with MSG_MORE: the system may hold the last part back
};

}  // namespace

// Hears the listening socket in the epoll set.
class ListenerWatch final : public Watcher {
public:
    explicit ListenerWatch(QtTcpListener& listener) : listener_(listener) {}
    void Ready(uint32_t) override { listener_.ConnectionsWait(); }

private:
    QtTcpListener& listener_;
};

QtTcpListener::QtTcpListener(std::chrono::milliseconds calm)
    : events_(std::make_shared<EventSet>()), watch_(std::make_unique<ListenerWatch>(*this)), calm_(calm) {}

QtTcpListener::~QtTcpListener() {
    StopListening();
}

void QtTcpListener::StopListening() {
    restContext_.reset();
    if (fd_ >= 0) {
        events_->Forget(fd_);
        ::close(fd_);
    }
    fd_ = -1;
    watching_ = false;
    port_ = 0;
}

bool QtTcpListener::listen(uint16_t port, const std::string& address) {
    StopListening();
    error_.clear();
    sockaddr_storage where{};
    socklen_t length = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(where);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(where);
    auto useV4 = [&](in_addr host) {
        v4 = sockaddr_in{};
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr = host;
        length = sizeof v4;
    };
    if (address.empty()) {  // every interface, IPv4 and IPv6 alike
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        v6.sin6_addr = in6addr_any;
        length = sizeof v6;
    } else if (in_addr host{}; inet_pton(AF_INET, address.c_str(), &host) == 1) {
        useV4(host);
    } else if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        length = sizeof v6;
    } else {
        error_ = "not an IP address";
        return false;
    }

    if (!events_->ok()) {
        error_ = std::strerror(errno);
        return false;
    }
    int fd = ::socket(where.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 && address.empty() && errno == EAFNOSUPPORT) {  // a machine without IPv6
        useV4(in_addr{htonl(INADDR_ANY)});
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    if (fd < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    // A restart must not wait for the last run's connections to time out.
    const int on = 1, off = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (const int wait = static_cast<int>(awaitFirstBytes_.count()); wait > 0)
        ::setsockopt(fd, IPPROTO_TCP, TCP_DEFER_ACCEPT, &wait, sizeof wait);
    if (address.empty() && where.ss_family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&where), length) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        error_ = ListenErrorText(errno, port);
        ::close(fd);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    port_ = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<const sockaddr_in&>(bound).sin_port
                                             : reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
    fd_ = fd;
    events_->Add(fd_, watch_.get());
    restContext_ = std::make_unique<QObject>();
    Watch(true);
    return true;
}

bool QtTcpListener::isListening() const {
    return fd_ >= 0;
}

uint16_t QtTcpListener::localPort() const {
    return port_;
}

std::string QtTcpListener::listenError() const {
    return error_;
}

void QtTcpListener::setConnectionRequestHandler(std::function<void()> handler) {
    handler_ = std::move(handler);
}

void QtTcpListener::ConnectionsWait() {
    drained_ = again_ = false;
    // The limit is read once for the connections of one wake-up.
    ceiling_ = ListenerDescriptorCeiling();
    if (handler_) handler_();
    ceiling_.reset();
    // Connections left waiting would wake us again at once: rest until
    // accept() is called, unless the handler wants them at the next round.
    if (!drained_ && !again_) Watch(false);
}

void QtTcpListener::Watch(bool enabled) {
    if (fd_ < 0 || enabled == watching_) return;
    watching_ = enabled;
    events_->Watch(fd_, enabled ? uint32_t{EPOLLIN} : 0u);
}

// The listening socket, watched again by accept(), goes on announcing the waiting
// connections after the loop's other events.
void QtTcpListener::callAgain() {
    again_ = true;
}

std::unique_ptr<TcpConnection> QtTcpListener::accept(TcpConnection::Events events) {
    if (fd_ < 0) return nullptr;
    Watch(true);
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 && fd >= Ceiling()) {  // its owner made no room: the caller is dropped
            ::close(fd);
            fd = -1;
            errno = EMFILE;
        }
        if (fd >= 0) {
            lastTaken_ = fd;
            if (shortage_ && std::chrono::steady_clock::now() - lastShortage_ >= calm_) ReportShortage(false);
            return std::make_unique<PosixConnection>(events_, fd, AddressText(peer), std::move(events),
                                                     awaitFirstBytes_.count() > 0);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            drained_ = true;
            return nullptr;
        }
        // A connection that failed before it was taken is gone; the next may be fine.
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
        Rest();
        if (OutOfResources(errno)) ReportShortage(true);
        return nullptr;
    }
}

// The kernel hands out the lowest free descriptor: when that lies at or
// above the ceiling, every one below it is taken.
bool QtTcpListener::atReserve() {
    // Well below the ceiling no probe is needed: the last connection taken got
    // the lowest descriptor free then, and the rest of the program opens only
    // a few at a time. Should the guess fail, accept() drops the caller, as it
    // does when the owner has made no room.
    if (lastTaken_ >= 0 && lastTaken_ + kDescriptorReserve < Ceiling()) return false;
    pollfd waiting{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&waiting, 1, 0) != 1) return false;
    const int probe = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    const bool reserve = probe < 0 || probe >= Ceiling();
    if (probe >= 0) ::close(probe);
    if (reserve) ReportShortage(true);
    return reserve;
}

void QtTcpListener::setShortageHandler(std::function<void(bool)> handler) {
    shortageHandler_ = std::move(handler);
}

long QtTcpListener::Ceiling() const {
    return ceiling_ ? *ceiling_ : ListenerDescriptorCeiling();
}

// The waiting connection would wake the listener again at once: it rests,
// then tries again.
void QtTcpListener::Rest() {
    Watch(false);
    QTimer::singleShot(kShortageRestMs, restContext_.get(), [this] { Watch(true); });
}

void QtTcpListener::ReportShortage(bool shortage) {
    if (shortage) lastShortage_ = std::chrono::steady_clock::now();
    if (shortage == shortage_) return;
    shortage_ = shortage;
    if (shortageHandler_) shortageHandler_(shortage);
}

}  // namespace bf
