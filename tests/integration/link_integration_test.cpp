// The real link thread and POSIX serial port against the simulator on
// pseudo-terminals, in real time.
#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
