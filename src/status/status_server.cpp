#include "status/status_server.h"

#include "core/run_handler.h"
#include "core/station.h"
#include "core/station_log.h"
#include "status/metrics_text.h"
#include "status/status_json.h"
#include "status/status_page.h"

namespace bf {

namespace {

HttpReply PlainReply(int status, std::string body) {
    return {status, "text/plain; charset=utf-8", std::move(body) + "\n", {}};
}

}  // namespace

HttpReply AnswerStatusRequest(const Station& station, const HttpRequest& request) {
    if (request.method != "GET") {
        HttpReply reply = PlainReply(405, "Method Not Allowed: this port only reads");
        reply.headers = {{"Allow", "GET"}};
        return reply;
    }
    // The values change every second: no cache keeps them.
    const std::vector<std::pair<std::string, std::string>> fresh = {{"Cache-Control", "no-store"}};
    if (request.path == "/") return {200, "text/html; charset=utf-8", StatusPage(station), fresh};
    if (request.path == "/status.json") return {200, "application/json", StatusJson(station), fresh};
    if (request.path == "/metrics")
        return {200, "text/plain; version=0.0.4; charset=utf-8", MetricsText(station), fresh};
    return PlainReply(404, "Not Found: try /, /status.json or /metrics");
}

bool OpenStatusListener(Station& station, HttpListener& listener, uint16_t port, const std::string& address) {
    listener.setHandler([&station](const HttpRequest& request) {
        HttpReply reply = PlainReply(500, "Internal Server Error");
        RunHandler(station, "StatusRequest", [&] { reply = AnswerStatusRequest(station, request); });
        return reply;
    });
    const std::string host = address.find(':') == std::string::npos ? address : "[" + address + "]";
    if (!listener.listen(port, address)) {
        AddToAirLog(station, "  SYS - STATUS PAGE NOT OPENED ON " + host + ":" + std::to_string(port));
        return false;
    }
    AddToAirLog(station,
                "  SYS - STATUS PAGE ON http://" + host + ":" + std::to_string(listener.localPort()) + "/");
    return true;
}

}  // namespace bf
