// The link on a real thread, as the program runs it: LinkThreadProc on its
// own std::thread against the simulated line, with a fast real sleep that
// also moves the virtual clock, while this thread plays the user interface
// and writes presses, levels and the stop request without the lock. Built
// with ThreadSanitizer this shows the record's sharing is race-free.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "device/device_link.h"
#include "fake_serial_line.h"

namespace {

using Clock = std::chrono::steady_clock;

// Everything the link thread touches, kept alive by the thread itself so that
// a thread that fails to end cannot outlive what it uses.
struct Rig {
    FakeSerialLine line;
    CDeviceLink link;
    std::atomic<int> nResult{-1};

    Rig() {
        link.UsePort(&line);
        // 1 ms of virtual time costs 20 us of real time.
        link.UseSleep([this](int nMs) {
            line.Advance(nMs);
            std::this_thread::sleep_for(std::chrono::microseconds(20 * nMs));
        });
    }
};

// Polls fnDone until it holds or a generous deadline passes.
template <typename Fn>
bool WaitFor(Fn fnDone, int nSeconds = 30) {
    const auto deadline = Clock::now() + std::chrono::seconds(nSeconds);
    while (!fnDone()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string LastCommandStartingWith(const FakeSerialLine& line, char chLetter) {
    std::string last;
    for (const auto& c : line.Commands()) {
        if (!c.text.empty() && c.text[0] == chLetter) {
            last = c.text;
        }
    }
    return last;
}

int CountCommands(const FakeSerialLine& line, const std::string& text) {
    int n = 0;
    for (const auto& c : line.Commands()) {
        n += c.text == text;
    }
    return n;
}

class LinkThread : public ::testing::Test {
  protected:
    void Start() {
        auto rig = m_rig;
        m_thread =
            std::thread([rig] { rig->nResult = static_cast<int>(LinkThreadProc(&rig->link)); });
    }
    void TearDown() override {
        if (!m_thread.joinable()) {
            return;
        }
        m_rig->link.m_bStopRequest = 1;
        if (WaitFor([&] { return m_rig->link.m_bRunning == 0 && m_rig->nResult != -1; })) {
            m_thread.join();
        } else {
            ADD_FAILURE() << "the link thread did not end";
            m_thread.detach();  // it keeps its rig
        }
    }

    std::shared_ptr<Rig> m_rig = std::make_shared<Rig>();
    std::thread m_thread;
};

TEST_F(LinkThread, UserInterfaceWritesWhileTheThreadPolls) {
    FakeSerialLine& line = m_rig->line;
    CDeviceLink& link = m_rig->link;
    line.SetBusy(1);
    line.SetDevice(2, FakeSerialLine::Answer());
    Start();
    ASSERT_TRUE(WaitFor([&] { return link.m_bConnected != 0; }));

    // The panel and hot keys, as fast as a user never is; the refresh timer
    // reads the status and the debug line meanwhile.
    int nWindowPresses = 0;
    for (int i = 0; i < 300; ++i) {
        if (i % 3 == 0) {
            link.m_bWindowPending = 1;
            ++nWindowPresses;
        }
        if (i % 7 == 0) {
            link.m_bLinesPending = 1;
        }
        link.m_nPosition = static_cast<std::uint8_t>(i);
        link.m_nWidth = static_cast<std::uint8_t>(255 - i);
        std::string text;
        int nStatus = 0;
        link.GetStatus(text, nStatus);
        EXPECT_EQ(link.GetDebugInfo().rfind("Com2 Resp=", 0), 0u);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    link.m_nPosition = 200;
    link.m_nWidth = 3;
    link.m_bOptionsPending = 1;
    // The last values and the last press get out.
    ASSERT_TRUE(WaitFor([&] {
        return LastCommandStartingWith(line, 'p') == "pc8" &&
               LastCommandStartingWith(line, 'w') == "w03" && CountCommands(line, "BO") == 1;
    }));
    const int nSent = CountCommands(line, "BW");
    EXPECT_GE(nSent, 1);
    EXPECT_LE(nSent, nWindowPresses) << "a press is never sent twice";
    EXPECT_TRUE(line.IsOpen());

    link.m_bStopRequest = 1;
    ASSERT_TRUE(WaitFor([&] { return link.m_bRunning == 0; }));
    m_thread.join();
    EXPECT_EQ(m_rig->nResult, 0);
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(link.m_bConnected, 0);
    std::string text = "x";
    int nStatus = -1;
    link.GetStatus(text, nStatus);
    EXPECT_EQ(nStatus, LINK_STOPPED);
    EXPECT_EQ(text, "");
    for (const auto& c : line.Commands()) {
        EXPECT_TRUE(c.bTerminated) << c.text;
        EXPECT_EQ(c.nPort, 2);
    }
    EXPECT_EQ(line.WritesWhileClosed(), 0);
}

TEST_F(LinkThread, StopsWhileSearchingWithNoPorts) {
    CDeviceLink& link = m_rig->link;
    Start();
    ASSERT_TRUE(WaitFor([&] { return link.m_bRunning != 0; }));
    ASSERT_TRUE(WaitFor([&] { return m_rig->line.PortCalls().size() >= 6; }));  // into a rescan
    link.m_bStopRequest = 1;
    ASSERT_TRUE(WaitFor([&] { return link.m_bRunning == 0; }));
    m_thread.join();
    EXPECT_EQ(m_rig->nResult, 0);
    EXPECT_TRUE(m_rig->line.Writes().empty());
}

}  // namespace

TEST(ReleaseAtExit, LeavesARecordWhoseThreadStillRunsAndFreesOneWhoseThreadEnded) {
    auto* pRunning = new CDeviceLink;
    pRunning->m_bRunning = 1;
    EXPECT_FALSE(ReleaseAtExit(pRunning));
    // Still a live record: the sanitizers would report a use after free here.
    pRunning->SetStatusText("still here");
    std::string text;
    int nStatus = 0;
    pRunning->GetStatus(text, nStatus);
    EXPECT_EQ(text, "still here");

    pRunning->m_bRunning = 0;
    EXPECT_TRUE(ReleaseAtExit(pRunning));  // a double delete would be reported by ASan
    EXPECT_FALSE(ReleaseAtExit(nullptr));
}
