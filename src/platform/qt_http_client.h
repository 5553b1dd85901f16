#pragma once

#include <memory>
#include <string>

#include "platform/http_client.h"

class QNetworkAccessManager;

namespace bf {

// One named HTTP client instance over Qt Network. A fetch waits in a nested
// event loop, so other handlers run meanwhile; a fetch started during the
// wait (also from one of those handlers) first cancels the running one.
// Needs a QCoreApplication on the calling thread.
class QtHttpClient : public HttpClient {
public:
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

    std::unique_ptr<QNetworkAccessManager> manager_;
    Request* running_ = nullptr;  // the request a fetch is waiting for, if any
    int timeoutMs_ = kDefaultTimeoutMs;
    // Lets a waiting fetch notice that the client was destroyed under it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace bf
