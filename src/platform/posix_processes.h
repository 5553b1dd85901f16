#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace bf {

// Processes on Linux. Programs are started detached through a double fork:
// the started program is reparented to init, so it never becomes a zombie of
// ours (a dead player that lingered as our zombie would look alive), and no
// SIGCHLD handling is needed. Processes are found by their kernel name
// (/proc/PID/comm), which the kernel cuts to 15 bytes.
class PosixProcesses : public Processes {
public:
    bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                     const std::string& stdoutPath) override;
    void killByName(const std::string& imageName) override;
    std::optional<bool> isRunning(const std::string& imageName) override;
    void runShellCommand(const std::string& command) override;
    bool openInEditor(const std::string& path) override;
};

}  // namespace bf
