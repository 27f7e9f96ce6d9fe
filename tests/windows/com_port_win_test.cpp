// CComPort on Wine, against tavrel-sim on a pseudo-terminal mapped as a COM port.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "device/com_port.h"
#include "sim_access.h"

namespace {

constexpr int kBaud = 9600;
constexpr int kLogDeadlineMs = 10000;

int WriteText(CComPort& port, const std::string& strText) {
    return port.WriteBytes(reinterpret_cast<const std::uint8_t*>(strText.data()),
                           static_cast<int>(strText.size()));
}

std::string ReadText(CComPort& port, int nLimit) {
    std::string strBuffer(static_cast<std::size_t>(nLimit) + 16, '\0');
    const int nRead = port.ReadAvailable(reinterpret_cast<std::uint8_t*>(strBuffer.data()), nLimit);
    return nRead > 0 ? strBuffer.substr(0, static_cast<std::size_t>(nRead)) : std::string();
}

// Polls the input queue until it holds at least nCount bytes.
bool WaitForInput(CComPort& port, int nCount) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (port.GetInputCount() < nCount) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class ComPortWin : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string strError;
        ASSERT_TRUE(LoadSimEnvironment(m_env, strError)) << strError;
    }
    void TearDown() override {
        if (m_bUnplugged) {
            // Leave the simulator plugged in for the tests that follow.
            const std::size_t nMark = Log().Lines().size();
            SendControl(m_env.strSimControl, "replug");
            Log().WaitFor([](const std::string& s) { return s.rfind("# replugged", 0) == 0; },
                          nMark, kLogDeadlineMs);
        }
    }
    SimLog Log() const { return SimLog(m_env.strSimLog); }
    void Control(const std::string& strLine, const std::string& strLogged) {
        const std::size_t nMark = Log().Lines().size();
        ASSERT_TRUE(SendControl(m_env.strSimControl, strLine)) << m_env.strSimControl;
        ASSERT_GE(Log().WaitForText(strLogged, nMark, kLogDeadlineMs), 0)
            << "the simulator did not take '" << strLine << "'";
    }

    SimEnvironment m_env;
    bool m_bUnplugged = false;
};

TEST(ComPortWinNames, PortsAboveNineUseTheDeviceNamespace) {
    EXPECT_EQ(CComPort::PortName(1), "COM1");
    EXPECT_EQ(CComPort::PortName(9), "COM9");
    EXPECT_EQ(CComPort::PortName(10), "\\\\.\\COM10");
    EXPECT_EQ(CComPort::PortName(12), "\\\\.\\COM12");
}

TEST_F(ComPortWin, MissingPortFailsAndLeavesNothingBehind) {
    CComPort port;
    const auto freeSlots = NextHandleValues();
    EXPECT_FALSE(port.Open(m_env.nMissingPort, kBaud));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Open(12, kBaud));  // through \\.\COM12, also missing
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(NextHandleValues(), freeSlots) << "a failed Open kept a handle";

    // Nothing acts on a handle left over from the failed attempts.
    std::uint8_t buffer[8] = {'?', '\r', '\n'};
    EXPECT_EQ(port.WriteBytes(buffer, 3), 0);
    EXPECT_EQ(port.GetInputCount(), 0);
    EXPECT_EQ(port.ReadAvailable(buffer, 8), 0);
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(port.Close());

    // The same object still opens a port that is there.
    ASSERT_TRUE(port.Open(m_env.nSimPort, kBaud));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_NE(NextHandleValues(), freeSlots);
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(NextHandleValues(), freeSlots) << "Close kept a handle";
    EXPECT_EQ(port.GetInputCount(), 0);
}

