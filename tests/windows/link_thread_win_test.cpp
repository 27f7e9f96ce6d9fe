// The link thread on Wine in real time: it scans COM1 to COM4, passes over a
// missing port and a silent one, connects to the simulator, carries a press
// and the levels to it, and ends in order when asked to stop.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "device/device_link.h"
#include "sim_access.h"

namespace {

constexpr int kDeadlineMs = 20000;

template <typename Pred>
bool PollUntil(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool IsLevel(const std::string& strLine, char chLetter) {
    return strLine.size() == 3 && strLine[0] == chLetter;
}

TEST(LinkThreadWin, FindsTheSimulatorPressesWindowAndStopsInOrder) {
    SimEnvironment env;
    std::string strError;
    ASSERT_TRUE(LoadSimEnvironment(env, strError)) << strError;
    // This scenario wants the simulator behind a missing and a silent port.
    ASSERT_LT(env.nMissingPort, env.nSilentPort);
    ASSERT_LT(env.nSilentPort, env.nSimPort);
    const SimLog simLog(env.strSimLog);
    const SimLog silentLog(env.strSilentLog);
    const std::size_t nSilentMark = silentLog.Lines().size();

    const auto freeSlots = NextHandleValues();

    CDeviceLink link;
    std::thread thread([&link] { link.Run(); });
    struct Joiner {
        CDeviceLink& link;
        std::thread& thread;
        ~Joiner() {
            link.m_bStopRequest = 1;
            if (thread.joinable()) {
                thread.join();
            }
        }
    } joiner{link, thread};

    ASSERT_TRUE(PollUntil([&] { return link.m_bConnected != 0; }))
        << "not connected; last probe: " << link.GetDebugInfo();
    EXPECT_EQ(link.m_nPort, env.nSimPort);
    std::string strStatus;
    int nStatus = -1;
    link.GetStatus(strStatus, nStatus);
    EXPECT_EQ(nStatus, LINK_CONNECTED);
    // The silent simulator was asked on the way and did not hold the link.
    EXPECT_GE(silentLog.WaitForText("?", nSilentMark, 0), 0);

    // A press goes out as BW, followed by both levels.
    const std::size_t nMark = simLog.Lines().size();
    link.m_bWindowPending = 1;
    const int nPress = simLog.WaitForText("BW", nMark, kDeadlineMs);
    ASSERT_GE(nPress, 0) << "WINDOW did not reach the simulator";
    const auto after = static_cast<std::size_t>(nPress) + 1;
    EXPECT_GE(
        simLog.WaitFor([](const std::string& s) { return IsLevel(s, 'p'); }, after, kDeadlineMs),
        0);
    EXPECT_GE(
        simLog.WaitFor([](const std::string& s) { return IsLevel(s, 'w'); }, after, kDeadlineMs),
        0);
    EXPECT_EQ(link.m_bWindowPending, 0);

    // A new position is sent on its own.
    link.m_nPosition = 0x3f;
    EXPECT_GE(simLog.WaitForText("p3f", after, kDeadlineMs), 0);

    // Stop: the thread publishes the stopped state, clears running last, and
    // lets the port go.
    link.m_bStopRequest = 1;
    ASSERT_TRUE(PollUntil([&] { return link.m_bRunning == 0; })) << "the link did not stop";
    thread.join();
    link.GetStatus(strStatus, nStatus);
    EXPECT_EQ(nStatus, LINK_STOPPED);
    EXPECT_EQ(link.m_bConnected, 0);
    EXPECT_EQ(NextHandleValues(), freeSlots) << "the link kept handles (its port) after it stopped";
}

}  // namespace
