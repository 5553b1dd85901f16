#pragma once

#include <memory>

#include "platform/http_listener.h"

namespace bf {

// The HTTP listener over Qt HTTP Server. Lives on the thread of the event
// loop that delivers its requests.
class QtHttpListener : public HttpListener {
public:
    QtHttpListener();
    ~QtHttpListener() override;
    QtHttpListener(const QtHttpListener&) = delete;
    QtHttpListener& operator=(const QtHttpListener&) = delete;

    void setHandler(Handler handler) override;
    bool listen(uint16_t port, const std::string& address) override;
    uint16_t localPort() const override;

private:
    class Server;
    std::unique_ptr<Server> server_;
    uint16_t port_ = 0;
};

}  // namespace bf
