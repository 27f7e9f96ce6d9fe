// The link thread's body, run on the test thread in virtual time against the
// simulated line: scanning, the poll cycle and its sends, keep-alive, and
// stopping from every state.
#include <gtest/gtest.h>

#include <utility>

#include "virtual_link.h"

namespace {

using Texts_t = std::vector<std::string>;

constexpr std::int64_t kStart = 500;     // pause before the first scan
constexpr std::int64_t kMissing = 100;   // an attempt on a port that does not open
constexpr std::int64_t kSilent = 300;    // 200 ms probe + 100 ms pause
constexpr std::int64_t kBetween = 1000;  // pause after a scan that found nothing
constexpr std::int64_t kSettle = 100;    // pause on connecting, and on the way out
constexpr std::int64_t kCycle = 50;      // one idle poll cycle, and the pause after a command

// Every Open call as (time, port).
std::vector<std::pair<std::int64_t, int>> Opens(const FakeSerialLine& line) {
    std::vector<std::pair<std::int64_t, int>> opens;
    for (const auto& call : line.PortCalls()) {
        if (call.bOpen) {
            opens.push_back({call.nTime, call.nPort});
        }
    }
    return opens;
}

// The state of the record at each Close call.
struct AtClose {
    std::int64_t nTime;
    bool bRunning;
    bool bConnected;
    int nStatus;
};

void WatchCloses(VirtualLink& v, std::vector<AtClose>& closes) {
    v.line.SetCloseHook([&v, &closes] {
        std::string text;
        int nStatus = -1;
        v.link.GetStatus(text, nStatus);
        closes.push_back({v.line.Now(), v.link.m_bRunning != 0, v.link.m_bConnected != 0, nStatus});
    });
}

// The end state every way out of Run must reach.
void ExpectEnded(VirtualLink& v, int nResult, const std::vector<AtClose>& closes) {
    EXPECT_EQ(nResult, 0);
    EXPECT_EQ(v.link.m_bRunning, 0);
    EXPECT_EQ(v.link.m_bConnected, 0);
    EXPECT_FALSE(v.line.IsOpen());
    std::string text = "x";
    int nStatus = -1;
    v.link.GetStatus(text, nStatus);
    EXPECT_EQ(nStatus, LINK_STOPPED);
    EXPECT_EQ(text, "");
    ASSERT_FALSE(closes.empty()) << "the port is closed on the way out";
    EXPECT_TRUE(closes.back().bRunning) << "m_bRunning must be cleared after the last close";
    for (const VirtualLink::Seen& s : v.seen) {
        EXPECT_TRUE(s.bRunning) << "at " << s.nAt;
    }
    EXPECT_EQ(v.line.WritesWhileClosed(), 0);
}

std::vector<std::int64_t> ProbeTimes(const FakeSerialLine& line, int nPort) {
    std::vector<std::int64_t> times;
    for (const auto& c : line.Commands()) {
        if (c.text == "?" && c.nPort == nPort) {
            times.push_back(c.nTime);
        }
    }
    return times;
}

void StopAt(VirtualLink& v, std::int64_t nAt) {
    v.At(nAt, [&v] { v.link.m_bStopRequest = 1; });
}

// --- scanning -------------------------------------------------------------

TEST(Scan, MissingPortsCost100msAndTheScanRepeatsAfterASecond) {
    VirtualLink v;
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, 3000);
    const int nResult = v.RunToEnd();

    const std::int64_t t2 = kStart + 4 * kMissing + kBetween;  // the second scan
    EXPECT_EQ(Opens(v.line), (std::vector<std::pair<std::int64_t, int>>{
                                 {kStart, 1},
                                 {kStart + 100, 2},
                                 {kStart + 200, 3},
                                 {kStart + 300, 4},
                                 {t2, 1},
                                 {t2 + 100, 2},
                                 {t2 + 200, 3},
                                 {t2 + 300, 4},
                             }));
    EXPECT_EQ(v.TextsSeen(), (Texts_t{"Init", "ACTIVE Port 1", "ACTIVE Port 2", "ACTIVE Port 3",
                                      "ACTIVE Port 4", "", "ACTIVE Port 1", "ACTIVE Port 2",
                                      "ACTIVE Port 3", "ACTIVE Port 4", ""}));
    EXPECT_EQ(v.StatusesSeen(), (std::vector<int>{LINK_STARTING, LINK_SEARCHING}));
    // The stop came in the second pause: it ends after that pause and 100 ms more.
    EXPECT_EQ(v.line.Now(), t2 + 4 * kMissing + kBetween + kSettle);
    EXPECT_TRUE(v.line.Writes().empty());
    ExpectEnded(v, nResult, closes);
}

