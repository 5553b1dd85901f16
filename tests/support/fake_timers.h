#pragma once

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/timer_names.h"
#include "platform/timers.h"

namespace bf::test {

// Keeps each timer's period, handler and running state; tests fire handlers
// by name. A name that was never defined is refused (a misspelt timer would
// otherwise pass every test); a removed one is stopped and cannot fire.
class FakeTimers : public Timers {
public:
    struct Entry {
        int periodMs = 0;
        std::function<void()> handler;
        bool running = false;
    };

    void define(std::string_view name, int periodMs, std::function<void()> handler) override {
        Entry& e = timers[std::string(name)];
        e = {periodMs, std::move(handler), e.running};
    }
    void start(std::string_view name) override { Set(name, true); }
    void stop(std::string_view name) override { Set(name, false); }
    void remove(std::string_view name) override {
        if (Find(name)) removed.insert(timers.extract(timers.find(name)).key());
    }
    bool running(std::string_view name) const override { return Find(name) && Find(name)->running; }
    int periodMs(std::string_view name) const override { return Find(name) ? Find(name)->periodMs : 0; }
    void fire(std::string_view name) {
        if (!Find(name)) throw std::logic_error("timer " + std::string(name) + " was removed");
        Find(name)->handler();
    }

    mutable std::map<std::string, Entry, std::less<>> timers;
    std::set<std::string, std::less<>> removed;

private:
    // The timer's entry; nullptr when it was removed.
    Entry* Find(std::string_view name) const {
        if (const auto it = timers.find(name); it != timers.end()) return &it->second;
        if (removed.contains(name)) return nullptr;
        throw std::logic_error("timer " + std::string(name) + " was never defined");
    }
    void Set(std::string_view name, bool on) {
        if (Entry* e = Find(name)) e->running = on;
    }
};

}  // namespace bf::test
