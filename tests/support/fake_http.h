#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/http_client.h"

namespace bf::test {

// Answers fetches from a script: queued results first, then `reply` (a
// function of the URL), else an empty body. Can be held busy.
class FakeHttpClient : public HttpClient {
public:
    HttpResult fetch(const std::string& url) override {
        requests.push_back(url);
        return answer(url);
    }
    // Answers from the same script, without the body.
    HttpResult fetchHeaders(const std::string& url) override {
        headerRequests.push_back(url);
        HttpResult r = answer(url);
        r.body.clear();
        return r;
    }
    bool busy() const override { return isBusy; }
    void cancel() override {
        ++cancels;
        isBusy = false;
    }
    void setTimeoutMs(int ms) override { timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs; }

    void queue(std::string body, int status = 200) {
        queued.push_back(HttpResult{std::move(body), HttpError::None, "", status});
    }

    std::vector<std::string> requests;
    std::vector<std::string> headerRequests;
    std::deque<HttpResult> queued;
    std::function<HttpResult(const std::string&)> reply;
    std::function<void(const std::string&)> onFetch;  // runs "during" the wait
    bool isBusy = false;
    int cancels = 0;
    int timeoutMs = kDefaultTimeoutMs;

private:
    HttpResult answer(const std::string& url) {
        if (onFetch) onFetch(url);
        if (queued.empty()) return reply ? reply(url) : HttpResult{};
        HttpResult r = queued.front();
        queued.pop_front();
        return r;
    }
};

}  // namespace bf::test
