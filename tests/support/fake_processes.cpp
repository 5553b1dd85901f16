#include "fake_processes.h"

#include <filesystem>

namespace bf::test {

bool FakeProcesses::startPlayer(const std::string& program, const std::vector<std::string>& args,
                                const std::string& stdoutPath) {
    starts.push_back({program, args, stdoutPath});
    const std::string name = std::filesystem::path(program).filename().string();
    std::string entry = "start " + name;
    for (const auto& a : args) entry += " " + a;
    log.push_back(entry);
    if (onCall) onCall(entry);
    if (failStarts) return false;
    running.insert(name);
    return true;
}

void FakeProcesses::killByName(const std::string& imageName) {
    kills.push_back(imageName);
    log.push_back("kill " + imageName);
    if (onCall) onCall(log.back());
    running.erase(imageName);
}

std::optional<bool> FakeProcesses::isRunning(const std::string& imageName) {
    if (failLookup) return std::nullopt;
    return running.count(imageName) > 0;
}

}  // namespace bf::test
