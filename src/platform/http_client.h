#pragma once

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
constexpr int Cancelled = 35757;
constexpr int TimedOut = 35761;
constexpr int StillExecuting = 35764;
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

// One named HTTP client instance (InetTestURL, Inet1, ...). A fetch waits for
// its reply while the event loop keeps running, so other handlers (and a
// later tick of the same timer) may run during the wait.
class HttpClient {
public:
    // A fetch gives up after this long unless setTimeoutMs says otherwise.
    // The outside services (management, AIR, billing, weather) keep it.
    static constexpr int kDefaultTimeoutMs = 30000;

    virtual ~HttpClient() = default;
    // HTTP GET; returns the body as bytes. A cancelled or failed fetch
    // returns an empty body with an error number.
    virtual HttpResult fetch(const std::string& url) = 0;
    // HTTP GET that ends once the headers of the final answer (after
    // redirects) have arrived: the result carries the status and no body.
    // For streams, whose replies never end.
    virtual HttpResult fetchHeaders(const std::string& url) = 0;
    virtual bool busy() const = 0;
    // Cancels the running request, whose fetch then returns an empty body.
    virtual void cancel() = 0;
    // For the fetches to come; 0 or less restores the default.
    virtual void setTimeoutMs(int ms) = 0;
};

}  // namespace bf
