// The real link thread and the POSIX serial port against the simulator on
// pseudo-terminals, in real time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "device/device_link.h"
#include "link_runner.h"
#include "sim_process.h"

namespace {

using namespace std::chrono_literals;

int StatusOf(CDeviceLink& link, std::string* pText = nullptr) {
    std::string text;
    int status = 0;
    link.GetStatus(text, status);
    if (pText) {
        *pText = text;
    }
    return status;
}

// Maps COM1 to COM4 for one test and restores the defaults afterwards.
class PortMap {
  public:
    PortMap(const std::string& com1, const std::string& com2, const std::string& com3,
            const std::string& com4) {
        const std::string paths[] = {com1, com2, com3, com4};
        for (int n = 1; n <= 4; ++n) {
            CComPort::SetPortPath(n, paths[n - 1]);
        }
    }
    ~PortMap() {
        for (int n = 1; n <= 4; ++n) {
            CComPort::SetPortPath(n, "");
        }
    }
};

// Index of the first host command `text` in the log at or after index `from`, or -1.
int FindCommand(const std::vector<std::string>& commands, const std::string& text,
                size_t from = 0) {
    for (size_t i = from; i < commands.size(); ++i) {
        if (commands[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST(LinkIntegration, FindsTheMagnifierOnCom3BehindAMissingAndASilentPort) {
    SimProcess silent({"--fault", "answer none"});
    SimProcess magnifier;
    PortMap ports(silent.Dir() + "/no-such-port", silent.LinkPath(), magnifier.LinkPath(),
                  silent.Dir() + "/no-such-port-4");
    CDeviceLink link;
    link.m_nPosition = 63;
    link.m_nWidth = 200;
    LinkRunner runner(link);

    ASSERT_TRUE(WaitFor([&] { return link.m_bConnected != 0; }, 10s));
    std::string text;
    EXPECT_EQ(StatusOf(link, &text), LINK_CONNECTED);
    EXPECT_EQ(text, "ACTIVE Port 3");
    EXPECT_EQ(link.m_nPort, 3);
    EXPECT_EQ(link.GetDebugInfo().substr(0, 18), "Com3 Resp='V1.23\r\n");
    EXPECT_NE(link.GetDebugInfo().find("- ok"), std::string::npos);
    // The silent magnifier was asked and gave no answer.
    EXPECT_EQ(FindCommand(silent.Commands(), "?"), 0);

    // The first cycle sends both levels; a press then goes out followed by both again.
    ASSERT_GE(magnifier.WaitForLine("wc8", 5s), 0);
    link.m_bWindowPending = 1;
    const int pressAt = magnifier.WaitForLine("BW", 5s);
    ASSERT_GE(pressAt, 0);
    ASSERT_GE(magnifier.WaitForLine("wc8", 5s, pressAt), 0);
    const std::vector<std::string> commands = magnifier.Commands();
    const int bw = FindCommand(commands, "BW");
    ASSERT_GE(bw, 0);
    ASSERT_LT(bw + 2, static_cast<int>(commands.size()));
    EXPECT_EQ(commands[bw + 1], "p3f");
    EXPECT_EQ(commands[bw + 2], "wc8");

    EXPECT_TRUE(runner.Stop());
    EXPECT_EQ(StatusOf(link), LINK_STOPPED);
    EXPECT_FALSE(link.m_port.IsOpen());
}

TEST(LinkIntegration, UnplugIsNoticedAtTheKeepAliveAndReplugReconnectsWithBothLevels) {
    SimProcess magnifier;
    PortMap ports(magnifier.LinkPath(), magnifier.Dir() + "/none2", magnifier.Dir() + "/none3",
                  magnifier.Dir() + "/none4");
    CDeviceLink link;
    link.m_nPosition = 10;
    link.m_nWidth = 255;
    LinkRunner runner(link);
    ASSERT_TRUE(WaitFor([&] { return link.m_bConnected != 0; }, 10s));
    ASSERT_GE(magnifier.WaitForLine("wff", 5s), 0);

    magnifier.Control("unplug");
    ASSERT_GE(magnifier.WaitForLine("# unplugged", 5s), 0);
    // The next keep-alive fails, waits its extra second, and the scan starts again.
    ASSERT_TRUE(WaitFor([&] { return link.m_bConnected == 0; }, 10s));
    EXPECT_EQ(StatusOf(link), LINK_SEARCHING);

    // A press made while disconnected waits in the record.
    link.m_bLinesPending = 1;
    magnifier.Control("replug");
    const int replugAt = magnifier.WaitForLine("# replugged " + magnifier.LinkPath(), 5s);
    ASSERT_GE(replugAt, 0);
    ASSERT_TRUE(WaitFor([&] { return link.m_bConnected != 0; }, 10s));
    ASSERT_GE(magnifier.WaitForLine("wff", 5s, replugAt), 0);

    std::vector<std::string> after;
    const auto log = magnifier.Log();
    for (size_t i = replugAt + 1; i < log.size(); ++i) {
        if (!log[i].text.empty() && log[i].text[0] != '#' && log[i].text[0] != '!') {
            after.push_back(log[i].text);
        }
    }
    // Probe, then the waiting press and both levels, in the first cycle.
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(after[0], "?");
    EXPECT_EQ(after[1], "BL");
    EXPECT_EQ(after[2], "p0a");
    EXPECT_EQ(after[3], "wff");
    EXPECT_TRUE(runner.Stop());
}

TEST(LinkIntegration, AStopWhileScanningEndsTheThreadWithThePortClosed) {
    SimProcess silent({"--fault", "answer none"});
    PortMap ports(silent.LinkPath(), silent.Dir() + "/none2", silent.Dir() + "/none3",
                  silent.Dir() + "/none4");
    CDeviceLink link;
    LinkRunner runner(link);
    ASSERT_GE(silent.WaitForLine("?", 5s), 0);
    EXPECT_TRUE(runner.Stop());
    EXPECT_EQ(StatusOf(link), LINK_STOPPED);
    EXPECT_FALSE(link.m_port.IsOpen());
    EXPECT_EQ(link.m_bConnected, 0);
    // The port was released: another program can open it exclusively now.
    CComPort other;
    EXPECT_TRUE(other.Open(1, 9600));
}

}  // namespace
