#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace bf::test {

// Records every call and simulates which image names are running. A started
// player runs under the file name of its program (".../mplayer1" -> "mplayer1").
class FakeProcesses : public Processes {
public:
    struct Start {
        std::string program;
        std::vector<std::string> args;
        std::string stdoutPath;
    };

    bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                     const std::string& stdoutPath) override;
    void killByName(const std::string& imageName) override;
    std::optional<bool> isRunning(const std::string& imageName) override;
    void runShellCommand(const std::string& command) override { commands.push_back(command); }
    bool openInEditor(const std::string& path) override {
        opened.push_back(path);
        return !failOpen;
    }

    std::vector<Start> starts;
    std::vector<std::string> kills;
    std::vector<std::string> commands;
    std::vector<std::string> opened;
    // Every player call in order, as "start mplayer1 URL ARGS" or "kill mplayer2".
    std::vector<std::string> log;
    // Runs at each player call with its log entry, before the call takes effect.
    std::function<void(const std::string&)> onCall;
    std::set<std::string> running;
    bool failStarts = false;  // startPlayer reports failure
    bool failLookup = false;  // isRunning cannot read the process table
    bool failOpen = false;    // openInEditor finds no editor
};

}  // namespace bf::test
