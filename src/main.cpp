// Brackenfield: keeps one internet audio stream on air by running MPlayer on
// it, and switches sources by schedule, by hand, by the management server
// and through a small HTTP API.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/notify_test.h"
#include "app/options.h"
#include "app/program.h"
#include "app/station_check.h"
#include "app/user_admin.h"

namespace {

// The station folder is the current folder at start; nothing changes it.
std::optional<std::filesystem::path> StationFolder() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::current_path(ec);
    if (!ec) return folder;
    std::fprintf(stderr, "brackenfield: cannot read the current folder: %s\n", ec.message().c_str());
    return std::nullopt;
}

// Whether the command line or the environment chooses Qt's platform, or a
// display is there to draw on. Without either, Qt would abort at its start
// ("could not connect to display").
bool HasDisplayOrPlatform(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg == "--platform" || arg.starts_with("-platform=")) return true;
    }
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

QtMessageHandler qtMessages = nullptr;

// The off-screen platform warns at every start that it cannot pass size hints
// on to a window system it does not have: nothing an engineer can act on.
void PassQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
    if (qtMessages) qtMessages(type, context, message);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("brackenfield"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BF_VERSION));
    if (bf::NeedsNoWindow(argc, argv)) {
        QCoreApplication info(argc, argv);
        const std::optional<bf::Options> options = bf::ParseOptions(info);  // help and version end here
        if (!options) return bf::kUsageError;
        if (options->check) {
            if (!options->check->empty()) return bf::RunStationCheck(*options->check);
            const auto folder = StationFolder();
            return folder ? bf::RunStationCheck(*folder) : 1;
        }
        if (options->notifyTest) {
            if (!options->notifyTest->empty()) return bf::RunNotifyTest(*options->notifyTest);
            const auto folder = StationFolder();
            return folder ? bf::RunNotifyTest(*folder) : 1;
        }
        if (options->addUser || options->removeUser) {
            std::optional<std::filesystem::path> folder = std::filesystem::path(options->userFolder);
            if (options->userFolder.empty()) folder = StationFolder();
            if (!folder) return 1;
            return options->addUser ? bf::AddWebUser(*folder, *options->addUser, options->userRole, stdin)
                                    : bf::RemoveWebUser(*folder, *options->removeUser);
        }
        if (options->stopPlayers) {
            const auto folder = StationFolder();
            return folder ? bf::StopStationPlayers(*folder) : 1;
        }
    }

    // Started where there is no display (over SSH, in a container, from a
    // script), the station runs without a window, as with -platform offscreen.
    if (!HasDisplayOrPlatform(argc, argv)) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::fprintf(stderr, "brackenfield: no display: running without a window\n");
    }
    // Qt's own event loop rather than GLib's, which wakes itself with a write
    // for every socket notifier switched on or off (several for each API
    // connection). An explicit QT_NO_GLIB is left as it is; the players and
    // commands the station starts do not inherit ours.
    const bool loopChosen = std::getenv("QT_NO_GLIB") != nullptr;
    if (!loopChosen) ::setenv("QT_NO_GLIB", "1", 1);
    qtMessages = qInstallMessageHandler(PassQtMessage);
    QApplication app(argc, argv);
    if (!loopChosen) ::unsetenv("QT_NO_GLIB");
    // Fusion draws the model's button colours on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    const std::optional<bf::Options> options = bf::ParseOptions(app);
    if (!options) return bf::kUsageError;
    bf::EndAtOnceOnSignals();

    const auto folder = StationFolder();
    if (!folder) return 1;
    const bf::Program program(*folder, *options);
    return app.exec();
}
