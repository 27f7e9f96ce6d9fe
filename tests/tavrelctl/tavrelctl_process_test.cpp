// tavrelctl run as a process against the simulator: exit codes, messages and
// what reaches the wire.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// One tavrelctl process with its output in files of the simulator's directory.
class Ctl {
  public:
    Ctl(const std::string& dir, std::vector<std::string> args) : m_dir(dir) {
        std::vector<std::string> argv{TAVRELCTL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) {
            cargv.push_back(a.data());
        }
        cargv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (m_dir + "/ctl.out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (m_dir + "/ctl.err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&m_pid, cargv[0], &actions, nullptr, cargv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Ctl() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t Pid() const { return m_pid; }
    std::string Out() const { return ReadFile(m_dir + "/ctl.out"); }

    // Waits for the process to end; kills it by its pid when it overstays.
    Result Wait(std::chrono::milliseconds timeout = 30s) {
        Result r;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (m_pid > 0) {
            const pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_pid = -1;
                r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "tavrelctl did not end in time";
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        r.out = ReadFile(m_dir + "/ctl.out");
        r.err = ReadFile(m_dir + "/ctl.err");
        return r;
    }

  private:
    std::string m_dir;
    pid_t m_pid = -1;
};

std::vector<std::string> Com3Args(const SimProcess& sim) {
    return {"--com", "1=" + sim.Dir() + "/none1", "--com", "2=" + sim.Dir() + "/none2",
            "--com", "3=" + sim.LinkPath(),       "--com", "4=" + sim.Dir() + "/none4"};
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(TavrelctlProcess, ProbeFindsTheMagnifierOnCom3AndPrintsItsAnswer) {
    SimProcess sim;
    Result r = Ctl(sim.Dir(), With(Com3Args(sim), {"probe"})).Wait();
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Connected on COM3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Last probe: Com3 Resp='V1.23\\r\\n' 10ms - ok"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Stopped"), std::string::npos) << r.out;
    EXPECT_EQ(sim.Commands(), std::vector<std::string>{"?"});
}

TEST(TavrelctlProcess, PressesGoOutInOrderAndTheDeviceSeesOnlyTheFinalLevels) {
    SimProcess sim;
    Result r = Ctl(sim.Dir(), With(Com3Args(sim), {"position", "5", "window", "lines", "width",
                                                   "32", "position", "16"}))
                   .Wait();
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::vector<std::string> commands = sim.Commands();
    std::vector<std::string> presses;
    for (size_t i = 0; i < commands.size(); ++i) {
        const std::string& c = commands[i];
        if (c[0] == 'p') {
            EXPECT_EQ(c, "p10");
        } else if (c[0] == 'w') {
            EXPECT_EQ(c, "w20");
        } else if (c[0] == 'B') {
            presses.push_back(c);
            // Every press is followed by both levels.
            ASSERT_LT(i + 2, commands.size());
            EXPECT_EQ(commands[i + 1], "p10");
            EXPECT_EQ(commands[i + 2], "w20");
        } else {
            EXPECT_EQ(c, "?");
        }
    }
    EXPECT_EQ(presses, (std::vector<std::string>{"BW", "BL"}));
}

TEST(TavrelctlProcess, NoMagnifierEndsWithNotDetectedAndThePortsTried) {
    SimProcess silent({"--fault", "answer none"});
    Result r =
        Ctl(silent.Dir(), {"--timeout", "1.5", "--com", "1=" + silent.Dir() + "/none1", "--com",
                           "2=" + silent.LinkPath(), "--com", "3=" + silent.Dir() + "/none3",
                           "--com", "4=" + silent.Dir() + "/none4", "window"})
            .Wait();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Tavrel Plus Not Detected"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("COM2 (" + silent.LinkPath() + ")"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Last probe: Com2 Resp='' 200ms - bad"), std::string::npos) << r.out;
    // The press never went out, and nothing but probes reached the silent magnifier.
    for (const std::string& c : silent.Commands()) {
        EXPECT_EQ(c, "?");
    }
}

TEST(TavrelctlProcess, BadArgumentsAreRefusedBeforeAnyPortIsOpened) {
    SimProcess sim;
    const std::vector<std::vector<std::string>> bad = {
        {"window", "zoom"},          {"position", "256"},        {"width", "abc"},
        {"--timeout", "0", "probe"}, {"--com", "9=/x", "probe"}, {}};
    for (const auto& extra : bad) {
        Result r = Ctl(sim.Dir(), With({"--com", "1=" + sim.LinkPath()}, extra)).Wait();
        EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
        EXPECT_NE(r.err.find("tavrelctl: "), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    Result help = Ctl(sim.Dir(), {"--help"}).Wait();
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("position VALUE"), std::string::npos);
    EXPECT_TRUE(sim.Commands().empty());
}

TEST(TavrelctlProcess, WatchRunsUntilSigtermAndThenStopsTheLinkInOrder) {
    SimProcess sim;
    Ctl ctl(sim.Dir(), With(Com3Args(sim), {"watch"}));
    ASSERT_GT(ctl.Pid(), 0);
    ASSERT_GE(sim.WaitForLine("w3f", 10s), 0);
    ASSERT_EQ(kill(ctl.Pid(), SIGTERM), 0);
    Result r = ctl.Wait();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Connected on COM3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Stopped"), std::string::npos) << r.out;
}

}  // namespace
