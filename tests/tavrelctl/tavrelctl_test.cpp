// The console remote: its command line, and its exit codes as a process
// (0 done, 1 no magnifier within --timeout, 2 bad arguments) against the
// simulator on a pseudo-terminal.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "ctl_options.h"
#include "ctl_remote.h"
#include "device/device_link.h"
#include "sim_process.h"

namespace {

using namespace std::chrono_literals;

struct Result {
    int exitCode = -1;
    std::string err;
    double seconds = 0;
};

// Runs tavrelctl with its error output in dir and the arguments after these
// (COM1 to COM4 on no device and a short search: nothing real is opened).
// Kills it by its pid after 30 s.
Result RunCtl(const std::string& dir, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {TAVRELCTL_PATH,         "--timeout=1",
                                     "--com=1=/nonexistent", "--com=2=/nonexistent",
                                     "--com=3=/nonexistent", "--com=4=/nonexistent"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(argv, dir + "/ctl.err");
    EXPECT_GT(pid, 0);
    int status = 0;
    if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 30s)) {
        ADD_FAILURE() << "tavrelctl still running after 30 s";
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir + "/ctl.err"), took.count()};
}

TEST(Tavrelctl, GoodCommandLines) {
    CtlOptions o;
    std::string error;
    ASSERT_TRUE(ParseCtlOptions({"position", "10", "window", "lines", "width", "0", "options",
                                 "position", "255", "--timeout", "2.5"},
                                true, o, error))
        << error;
    EXPECT_EQ(o.presses,
              (std::vector<CtlAction>{CtlAction::Window, CtlAction::Lines, CtlAction::Options}));
    EXPECT_EQ(o.position, 255) << "the last value given";
    EXPECT_EQ(o.width, 0);
    EXPECT_EQ(o.timeoutSeconds, 2.5);
    ASSERT_TRUE(ParseCtlOptions({"--com", "3=/tmp/x", "probe"}, true, o, error)) << error;
    EXPECT_EQ(o.ports.at(3), "/tmp/x");
    EXPECT_EQ(o.position, 63) << "the panel's starting level when none is given";
    EXPECT_EQ(o.port, 0) << "as the settings say when --port is not given";
    for (int port : {1, 999}) {
        ASSERT_TRUE(ParseCtlOptions({"--port=" + std::to_string(port), "probe"}, false, o, error))
            << error;
        EXPECT_EQ(o.port, port);
    }
    // A port is named as being tried, never as ACTIVE, until it has answered.
    const std::string searching = DescribeStatus(LINK_SEARCHING, "ACTIVE Port 3", 3);
    const std::string connected = DescribeStatus(LINK_CONNECTED, "ACTIVE Port 3", 3);
    EXPECT_EQ(searching.rfind("Looking on COM3", 0), 0u) << searching;
    EXPECT_EQ(searching.find("ACTIVE"), std::string::npos) << searching;
    EXPECT_NE(connected.find("[ACTIVE Port 3]"), std::string::npos) << connected;
}

TEST(Tavrelctl, BadCommandLinesExitWithTwoAndNameTheirFault) {
    SimProcess sim;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"position", "256"}, "'256'"},
        {{"width", "-1"}, "'-1'"},
        {{"position", "1x"}, "'1x'"},
        {{"window", "width"}, "width needs a VALUE"},
        {{"zoom"}, "unknown action 'zoom'"},
        {{"--timeout", "0", "probe"}, "--timeout '0'"},
        {{"--com", "0=/x", "probe"}, "'0=/x'"},
        {{}, "no action given"},
        {{"--port", "0", "probe"}, "--port '0'"},
        {{"--port", "1000", "probe"}, "--port '1000'"},
    };
    for (const auto& [args, message] : cases) {
        const Result r = RunCtl(sim.Dir(), args);
        EXPECT_EQ(r.exitCode, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

TEST(Tavrelctl, ExitsWithZeroWhenDoneAndOneWhenNoMagnifierAnswers) {
    SimProcess sim;
    const Result done = RunCtl(sim.Dir(), {"--com", "3=" + sim.LinkPath(), "window"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const auto commands = sim.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "BW"), commands.end());

    // Why each port gave none: COM11 a file, COM12 silent, COM13 held by this
    // test (a whole scan, 1.4 s, within --timeout).
    SimProcess silent({"--fault", "answer none"});
    CComPort held;
    CComPort::SetPortPath(13, sim.LinkPath());
    ASSERT_TRUE(held.Open(13, 9600));
    const Result absent =
        RunCtl(sim.Dir(), {"--timeout=2.5", "--com", "11=" + sim.Dir() + "/ctl.err", "--com",
                           "12=" + silent.LinkPath(), "--com", "13=" + sim.LinkPath(), "probe"});
    held.Close();
    EXPECT_EQ(absent.exitCode, 1) << absent.err;
    for (const char* reason : {"Tavrel Plus Not Detected\nCOM1: missing (",
                               "\nCOM11: could not be set up: ", "\nCOM12: no answer (",
                               "\nCOM13: busy: held by another program ("}) {
        EXPECT_NE(absent.err.find(reason), std::string::npos) << reason << " in " << absent.err;
    }
    EXPECT_LT(absent.seconds, 5) << "--timeout 2.5 was not kept";
    // With --port, that port alone is opened.
    const Result alone =
        RunCtl(sim.Dir(), {"--com", "12=" + silent.LinkPath(), "--port", "12", "probe"});
    EXPECT_EQ(alone.exitCode, 1) << alone.err;
    EXPECT_EQ(alone.err.substr(alone.err.find('\n') + 1, 18), "COM12: no answer (") << alone.err;
    EXPECT_EQ(alone.err.find("COM1:"), std::string::npos) << alone.err;

    // Lost after the first press, with more to go out: --timeout bounds the
    // wait for the magnifier to come back too.
    std::atomic<bool> unplugged{false};
    std::thread unplug([&sim, &unplugged, nFrom = sim.Log().size()] {
        if (sim.WaitForLine("BW", 20s, nFrom) >= 0) {
            sim.Control("unplug");
            unplugged = true;
        }
    });
    std::vector<std::string> args = {"--com", "3=" + sim.LinkPath()};
    args.insert(args.end(), 20, "window");
    const Result lost = RunCtl(sim.Dir(), args);
    unplug.join();
    EXPECT_EQ(lost.exitCode, 1) << lost.err;
    EXPECT_TRUE(unplugged) << "the first press never reached the magnifier";
    EXPECT_NE(lost.err.find("Tavrel Plus Not Detected"), std::string::npos) << lost.err;
}

}  // namespace
