#include "platform/posix_processes.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "test_station.h"

namespace bf {
namespace {

namespace fs = std::filesystem;
using bf::test::TempFolder;

// Names unique to this test process, never a player's name.
std::string nameFor(const std::string& suffix) { return "bfp" + std::to_string(::getpid()) + suffix; }

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct Seen {
    pid_t pid;
    pid_t parent;
    pid_t session;
};

// Every process (zombies too) whose kernel name is `name`.
std::vector<Seen> processesNamed(const std::string& name) {
    std::vector<Seen> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat)) continue;
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        if (stat.substr(open + 1, close - open - 1) != name.substr(0, 15)) continue;
        std::istringstream rest(stat.substr(close + 2));
        char state;
        pid_t parent, group, session;
        rest >> state >> parent >> group >> session;
        found.push_back({static_cast<pid_t>(std::stoi(stat.substr(0, open))), parent, session});
    }
    return found;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PosixProcessesTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& name : started_) processes.killByName(name);
    }

    // A program under a name of our own, as the players are symlinks.
    std::string link(const std::string& suffix, const fs::path& target) {
        const std::string name = nameFor(suffix);
        fs::create_symlink(target, folder.path() / name);
        started_.insert(name);
        return name;
    }
    std::string program(const std::string& name) const { return (folder.path() / name).string(); }
    std::string outPath() const { return (folder.path() / "out.log").string(); }

    TempFolder folder;
    PosixProcesses processes;

private:
    std::set<std::string> started_;
};

TEST_F(PosixProcessesTest, StartedProgramsAreFoundAndAllKilledByName) {
    const std::string name = link("s", "/bin/sleep");
    // Not close-on-exec: the player must not get it all the same.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_TRUE(processes.startPlayer(program(name), {"30"}, outPath()));
    ASSERT_TRUE(processes.startPlayer(program(name), {"30"}, outPath()));
    ::close(stray);

    ASSERT_TRUE(eventually([&] { return processesNamed(name).size() == 2; }));
    EXPECT_EQ(processes.isRunning(name), std::optional<bool>(true));
    for (const Seen& p : processesNamed(name)) {
        EXPECT_NE(p.parent, ::getpid()) << "the player must not be our child";
        EXPECT_NE(p.session, ::getsid(0)) << "the player runs in its own session";
        std::set<std::string> fds;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(p.pid) + "/fd")) {
            fds.insert(fd.path().filename().string());
        }
        EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2"}));
    }

    processes.killByName(name);
    EXPECT_TRUE(eventually([&] { return processes.isRunning(name) == std::optional<bool>(false); }));
}

TEST_F(PosixProcessesTest, NameIsMatchedExactlyAsTheKernelCutsIt) {
    const std::string name = link("n", "/bin/sleep");
    const std::string longName = link("-with-a-long-name", "/bin/sleep");
    ASSERT_TRUE(processes.startPlayer(program(name), {"30"}, outPath()));
    ASSERT_TRUE(processes.startPlayer(program(longName), {"30"}, outPath()));

    EXPECT_EQ(processes.isRunning(name), std::optional<bool>(true));
    EXPECT_EQ(processes.isRunning(name.substr(0, name.size() - 1)), std::optional<bool>(false));
    EXPECT_EQ(processes.isRunning(name + "x"), std::optional<bool>(false));
    EXPECT_EQ(processes.isRunning(""), std::optional<bool>(false));
    EXPECT_EQ(processes.isRunning(longName), std::optional<bool>(true));

    processes.killByName(longName);
    EXPECT_TRUE(eventually([&] { return processes.isRunning(longName) == std::optional<bool>(false); }));
    EXPECT_EQ(processes.isRunning(name), std::optional<bool>(true)) << "another name is left alone";
}

TEST_F(PosixProcessesTest, ProgramThatExitedIsNotRunningAndLeavesNoZombieOfOurs) {
    const std::string name = link("t", "/bin/true");
    ASSERT_TRUE(processes.startPlayer(program(name), {}, outPath()));
    EXPECT_TRUE(eventually([&] { return processes.isRunning(name) == std::optional<bool>(false); }));
    for (const Seen& p : processesNamed(name)) EXPECT_NE(p.parent, ::getpid());
}

TEST_F(PosixProcessesTest, StartOfMissingOrNonExecutableProgramFails) {
    EXPECT_FALSE(processes.startPlayer(program("missing"), {"x"}, outPath()));
    folder.write("plain.txt", "not a program\n");
    EXPECT_FALSE(processes.startPlayer(program("plain.txt"), {}, outPath()));
    EXPECT_FALSE(processes.startPlayer(program(link("e", "/bin/echo")), {}, (folder.path() / "no/such/dir/log").string()));
}

TEST_F(PosixProcessesTest, StandardOutputTruncatesTheLogAndInputIsEmpty) {
    folder.write("out.log", "an older and much longer log of an earlier player\n");
    ASSERT_TRUE(processes.startPlayer(program(link("e", "/bin/echo")), {"hello", "world"}, outPath()));
    EXPECT_TRUE(eventually([&] { return readAll(outPath()) == "hello world\n"; })) << readAll(outPath());

    // cat copies its input: it ends at once, with nothing written.
    folder.write("cat.log", "old");
    const std::string cat = link("c", "/bin/cat");
    ASSERT_TRUE(processes.startPlayer(program(cat), {}, (folder.path() / "cat.log").string()));
    EXPECT_TRUE(eventually([&] { return processes.isRunning(cat) == std::optional<bool>(false); }));
    EXPECT_EQ(folder.read("cat.log"), "");
}

TEST_F(PosixProcessesTest, ShellCharactersInArgumentsArePassedLiterally) {
    const std::string touched = (folder.path() / "x").string();
    const std::vector<std::string> args = {"a&b", ";", "$(touch " + touched + ")", "`touch " + touched + "`", "|",
                                           ">" + touched};
    ASSERT_TRUE(processes.startPlayer(program(link("e", "/bin/echo")), args, outPath()));

    std::string expected;
    for (const auto& a : args) expected += (expected.empty() ? "" : " ") + a;
    EXPECT_TRUE(eventually([&] { return readAll(outPath()) == expected + "\n"; })) << readAll(outPath());
    EXPECT_FALSE(fs::exists(touched));
}

TEST_F(PosixProcessesTest, ShellCommandRunsDetachedInTheCurrentFolder) {
    const fs::path go = folder.path() / "go";
    const fs::path out = folder.path() / "pwd.txt";
    processes.runShellCommand("while [ ! -e '" + go.string() + "' ]; do sleep 0.01; done; pwd > '" + out.string() +
                              "'");
    // It returned while the command still waits for "go".
    EXPECT_FALSE(fs::exists(out));
    folder.write("go", "");
    EXPECT_TRUE(eventually([&] { return readAll(out) == fs::current_path().string() + "\n"; })) << readAll(out);
}

}  // namespace
}  // namespace bf
