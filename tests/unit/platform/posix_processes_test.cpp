#include "platform/posix_processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "qt_test_app.h"
#include "test_station.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

using test::processEventsUntil;

// Every process (zombies too) whose kernel name is `name`, as its state,
// whether it is our child or in our session, and its open descriptors.
std::vector<std::string> processesNamed(const std::string& name) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        char comm[16] = {}, state = 0;
        int parent = 0, session = 0;
        if (!std::getline(in, stat) ||
            std::sscanf(stat.c_str(), "%*d (%15[^)]) %c %d %*d %d", comm, &state, &parent, &session) != 4 ||
            name.substr(0, 15) != comm)
            continue;
        std::string seen = std::string(1, state) + (parent == ::getpid() ? " our child" : "") +
                           (session == ::getsid(0) ? " our session" : "");
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator(entry.path() / "fd", ec))
            seen += " " + fd.path().filename().string() + ":" + fs::read_symlink(fd).string();
        found.push_back(seen);
    }
    return found;
}

// Players are started from symlinks in the folder whose names hold this
// test process's number, so that only our own processes are ever killed by
// name; the sleeps end by themselves should a test fail before its kill.
class PosixProcessesTest : public test::QtAppTest {
protected:
    std::string link(const std::string& suffix, const fs::path& target) {
        const std::string name = "bfp" + std::to_string(::getpid()) + suffix;
        fs::create_symlink(target, folder.path() / name);
        return name;
    }
    bool start(const std::string& name, const std::vector<std::string>& args, const char* log = "out.log") {
        return processes.startPlayer((folder.path() / name).string(), args, (folder.path() / log).string());
    }
    bool gone(const std::string& name) {
        return processEventsUntil([&] { return processes.isRunning(name) == std::optional<bool>(false); });
    }

    test::TempFolder folder;
    PosixProcesses processes;
};

TEST_F(PosixProcessesTest, FindsAndKillsEveryDetachedProcessOfExactlyTheKernelName) {
    const std::string name = link("n", "/bin/sleep");
    const std::string longName = link("-with-a-long-name", "/bin/sleep");
    const int stray = ::open("/dev/null", O_RDONLY);  // not close-on-exec: the player must not get it
    ASSERT_TRUE(start(name, {"30"}) && start(name, {"30"}) && start(longName, {"30"}));
    ::close(stray);

    // Not our child, in its own session, reading nothing and writing to its log only.
    const std::string seen =
        "S 0:/dev/null 1:" + fs::canonical(folder.path() / "out.log").string() + " 2:/dev/null";
    EXPECT_TRUE(processEventsUntil([&] { return processesNamed(name) == std::vector<std::string>(2, seen); }))
        << ::testing::PrintToString(processesNamed(name));
    EXPECT_EQ(processes.isRunning(longName), std::optional<bool>(true));
    for (const std::string& other : {name.substr(0, name.size() - 1), name + "x", std::string()})
        EXPECT_EQ(processes.isRunning(other), std::optional<bool>(false)) << other;

    processes.killByName(longName);
    EXPECT_TRUE(gone(longName));
    EXPECT_EQ(processes.isRunning(name), std::optional<bool>(true)) << "another name is left alone";
    processes.killByName(name);
    EXPECT_TRUE(gone(name));
}

TEST_F(PosixProcessesTest, OutputTruncatesTheLogAndArgumentsStayLiteral) {
    folder.write("out.log", "an older and much longer log of an earlier player\n");
    const std::string touched = (folder.path() / "x").string();
    ASSERT_TRUE(start(link("e", "/bin/echo"), {"a&b", ";", "$(touch " + touched + ")", "|", ">" + touched}));
    const std::string expected = "a&b ; $(touch " + touched + ") | >" + touched + "\n";
    EXPECT_TRUE(processEventsUntil([&] { return folder.read("out.log") == expected; }))
        << folder.read("out.log");
    EXPECT_FALSE(fs::exists(touched));
}

TEST_F(PosixProcessesTest, AZombieOfTheNameIsNotRunning) {
    const std::string name = "bfz" + std::to_string(::getpid());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_NAME, name.c_str());
        ::_exit(0);
    }
    // Not reaped until the end: it stays a zombie under the name.
    ASSERT_TRUE(processEventsUntil(
        [&] { return processesNamed(name) == std::vector<std::string>{"Z our child our session"}; }));
    EXPECT_EQ(processes.isRunning(name), std::optional<bool>(false));
    ::waitpid(child, nullptr, 0);
}

TEST_F(PosixProcessesTest, ShellCommandRunsDetachedInTheCurrentFolder) {
    const fs::path go = folder.path() / "go", out = folder.path() / "pwd.txt";
    processes.runShellCommand("while [ ! -e '" + go.string() + "' ]; do sleep 0.01; done; pwd > '" +
                              out.string() + "'");
    EXPECT_FALSE(fs::exists(out)) << "it returns while the command still waits for \"go\"";
    folder.write("go", "");
    EXPECT_TRUE(
        processEventsUntil([&] { return folder.read("pwd.txt") == fs::current_path().string() + "\n"; }));
}

}  // namespace
}  // namespace bf