TEST(Scan, SilentPortsAreProbedOnceEachAndClosed) {
    VirtualLink v;
    for (int n = 1; n <= 4; ++n) {
        v.line.SetDevice(n, {});
    }
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, kStart + 4 * kSilent + kBetween + 1);  // just into the second scan
    const int nResult = v.RunToEnd();

    const auto opens = Opens(v.line);
    ASSERT_EQ(opens.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const std::int64_t nScan = i < 4 ? kStart : kStart + 4 * kSilent + kBetween;
        EXPECT_EQ(opens[i], std::make_pair(nScan + (i % 4) * kSilent, i % 4 + 1));
    }
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(ProbeTimes(v.line, n).size(), 2u) << "port " << n;
    }
    EXPECT_EQ(Texts(v.line.Commands()), Texts_t(8, "?"));
    EXPECT_EQ(v.link.GetDebugInfo(), "Com4 Resp='' 200ms - bad");
    for (const VirtualLink::Seen& s : v.seen) {
        EXPECT_FALSE(s.bConnected);
    }
    // A stop during a scan is honoured only once the whole scan is done.
    EXPECT_EQ(v.line.Now(), kStart + (4 * kSilent + kBetween) + 4 * kSilent + kSettle);
    ExpectEnded(v, nResult, closes);
}

TEST(Scan, FindsTheMagnifierOnCom3BehindAMissingAndASilentPort) {
    VirtualLink v;
    v.line.SetDevice(2, {});
    v.line.SetDevice(3, FakeSerialLine::Answer());
    v.line.SetDevice(4, FakeSerialLine::Answer());
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, 2000);
    const int nResult = v.RunToEnd();

    const std::int64_t tFound = kStart + kMissing + kSilent;
    EXPECT_EQ(Opens(v.line), (std::vector<std::pair<std::int64_t, int>>{
                                 {kStart, 1}, {kStart + kMissing, 2}, {tFound, 3}}));
    EXPECT_EQ(ProbeTimes(v.line, 3), std::vector<std::int64_t>{tFound}) << "one probe on COM3";
    bool bSawConnected = false;
    for (const VirtualLink::Seen& s : v.seen) {
        if (s.nAt >= tFound + 10) {
            EXPECT_TRUE(s.bConnected);
            EXPECT_EQ(s.nStatus, LINK_CONNECTED);
            EXPECT_EQ(s.text, "ACTIVE Port 3");
            bSawConnected = true;
        }
    }
    EXPECT_TRUE(bSawConnected);
    EXPECT_EQ(v.link.m_nPort, 3);
    EXPECT_EQ(v.link.GetDebugInfo(), "Com3 Resp='V1.23\r\n' 10ms - ok");
    ExpectEnded(v, nResult, closes);
}

// --- the poll cycle ---------------------------------------------------------

TEST(Poll, KeepAliveProbeEveryTwentiethCycle) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    StopAt(v, 5000);
    v.RunToEnd();

    const auto probes = ProbeTimes(v.line, 1);
    ASSERT_GE(probes.size(), 4u);
    const std::int64_t tConnected = kStart + 10;
    // The first cycle also sends the position and the width.
    EXPECT_EQ(probes[1], tConnected + kSettle + 20 * kCycle + 2 * kCycle);
    for (std::size_t i = 2; i < probes.size(); ++i) {
        EXPECT_EQ(probes[i] - probes[i - 1], 20 * kCycle + 10) << "probe " << i;
    }
    EXPECT_EQ(Texts(v.line.Commands()).size(), probes.size() + 2)
        << "an idle link sends only probes";
}

TEST(Poll, PressesMadeWhileSearchingGoOutInTheFirstCycle) {
    VirtualLink v;
    v.line.SetDevice(2, FakeSerialLine::Answer());
    v.link.m_bWindowPending = 1;  // before the thread starts
    v.link.m_nPosition = 10;
    v.link.m_nWidth = 255;
    StopAt(v, 2500);
    v.RunToEnd();

    const std::int64_t tFirstCycle = kStart + kMissing + 10 + kSettle + kCycle;
    const auto commands = v.line.CommandsSince(tFirstCycle);
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(Texts(commands), (Texts_t{"BW", "p0a", "wff", "?"}));
    EXPECT_EQ(commands[0].nTime, tFirstCycle);
    EXPECT_EQ(commands[1].nTime, tFirstCycle + kCycle);
    EXPECT_EQ(commands[2].nTime, tFirstCycle + 2 * kCycle);

    std::string wire;
    for (const auto& w : v.line.Writes()) {
        if (w.nTime >= tFirstCycle && w.nTime <= tFirstCycle + 2 * kCycle) {
            wire.push_back(static_cast<char>(w.byte));
        }
    }
    EXPECT_EQ(wire, "BW\r\np0a\r\nwff\r\n");
}

