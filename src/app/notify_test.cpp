#include "app/notify_test.h"

#include <QEventLoop>
#include <cstdio>
#include <optional>
#include <string>

#include "app/reactions/notifier.h"
#include "core/settings.h"
#include "platform/qt_http_client.h"
#include "platform/real_clock.h"

namespace bf {

int RunNotifyTest(const std::filesystem::path& folder) {
    const std::optional<SettingLine> url = FindSetting(folder, "NotifyURL");
    const std::optional<std::string> target =
        url && url->value.size() <= kNotifyUrlLimit ? NotifyTarget(url->value) : std::nullopt;
    if (!url || url->value.empty()) {
        std::printf("brackenfield: no NotifyURL in %s: nothing to send\n",
                    (folder / "brackenfield.ini").c_str());
        return 1;
    }
    if (!target) {
        std::printf("brackenfield: NotifyURL (line %d) is no http:// or https:// address: nothing sent\n",
                    url->line);
        return 1;
    }
    const std::optional<SettingLine> format = FindSetting(folder, "NotifyFormat");
    RealClock clock;
    const std::string station = StationName(folder);
    const Notification test{station,     "test",
                            true,        -1,
                            "",          "--notify-test",
                            clock.now(), station + ": a test: trouble of the station will be told here."};
    const NotifyBody body = NotifyBodyOf(test, format && format->value == "text" ? "text" : "json");
    QtHttpClient http;
    http.setTimeoutMs(Notifier::kTimeoutMs);
    QEventLoop loop;
    HttpResult reply;
    http.post(url->value, body.contentType, body.body, [&](const HttpResult& r) {
        reply = r;
        loop.quit();
    });
    if (http.busy()) loop.exec();
    const bool taken = reply.ok() && reply.status >= 200 && reply.status < 300;
    if (reply.ok())
        std::printf("brackenfield: the webhook at %s answered HTTP %d\n", target->c_str(), reply.status);
    else
        std::printf("brackenfield: the webhook at %s did not answer: %s\n", target->c_str(),
                    NotifyFailureWords(reply).c_str());
    std::fflush(stdout);
    return taken ? 0 : 1;
}

}  // namespace bf
