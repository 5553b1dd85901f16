#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/timer_names.h"
#include "platform/timers.h"

namespace bf::test {

// Keeps each timer's period, handler and running state; tests fire handlers
// by name.
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
    void start(std::string_view name) override { timers[std::string(name)].running = true; }
    void stop(std::string_view name) override { timers[std::string(name)].running = false; }
    void remove(std::string_view name) override {
        if (const auto it = timers.find(name); it != timers.end()) timers.erase(it);
    }
    bool running(std::string_view name) const override {
        auto it = timers.find(name);
        return it != timers.end() && it->second.running;
    }
    int periodMs(std::string_view name) const override {
        auto it = timers.find(name);
        return it == timers.end() ? 0 : it->second.periodMs;
    }
    void fire(std::string_view name) {
        auto it = timers.find(name);
        if (it == timers.end() || !it->second.handler)
            throw std::runtime_error("no timer " + std::string(name));
        it->second.handler();
    }

    std::map<std::string, Entry, std::less<>> timers;
};

}  // namespace bf::test
