#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/http_client.h"

namespace bf::test {

// Answers requests from a script: queued results first, then `reply` (a
// function of the URL), else an empty body. Can be held busy. A request's
// answer comes at once, inside get(), unless `holdAnswers` is set: then it
// waits in `held` until answerHeld() (a cancel or a newer request drops it).
class FakeHttpClient : public HttpClient {
public:
    void get(const std::string& url, HttpDone done) override {
        requests.push_back(url);
        deliver(url, false, std::move(done));
    }
    void getHeaders(const std::string& url, HttpDone done) override {
        headerRequests.push_back(url);
        deliver(url, true, std::move(done));
    }
    void post(const std::string& url, const std::string& contentType, const std::string& body,
              HttpDone done) override {
        posts.push_back({url, contentType, body});
        deliver(url, false, std::move(done));
    }
    // Answers the held request, if any; true when there was one.
    bool answerHeld() {
        if (!held) return false;
        auto [url, headersOnly, done] = std::move(*held);
        held.reset();
        HttpResult r = answer(url);
        if (headersOnly) r.body.clear();
        done(r);
        return true;
    }
    bool busy() const override { return isBusy || held.has_value(); }
    void cancel() override {
        ++cancels;
        isBusy = false;
        held.reset();
    }
    void setTimeoutMs(int ms) override { timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs; }

    void queue(std::string body, int status = 200) {
        queued.push_back(HttpResult{std::move(body), HttpError::None, "", status});
    }

    std::vector<std::string> requests;
    std::vector<std::string> headerRequests;
    struct Post {
        std::string url, contentType, body;
    };
    std::vector<Post> posts;
    std::deque<HttpResult> queued;
    std::function<HttpResult(const std::string&)> reply;
    std::function<void(const std::string&)> onFetch;  // runs "during" the wait
    bool isBusy = false;
    int cancels = 0;
    int timeoutMs = kDefaultTimeoutMs;
    bool holdAnswers = false;
    struct Held {
        std::string url;
        bool headersOnly;
        HttpDone done;
    };
    std::optional<Held> held;

private:
    void deliver(const std::string& url, bool headersOnly, HttpDone done) {
        held.reset();
        if (holdAnswers) {
            held = Held{url, headersOnly, std::move(done)};
            return;
        }
        HttpResult r = answer(url);
        if (headersOnly) r.body.clear();
        done(r);
    }
    HttpResult answer(const std::string& url) {
        if (onFetch) onFetch(url);
        if (queued.empty()) return reply ? reply(url) : HttpResult{};
        HttpResult r = queued.front();
        queued.pop_front();
        return r;
    }
};

}  // namespace bf::test
