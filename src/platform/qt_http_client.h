#pragma once

#include <memory>
#include <string>

#include "platform/http_client.h"

namespace bf {

// One named HTTP client instance over Qt's sockets (plain TCP or TLS), with
// a reply reader of its own that keeps to the bounds of every reply
// (http_reply_reader.h) and also takes a stream server's "ICY 200 OK". A
// fetch waits in a nested event loop, so other handlers run meanwhile; a
// fetch started during the wait (also from one of those handlers) first
// cancels the running one. Needs a QCoreApplication on the calling thread.
class QtHttpClient : public HttpClient {
public:
    // Redirects followed within one fetch; one more fails it.
    static constexpr int kMaxRedirects = 5;

    QtHttpClient();
    ~QtHttpClient() override;
    QtHttpClient(const QtHttpClient&) = delete;
    QtHttpClient& operator=(const QtHttpClient&) = delete;

    HttpResult fetch(const std::string& url) override;
    HttpResult fetchHeaders(const std::string& url) override;
    bool busy() const override;
    void cancel() override;
    void setTimeoutMs(int ms) override;

private:
    struct Request;

    HttpResult run(const std::string& url, bool headersOnly);

    Request* running_ = nullptr;  // the request a fetch is waiting for, if any
    int timeoutMs_ = kDefaultTimeoutMs;
    // Lets a waiting fetch notice that the client was destroyed under it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace bf
