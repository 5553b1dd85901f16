#include "platform/qt_timers.h"

#include <QTimer>

namespace bf {

struct QtTimers::Entry {
    QTimer timer;
    std::function<void()> handler;
    int firing = 0;  // ticks of this timer whose handler has not returned yet
};

namespace {

// The clock and display timers (100 and 250 ms) and the once-a-second ticks
// should not drift; the longer ones may be batched with other wake-ups.
Qt::TimerType TimerTypeFor(int periodMs) {
    return periodMs <= 1000 ? Qt::PreciseTimer : Qt::CoarseTimer;
}

}  // namespace

QtTimers::QtTimers() = default;
QtTimers::~QtTimers() = default;

void QtTimers::define(std::string_view name, int periodMs, std::function<void()> handler) {
    auto& slot = timers_.try_emplace(std::string(name)).first->second;
    if (!slot) {
        slot = std::make_unique<Entry>();
        Entry* entry = slot.get();
        QObject::connect(&entry->timer, &QTimer::timeout, &entry->timer, [this, entry] { Fire(*entry); });
    }
    slot->handler = std::move(handler);
    slot->timer.setTimerType(TimerTypeFor(periodMs));
    if (periodMs > 0) {
        slot->timer.setInterval(periodMs);
    } else {
        slot->timer.stop();
        slot->timer.setInterval(0);
    }
}

void QtTimers::Fire(Entry& entry) {
    DeleteRemoved();
    // A copy, looked up at each tick: the handler may redefine or remove its
    // own timer inside the timer's own signal.
    const std::function<void()> handler = entry.handler;
    if (!handler) return;
    ++entry.firing;
    handler();
    --entry.firing;
}

// A removed timer is deleted only when none of its ticks runs, so never
// inside its own signal.
void QtTimers::DeleteRemoved() {
    std::erase_if(removed_, [](const std::unique_ptr<Entry>& entry) { return entry->firing == 0; });
}

void QtTimers::start(std::string_view name) {
    const auto it = timers_.find(name);
    if (it == timers_.end() || it->second->timer.interval() <= 0) return;
    it->second->timer.start();
}

void QtTimers::stop(std::string_view name) {
    const auto it = timers_.find(name);
    if (it != timers_.end()) it->second->timer.stop();
}

void QtTimers::remove(std::string_view name) {
    const auto it = timers_.find(name);
    if (it == timers_.end()) return;
    std::unique_ptr<Entry> entry = std::move(it->second);
    timers_.erase(it);
    entry->timer.stop();
    entry->handler = nullptr;
    removed_.push_back(std::move(entry));
    DeleteRemoved();
}

bool QtTimers::running(std::string_view name) const {
    const auto it = timers_.find(name);
    return it != timers_.end() && it->second->timer.isActive();
}

int QtTimers::periodMs(std::string_view name) const {
    const auto it = timers_.find(name);
    return it == timers_.end() ? 0 : it->second->timer.interval();
}

}  // namespace bf
