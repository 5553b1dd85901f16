#pragma once

#include <functional>
#include <string>

namespace bf {

// Error numbers an HTTP fetch can report. The health check acts on the
// time-out and the still-running numbers; the others are only shown.
namespace HttpError {
constexpr int None = 0;
constexpr int MalformedUrl = 35752;
constexpr int HostNotFound = 35753;
constexpr int ConnectionRefused = 35754;
constexpr int ConnectionReset = 35755;
constexpr int OtherNetworkError = 35756;
constexpr int TimedOut = 35761;
}  // namespace HttpError

struct HttpResult {
    std::string body;  // empty when the fetch failed or was cancelled
    int error = HttpError::None;
    std::string errorText;  // description of the error, empty when none
    int status = 0;         // the server's HTTP status; 0 when it did not answer
    bool ok() const { return error == HttpError::None; }
    // The server answered, but with an error page (4xx, 5xx): no reply the
    // station may act on.
    bool statusError() const { return status >= 400; }
};

// Runs once with the result of a request that was neither cancelled nor
// replaced by a newer one.
using HttpDone = std::function<void(const HttpResult&)>;

// One named HTTP client instance (InetTestURL, Inet1, ...), one request at a
// time. A request returns at once; its answer comes later from the event
// loop, so no handler ever waits for a peer.
class HttpClient {
public:
    // A request gives up after this long unless setTimeoutMs says otherwise.
    // The outside services (management, AIR, billing, weather) keep it.
    static constexpr int kDefaultTimeoutMs = 30000;

    virtual ~HttpClient() = default;
    // HTTP GET of the whole body as bytes. A request started while another
    // runs cancels that one first. `done` gets the body, or an empty body
    // with an error number.
    virtual void get(const std::string& url, HttpDone done) = 0;
    // HTTP GET that ends once the headers of the final answer (after
    // redirects) have arrived: the result carries the status and no body.
    // For streams, whose replies never end.
    virtual void getHeaders(const std::string& url, HttpDone done) = 0;
    // HTTP POST of `body` as `contentType`; the answer is read whole and no
    // redirect is followed (a 3xx is the answer).
    virtual void post(const std::string& url, const std::string& contentType, const std::string& body,
                      HttpDone done) = 0;
    virtual bool busy() const = 0;
    // Drops the running request: its `done` never runs.
    virtual void cancel() = 0;
    // For the requests to come; 0 or less restores the default.
    virtual void setTimeoutMs(int ms) = 0;
};

}  // namespace bf