TEST(Poll, SendOrderWithinOneCycle) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    v.At(1200, [&v] {
        v.link.m_bLinesPending = 1;
        v.link.m_bWindowPending = 1;
        v.link.m_nPosition = 0;
    });
    StopAt(v, 1500);
    v.RunToEnd();

    EXPECT_EQ(Texts(v.line.CommandsSince(kStart + 1)),
              (Texts_t{"p80", "w80", "BW", "p00", "w80", "BL", "p00", "w80"}));
    const auto commands = v.line.CommandsSince(1200);
    ASSERT_EQ(commands.size(), 6u);
    for (std::size_t i = 1; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].nTime - commands[i - 1].nTime, kCycle);
    }
}

TEST(Poll, RepeatedPressesAndLevelChanges) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    // Three OPTIONS presses before the next cycle are one press.
    v.At(1000, [&v] {
        for (int i = 0; i < 3; ++i) {
            v.link.m_bOptionsPending = 1;
        }
    });
    // A press made while BO goes out stays pending for the next cycle.
    bool bPressedDuringSend = false;
    v.EverySleep([&] {
        const auto commands = v.line.Commands();
        if (!bPressedDuringSend && !commands.empty() && commands.back().text == "BO") {
            v.link.m_bOptionsPending = 1;
            bPressedDuringSend = true;
        }
    });
    // Moved and moved back to the value last sent before the cycle: nothing.
    v.At(1600, [&v] {
        v.link.m_nPosition = 7;
        v.link.m_nWidth = 9;
        v.link.m_nPosition = 128;
        v.link.m_nWidth = 128;
    });
    v.At(1800, [&v] { v.link.m_nWidth = 171; });
    StopAt(v, 2300);
    v.RunToEnd();

    EXPECT_TRUE(bPressedDuringSend);
    EXPECT_EQ(Texts(v.line.CommandsSince(1000)),
              (Texts_t{"BO", "p80", "w80", "BO", "p80", "w80", "wab", "?"}));
}

// The port gone under a press: its bytes cannot be written, so the press is
// put back, nothing more is tried until a probe gets through, and it goes out
// once after the next connection.
TEST(Poll, APressThatCouldNotBeWrittenGoesOutOnceAfterTheNextConnection) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    v.line.SetMissing(1, 2000);
    v.line.SetDevice(1, FakeSerialLine::Answer(), 4000);
    v.At(2000, [&v] { v.link.m_bWindowPending = 1; });
    StopAt(v, 7000);
    v.RunToEnd();

    std::vector<std::int64_t> lost, delivered;
    for (const auto& c : v.line.Commands()) {
        if (c.text == "BW") {
            (c.nTime >= 2000 && c.nTime < 4000 ? lost : delivered).push_back(c.nTime);
        }
    }
    EXPECT_EQ(lost.size(), 1u) << "tried once while the port was gone";
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_GE(delivered[0], 4000);
    EXPECT_EQ(v.link.m_bWindowPending, 0);
    const auto after = Texts(v.line.CommandsSince(delivered[0]));
    ASSERT_GE(after.size(), 3u);
    EXPECT_EQ(Texts_t(after.begin(), after.begin() + 3), (Texts_t{"BW", "p80", "w80"}));
    // Between the failed press and the failing keep-alive nothing else was written.
    const auto gone = Texts(v.line.CommandsSince(lost[0] + 1));
    ASSERT_FALSE(gone.empty());
    EXPECT_EQ(gone.front(), "?");
}

