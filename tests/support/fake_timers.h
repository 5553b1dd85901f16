#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

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
        int starts = 0;
        int stops = 0;
    };

    void define(const std::string& name, int periodMs, std::function<void()> handler) override {
        auto& e = timers[name];
        e.periodMs = periodMs;
        e.handler = std::move(handler);
    }
    void start(const std::string& name) override {
        auto& e = timers[name];
        e.running = true;
        ++e.starts;
    }
    void stop(const std::string& name) override {
        auto& e = timers[name];
        e.running = false;
        ++e.stops;
    }
    bool running(const std::string& name) const override {
        auto it = timers.find(name);
        return it != timers.end() && it->second.running;
    }
    int periodMs(const std::string& name) const override {
        auto it = timers.find(name);
        return it == timers.end() ? 0 : it->second.periodMs;
    }
    bool defined(const std::string& name) const { return timers.count(name) > 0; }
    void fire(const std::string& name) {
        auto it = timers.find(name);
        if (it == timers.end() || !it->second.handler) throw std::runtime_error("no timer " + name);
        it->second.handler();
    }

    std::map<std::string, Entry> timers;
};

}  // namespace bf::test
