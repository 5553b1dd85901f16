#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "platform/http_client.h"

namespace bf {

// One named HTTP client instance over Qt's sockets (plain TCP or TLS), with
// a reply reader of its own that keeps to the bounds of every reply
// (http_reply_reader.h) and also takes a stream server's "ICY 200 OK".
// Answers come from the event loop of the calling thread's
// QCoreApplication.
class QtHttpClient : public HttpClient {
public:
    // Redirects followed within one fetch; one more fails it.
    static constexpr int kMaxRedirects = 5;

    QtHttpClient();
    ~QtHttpClient() override;
    QtHttpClient(const QtHttpClient&) = delete;
    QtHttpClient& operator=(const QtHttpClient&) = delete;

    void get(const std::string& url, HttpDone done) override;
    void getHeaders(const std::string& url, HttpDone done) override;
    void post(const std::string& url, const std::string& contentType, const std::string& body,
              HttpDone done) override;
    bool busy() const override;
    void cancel() override;
    void setTimeoutMs(int ms) override;

private:
    struct Request;

    // What a request sends beyond a GET: its method's body.
    struct Posting {
        std::string contentType, body;
    };
    void begin(const std::string& url, bool headersOnly, HttpDone done, std::optional<Posting> posting = {});
    void send(const std::shared_ptr<Request>& request);
    void later(const std::shared_ptr<Request>& request);
    void step(const std::shared_ptr<Request>& request);

    std::shared_ptr<Request> running_;  // the request under way, if any
    int timeoutMs_ = kDefaultTimeoutMs;
    // Receives the sockets' signals and the steps put off to the event
    // loop; destroyed with the client, which drops them all.
    std::unique_ptr<QObject> context_;
};

}  // namespace bf
