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
    };

    void define(const std::string& name, int periodMs, std::function<void()> handler) override {
        auto& e = timers[name];
        e.periodMs = periodMs;
        e.handler = std::move(handler);
    }
    void start(const std::string& name) override { timers[name].running = true; }
    void stop(const std::string& name) override { timers[name].running = false; }
    void remove(const std::string& name) override { timers.erase(name); }
    bool running(const std::string& name) const override {
        auto it = timers.find(name);
        return it != timers.end() && it->second.running;
    }
    int periodMs(const std::string& name) const override {
        auto it = timers.find(name);
        return it == timers.end() ? 0 : it->second.periodMs;
    }
    void fire(const std::string& name) {
        auto it = timers.find(name);
        if (it == timers.end() || !it->second.handler) throw std::runtime_error("no timer " + name);
        it->second.handler();
    }

    std::map<std::string, Entry> timers;
};

}  // namespace bf::test