TEST(Poll, LostLinkRescansFromCom1AndResendsBothLevels) {
    VirtualLink v;
    v.line.SetDevice(3, FakeSerialLine::Answer());
    v.line.SetMissing(3, 2000);                           // unplugged
    v.line.SetDevice(3, FakeSerialLine::Answer(), 3000);  // and back
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, 6000);
    const int nResult = v.RunToEnd();

    const auto probes = ProbeTimes(v.line, 3);
    ASSERT_GE(probes.size(), 4u);
    // probes: the attempt, the keep-alive before the unplug, the failing one,
    // the attempt after the rescan.
    const std::int64_t tFail = probes[2];
    ASSERT_GT(tFail, 2000);
    const std::int64_t tLost = tFail + 200 + 1000;
    const auto rescan = v.line.CommandsSince(tFail + 1);
    ASSERT_FALSE(rescan.empty());
    EXPECT_EQ(rescan.front().nTime, tLost + 2 * kMissing)
        << "nothing is written before COM3 answers";

    std::vector<std::pair<std::int64_t, int>> after;
    for (const auto& open : Opens(v.line)) {
        if (open.first > tFail) {
            after.push_back(open);
        }
    }
    EXPECT_EQ(after, (std::vector<std::pair<std::int64_t, int>>{
                         {tLost, 1}, {tLost + kMissing, 2}, {tLost + 2 * kMissing, 3}}));
    const AtClose* pLostClose = nullptr;
    for (const AtClose& c : closes) {
        if (c.nTime == tLost) {
            pLostClose = &c;
        }
    }
    ASSERT_NE(pLostClose, nullptr) << "the lost port is closed before the rescan";
    EXPECT_EQ(pLostClose->nStatus, LINK_SEARCHING);
    EXPECT_FALSE(pLostClose->bConnected);
    EXPECT_EQ(v.link.GetDebugInfo(), "Com3 Resp='V1.23\r\n' 10ms - ok");

    // Connected again: both levels go out although neither changed.
    EXPECT_EQ(Texts(v.line.CommandsSince(probes[3])), (Texts_t{"?", "p80", "w80", "?"}));
    for (const VirtualLink::Seen& s : v.seen) {
        if (s.nAt > tLost && s.nAt < probes[3]) {
            EXPECT_FALSE(s.bConnected) << s.nAt;
        }
    }
    ExpectEnded(v, nResult, closes);
}

// --- stopping -----------------------------------------------------------------

TEST(Stop, DuringTheStartPauseNoPortIsOpened) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, 200);
    const int nResult = v.RunToEnd();

    EXPECT_EQ(v.line.Now(), kStart);
    EXPECT_TRUE(Opens(v.line).empty());
    EXPECT_EQ(v.TextsSeen(), Texts_t{"Init"});
    EXPECT_EQ(v.StatusesSeen(), std::vector<int>{LINK_STARTING});
    ExpectEnded(v, nResult, closes);
}

TEST(Stop, ARequestLeftFromBeforeTheStartIsCleared) {
    VirtualLink v;
    v.link.m_bStopRequest = 1;
    StopAt(v, 1000);
    v.RunToEnd();
    EXPECT_EQ(Opens(v.line).size(), 4u);
}

TEST(Stop, InThePauseBetweenScansEndsAfterThePauseAnd100ms) {
    VirtualLink v;
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    const std::int64_t tPause = kStart + 4 * kMissing;
    StopAt(v, tPause + 1);
    const int nResult = v.RunToEnd();

    EXPECT_EQ(v.line.Now(), tPause + kBetween + kSettle);
    EXPECT_EQ(Opens(v.line).size(), 4u);
    ExpectEnded(v, nResult, closes);
}

TEST(Stop, AsTheLastAttemptOfAScanFails) {
    // Already set when the pause would begin: no pause, only the 100 ms.
    VirtualLink v;
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, kStart + 3 * kMissing + 1);  // during COM4's attempt
    const int nResult = v.RunToEnd();

    EXPECT_EQ(v.line.Now(), kStart + 4 * kMissing + kSettle);
    ExpectEnded(v, nResult, closes);
}

TEST(Stop, WhileConnectedEndsWithinOneCycle) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, 1234);
    const int nResult = v.RunToEnd();

    EXPECT_GE(v.line.Now(), 1234);
    EXPECT_LE(v.line.Now(), 1234 + kCycle);
    EXPECT_EQ(Opens(v.line).size(), 1u);
    ExpectEnded(v, nResult, closes);
}

TEST(Stop, DuringTheConnectPauseEndsAfterIt) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    StopAt(v, kStart + 10 + 1);
    const int nResult = v.RunToEnd();

    EXPECT_EQ(v.line.Now(), kStart + 10 + kSettle);
    EXPECT_EQ(Texts(v.line.Commands()), Texts_t{"?"}) << "no poll cycle ran";
    ExpectEnded(v, nResult, closes);
}

TEST(Stop, DuringAFailingKeepAliveEndsAfterItsExtraSecond) {
    VirtualLink v;
    v.line.SetDevice(1, FakeSerialLine::Answer());
    v.line.SetMissing(1, 1800);
    std::vector<AtClose> closes;
    WatchCloses(v, closes);
    std::int64_t tProbe = -1;
    v.EverySleep([&] {
        const auto commands = v.line.CommandsSince(1800);
        if (tProbe < 0 && !commands.empty() && commands.back().text == "?") {
            tProbe = commands.back().nTime;
            v.link.m_bStopRequest = 1;
        }
    });
    const int nResult = v.RunToEnd();

    ASSERT_GT(tProbe, 0);
    EXPECT_EQ(v.line.Now(), tProbe + 200 + 1000);
    EXPECT_EQ(Opens(v.line).size(), 1u) << "no rescan after the stop";
    ExpectEnded(v, nResult, closes);
}

}  // namespace
