#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/web_users.h"

namespace bf {

// A logged-in browser: who, with which role, the token its forms carry, and
// when it was last seen.
struct WebSession {
    std::string user;
    WebRole role = WebRole::Operator;
    std::string token;  // the forms' csrf field (or X-CSRF-Token)
    double lastSeen = 0;
};

// The sessions of the browser console, in memory only: they end with the
// program. An id is 256 random bits, new at every login; a session ends
// after kIdleSeconds without a request, at its logout, and at a reading of
// users.ini that no longer gives its user the same role. At most
// kMostSessions live; a new one beyond ends the one idle longest.
class WebSessions {
public:
    static constexpr double kIdleSeconds = 12 * 3600;
    static constexpr size_t kMostSessions = 256;

    // The new session's id.
    std::string open(const std::string& user, WebRole role, double now);
    // The live session of `id`, seen now; nullptr when none (an expired one ends here).
    const WebSession* find(std::string_view id, double now);
    // Whether `id` is a live session, without seeing it (an open event stream is no request).
    bool live(std::string_view id, double now) const;
    void close(std::string_view id);
    // Ends the sessions whose user `users` no longer has with the same role.
    void keepOnly(const WebUsers& users);
    size_t size() const { return sessions_.size(); }

private:
    std::map<std::string, WebSession, std::less<>> sessions_;
};

// The login's back-off, per client address: from the kFreeWrongTries-th
// wrong password on, each next try waits twice as long as the one before,
// from 1 s up to kLongestWait; a client's count is forgotten kForgetSeconds
// after its last try, or at a right password.
class LoginBackoff {
public:
    static constexpr int kFreeWrongTries = 5;
    static constexpr double kLongestWait = 900, kForgetSeconds = 15 * 60;
    static constexpr size_t kMostClients = 4096;

    // Seconds that `client` must still wait before its next try; 0: it may try.
    double wait(const std::string& client, double now);
    // A wrong password from `client`: true when this one starts the slowing (said once).
    bool wrong(const std::string& client, double now);
    void right(const std::string& client) { clients_.erase(client); }

private:
    struct Client {
        int wrong = 0;
        double last = 0;
    };
    void forget(double now);
    std::map<std::string, Client> clients_;
};

}  // namespace bf
