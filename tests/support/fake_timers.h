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
        auto& e = timers[std::string(name)];
        e.periodMs = periodMs;
        e.handler = std::move(handler);
    }
    void start(std::string_view name) override {
        if (Defined(name)) timers.find(name)->second.running = true;
    }
    void stop(std::string_view name) override {
        if (Defined(name)) timers.find(name)->second.running = false;
    }
    void remove(std::string_view name) override {
        if (!Defined(name)) return;
        timers.erase(timers.find(name));
        removed.emplace(name);
    }
    bool running(std::string_view name) const override {
        return Defined(name) && timers.find(name)->second.running;
    }
    int periodMs(std::string_view name) const override {
        return Defined(name) ? timers.find(name)->second.periodMs : 0;
    }
    void fire(std::string_view name) {
        if (!Defined(name)) throw std::logic_error("timer " + std::string(name) + " was removed");
        timers.find(name)->second.handler();
    }

    std::map<std::string, Entry, std::less<>> timers;
    std::set<std::string, std::less<>> removed;

private:
    // Whether the timer is there; false when it was removed.
    bool Defined(std::string_view name) const {
        if (timers.contains(name)) return true;
        if (removed.contains(name)) return false;
        throw std::logic_error("timer " + std::string(name) + " was never defined");
    }
};

}  // namespace bf::test
