#include "webconsole/web_console.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "apiserver/api_commands.h"
#include "core/api_key.h"
#include "core/html_text.h"
#include "core/password_hash.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "schedule/event_tick.h"
#include "sources/source_list.h"

namespace bf {

namespace {

constexpr std::string_view kCsp = "default-src 'self'; frame-ancestors 'none'";

HttpReply Page(int status, std::string_view title, std::string_view inner) {
    std::string body =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>";
    body.append(title).append(
        " - Brackenfield</title><link rel=\"stylesheet\" href=\"/page.css\"></head><body>\n");
    body.append("<h1>").append(title).append("</h1>\n").append(inner).append("\n</body></html>\n");
    return {status, "text/html; charset=utf-8", std::move(body), {{"Cache-Control", "no-store"}}};
}

HttpReply Plain(int status, std::string_view text) {
    return {status, "text/plain; charset=utf-8", std::string(text) + "\n", {{"Cache-Control", "no-store"}}};
}

HttpReply SeeOther(std::vector<std::pair<std::string, std::string>> headers = {}) {
    HttpReply reply{303, "text/plain; charset=utf-8", "See Other\n", std::move(headers)};
    reply.headers.insert(reply.headers.begin(), {"Location", "/"});
    return reply;
}

std::string LoginForm(std::string_view note) {
    std::string form;
    if (!note.empty()) form.append("<p class=\"note\">").append(HtmlText(note)).append("</p>\n");
    form.append(
        "<form method=\"post\" action=\"/login\">\n"
        "<p><label>Name <input name=\"user\" autocomplete=\"username\" required "
        "maxlength=\"32\"></label></p>\n"
        "<p><label>Password <input name=\"password\" type=\"password\" autocomplete=\"current-password\" "
        "required></label></p>\n<p><button>Log in</button></p></form>\n<p><a href=\"/\">The status "
        "page</a></p>");
    return form;
}

constexpr std::string_view kWhyNoLogin =
    "Logins are taken only from this machine or over HTTPS through a trusted proxy: over plain HTTP a "
    "password crosses the network readable by anyone on the way. Put a TLS proxy (nginx, as the reference "
    "shows) in front of the status port and start the station with --trusted-proxy and the proxy's address, "
    "or open the page on this machine (an SSH tunnel will do).";

// The host part of a Host header: "[::1]:9110" -> "[::1]", "a.b:80" -> "a.b".
std::string HostName(std::string_view host) {
    const size_t colon = host.rfind(':');
    if (colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos &&
        (host.front() == '[' || host.find(':') == colon))
        host = host.substr(0, colon);
    std::string name(host);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

std::string Hidden(std::string_view name, std::string_view value) {
    return "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + HtmlText(value) + "\">";
}

std::string FormButton(std::string_view path, std::string_view token, std::string_view label,
                       std::string_view fields = "") {
    return "<form method=\"post\" action=\"" + std::string(path) + "\">" + Hidden("csrf", token) +
           std::string(fields) + "<button>" + std::string(label) + "</button></form>\n";
}

ApiCommand CommandAt(std::string_view path) {
    if (path == "/control/switch") return ApiCommand::SetCurrent;
    if (path == "/control/mode") return ApiCommand::SetMode;
    if (path == "/control/leave-backup") return ApiCommand::LeaveBackup;
    if (path == "/control/restart-player") return ApiCommand::RestartPlayer;
    return ApiCommand::Other;
}

}  // namespace

WebClient ClientOf(const HttpRequest& request, std::string_view peer,
                   const std::vector<AddressRange>& proxies) {
    bool forwarded = false;
    for (const auto& [name, value] : request.headers) forwarded |= name.starts_with("x-forwarded-");
    // A caller on the machine itself that forwards nothing is a local one,
    // also when a proxy on the machine is trusted.
    if (IsLoopbackAddress(peer) && !forwarded) return {std::string(peer), false, true};
    for (const AddressRange& proxy : proxies) {
        if (!InRange(proxy, peer)) continue;
        std::string_view address = request.header("x-forwarded-for").value_or(peer);
        address = address.substr(address.rfind(',') + 1);
        while (!address.empty() && address.front() == ' ') address.remove_prefix(1);
        const bool https = request.header("x-forwarded-proto") == "https";
        return {std::string(address.empty() ? peer : address), https, https};
    }
    return {std::string(peer), false, IsLoopbackAddress(peer) && !forwarded};
}

bool RoleMay(WebRole role, std::string_view path) {
    const ApiCommand command = CommandAt(path);
    if (command == ApiCommand::SetMode) return role == WebRole::Engineer;
    return command != ApiCommand::Other;
}

WebConsole::WebConsole(Station& station, PasswordChecker& checker, WebConsoleOptions options)
    : station_(station), checker_(checker), options_(std::move(options)) {}

double WebConsole::Now() const {
    return station_.clock.monotonicSeconds();
}

void WebConsole::ReadUsers() {
    const std::filesystem::path file = station_.file("users.ini");
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    const std::optional<std::string> text = exists ? ReadWholeFile(file) : std::string();
    if (!text) {
        // Unreadable: the users read before stay, and so do their sessions.
        AddToAirLog(station_, "  SYS - users.ini NOT READ: " + std::string(std::strerror(errno)),
                    LogPriority::Warning);
        return;
    }
    UsersFile read = ParseUsersFile(*text);
    for (const std::string& problem : read.problems)
        AddToAirLog(station_, "  SYS - users.ini " + problem + " - SKIPPED", LogPriority::Warning);
    const bool changed =
        read.users.size() != users_.size() ||
        !std::equal(read.users.begin(), read.users.end(), users_.begin(), [](auto& a, auto& b) {
            return a.first == b.first && a.second.role == b.second.role && a.second.hash == b.second.hash;
        });
    users_ = std::move(read.users);
    sessions_.keepOnly(users_);
    if (changed)
        AddToAirLog(station_,
                    "  SYS - BROWSER CONSOLE: " + std::to_string(users_.size()) + " USERS IN users.ini");
}

const WebSession* WebConsole::SessionOf(const HttpRequest& request) {
    const std::optional<std::string_view> cookie = request.header("cookie");
    const std::optional<std::string_view> id = cookie ? CookieValue(*cookie, CookieName()) : std::nullopt;
    return id ? sessions_.find(*id, Now()) : nullptr;
}

std::string WebConsole::SessionIdOf(const HttpRequest& request) {
    const std::optional<std::string_view> cookie = request.header("cookie");
    const std::optional<std::string_view> id = cookie ? CookieValue(*cookie, CookieName()) : std::nullopt;
    return id && sessions_.find(*id, Now()) ? std::string(*id) : std::string();
}

// Every POST: the Host must be the listener's address, localhost or a
// --status-host name; from a browser the Origin (or the Referer) must be the
// scheme and that host, which also stops a page of another site and DNS
// rebinding.
std::optional<HttpReply> WebConsole::Refusal(const HttpRequest& request, const WebClient& client) const {
    const std::string host(request.header("host").value_or(""));
    const std::string name = HostName(host);
    const std::string listening = options_.listenAddress.find(':') == std::string::npos
                                      ? options_.listenAddress
                                      : "[" + options_.listenAddress + "]";
    bool known = !host.empty() && (name == "localhost" || name == listening);
    for (const std::string& other : options_.hosts) known |= name == other;
    if (!known) return Plain(403, "Forbidden: the Host header names no address of this station");
    if (request.header("authorization")) return std::nullopt;  // a script: its key is checked
    const std::string origin = (client.https ? "https://" : "http://") + host;
    if (const std::optional<std::string_view> from = request.header("origin")) {
        if (*from != origin) return Plain(403, "Forbidden: the request came from another site");
    } else {
        const std::string_view referer = request.header("referer").value_or("");
        if (referer != origin && !referer.starts_with(origin + "/"))
            return Plain(403, "Forbidden: the request says neither Origin nor Referer of this station");
    }
    return std::nullopt;
}

// "Authorization: Bearer KEY": the API's key, while the API is open with a
// secret key, from the loopback or a trusted proxy over HTTPS.
std::optional<WebActor> WebConsole::Bearer(const HttpRequest& request, const WebClient& client) const {
    const std::string_view auth = request.header("authorization").value_or("");
    if (!auth.starts_with("Bearer ") || !client.mayLogIn) return std::nullopt;
    const Settings& settings = station_.settings();
    if (!ApiOpen(settings) || KindOfApiKey(settings) != ApiKeyKind::Secret) return std::nullopt;
    if (!SameSecret(auth.substr(7), *settings.APIkey)) return std::nullopt;
    return WebActor{"api", WebRole::Engineer, true, ""};
}

std::optional<HttpReply> WebConsole::Answer(const HttpRequest& request, std::string_view peer,
                                            const Later& later, bool& waiting) {
    waiting = false;
    const bool control = request.path.starts_with("/control/");
    if (!enabled() || (request.path != "/login" && request.path != "/logout" && !control))
        return std::nullopt;
    const WebClient client = ClientOf(request, peer, options_.trustedProxies);
    if (request.method == "GET" || request.method == "HEAD") {
        if (request.path != "/login") return Plain(405, "Method Not Allowed: POST a form here");
        HttpReply page = client.mayLogIn ? Page(200, "Log in", LoginForm(""))
                                         : Page(403, "Log in", "<p>" + std::string(kWhyNoLogin) + "</p>");
        page.headOnly = request.method == "HEAD";
        return page;
    }
    if (request.method != "POST") return Plain(405, "Method Not Allowed");
    if (std::optional<HttpReply> refused = Refusal(request, client)) return refused;
    const std::string_view type = request.header("content-type").value_or("");
    if (!request.body.empty() && !type.starts_with("application/x-www-form-urlencoded"))
        return Plain(415, "Unsupported Media Type: send application/x-www-form-urlencoded");
    const std::optional<WebForm> form = ParseWebForm(request.body);
    if (!form) return Plain(400, "Bad Request: the form cannot be read");

    if (request.path == "/login") return LogIn(request, client, later, waiting);
    if (request.header("authorization")) {
        const std::optional<WebActor> script = Bearer(request, client);
        if (!script) {
            HttpReply reply = Plain(401,
                                    "Unauthorized: the key is wrong, the API closed, or the request "
                                    "came neither from this machine nor through a trusted proxy over HTTPS");
            reply.headers.emplace_back("WWW-Authenticate", "Bearer");
            return reply;
        }
        if (request.path == "/logout" || CommandAt(request.path) == ApiCommand::Other)
            return Plain(404, "Not Found");
        return Control(request, *script, *form);
    }
    const std::optional<std::string_view> cookie = request.header("cookie");
    const std::optional<std::string_view> id = cookie ? CookieValue(*cookie, CookieName()) : std::nullopt;
    const WebSession* session = id ? sessions_.find(*id, Now()) : nullptr;
    if (!session) return Plain(401, "Unauthorized: log in first (/login)");
    const std::string_view token =
        FormValue(*form, "csrf").value_or(request.header("x-csrf-token").value_or(""));
    if (!SameSecret(token, session->token))
        return Plain(403, "Forbidden: the form's token is not this session's");
    if (request.path == "/logout") {
        AddToAirLog(station_, "  WEB - " + session->user + " (" +
                                  std::string(kWebRoleNames[static_cast<size_t>(session->role)]) +
                                  ") - LOGGED OUT");
        sessions_.close(*id);
        return SeeOther({{"Set-Cookie", CookieName() + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0"}});
    }
    if (CommandAt(request.path) == ApiCommand::Other) return Plain(404, "Not Found");
    if (!RoleMay(session->role, request.path)) return Plain(403, "Forbidden: this needs an engineer");
    return Control(request, {session->user, session->role, false, session->token}, *form);
}

HttpReply WebConsole::LogIn(const HttpRequest& request, const WebClient& client, const Later& later,
                            bool& waiting) {
    if (!client.mayLogIn) return Page(403, "Log in", "<p>" + std::string(kWhyNoLogin) + "</p>");
    const std::optional<WebForm> form = ParseWebForm(request.body);
    const std::string user(FormValue(*form, "user").value_or(""));
    const std::string password(FormValue(*form, "password").value_or(""));
    const double wait = backoff_.wait(client.address, Now());
    if (wait > 0) {
        HttpReply reply = Page(429, "Log in", LoginForm("Too many wrong passwords: try again later."));
        reply.headers.emplace_back("Retry-After", std::to_string(static_cast<int64_t>(std::ceil(wait))));
        return reply;
    }
    const auto known = users_.find(user);
    // A name nobody has is checked against a dummy: the time tells nothing.
    std::string hash = known != users_.end() ? known->second.hash : std::string();
    const bool queued =
        checker_.check(hash, password,
                       [this, user, hash, address = client.address, https = client.https,
                        later](bool matches) { Checked(user, hash, address, https, matches, later); });
    if (!queued) {
        HttpReply reply = Page(503, "Log in", LoginForm("The station is busy with other logins: try again."));
        reply.headers.emplace_back("Retry-After", "1");
        return reply;
    }
    waiting = true;
    return {};
}

void WebConsole::Checked(const std::string& user, const std::string& hash, const std::string& client,
                         bool https, bool matches, const Later& later) {
    // users.ini may have been read again meanwhile: a password changed then
    // lets the old one in no more.
    const auto known = users_.find(user);
    if (!matches || known == users_.end() || known->second.hash != hash) {
        if (backoff_.wrong(client, Now()))
            AddToAirLog(station_, "  WEB - " + client + " - LOGINS SLOWED AFTER " +
                                      std::to_string(LoginBackoff::kFreeWrongTries) + " WRONG PASSWORDS");
        later(Page(403, "Log in", LoginForm("Wrong name or password.")));
        return;
    }
    backoff_.right(client);
    const WebRole role = known->second.role;
    const std::string id = sessions_.open(user, role, Now());
    AddToAirLog(station_, "  WEB - " + user + " (" + std::string(kWebRoleNames[static_cast<size_t>(role)]) +
                              ") - LOGGED IN FROM " + client);
    later(SeeOther({{"Set-Cookie", CookieName() + "=" + id + "; Path=/; HttpOnly; SameSite=Strict" +
                                       (https ? "; Secure" : "")}}));
}

HttpReply WebConsole::Control(const HttpRequest& request, const WebActor& actor, const WebForm& form) {
    const ApiCommand command = CommandAt(request.path);
    std::string argument, said;
    if (command == ApiCommand::SetCurrent) {
        argument = FormValue(form, "source").value_or("");
        if (argument.size() != 1 || argument[0] < '0' || argument[0] > '9')
            return Plain(400, "Bad Request: source=N, N a digit");
        said = "SWITCH TO " + argument + " " + FindSource(station_.workingFolder, argument).name;
        const int16_t chosen = station_.onAir.underTest().number;
        if (!actor.script && FormValue(form, "confirm") != "yes" && argument != std::to_string(chosen)) {
            std::string fields = Hidden("source", argument) + Hidden("confirm", "yes");
            return Page(200, "Switch?",
                        "<p>Take " +
                            HtmlText(argument + " " + FindSource(station_.workingFolder, argument).name) +
                            " on air in place of what plays now?</p>\n" +
                            FormButton("/control/switch", actor.token, "Switch", fields) +
                            "<p><a href=\"/\">Keep what plays</a></p>");
        }
    } else if (command == ApiCommand::SetMode) {
        argument = FormValue(form, "mode").value_or("");
        if (argument != "automatic" && argument != "manual")
            return Plain(400, "Bad Request: mode=automatic or mode=manual");
        said = "SET MODE " + std::string(argument == "manual" ? "MANUAL" : "AUTOMATIC");
    } else {
        said = command == ApiCommand::LeaveBackup ? "LEAVE BACKUP" : "RESTART PLAYER";
    }
    const ControlOutcome done = RunControl(station_, command, argument, SwitchCause::Web, actor.name);
    AddToAirLog(station_, "  WEB - " + actor.name + " (" +
                              std::string(kWebRoleNames[static_cast<size_t>(actor.role)]) + ") - " + said +
                              (done.body == "ERROR" ? " - REFUSED" : ""));
    if (actor.script) return {done.body == "ERROR" ? 409 : 200, "text/plain; charset=utf-8", done.body, {}};
    if (done.body == "ERROR")
        return Page(409, "Not done",
                    "<p>The station did not do it (" + HtmlText(said) +
                        "): see the station log.</p><p><a href=\"/\">Back</a></p>");
    return SeeOther();
}

std::string WebConsole::Controls(const HttpRequest& request, std::string_view) {
    if (!enabled()) return {};
    const WebSession* session = SessionOf(request);
    if (!session)
        return "<section id=\"controls\"><h2>Controls</h2><p><a href=\"/login\">Log in</a> to use "
               "them.</p></section>";
    const std::string& token = session->token;
    std::string html = "<section id=\"controls\" data-token=\"" + HtmlText(token) +
                       "\"><h2>Controls</h2><p>" + HtmlText(session->user) + " (" +
                       std::string(kWebRoleNames[static_cast<size_t>(session->role)]) + ")</p>\n" +
                       FormButton("/logout", token, "Log out");
    const bool manual = station_.schedule.mode == Mode::Manual;
    html += "<p>Mode: " + std::string(ModeName(station_.schedule.mode)) +
            (manual ? " (no failover)" : ": the schedule's next entry replaces a switch") + "</p>\n";
    const bool failover = station_.onAir.failoverActive();
    if (failover) html += "<p>The backup stands in: a switch only chooses the source to return to.</p>\n";
    std::string options = "<select name=\"source\">";
    const SourceTable sources = ReadSourceTable(station_.workingFolder);
    for (int n = 1; n <= 9; ++n) {
        if (sources[n].url.empty()) continue;
        options += "<option value=\"" + std::to_string(n) + "\">" + std::to_string(n) + " " +
                   HtmlText(sources[n].name) + "</option>";
    }
    html += FormButton("/control/switch", token, "Switch", options + "</select>");
    html += FormButton("/control/restart-player", token, "Restart player");
    if (failover) html += FormButton("/control/leave-backup", token, "Leave backup");
    if (session->role == WebRole::Engineer)
        html += FormButton("/control/mode", token, manual ? "Automatic mode" : "Manual mode",
                           Hidden("mode", manual ? "automatic" : "manual"));
    return html + "</section>";
}

}  // namespace bf
