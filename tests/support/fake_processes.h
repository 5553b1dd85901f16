#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/processes.h"

namespace bf::test {

// Records every call and simulates which image names are running. A started
// player runs under the file name of its program (".../mplayer1" -> "mplayer1").
class FakeProcesses : public Processes {
public:
    struct Start {
        std::vector<std::string> args;
    };

    bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                     const std::string&) override {
        starts.push_back({args});
        // The monitor program reading a playlist runs under the slot's name.
        const std::string name = args.size() >= 2 && args[0] == "--player"
                                     ? args[1]
                                     : std::filesystem::path(program).filename().string();
        std::string entry = "start " + std::filesystem::path(program).filename().string();
        for (const auto& a : args) entry += " " + a;
        record(entry);
        if (failStart) return false;
        running.insert(name);
        found.insert(name);
        return true;
    }
    void killByName(const std::string& imageName) override {
        kills.push_back(imageName);
        record("kill " + imageName);
        running.erase(imageName);
        found.erase(imageName);
    }
    std::optional<bool> isRunning(const std::string& imageName) override {
        if (failLookup) return std::nullopt;
        if (running.contains(imageName))
            found.insert(imageName);
        else
            found.erase(imageName);
        return running.contains(imageName);
    }
    std::optional<bool> foundStillRuns(const std::string& imageName) override {
        if (!found.contains(imageName)) return std::nullopt;
        return running.contains(imageName);
    }
    std::optional<ImageFigures> figuresOf(const std::string& imageName) override {
        if (!running.contains(imageName) || !figures.contains(imageName)) return std::nullopt;
        return figures.at(imageName);
    }
    void runShellCommand(const std::string& command) override { commands.push_back(command); }
    bool openInEditor(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    // Programs run until the test ends them (`programs` holds the running ones).
    std::optional<ProgramHandle> startProgram(const std::string& program,
                                              const std::vector<std::string>& args, bool = false) override {
        std::string entry = program;
        for (const auto& a : args) entry += " " + a;
        programLog.push_back(entry);
        const ProgramHandle handle{static_cast<int>(programLog.size()), 1};
        programs.insert(handle.pid);
        return handle;
    }
    // A program given last words ends once asked about, and has written them by then.
    bool stillRunning(const ProgramHandle& program) override {
        if (auto words = lastWords.extract(program.pid)) {
            output[program.pid] += words.mapped();
            programs.erase(program.pid);
        }
        return programs.contains(program.pid);
    }
    // What the test gave a program to write (by its number), taken once.
    std::string readOutput(const ProgramHandle& program) override {
        return std::exchange(output[program.pid], std::string());
    }
    void stopProgram(const ProgramHandle& program) override {
        if (programs.erase(program.pid)) programLog.push_back("stopped " + std::to_string(program.pid));
    }

    std::vector<Start> starts;
    std::vector<std::string> kills, commands, opened;
    // Every player call in order, as "start mplayer1 URL ARGS" or "kill mplayer2".
    std::vector<std::string> log;
    // Runs at each player call with its log entry, before the call takes effect.
    std::function<void(const std::string&)> onCall;
    std::set<std::string> running;
    std::set<std::string> found;                  // the names isRunning last found running
    std::map<std::string, ImageFigures> figures;  // of running images, by name
    bool failLookup = false;                      // isRunning cannot read the process table
    bool failStart = false;                       // startPlayer cannot start the player
    // Programs started ("PROGRAM ARGS", "stopped PID"), and the numbers of those still running (from 1).
    std::vector<std::string> programLog;
    std::set<int> programs;
    std::map<int, std::string> output, lastWords;

private:
    void record(const std::string& entry) {
        log.push_back(entry);
        if (onCall) onCall(entry);
    }
};

}  // namespace bf::test
