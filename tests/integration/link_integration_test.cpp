// The real link thread and POSIX serial port against the simulator on
// pseudo-terminals, in real time.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "sim_process.h"

namespace {

using namespace std::chrono_literals;

// The magnifier on COM1 is unplugged: the link notices, and a press made
// meanwhile goes out after the replug, followed by both levels. Then the
// magnifier stops reading (it holds every byte for the write's bounded wait)
// and is unplugged while a press is being written: the press goes back into
// the record and out once after the replug. (Finding it past missing ports and
// a press on the wire: tavrelctl's test, over the same link and port.)
TEST(LinkIntegration, APressMadeOrCutShortAtAnUnplugGoesOutOnceAfterTheReplug) {
    SimProcess magnifier;
    MapPorts({magnifier.LinkPath()});
    CDeviceLink link;
    link.SetLevels(63, 200);
    LinkRunner runner(link);
    ASSERT_GE(magnifier.WaitForLine("wc8", 10s), 0) << "connected, levels sent";

    magnifier.Control("unplug");
    ASSERT_TRUE(WaitFor([&] { return !link.IsConnected(); }, 10s)) << "the unplug noticed";
    link.PressButton(LinkButton::Lines);
    magnifier.Control("replug");
    int replugged = magnifier.WaitForLine("# replugged " + magnifier.LinkPath(), 5s);
    ASSERT_GE(replugged, 0);
    ASSERT_GE(magnifier.WaitForLine("wc8", 10s, replugged), 0) << "connected again";
    auto after = magnifier.Commands(replugged);
    after.resize(4);
    EXPECT_EQ(after, (std::vector<std::string>{"?", "BL", "p3f", "wc8"}));

    magnifier.Control("stall on");
    ASSERT_GE(magnifier.WaitForLine("# stall on", 5s), 0);
    link.PressButton(LinkButton::Window);
    ASSERT_TRUE(WaitFor([&] { return !link.IsPending(LinkButton::Window); }, 5s))
        << "the press taken";
    magnifier.Control("unplug");
    ASSERT_TRUE(WaitFor([&] { return link.IsPending(LinkButton::Window); }, 10s))
        << "the press that did not go out back in the record";
    magnifier.Control("stall off");
    magnifier.Control("replug");
    replugged = magnifier.WaitForLine("# replugged " + magnifier.LinkPath(), 5s, replugged + 1);
    ASSERT_GE(replugged, 0);
    ASSERT_GE(magnifier.WaitForLine("wc8", 20s, replugged), 0) << "connected again";
    const auto commands = magnifier.Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "BW"), 1);
    EXPECT_TRUE(runner.Stop());
}

// tavrel-sim --baud N (a standard rate) is a line as slow as a real one both ways: the
// answer ends 3 + 7 byte times after the write, and the port's read returns as it does;
// a read the port's stop ends returns at once.
TEST(LinkIntegration, SimulatorLineAtItsBaudRate) {
    SimProcess sim;
    // Each bad value named, then a good one the error stops before; a good one twice.
    const std::pair<std::string, std::string> bad[] = {
        {"0", "'0'"},           {"9601", "'9601'"},   {"abc", "'abc'"},
        {"96OO", "'96OO'"},     {"-1200", "'-1200'"}, {"", "needs a non-empty value"},
        {"1200", "given twice"}};
    for (const auto& [value, said] : bad) {
        const std::string err = sim.Dir() + "/bad.err";
        const int status = std::system((std::string(TAVREL_SIM_PATH) + " --link " + sim.Dir() +
                                        "/bad --baud '" + value + "' --baud=1200 2>" + err)
                                           .c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << value;
        EXPECT_NE(ReadFile(err).find("--baud " + said), std::string::npos) << value;
    }
    for (const long baud : {9600L, 1200L, 115200L, 0L}) {
        SimProcess line(std::vector<std::string>(baud ? 1 : 0, "--baud=" + std::to_string(baud)));
        const auto byteTime = std::chrono::nanoseconds(baud ? 10'000'000'000 / baud : 0);
        MapPorts({line.LinkPath()});
        CComPort port;
        ASSERT_TRUE(port.Open(1, 9600));
        const auto written = std::chrono::steady_clock::now();
        ASSERT_EQ(port.WriteBytes(reinterpret_cast<const std::uint8_t*>("?\r\n"), 3), 3);
        std::uint8_t bytes[16];
        const int firstRead = port.ReadWithin(bytes, 1, 16, 5000);
        const int n = firstRead + port.ReadWithin(bytes + firstRead, 7 - firstRead, 8, 5000);
        ASSERT_EQ(std::string(bytes, bytes + n), "V1.23\r\n") << "the whole answer at " << baud;
        const auto took = std::chrono::steady_clock::now() - written;
        EXPECT_TRUE(took >= 10 * byteTime - 100us && took < 4s) << baud;
        // In pieces where gaps of 8 ms cannot be missed; unpaced, one write comes whole.
        EXPECT_TRUE(baud > 1200 || (firstRead == 7) == !baud) << firstRead << " at " << baud;
        const auto stopped = std::chrono::steady_clock::now();
        std::thread stopper([&port] { port.StopWaits(); });
        EXPECT_EQ(port.ReadWithin(bytes, 7, 8, 60000), 0) << "the stopped read at " << baud;
        stopper.join();
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, 4s) << "stopped at " << baud;
    }
}

}  // namespace