TEST_F(ComPortWin, ASecondOpenKeepsThePort) {
    CComPort port;
    ASSERT_TRUE(port.Open(m_env.nSimPort, kBaud));
    const auto freeSlots = NextHandleValues();
    EXPECT_TRUE(port.Open(m_env.nSilentPort, kBaud));  // already open: keeps the first
    EXPECT_EQ(NextHandleValues(), freeSlots) << "the second Open opened something";

    const std::size_t nMark = Log().Lines().size();
    EXPECT_EQ(WriteText(port, "p3f\r\n"), 5);
    const std::uint8_t unused[1] = {'x'};
    EXPECT_EQ(port.WriteBytes(unused, 0), 0);
    EXPECT_EQ(port.WriteBytes(unused, -1), 0);
    EXPECT_EQ(WriteText(port, "BW\r\n"), 4);

    const int nP = Log().WaitForText("p3f", nMark, kLogDeadlineMs);
    ASSERT_GE(nP, 0) << "the command did not reach the simulator on COM" << m_env.nSimPort;
    // The empty writes put nothing on the line: the next command follows directly.
    const int nNext = Log().WaitFor([](const std::string& s) { return !s.empty() && s[0] != '#'; },
                                    static_cast<std::size_t>(nP) + 1, kLogDeadlineMs);
    ASSERT_GE(nNext, 0);
    EXPECT_EQ(Log().Lines()[static_cast<std::size_t>(nNext)], "BW");
    EXPECT_EQ(SimLog(m_env.strSilentLog).WaitForText("p3f", 0, 0), -1);

    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(port.Close());
}

TEST_F(ComPortWin, ReadsTakeOnlyWhatIsQueuedUpToTheLimit) {
    CComPort port;
    ASSERT_TRUE(port.Open(m_env.nSimPort, kBaud));
    Control("version V9.87\\r\\n", "# version V9.87\\x0d\\x0a");

    EXPECT_EQ(port.GetInputCount(), 0);
    EXPECT_EQ(ReadText(port, 40), "");

    // The probe's answer, taken in two reads.
    ASSERT_EQ(WriteText(port, "?\r\n"), 3);
    ASSERT_TRUE(WaitForInput(port, 7));
    EXPECT_EQ(port.GetInputCount(), 7);
    EXPECT_EQ(ReadText(port, 3), "V9.");
    EXPECT_EQ(port.GetInputCount(), 4);
    EXPECT_EQ(ReadText(port, 40), "87\r\n");
    EXPECT_EQ(ReadText(port, 40), "");

    // A long burst: exactly the limit, then the rest.
    const std::string strBurst(1500, 'x');
    Control("send " + strBurst, "# send " + strBurst);
    ASSERT_TRUE(WaitForInput(port, 1500));
    EXPECT_EQ(ReadText(port, 1000).size(), 1000u);
    EXPECT_EQ(port.GetInputCount(), 500);
    EXPECT_EQ(ReadText(port, 1000), std::string(500, 'x'));

    // Bytes still queued are not reachable once the port is closed.
    ASSERT_EQ(WriteText(port, "?\r\n"), 3);
    ASSERT_TRUE(WaitForInput(port, 7));
    port.Close();
    EXPECT_EQ(port.GetInputCount(), 0);
    EXPECT_EQ(ReadText(port, 40), "");
    Control("version V1.23\\r\\n", "# version V1.23\\x0d\\x0a");
}

TEST_F(ComPortWin, UnplugWhileOpenNeverHangsAndReplugWorksAgain) {
    CComPort port;
    ASSERT_TRUE(port.Open(m_env.nSimPort, kBaud));
    m_bUnplugged = true;
    Control("unplug", "# unplugged");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WriteText(port, "BW\r\n"), 4);  // writes report the length even when lost
    EXPECT_EQ(port.GetInputCount(), 0);
    EXPECT_EQ(ReadText(port, 40), "");
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    // Each byte waits at most a second; a hang would take far longer.
    EXPECT_LT(seconds, 20) << "I/O on an unplugged port took " << seconds << " s";
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.Open(m_env.nSimPort, kBaud)) << "nothing is plugged in";

    const std::size_t nMark = Log().Lines().size();
    ASSERT_TRUE(SendControl(m_env.strSimControl, "replug"));
    ASSERT_GE(Log().WaitFor([](const std::string& s) { return s.rfind("# replugged", 0) == 0; },
                            nMark, kLogDeadlineMs),
              0);
    m_bUnplugged = false;

    ASSERT_TRUE(port.Open(m_env.nSimPort, kBaud));
    ASSERT_EQ(WriteText(port, "?\r\n"), 3);
    EXPECT_TRUE(WaitForInput(port, 7)) << "no answer after the replug";
    port.Close();
}

}  // namespace
