#include "webconsole/web_sessions.h"

#include <algorithm>
#include <cmath>

#include "core/password_hash.h"

namespace bf {

std::string WebSessions::open(const std::string& user, WebRole role, double now) {
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = now - it->second.lastSeen >= kIdleSeconds ? sessions_.erase(it) : std::next(it);
    if (sessions_.size() >= kMostSessions)
        sessions_.erase(std::min_element(
            sessions_.begin(), sessions_.end(),
            [](const auto& a, const auto& b) { return a.second.lastSeen < b.second.lastSeen; }));
    std::string id = RandomHex(32);
    sessions_[id] = {user, role, RandomHex(32), now};
    return id;
}

const WebSession* WebSessions::find(std::string_view id, double now) {
    const auto it = sessions_.find(id);
    if (it == sessions_.end()) return nullptr;
    if (now - it->second.lastSeen >= kIdleSeconds) {
        sessions_.erase(it);
        return nullptr;
    }
    it->second.lastSeen = std::max(it->second.lastSeen, now);
    return &it->second;
}

bool WebSessions::live(std::string_view id, double now) const {
    const auto it = sessions_.find(id);
    return it != sessions_.end() && now - it->second.lastSeen < kIdleSeconds;
}

void WebSessions::close(std::string_view id) {
    if (const auto it = sessions_.find(id); it != sessions_.end()) sessions_.erase(it);
}

void WebSessions::keepOnly(const WebUsers& users) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const auto user = users.find(it->second.user);
        const bool kept = user != users.end() && user->second.role == it->second.role;
        it = kept ? std::next(it) : sessions_.erase(it);
    }
}

void LoginBackoff::forget(double now) {
    for (auto it = clients_.begin(); it != clients_.end();)
        it = now - it->second.last >= kForgetSeconds ? clients_.erase(it) : std::next(it);
}

double LoginBackoff::wait(const std::string& client, double now) {
    const auto it = clients_.find(client);
    if (it == clients_.end()) return 0;
    if (now - it->second.last >= kForgetSeconds) {
        clients_.erase(it);
        return 0;
    }
    if (it->second.wrong < kFreeWrongTries) return 0;
    const double wait =
        std::min(kLongestWait, std::ldexp(1.0, std::min(it->second.wrong - kFreeWrongTries, 20)));
    return std::max(0.0, it->second.last + wait - now);
}

bool LoginBackoff::wrong(const std::string& client, double now) {
    if (clients_.size() >= kMostClients && !clients_.contains(client)) forget(now);
    if (clients_.size() >= kMostClients && !clients_.contains(client)) return false;
    if (now - clients_[client].last >= kForgetSeconds) clients_[client].wrong = 0;
    Client& c = clients_[client];
    c.last = now;
    return ++c.wrong == kFreeWrongTries;
}

}  // namespace bf
