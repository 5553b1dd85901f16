#include "platform/posix_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <memory>

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace bf {
namespace {

// The kernel keeps at most 15 bytes of a process's name.
constexpr std::size_t kNameLength = 15;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Opens with close-on-exec, never onto 0, 1 or 2: the child moves these
// descriptors onto its standard streams, and a source that already sat on
// one of them would be overwritten or closed at exec.
FileDescriptor OpenForChild(const char* path, int flags, mode_t mode = 0) {
    int fd = ::open(path, flags | O_CLOEXEC, mode);
    if (fd >= 0 && fd <= 2) {
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        ::close(fd);
        fd = moved;
    }
    return FileDescriptor(fd);
}

struct ChildSetup {
    const char* path;
    char* const* argv;
    const char* folder;  // the working folder of the program
    int stdinFd;
    int stdoutFd;
    int stderrFd;
    int reportFd;   // exec failure: errno written here
    int highestFd;  // for the fallback when close_range is missing
};

void WriteErrno(int fd, int error) {
    ssize_t n;
    do {
        n = ::write(fd, &error, sizeof error);
    } while (n < 0 && errno == EINTR);
}

// Runs in the grandchild, after fork in a possibly threaded process: only
// async-signal-safe calls from here on.
[[noreturn]] void ExecChild(const ChildSetup& s) {
    // A process group of its own, which stopProgram ends as a whole: what a
    // script started goes with it. (Already in a session of its own, the
    // program never saw a terminal's Ctrl-C.)
    ::setpgid(0, 0);
    if (::chdir(s.folder) != 0 || ::dup2(s.stdinFd, 0) < 0 || ::dup2(s.stdoutFd, 1) < 0 ||
        ::dup2(s.stderrFd, 2) < 0) {
        WriteErrno(s.reportFd, errno);
        ::_exit(127);
    }
    // Dispositions and the mask are inherited across exec; the program must
    // start with the defaults, whatever the station has set up.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &dfl, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    // No descriptor of the station (API sockets, files) may live on in the
    // player: a listening socket would keep the port taken after we exit.
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd <= s.highestFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execv(s.path, s.argv);
    WriteErrno(s.reportFd, errno);
    ::_exit(127);
}

int HighestDescriptor() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > 65536) {
        return 65535;
    }
    return static_cast<int>(limit.rlim_cur) - 1;
}

// Starts the program in `folder`, detached in its own session, through a
// double fork and reaps the short-lived middle process at once. Returns 0
// once the program has been executed, else the errno of the failed step; the
// program's process number goes to `started`.
int SpawnDetached(const char* path, char* const* argv, const char* folder, int stdinFd, int stdoutFd,
                  int stderrFd, pid_t* started = nullptr) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return errno;
    FileDescriptor reportRead(pipeFds[0]);
    FileDescriptor reportWrite(pipeFds[1]);

    const ChildSetup setup{
        path, argv, folder, stdinFd, stdoutFd, stderrFd, reportWrite.get(), HighestDescriptor()};

    const pid_t middle = ::fork();
    if (middle < 0) return errno;
    if (middle == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            WriteErrno(setup.reportFd, errno);
            ::_exit(1);
        }
        if (grandchild == 0) ExecChild(setup);
        // The program's number first; an exec failure's errno follows it.
        ssize_t n;
        do {
            n = ::write(setup.reportFd, &grandchild, sizeof grandchild);
        } while (n < 0 && errno == EINTR);
        ::_exit(0);
    }

    reportWrite.reset();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes at a successful exec (close-on-exec); a failure sends
    // its errno first.
    auto readWhole = [&](void* into, size_t size) {
        ssize_t n;
        do {
            n = ::read(reportRead.get(), into, size);
        } while (n < 0 && errno == EINTR);
        return n == static_cast<ssize_t>(size);
    };
    pid_t grandchild = 0;
    if (!readWhole(&grandchild, sizeof grandchild)) return EIO;  // the second fork failed
    int error = 0;
    if (readWhole(&error, sizeof error)) return error != 0 ? error : EIO;
    if (started) *started = grandchild;
    return 0;
}

