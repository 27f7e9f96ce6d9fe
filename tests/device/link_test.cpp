// The link thread's body against the simulated line in virtual time: which
// probe answers connect, what reaches the magnifier and in what order, and
// how the link rides out an unplug, a stuck line and a reconnect.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "fake_serial_line.h"

namespace {

using Texts = std::vector<std::string>;

TEST(Link, OnlyAWholeTimelyAnswerConnects) {
    const std::string kAnswer = "V1.23\r\n";
    struct Case {
        const char* pszName;
        FakeSerialLine::Reply reply;
        bool bConnects;
        std::string noiseBefore;
    } cases[] = {
        {"at once", FakeSerialLine::Answer(), true, ""},
        {"at 150 ms", FakeSerialLine::Answer(kAnswer, 150), true, ""},
        {"in pieces 1+6 over 150 ms", {{0, "V"}, {150, "1.23\r\n"}}, true, ""},
        {"noise queued before the probe", FakeSerialLine::Answer(), true, "NOISE\r\nV9.99\r\n"},
        {"5 bytes", FakeSerialLine::Answer("V1.\r\n"), false, ""},
        {"7 random bytes", FakeSerialLine::Answer("k\xd3\x81Q\x07\xfe)"), false, ""},
        {"LF CR", FakeSerialLine::Answer("V1.23\n\r"), false, ""},
        {"a comma", FakeSerialLine::Answer("V1,23\r\n"), false, ""},
        {"a NUL", FakeSerialLine::Answer(std::string("V\0.23\r\n", 7)), false, ""},
        {"8 bytes", FakeSerialLine::Answer("V1.23\r\nX"), false, ""},
        {"whole at 200 ms", {{0, "V1.23\r"}, {200, "\n"}}, true, ""},
        {"201 ms late", FakeSerialLine::Answer(kAnswer, 201), false, ""},
        {"none", {}, false, ""},
    };
    for (const Case& c : cases) {
        VirtualLink v;
        v.line.SetDevice(1, c.reply);
        v.line.QueueBytes(1, 0, c.noiseBefore);
        EXPECT_EQ(v.link.TryPort(1), c.bConnects) << c.pszName;
        EXPECT_EQ(v.line.IsOpen(), c.bConnects) << c.pszName << ": a failed attempt closes";
        EXPECT_EQ(v.line.Lines(), Texts{"?"}) << c.pszName;
    }
}

// What reaches a connected magnifier (on COM1 from 610 ms, then both levels,
// a keep-alive at 1710 answered 10 ms later) for what the user does at nAt: each
// press followed by both levels, in lower-case two-digit hex, WINDOW, LINES,
// OPTIONS, then the levels, every press counted; at once, but never sooner
// than 50 ms after a keep-alive's answer.
TEST(Link, PressesAndLevelsOnTheWire) {
    using enum LinkButton;
    const auto press = [](std::vector<LinkButton> buttons) {
        return [buttons](VirtualLink& v) {
            for (LinkButton button : buttons) {
                v.link.PressButton(button);
            }
        };
    };
    const Texts kBL = {"BL", "p80", "w80"};
    const Texts kBO3 = {"BO", "p80", "w80", "BO", "p80", "w80", "BO", "p80", "w80"};
    Texts kBO5 = kBO3;
    kBO5.insert(kBO5.end(), kBO3.begin(), kBO3.begin() + 6);
    struct Case {
        const char* pszName;
        std::function<void(VirtualLink&)> act;
        Texts expected;
        std::int64_t nAt = 1500;
        std::int64_t nFirstAt = 1500;  // when the first command goes out
    } cases[] = {
        {"three buttons and both levels",
         [press](VirtualLink& v) {
             press({Options, Lines, Window})(v);
             v.link.SetLevels(0x3f, 0xc8);
         },
         {"BW", "p3f", "wc8", "BL", "p3f", "wc8", "BO", "p3f", "wc8"}},
        {"levels alone", [](VirtualLink& v) { v.link.SetLevels(5, 255); }, {"p05", "wff"}},
        {"three presses before a pass are three", press({Options, Options, Options}), kBO3},
        {"of seven quick presses five wait",
         [](VirtualLink& v) {
             for (int i = 0; i < 7; ++i) {
                 EXPECT_EQ(v.link.PressButton(Options) == 0, i >= 5) << "press " << i;
             }
         },
         kBO5},
        {"WINDOW twice, then LINES: each WINDOW before LINES",
         press({Window, Lines, Window}),
         {"BW", "p80", "w80", "BW", "p80", "w80", "BL", "p80", "w80"}},
        {"a press while the last one goes out is the next one",
         [](VirtualLink& v) {
             v.link.PressButton(Window);
             v.At(v.line.Now() + 1, [&v] { v.link.PressButton(Window); });
         },
         {"BW", "p80", "w80", "BW", "p80", "w80"}},
        {"a level moved and moved back, then the width alone",
         [](VirtualLink& v) {
             v.link.SetLevels(7, 128);
             v.link.SetLevels(128, 171);
         },
         {"wab"}},
        {"a press while the keep-alive waits for its answer", press({Lines}), kBL, 1715, 1770},
        {"a press 50 ms after the keep-alive's answer", press({Lines}), kBL, 1770, 1770},
    };
    for (const Case& c : cases) {
        VirtualLink v;
        v.line.SetDevice(1, FakeSerialLine::Answer("V1.23\r\n", 10));
        v.At(c.nAt, [&] { c.act(v); });
        v.RunUntil(2500);
        EXPECT_EQ(v.line.Lines(c.nAt, false), c.expected) << c.pszName;
        EXPECT_EQ(v.line.heard.back().nTime - 50 * (std::ssize(c.expected) - 1), c.nFirstAt)
            << c.pszName << ": not sent when due, 50 ms apart";
    }
}

// The magnifier on COM3 is unplugged at 2000 ms and back at 5000 ms.
TEST(Link, ALostMagnifierIsFoundAgainAndGetsBothLevels) {
    VirtualLink v;
    v.line.SetDevice(3, FakeSerialLine::Answer());
    v.line.SetMissing(3, 2000);
    v.line.SetDevice(3, FakeSerialLine::Answer(), 5000);
    v.link.SetLevels(10, 128);
    v.RunUntil(8000);

    EXPECT_EQ(v.line.Opened(2001), (std::vector<int>{3, 1, 2, 4, 3}))
        << "the unplug noticed, the rescan from the port that last answered";
    // Since the port was opened again: both levels, although neither changed.
    EXPECT_EQ(v.line.Lines(v.line.opens.back().nTime, false), (Texts{"p0a", "w80"}));
}

// A WINDOW press at 2000 ms meets a line that is gone or stuck (with part of
// the command taken) until 4000 ms: the magnifier hears it once, afterwards.
TEST(Link, APressCutShortGoesOutOnceAfterTheLineIsBack) {
    struct Case {
        const char* pszName;
        std::function<void(FakeSerialLine&)> fault;
    } cases[] = {
        {"unplugged", [](FakeSerialLine& l) { l.SetMissing(1, 2000); }},
        {"stuck", [](FakeSerialLine& l) { l.SetStuck(1, 2000); }},
        {"stuck after 'B'", [](FakeSerialLine& l) { l.SetStuck(1, 2000, 1); }},
        {"stuck after 'BW\\r'", [](FakeSerialLine& l) { l.SetStuck(1, 2000, 3); }},
    };
    for (const Case& c : cases) {
        VirtualLink v;
        v.line.SetDevice(1, FakeSerialLine::Answer());
        c.fault(v.line);
        v.line.SetDevice(1, FakeSerialLine::Answer(), 4000);
        v.At(2000, [&v] { v.link.PressButton(LinkButton::Window); });
        v.RunUntil(8000);

        EXPECT_EQ(v.line.Lines(2000, false), (Texts{"BW", "p80", "w80"})) << c.pszName;
        EXPECT_FALSE(v.link.IsPending(LinkButton::Window)) << c.pszName;
    }
}

// Which ports one scan opens, in what order: with the port choice automatic,
// the remembered port, COM1 to COM4, then the listed ports in number order,
// skipping the Bluetooth ones (also among COM1 to COM4 and when remembered);
// with a port chosen, that port alone (Bluetooth or not). The magnifier is
// plugged in on COM7 at 2000 ms; once found, no other port is opened.
TEST(Link, ScansThePortsInTheOrderOfTheChoiceAndSaysWhyEachFailed) {
    using Ports = std::vector<int>;
    const std::vector<ListedPort> kListed = {{9, false}, {7, false}, {2, false}, {999, false}};
    const std::vector<ListedPort> kBt = {{1, true}, {4, true}, {5, true}, {7, false}, {999, true}};
    const std::vector<ListedPort> kBt5 = {{5, true}, {7, false}};
    struct Case {
        const char* pszName;
        int nChosen;
        int nRemembered;
        std::vector<ListedPort> listed;
        Ports expected;
    } cases[] = {
        {"automatic", 0, 0, kListed, {1, 2, 3, 4, 7, 9, 999, 1, 2, 3, 4, 7}},
        {"the remembered port first", 0, 7, kListed, {7, 1, 2, 3, 4, 9, 999, 7}},
        {"remembered among COM1 to COM4", 0, 3, kListed, {3, 1, 2, 4, 7, 9, 999, 3, 1, 2, 4, 7}},
        {"Bluetooth skipped", 0, 0, kBt, {2, 3, 7, 2, 3, 7}},
        {"a remembered Bluetooth port skipped", 0, 5, kBt5, {1, 2, 3, 4, 7, 1, 2, 3, 4, 7}},
        {"chosen", 7, 3, kListed, {7, 7, 7}},
        {"chosen, the first port", 1, 7, kListed, {1, 1, 1}},
        {"chosen, Bluetooth", 5, 0, kBt5, {5, 5, 5, 5}},
    };
    for (const Case& c : cases) {
        VirtualLink v;
        v.line.SetDevice(7, FakeSerialLine::Answer(), 2000);
        v.line.SetDevice(1, {});
        v.link.UsePortList([&c] { return c.listed; });
        v.link.SetPortChoice(c.nChosen);
        v.link.SetRememberedPort(c.nRemembered);
        v.RunUntil(4000);
        EXPECT_EQ(v.line.Opened(), c.expected) << c.pszName;
        EXPECT_EQ(v.link.RememberedPort(), c.expected.back() == 7 ? 7 : c.nRemembered)
            << c.pszName << ": the port that answered is remembered";
    }

    VirtualLink v;
    v.line.SetBusy(2);
    v.line.SetDenied(3);
    v.line.SetDevice(4, FakeSerialLine::Answer("V1,23\r\n"));
    v.line.SetDevice(5, {});
    v.line.SetDevice(7, FakeSerialLine::Answer(), 2000);
    v.link.UsePortList([] { return std::vector<ListedPort>{{5, false}, {6, true}, {7, false}}; });
    std::string strStatus;
    int nStatus = -1;
    v.At(4000, [&] { v.link.GetStatus(strStatus, nStatus); });
    v.RunUntil(4000);
    EXPECT_EQ(strStatus, "ACTIVE Port 7");
    Texts reasons;
    for (const std::string& line : v.link.GetPortReasons()) {
        EXPECT_TRUE(std::regex_search(line, std::regex(" \\(\\d\\d:\\d\\d:\\d\\d\\)$"))) << line;
        reasons.push_back(line.substr(0, line.rfind(" (")));
    }
    EXPECT_EQ(reasons,
              (Texts{"COM1: missing", "COM2: busy: held by another program",
                     "COM3: permission denied (on Linux, add your user to the group dialout)",
                     "COM4: wrong answer 56 31 2C 32 33 0D 0A", "COM5: no answer",
                     "COM6: Bluetooth, not tried", "COM7: connected"}));
}

// A port chosen while connected elsewhere: the link leaves that port and
// opens the chosen one alone; automatic, or the port in use, keeps the line.
TEST(Link, ANewPortChoiceTakesEffectAtOnce) {
    struct Case {
        const char* pszName;
        int nChoice;
        std::vector<int> opensAfter;  // ports opened after the choice at 2000 ms
        int nConnectedOn;             // at the end
    } cases[] = {
        {"another port", 3, {3}, 3},
        {"another port, which is silent", 2, {2, 2, 2, 2}, 0},
        {"the port in use", 1, {}, 1},
        {"automatic", 0, {}, 1},
    };
    for (const Case& c : cases) {
        VirtualLink v;
        v.line.SetDevice(1, FakeSerialLine::Answer());
        v.line.SetDevice(2, {});
        v.line.SetDevice(3, FakeSerialLine::Answer());
        v.link.SetPortChoice(c.nChoice == 0 ? 1 : 0);  // a change at 2000 ms in every case
        v.At(2000, [&] { v.link.SetPortChoice(c.nChoice); });
        int nConnectedOn = -1;
        v.At(6000, [&] { nConnectedOn = v.link.IsConnected() ? v.link.CurrentPort() : 0; });
        v.RunUntil(6000);
        EXPECT_EQ(v.line.Opened(2000), c.opensAfter) << c.pszName;
        EXPECT_EQ(nConnectedOn, c.nConnectedOn) << c.pszName;
    }
}

// While connected and idle the link sleeps from one keep-alive to the next,
// a second apart, and once for the answer, which comes whole 11 ms after the
// probe as on a 9600-baud line; a stop wakes it from that sleep, from the start pause and
// from the pause between scans at once, and a stop asked before the thread
// runs ends it without a scan.
TEST(Link, IdleItWakesOnlyForTheKeepAliveAndAStopEndsItAtOnce) {
    VirtualLink idle;
    idle.line.SetDevice(1, FakeSerialLine::Answer("V1.23\r\n", 11));
    idle.RunUntil(6000);
    std::vector<std::int64_t> probes;
    for (const auto& l : idle.line.heard) {
        if (l.text == "?") {
            probes.push_back(l.nTime);
        }
    }
    ASSERT_GE(probes.size(), 5u) << "keep-alives while idle";
    for (std::size_t i = 2; i < probes.size(); ++i) {
        EXPECT_EQ(probes[i] - probes[i - 1], 1011) << "keep-alive " << i;
    }
    const auto nWaits = std::count_if(idle.waitsAt.begin(), idle.waitsAt.end(),
                                      [&](auto t) { return t >= probes[1] && t < 6000; });
    EXPECT_LE(nWaits, 2 * (6000 - probes[1]) / 1000 + 2) << "waits while idle";

    // COM2 is silent (its probe from 600 to 800 ms); the magnifier on COM1
    // or COM3, the one on COM3 unplugged at 2500 ms (its failed keep-alive
    // ends about 3200 ms, the pause after it a second later).
    struct Case {
        const char* pszName;
        int nDevicePort;
        std::int64_t nStopAt;
    } cases[] = {{"before the thread runs", 0, 0},
                 {"in the start pause", 0, 200},
                 {"while a probe waits for its answer", 0, 655},
                 {"in the pause after a port", 0, 850},
                 {"between scans", 0, 1500},
                 {"connected and idle", 1, 3000},
                 {"in the pause after a lost keep-alive", 3, 3500}};
    for (const Case& c : cases) {
        VirtualLink v;
        v.line.SetDevice(2, {});
        v.line.SetDevice(c.nDevicePort, FakeSerialLine::Answer());
        v.line.SetMissing(3, 2500);
        if (c.nStopAt == 0) {
            v.link.RequestStop();
        }
        v.RunUntil(c.nStopAt);  // throws when the link never stops
        EXPECT_EQ(v.line.Now(), c.nStopAt) << c.pszName;
        EXPECT_EQ(v.line.opens.empty(), c.nStopAt < 500) << c.pszName;
        EXPECT_TRUE(v.line.opens.empty() || v.line.opens.back().nTime < c.nStopAt)
            << c.pszName << ": a port opened after the stop";
        EXPECT_FALSE(v.line.IsOpen() || v.link.IsRunning()) << c.pszName;
    }
}

// The real thread on its real clock, asked from this thread (ThreadSanitizer
// watches the wake path): a press made just after a pass, a second before
// the next keep-alive, is on the wire within that pass's 150 ms.
TEST(Link, APressFromTheUserInterfaceThreadWakesTheLinkThread) {
    using namespace std::chrono;
    FakeSerialLine line;  // its clock stands still: the device answers at once
    line.SetDevice(1, FakeSerialLine::Answer());
    CDeviceLink link;
    link.UsePort(&line);
    auto waitSent = [&link](CDeviceLink::Ticket nTicket, milliseconds limit) {
        const auto end = steady_clock::now() + limit;
        while (!link.IsSent(nTicket) && steady_clock::now() < end) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        return link.IsSent(nTicket);
    };
    std::thread thread([&link] { link.Run(); });
    const bool bLevelsSent = waitSent(link.SetLevels(1, 2), seconds(10));
    const auto pressed = steady_clock::now();
    const bool bPressSent = waitSent(link.PressButton(LinkButton::Lines), milliseconds(600));
    const auto took = duration_cast<milliseconds>(steady_clock::now() - pressed).count();
    link.RequestStop();
    thread.join();
    ASSERT_TRUE(bLevelsSent) << "the levels on connecting";
    EXPECT_TRUE(bPressSent) << "the press after " << took << " ms";
    EXPECT_EQ(line.Lines(0, false), (Texts{"p01", "w02", "BL", "p01", "w02"}));
}

// The system's port list: the names it gives its ports, and which devices
// are Bluetooth links.
TEST(Link, ReadsThePortNamesAndBluetoothDevicesTheSystemLists) {
    const std::pair<const char*, int> names[] = {
        {"COM1", 1},    {"COM999", 999}, {"\\\\.\\COM12", 12}, {"com3", 3},
        {"COM1000", 0}, {"COM0", 0},     {"COM07", 0},         {"COM3x", 0},
        {"COM", 0},     {"LPT1", 0},     {"\\\\.COM3", 0},     {"", 0},
    };
    for (const auto& [pszName, nPort] : names) {
        EXPECT_EQ(ParsePortName(pszName), nPort) << pszName;
    }
    const std::pair<const char*, bool> devices[] = {
        {"\\Device\\BthModem0", true}, {"\\device\\bthmodem12", true},
        {"/dev/rfcomm0", true},        {"\\Device\\Serial0", false},
        {"\\Device\\BthModem", true},  {"/dev/ttyUSB0", false},
        {"\\Device\\VCP0", false},     {"", false},
    };
    for (const auto& [pszDevice, bBluetooth] : devices) {
        EXPECT_EQ(IsBluetoothDevice(pszDevice), bBluetooth) << pszDevice;
    }
}

TEST(Link, ARecordIsFreedAtExitOnlyOnceItsThreadHasEnded) {
    auto* pLink = new CDeviceLink;
    bool bFreedWhileRunning = false;
    pLink->UseClock([] { return 0; },
                    [&](std::int64_t, const std::function<bool()>&) {
                        bFreedWhileRunning = ReleaseAtExit(pLink);
                        pLink->RequestStop();  // ASan reports a use after free here
                    });
    pLink->Run();
    EXPECT_FALSE(bFreedWhileRunning);
    EXPECT_TRUE(ReleaseAtExit(pLink));
}

}  // namespace
