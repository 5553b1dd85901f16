#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace bf {

// Processes on Linux. Programs are started detached through a double fork:
// the started program is reparented to init, so it never becomes a zombie of
// ours (a dead player that lingered as our zombie would look alive), and no
// SIGCHLD handling is needed. When the station is init itself (PID 1 of a
// container or of a PID namespace) or a subreaper, every orphan below it
// comes to it instead: isRunning and stillRunning then reap whatever child
// has ended, a started program too (its unread output stays readable).
//
// Each started program leads a process group of its own, so that stopping a
// program also ends what it started (a script's children).
//
// Several stations may run on one machine, each in a folder of its own, and
// their players have the same names. So a station owns only the processes
// that run in its station folder: every program it starts runs there, and a
// process counts as its own when its kernel name (/proc/PID/comm, cut by the
// kernel to 15 bytes) matches and its working folder (/proc/PID/cwd) is the
// station folder. MPlayer's cache process is a fork of the player and shares
// both. Folders are compared as the same directory (device and inode), so a
// symlinked path to the folder names the same station.
class PosixProcesses : public Processes {
public:
    explicit PosixProcesses(std::filesystem::path stationFolder);

    bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                     const std::string& stdoutPath) override;
    void killByName(const std::string& imageName) override;
    std::optional<bool> isRunning(const std::string& imageName) override;
    std::optional<bool> foundStillRuns(const std::string& imageName) override;
    std::optional<ImageFigures> figuresOf(const std::string& imageName) override;
    void runShellCommand(const std::string& command) override;
    std::optional<ProgramHandle> startProgram(const std::string& program,
                                              const std::vector<std::string>& args,
                                              bool readOutput = false) override;
    std::string readOutput(const ProgramHandle& program) override;
    bool stillRunning(const ProgramHandle& program) override;
    void stopProgram(const ProgramHandle& program) override;
    bool openInEditor(const std::string& path) override;

private:
    // A started program whose output the station reads.
    struct Output {
        int fd = -1;         // the read end of its pipe
        bool ended = false;  // reaped by us: its number may be another's now
    };

    // Reaps every ended child when orphans come to the station.
    void reapOrphans();

    std::filesystem::path stationFolder_;
    // By program, never by number alone: a number used again is another program.
    std::map<ProgramHandle, Output> outputs_;
    // The process isRunning last found under each name.
    std::map<std::string, ProgramHandle, std::less<>> found_;
};

}  // namespace bf