// Reads a small /proc file; empty when it cannot be read (the process may
// have ended meanwhile).
std::string ReadProcFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return {};
    std::string text;
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > 8192) break;
    }
    return text;
}

struct ProcessInfo {
    std::string name;
    char state = '?';
    unsigned long long started = 0;  // the start time, in clock ticks after boot
    unsigned long long residentPages = 0;
};

// Name and state of one process from /proc/PID/stat: "PID (NAME) S ...".
// The name may itself hold blanks and ")", so it ends at the last ")".
std::optional<ProcessInfo> ReadProcess(pid_t pid) {
    const std::string stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
    const auto open = stat.find('(');
    const auto close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open || close + 2 >= stat.size()) {
        return std::nullopt;
    }
    // After the state come 18 more fields; the start time is the 19th, the
    // resident pages the 21st.
    unsigned long long started = 0, resident = 0;
    size_t at = close + 2;
    for (int field = 0; field < 19 && at != std::string::npos; ++field) at = stat.find(' ', at + 1);
    if (at != std::string::npos) started = std::strtoull(stat.c_str() + at + 1, nullptr, 10);
    for (int field = 0; field < 2 && at != std::string::npos; ++field) at = stat.find(' ', at + 1);
    if (at != std::string::npos) resident = std::strtoull(stat.c_str() + at + 1, nullptr, 10);
    return ProcessInfo{stat.substr(open + 1, close - open - 1), stat[close + 2], started, resident};
}

bool IsLive(const ProcessInfo& p) {
    return p.state != 'Z' && p.state != 'X' && p.state != 'x';
}

std::optional<pid_t> ParsePid(const char* text) {
    if (*text == '\0') return std::nullopt;
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return std::nullopt;
        value = value * 10 + (*c - '0');
        if (value > 0x3fffffff) return std::nullopt;
    }
    return static_cast<pid_t>(value);
}

// Calls visit(pid, info) for every process until it returns false; false
// when the process table cannot be opened.
template <typename Visit>
bool ForEachProcess(Visit visit) {
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) return false;
    while (const dirent* entry = ::readdir(proc.get())) {
        const auto pid = ParsePid(entry->d_name);
        if (!pid) continue;
        const auto info = ReadProcess(*pid);
        if (!info) continue;
        if (!visit(*pid, *info)) break;
    }
    return true;
}

std::string KernelName(const std::string& imageName) {
    return imageName.substr(0, kNameLength);
}

// A directory as the kernel knows it, whatever path (symlinks, bind mounts)
// leads to it.
struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId&) const = default;
};

std::optional<DirectoryId> IdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return DirectoryId{st.st_dev, st.st_ino};
}

// Whether the process works in `folder`. The working folder of another
// user's process cannot be read: it is never ours.
bool WorksIn(pid_t pid, const DirectoryId& folder) {
    return IdOf("/proc/" + std::to_string(pid) + "/cwd") == folder;
}

// Whether a live process is the station's `name`.
bool IsOurs(pid_t pid, const ProcessInfo& info, const std::string& name, const DirectoryId& folder) {
    return IsLive(info) && info.name == name && WorksIn(pid, folder);
}

// Kills through a pidfd after checking name and folder once more, so that a
// process that ended between the scan and the kill cannot take a stranger's
// signal when its number is reused.
void KillProcess(pid_t pid, const std::string& name, const DirectoryId& folder) {
#ifdef SYS_pidfd_open
    FileDescriptor pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.valid()) {
        const auto again = ReadProcess(pid);
        if (again && IsOurs(pid, *again, name, folder))
            ::syscall(SYS_pidfd_send_signal, pidfd.get(), SIGKILL, nullptr, 0);
        return;
    }
    if (errno == ESRCH) return;
#endif
    ::kill(pid, SIGKILL);
}

}  // namespace

PosixProcesses::PosixProcesses(std::filesystem::path stationFolder)
    : stationFolder_(std::move(stationFolder)) {}

