#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/address_range.h"
#include "core/web_users.h"
#include "platform/password_checker.h"
#include "status/status_request.h"
#include "webconsole/web_form.h"
#include "webconsole/web_sessions.h"

namespace bf {

struct Station;

struct WebConsoleOptions {
    uint16_t port = 0;                         // the status port: the session cookie's name
    std::string listenAddress = "127.0.0.1";   // a Host that requests may name
    std::vector<std::string> hosts;            // --status-host: further names
    std::vector<AddressRange> trustedProxies;  // --trusted-proxy
};

// Who sent a request, as the browser console sees it: through a trusted
// proxy the client is the last X-Forwarded-For entry and the scheme its
// X-Forwarded-Proto.
struct WebClient {
    std::string address;
    bool https = false;
    // A password may come from here: the loopback without X-Forwarded-*
    // headers, or a trusted proxy over HTTPS.
    bool mayLogIn = false;
};
WebClient ClientOf(const HttpRequest& request, std::string_view peer,
                   const std::vector<AddressRange>& proxies);

// Who a control request acts for.
struct WebActor {
    std::string name;  // the user, or "api" for the bearer key
    WebRole role = WebRole::Operator;
    bool script = false;  // by the bearer key: answered with the API's reply
    std::string token;    // the session's, for a confirmation form
};

// Whether `role` may run the control at `path` ("/control/switch", ...).
bool RoleMay(WebRole role, std::string_view path);

// The browser console on the status port: the users of users.ini log in
// (GET and POST /login, POST /logout) and run the console's controls
// (POST /control/switch, /control/mode, /control/leave-backup,
// /control/restart-player) as the console's buttons and the API's commands
// do. Without users it takes no request and the page stays read-only.
class WebConsole {
public:
    WebConsole(Station& station, PasswordChecker& checker, WebConsoleOptions options);

    // Reads users.ini (at the start and at every reload): a session whose
    // user is gone or has another role now ends.
    void ReadUsers();
    bool enabled() const { return !users_.empty(); }
    size_t sessions() const { return sessions_.size(); }

    // The reply to a request the console takes; nullopt for the others. A
    // login whose password is being checked answers later through `later`,
    // and `waiting` is then set.
    using Later = std::function<void(const HttpReply&)>;
    std::optional<HttpReply> Answer(const HttpRequest& request, std::string_view peer, const Later& later,
                                    bool& waiting);

    // The page's controls for the request's session (a link to log in
    // without one); empty when the console is off.
    std::string Controls(const HttpRequest& request, std::string_view peer);

    // The session of a request, if it has a live one.
    const WebSession* SessionOf(const HttpRequest& request);

    // For an event stream: the client as the pool counts it (through a
    // trusted proxy the forwarded one), and whether the stream's session
    // (its cookie's id, "" without one) still lives.
    std::string ClientAddress(const HttpRequest& request, std::string_view peer) const {
        return ClientOf(request, peer, options_.trustedProxies).address;
    }
    std::string SessionIdOf(const HttpRequest& request);
    bool SessionLive(std::string_view id) const { return !id.empty() && sessions_.live(id, Now()); }

private:
    std::string CookieName() const { return "bf_session_" + std::to_string(options_.port); }
    std::optional<HttpReply> Refusal(const HttpRequest& request, const WebClient& client) const;
    HttpReply LogIn(const HttpRequest& request, const WebClient& client, const Later& later, bool& waiting);
    void Checked(const std::string& user, const std::string& hash, const std::string& client, bool https,
                 bool matches, const Later& later);
    HttpReply Control(const HttpRequest& request, const WebActor& actor, const WebForm& form);
    std::optional<WebActor> Bearer(const HttpRequest& request, const WebClient& client) const;
    double Now() const;

    Station& station_;
    PasswordChecker& checker_;
    WebConsoleOptions options_;
    WebUsers users_;
    WebSessions sessions_;
    LoginBackoff backoff_;
};

}  // namespace bf
