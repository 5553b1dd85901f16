#pragma once

#include <string>
#include <vector>

#include "platform/encoder_link.h"

namespace bf::test {

// An encoder link the test opens, fails and stalls by hand; it records the
// targets it was opened on and the lines it took.
class FakeEncoderLink : public EncoderLink {
public:
    void open(const EncoderTarget& target, Events e) override {
        opened.push_back(target);
        events = std::move(e);
        isOpen = false;
    }
    bool send(std::string_view bytes) override {
        if (!isOpen || stalled) return false;
        sent.emplace_back(bytes);
        return true;
    }
    void close() override {
        isOpen = false;
        events = {};
    }
    // The link opens, or fails, as the event loop would tell it.
    void answer() {
        isOpen = true;
        events.opened();
    }
    void fail(const std::string& why) {
        const Events e = std::exchange(events, {});
        isOpen = false;
        e.failed(why);
    }

    std::vector<EncoderTarget> opened;
    std::vector<std::string> sent;
    Events events;
    bool isOpen = false;
    bool stalled = false;  // takes nothing, as a peer that stopped reading
};

}  // namespace bf::test