bool PosixProcesses::startPlayer(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& stdoutPath) {
    if (program.empty()) return false;
    const FileDescriptor input = OpenForChild("/dev/null", O_RDONLY);
    // Appending: when the station cuts the log in place, the player's next
    // bytes land at its new end, not after a hole as long as the old log.
    const FileDescriptor output =
        OpenForChild(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (!input.valid() || !output.valid()) return false;

    // Built before the fork: the child may not allocate.
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    // The player's errors go into its log too: why it ended is read there.
    pid_t pid = 0;
    if (SpawnDetached(program.c_str(), argv.data(), stationFolder_.c_str(), input.get(), output.get(),
                      output.get(), &pid) != 0)
        return false;
    // Found at once under its program's name (a program that names itself
    // otherwise is found by the next isRunning).
    const std::string name = std::filesystem::path(program).filename().string();
    if (const auto info = ReadProcess(pid); info && IsLive(*info) && info->name == KernelName(name))
        found_[name] = ProgramHandle{pid, info->started};
    return true;
}

void PosixProcesses::killByName(const std::string& imageName) {
    const auto folder = IdOf(stationFolder_);
    if (imageName.empty() || !folder) return;
    const std::string name = KernelName(imageName);
    const pid_t self = ::getpid();
    found_.erase(imageName);
    ForEachProcess([&](pid_t pid, const ProcessInfo& info) {
        if (pid != self && IsOurs(pid, info, name, *folder)) KillProcess(pid, name, *folder);
        return true;
    });
}

void PosixProcesses::reapOrphans() {
    int subreaper = 0;
    if (::getpid() != 1 && (::prctl(PR_GET_CHILD_SUBREAPER, &subreaper) != 0 || subreaper == 0)) return;
    // A child that the station waits for itself (the middle process of a
    // start) is waited for at once, so none is taken from it here. A started
    // program's end is noted: its number, free now, never stands for it
    // again, and its unread output stays.
    for (;;) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid < 0 && errno == EINTR) continue;
        if (pid <= 0) return;
        for (auto it = outputs_.lower_bound(ProgramHandle{pid, 0});
             it != outputs_.end() && it->first.pid == pid; ++it)
            it->second.ended = true;
    }
}

std::optional<bool> PosixProcesses::isRunning(const std::string& imageName) {
    reapOrphans();
    if (imageName.empty()) return false;
    const auto folder = IdOf(stationFolder_);
    if (!folder) return std::nullopt;
    const std::string name = KernelName(imageName);
    std::optional<ProgramHandle> found;
    const bool scanned = ForEachProcess([&](pid_t pid, const ProcessInfo& info) {
        if (IsOurs(pid, info, name, *folder)) found = ProgramHandle{pid, info.started};
        return !found;
    });
    if (!scanned) return std::nullopt;
    if (found)
        found_[imageName] = *found;
    else
        found_.erase(imageName);
    return found.has_value();
}

std::optional<bool> PosixProcesses::foundStillRuns(const std::string& imageName) {
    const auto it = found_.find(imageName);
    if (it == found_.end()) return std::nullopt;
    reapOrphans();
    // The start time tells the process from a later one given its number.
    const auto info = ReadProcess(it->second.pid);
    return info && IsLive(*info) && info->started == it->second.started;
}

std::optional<ImageFigures> PosixProcesses::figuresOf(const std::string& imageName) {
    const auto folder = IdOf(stationFolder_);
    if (imageName.empty() || !folder) return std::nullopt;
    static const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
    static const double pageBytes = static_cast<double>(::sysconf(_SC_PAGESIZE));
    if (ticks <= 0 || pageBytes <= 0) return std::nullopt;
    const std::string name = KernelName(imageName);
    ImageFigures figures;
    ForEachProcess([&](pid_t pid, const ProcessInfo& info) {
        if (!IsOurs(pid, info, name, *folder)) return true;
        figures.residentBytes += static_cast<double>(info.residentPages) * pageBytes;
        const double started = static_cast<double>(info.started) / ticks;
        if (figures.count == 0 || started < figures.startedAfterBoot) figures.startedAfterBoot = started;
        ++figures.count;
        return true;
    });
    if (figures.count == 0) return std::nullopt;
    return figures;
}

