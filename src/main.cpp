// Brackenfield: keeps one internet audio stream on air by running MPlayer on
// it, and switches sources by schedule, by hand, by the management server
// and through a small HTTP API.

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/options.h"
#include "app/program.h"
#include "app/station_check.h"

namespace {

// The station folder is the current folder at start; nothing changes it.
std::optional<std::filesystem::path> StationFolder() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::current_path(ec);
    if (!ec) return folder;
    std::fprintf(stderr, "brackenfield: cannot read the current folder: %s\n", ec.message().c_str());
    return std::nullopt;
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
        if (options->stopPlayers) {
            const auto folder = StationFolder();
            return folder ? bf::StopStationPlayers(*folder) : 1;
        }
    }

    QApplication app(argc, argv);
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
