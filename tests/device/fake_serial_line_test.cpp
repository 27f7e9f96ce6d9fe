// The simulated line must behave like the real port, or the link's tests
// prove nothing: reads bounded by the queue and the limit, bytes only once
// their time has come, nothing on a closed or unplugged port.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_serial_line.h"

namespace {

const std::uint8_t kProbe[] = {'?', '\r', '\n'};

std::string Read(FakeSerialLine& line, int nLimit) {
    std::uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    const int n = line.ReadAvailable(buffer, nLimit);
    EXPECT_LE(n, nLimit);
    if (n < static_cast<int>(sizeof buffer)) {
        EXPECT_EQ(buffer[n < 0 ? 0 : n], 0xEE) << "wrote past the bytes it reported";
    }
    return std::string(reinterpret_cast<const char*>(buffer), n > 0 ? n : 0);
}

TEST(FakeSerialLine, OpensOnlyPresentPortsAndKeepsTheOpenOne) {
    FakeSerialLine line;
    line.SetBusy(2);
    line.SetDevice(3, {});
    EXPECT_FALSE(line.Open(1, 9600));  // never set up: missing
    EXPECT_FALSE(line.Open(2, 9600));
    EXPECT_FALSE(line.Open(5, 9600));
    EXPECT_FALSE(line.IsOpen());
    EXPECT_TRUE(line.Close());
    EXPECT_TRUE(line.Open(3, 9600));
    EXPECT_TRUE(line.Open(4, 9600));  // already open: stays on 3
    EXPECT_EQ(line.OpenPort(), 3);
    EXPECT_EQ(line.OpenedPorts(), std::vector<int>({3, 3}));
}

TEST(FakeSerialLine, ReadsOnlyArrivedBytesUpToTheLimit) {
    FakeSerialLine line;
    line.SetDevice(1, {{0, "V1"}, {30, ".23\r\n"}});
    ASSERT_TRUE(line.Open(1, 9600));
    EXPECT_EQ(line.WriteBytes(kProbe, 0), 0);
    EXPECT_EQ(line.WriteBytes(kProbe, 3), 3);
    EXPECT_EQ(line.GetInputCount(), 2);
    line.Advance(29);
    EXPECT_EQ(line.GetInputCount(), 2);
    line.Advance(1);
    EXPECT_EQ(line.GetInputCount(), 7);
    EXPECT_EQ(Read(line, 3), "V1.");
    EXPECT_EQ(line.GetInputCount(), 4);  // beyond the limit: still queued
    EXPECT_EQ(Read(line, 40), "23\r\n");
    EXPECT_EQ(Read(line, 40), "");
}

TEST(FakeSerialLine, ClosedOrUnpluggedPortGivesNothing) {
    FakeSerialLine line;
    line.SetDevice(1, FakeSerialLine::Answer());
    line.SetMissing(1, 100);
    EXPECT_EQ(line.WriteBytes(kProbe, 3), 0);
    EXPECT_EQ(line.WritesWhileClosed(), 1);
    ASSERT_TRUE(line.Open(1, 9600));
    line.WriteBytes(kProbe, 3);
    line.Close();
    EXPECT_EQ(line.GetInputCount(), 0);
    EXPECT_EQ(Read(line, 40), "");

    ASSERT_TRUE(line.Open(1, 9600));
    EXPECT_EQ(line.GetInputCount(), 0) << "the answer was dropped by the close";
    line.Advance(100);
    line.WriteBytes(kProbe, 3);
    EXPECT_EQ(line.GetInputCount(), 0);
    line.Close();
    EXPECT_FALSE(line.Open(1, 9600));
}

TEST(FakeSerialLine, DropsWhatArrivedWhileClosedAndRecordsCommands) {
    FakeSerialLine line;
    line.SetDevice(2, {});
    line.QueueBytes(2, 5, "early");
    line.QueueBytes(2, 20, "xy");
    line.Advance(10);
    ASSERT_TRUE(line.Open(2, 9600));
    EXPECT_EQ(line.GetInputCount(), 0);
    line.Advance(10);
    EXPECT_EQ(Read(line, 40), "xy");

    const std::uint8_t bytes[] = {'B', 'W', '\r', '\n', 'p', '8'};
    line.WriteBytes(bytes, 6);
    const auto commands = line.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].text, "BW");
    EXPECT_TRUE(commands[0].bTerminated);
    EXPECT_EQ(commands[0].nTime, 20);
    EXPECT_EQ(commands[0].nPort, 2);
    EXPECT_EQ(commands[1].text, "p8");
    EXPECT_FALSE(commands[1].bTerminated);
}

}  // namespace