void PosixProcesses::runShellCommand(const std::string& command) {
    const FileDescriptor null = OpenForChild("/dev/null", O_RDWR);
    if (!null.valid()) return;
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char* const argv[] = {shell, dashC, const_cast<char*>(command.c_str()), nullptr};
    SpawnDetached(shell, argv, stationFolder_.c_str(), null.get(), null.get(), null.get());
}

std::optional<ProgramHandle> PosixProcesses::startProgram(const std::string& program,
                                                          const std::vector<std::string>& args,
                                                          bool readOutput) {
    const FileDescriptor null = OpenForChild("/dev/null", O_RDWR);
    if (program.empty() || !null.valid()) return std::nullopt;
    int pipeFds[2] = {-1, -1};
    if (readOutput && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return std::nullopt;
    FileDescriptor outputRead(pipeFds[0]);
    // The program's end must block: moved off 0..2 and made blocking.
    FileDescriptor outputWrite(readOutput ? ::fcntl(pipeFds[1], F_DUPFD_CLOEXEC, 3) : -1);
    if (readOutput) ::close(pipeFds[1]);
    if (outputWrite.valid()) ::fcntl(outputWrite.get(), F_SETFL, 0);
    if (readOutput && !outputWrite.valid()) return std::nullopt;
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (SpawnDetached(program.c_str(), argv.data(), stationFolder_.c_str(), null.get(),
                      readOutput ? outputWrite.get() : null.get(), null.get(), &pid) != 0)
        return std::nullopt;
    // A program that has already ended is done (its output stays readable);
    // one that init has reaped already has no start time left: 0.
    const auto info = ReadProcess(pid);
    const ProgramHandle handle{pid, info ? info->started : 0};
    if (readOutput) {
        auto [it, fresh] = outputs_.try_emplace(handle);
        if (!fresh) ::close(it->second.fd);  // an unknown start time twice: the older was never stopped
        it->second = Output{outputRead.release(), !info || !IsLive(*info)};
    }
    return handle;
}

std::string PosixProcesses::readOutput(const ProgramHandle& program) {
    const auto it = outputs_.find(program);
    if (it == outputs_.end()) return {};
    std::string text;
    char buffer[4096];
    while (text.size() < 64 * 1024) {
        const ssize_t n = ::read(it->second.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

bool PosixProcesses::stillRunning(const ProgramHandle& program) {
    reapOrphans();
    if (const auto it = outputs_.find(program); it != outputs_.end() && it->second.ended) return false;
    const auto info = ReadProcess(program.pid);
    return program.started != 0 && info && IsLive(*info) && info->started == program.started;
}

void PosixProcesses::stopProgram(const ProgramHandle& program) {
    // Opened before the check, the pidfd reaches the program only, whatever
    // its number stands for later.
    bool reachable = true;
    int pidfd = -1;
#ifdef SYS_pidfd_open
    pidfd = static_cast<int>(::syscall(SYS_pidfd_open, program.pid, 0));
    reachable = pidfd >= 0 || errno != ESRCH;
#endif
    const FileDescriptor held(pidfd);
    // While the program runs, its number (and so its group's) is no other
    // process's; a program that left its group is still reached by itself.
    // One that has ended keeps what it left behind.
    if (reachable && stillRunning(program)) {
        ::kill(-program.pid, SIGKILL);
#ifdef SYS_pidfd_open
        if (held.valid()) ::syscall(SYS_pidfd_send_signal, held.get(), SIGKILL, nullptr, 0);
#endif
        if (!held.valid()) ::kill(program.pid, SIGKILL);
    }
    if (const auto it = outputs_.find(program); it != outputs_.end()) {
        ::close(it->second.fd);
        outputs_.erase(it);
    }
}

bool PosixProcesses::openInEditor(const std::string& path) {
    // The desktop services need the GUI application; without one (a test, a
    // headless tool) there is no editor to open.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
    const QString absolute =
        QFileInfo(QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size())))
            .absoluteFilePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(absolute));
}

}  // namespace bf
