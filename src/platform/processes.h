#pragma once

#include <compare>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// A program the station started and may ask about: its process number and
// the kernel's start time of that process, so that a number used again by
// another process is not taken for it.
struct ProgramHandle {
    int pid = 0;
    unsigned long long started = 0;
    auto operator<=>(const ProgramHandle&) const = default;
};

// The station's processes of one name taken together (a player and the
// cache process MPlayer forks): their resident memory summed, and the
// earliest start among them in seconds since the machine booted.
struct ImageFigures {
    double residentBytes = 0;
    double startedAfterBoot = 0;
    int count = 0;
};

// Everything the station does with other programs. The processes it finds
// and kills are only its own: those that run in its station folder, where
// it starts every program (another station's players have the same names).
class Processes {
public:
    virtual ~Processes() = default;

    // Starts `program` (a path) with `args`, without a shell, in the station
    // folder, its standard output and error truncated into `stdoutPath` and
    // appended to it (a cut in place makes its next bytes land at the new
    // end), standard input on /dev/null, detached in its own session. Returns false
    // when the program could not be started at all. Never waits for it.
    virtual bool startPlayer(const std::string& program, const std::vector<std::string>& args,
                             const std::string& stdoutPath) = 0;

    // Kills (SIGKILL) every process of the station whose name is exactly
    // `imageName`.
    virtual void killByName(const std::string& imageName) = 0;

    // Whether at least one live (non-zombie) process of the station is named
    // exactly `imageName`; nullopt when the process table cannot be read.
    virtual std::optional<bool> isRunning(const std::string& imageName) = 0;

    // Whether the process that startPlayer started or isRunning last found
    // under `imageName` still runs, looked at alone: cheap enough to ask
    // every second. nullopt when that look found none (or the station has
    // killed the name since), or when this cannot tell: then only isRunning
    // knows.
    virtual std::optional<bool> foundStillRuns(const std::string&) { return std::nullopt; }

    // What the kernel tells of the station's live processes named exactly
    // `imageName`; nullopt when none runs or the process table cannot be
    // read.
    virtual std::optional<ImageFigures> figuresOf(const std::string&) { return std::nullopt; }

    // Runs an operator's command line through /bin/sh -c, detached, in the
    // station folder. Never waits.
    virtual void runShellCommand(const std::string& command) = 0;

    // Starts `program` with `args`, without a shell, detached, in the station
    // folder and in a process group of its own, its standard streams on
    // /dev/null; with `readOutput` its standard output goes to a pipe that
    // readOutput empties. Never waits; nullopt when it could not be started.
    virtual std::optional<ProgramHandle> startProgram(const std::string& program,
                                                      const std::vector<std::string>& args,
                                                      bool readOutput = false) = 0;
    // What the program has written since the last call, without waiting: at
    // most 64 KiB; empty for a program without readOutput. What it wrote
    // before it ended stays readable until it is stopped.
    virtual std::string readOutput(const ProgramHandle& program) = 0;
    // Whether the program still runs.
    virtual bool stillRunning(const ProgramHandle& program) = 0;
    // Ends the program and what it started in its process group (SIGKILL) if
    // it still runs, and forgets it: its output pipe is closed, unread output
    // is lost. Every started program is stopped so at last.
    virtual void stopProgram(const ProgramHandle& program) = 0;

    // Opens a file in the desktop's editor, detached. Returns false when no
    // editor could be started (no desktop, no program for the file).
    virtual bool openInEditor(const std::string& path) = 0;
};

}  // namespace bf
