// Brackenfield: keeps one internet audio stream on air by running MPlayer on
// it, and switches sources by schedule, by hand, by the management server
// and through a small HTTP API.

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/options.h"
#include "app/program.h"

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("brackenfield"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BF_VERSION));
    if (bf::AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication info(argc, argv);
        bf::ParseOptions(info);  // prints and ends the program
        return 2;
    }

    QApplication app(argc, argv);
    // Fusion draws the model's button colours on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    const std::optional<bf::Options> options = bf::ParseOptions(app);
    if (!options) return 2;
    bf::EndAtOnceOnSignals();

    // The working folder is the current folder at start; nothing changes it.
    std::error_code ec;
    const std::filesystem::path workingFolder = std::filesystem::current_path(ec);
    if (ec) {
        std::fprintf(stderr, "brackenfield: cannot read the current folder: %s\n", ec.message().c_str());
        return 1;
    }
    const bf::Program program(workingFolder, *options);
    return app.exec();
}
