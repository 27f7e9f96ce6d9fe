// The real tavrel-sim, started through SimProcess and spoken to as a host
// would: plain POSIX calls on its pseudo-terminal link.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim_process.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kDeadline = 5000ms;  // generous: only a broken simulator takes this long

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The host's end of the line: the link opened as a raw serial port.
class HostPort {
  public:
    explicit HostPort(const std::string& path) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            ADD_FAILURE() << "cannot open " << path << ": " << std::strerror(errno);
            return;
        }
        termios settings{};
        tcgetattr(m_fd, &settings);
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&settings, B9600);
        cfsetospeed(&settings, B9600);
        tcsetattr(m_fd, TCSANOW, &settings);
    }
    ~HostPort() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    int Fd() const { return m_fd; }

    // Writes the bytes and returns the time just before the write.
    Clock::time_point Write(const std::string& bytes) {
        Clock::time_point before = Clock::now();
        EXPECT_EQ(write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        return before;
    }

    struct Byte {
        char value;
        Clock::time_point at;
    };
    // Reads until count bytes have come or the timeout has passed.
    std::vector<Byte> ReadBytes(std::size_t count, milliseconds timeout = kDeadline) {
        std::vector<Byte> bytes;
        Clock::time_point deadline = Clock::now() + timeout;
        while (bytes.size() < count && Clock::now() < deadline) {
            char buffer[256];
            std::size_t want = std::min(sizeof buffer, count - bytes.size());
            ssize_t n = ReadSome(buffer, want, deadline);
            if (n <= 0) {
                break;
            }
            Clock::time_point at = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                bytes.push_back({buffer[i], at});
            }
        }
        return bytes;
    }
    std::string ReadString(std::size_t count, milliseconds timeout = kDeadline) {
        std::string text;
        for (const Byte& byte : ReadBytes(count, timeout)) {
            text.push_back(byte.value);
        }
        return text;
    }
    // Everything that arrives within the window (used to show that nothing does).
    std::string ReadFor(milliseconds window) { return ReadString(1 << 20, window); }

    // Reads until text has come (true) or the timeout has passed.
    bool ReadUntil(const std::string& text, milliseconds timeout) {
        std::string got;
        Clock::time_point deadline = Clock::now() + timeout;
        while (got.find(text) == std::string::npos && Clock::now() < deadline) {
            got +=
                ReadString(64, std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
        }
        return got.find(text) != std::string::npos;
    }

    // Reads and drops bytes until none has come for quiet; false if the line
    // never went quiet before the timeout.
    bool Drain(milliseconds quiet, milliseconds timeout, std::size_t* count = nullptr) {
        Clock::time_point deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            std::size_t got = ReadFor(quiet).size();
            if (count) {
                *count += got;
            }
            if (got == 0) {
                return true;
            }
        }
        return false;
    }

  private:
    ssize_t ReadSome(char* buffer, std::size_t want, Clock::time_point deadline) {
        while (true) {
            auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return 0;
            }
            pollfd fd{m_fd, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                return 0;
            }
            ssize_t n = read(m_fd, buffer, want);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            return n;
        }
    }
    int m_fd = -1;
};

std::vector<std::string> Texts(const std::vector<SimProcess::LogLine>& lines) {
    std::vector<std::string> texts;
    for (const auto& line : lines) {
        texts.push_back(line.text);
    }
    return texts;
}

// Sends a probe and waits until the simulator has logged it.
Clock::time_point Probe(SimProcess& sim, HostPort& host) {
    std::size_t from = sim.Log().size();
    Clock::time_point sent = host.Write("?\r\n");
    EXPECT_GE(sim.WaitForLine("?", kDeadline, from), 0);
    return sent;
}

}  // namespace

TEST(SimProbe, AnswersExactlyTheVersionAndNothingMore) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(7), "V1.23\r\n");
    EXPECT_EQ(host.ReadFor(200ms), "");

    sim.Control(R"(version V2.05\r\n)");
    ASSERT_GE(sim.WaitForLine(R"(# version V2.05\x0d\x0a)", kDeadline), 0);
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(7), "V2.05\r\n");
}

TEST(SimProbe, LateAnswerFromTheCommandLineComesNoSoonerThanAsked) {
    SimProcess sim({"--version", R"(V7.01\r\n)", "--fault", "answer late 300"});
    HostPort host(sim.LinkPath());
    Clock::time_point sent = host.Write("?\r\n");
    auto bytes = host.ReadBytes(7);
    ASSERT_EQ(bytes.size(), 7u);
    EXPECT_EQ(bytes[1].value, '7');
    EXPECT_GE(bytes[0].at - sent, 300ms);
    EXPECT_EQ(host.ReadFor(100ms), "");
}

TEST(SimProbe, AnswerInPiecesWithGapsBetweenThem) {
    SimProcess sim({"--fault", "answer pieces 3,4 1000"});
    HostPort host(sim.LinkPath());
    Clock::time_point sent = host.Write("?\r\n");
    auto bytes = host.ReadBytes(7);
    ASSERT_EQ(bytes.size(), 7u);
    std::string text;
    for (auto& byte : bytes) {
        text.push_back(byte.value);
    }
    EXPECT_EQ(text, "V1.23\r\n");
    // The second piece goes out a gap after the "?" was read, so no sooner
    // than that after the write; the first piece is well ahead of it (the
    // margin allows the reader to be held up by half the gap).
    EXPECT_GE(bytes[3].at - sent, 1000ms);
    EXPECT_GE(bytes[3].at - bytes[2].at, 500ms);

    // Sizes that leave bytes over: the rest follows as one more piece.
    sim.Control("answer pieces 1,1 100");
    ASSERT_GE(sim.WaitForLine("# answer pieces 1,1 100", kDeadline), 0);
    sent = host.Write("?\r\n");
    bytes = host.ReadBytes(7);
    ASSERT_EQ(bytes.size(), 7u);
    EXPECT_GE(bytes[1].at - sent, 100ms);
    EXPECT_GE(bytes[2].at - sent, 200ms);
    EXPECT_EQ(bytes[6].value, '\n');
}

TEST(SimProbe, WrongNoneAndBackToOk) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    sim.Control(R"(answer wrong V1,23\x00\r\n)");
    ASSERT_GE(sim.WaitForLine(R"(# answer wrong V1,23\x00\x0d\x0a)", kDeadline), 0);
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(8), std::string("V1,23\0\r\n", 8));

    sim.Control("answer none");
    ASSERT_GE(sim.WaitForLine("# answer none", kDeadline), 0);
    Probe(sim, host);
    EXPECT_EQ(host.ReadFor(300ms), "");

    sim.Control("answer ok");
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(7), "V1.23\r\n");
}

TEST(SimProbe, ChatterFollowsEachAnswerAndSendGoesOutAtOnce) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    sim.Control("chatter 150 XY");
    sim.Control(R"(send hi\x00)");
    EXPECT_EQ(host.ReadString(3), std::string("hi\0", 3));

    Clock::time_point sent = host.Write("?\r\n");
    auto bytes = host.ReadBytes(9);
    ASSERT_EQ(bytes.size(), 9u);
    EXPECT_EQ(bytes[7].value, 'X');
    EXPECT_EQ(bytes[8].value, 'Y');
    EXPECT_GE(bytes[7].at - sent, 150ms);

    sim.Control("chatter off");
    ASSERT_GE(sim.WaitForLine("# chatter off", kDeadline), 0);
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(7), "V1.23\r\n");
    EXPECT_EQ(host.ReadFor(400ms), "");
}

TEST(SimProbe, PacedOutputTakesTheWireTime) {
    SimProcess sim({"--fault", "pace on"});
    HostPort host(sim.LinkPath());
    std::string block(100, 'z');
    Clock::time_point sent = Clock::now();
    sim.Control("send " + block);
    auto bytes = host.ReadBytes(100);
    ASSERT_EQ(bytes.size(), 100u);
    // 100 bytes at 9600 baud take 104 ms from the first to the last.
    EXPECT_GE(bytes[99].at - sent, 100ms);
}

TEST(SimLog, EveryHostCommandInOrderWithItsText) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    host.Write("BW\r\nBL\r\n");
    host.Write("BO\r\np3f\r\n");
    host.Write("w0a\r\npzz\r\n\r\n");
    // One command in pieces, and one with bytes outside printable ASCII.
    host.Write("w");
    host.Write("80\r");
    host.Write("\n\x01\\\x7f\r\n?\r\n");
    ASSERT_GE(sim.WaitForLine("?", kDeadline), 0);
    EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"BW", "BL", "BO", "p3f", "w0a", "pzz", "",
                                                        "w80", R"(\x01\x5c\x7f)", "?"}));
    auto log = sim.Log();
    auto texts = Texts(log);
    auto pzz = std::find(texts.begin(), texts.end(), "pzz");
    ASSERT_NE(pzz, texts.end());
    EXPECT_EQ(*(pzz + 1), "# error bad value pzz");
    for (std::size_t i = 1; i < log.size(); ++i) {
        EXPECT_GE(log[i].ms, log[i - 1].ms) << "time goes back at line " << i;
    }
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0].rfind("# clock ", 0), 0u) << texts[0];
    EXPECT_EQ(texts[1].rfind("# ready " + sim.LinkPath() + " -> /dev/pts/", 0), 0u) << texts[1];
}

TEST(SimLog, BytesWithoutLineEndAreDroppedInBoundedChunks) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    host.Write(std::string(2500, 'x'));
    host.Write("\r\nBW\r\n");
    ASSERT_GE(sim.WaitForLine("BW", kDeadline), 0);
    std::vector<std::string> dropped;
    for (const std::string& text : Texts(sim.Log())) {
        if (text.rfind("! ", 0) == 0) {
            dropped.push_back(text.substr(2));
        }
    }
    ASSERT_EQ(dropped.size(), 2u);
    EXPECT_EQ(dropped[0], std::string(1000, 'x'));
    EXPECT_EQ(dropped[1], std::string(1000, 'x'));
    // The last 500 end in CR LF: a command of its own, logged in full.
    EXPECT_EQ(sim.Commands(), (std::vector<std::string>{std::string(500, 'x'), "BW"}));
}

TEST(SimModel, StatusReportsModesAndLevels) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    std::string commands;
    for (int i = 0; i < 5; ++i) {
        commands += "BW\r\n";
    }
    for (int i = 0; i < 4; ++i) {
        commands += "BL\r\n";
    }
    for (int i = 0; i < 7; ++i) {
        commands += "BO\r\n";
    }
    commands += "p00\r\nwff\r\npzz\r\nwFF\r\n";
    host.Write(commands);
    ASSERT_GE(sim.WaitForLine("# error bad value wFF", kDeadline), 0);
    sim.Control("status");
    EXPECT_GE(sim.WaitForLine("# state window=1 lines=1 options=2 position=0 width=255", kDeadline),
              0)
        << ::testing::PrintToString(Texts(sim.Log()));
}

TEST(SimPlug, UnplugHangsUpTheHostAndReplugBringsTheLinkBack) {
    SimProcess sim;
    auto host = std::make_unique<HostPort>(sim.LinkPath());
    host->Write("?\r\n");
    ASSERT_EQ(host->ReadString(7), "V1.23\r\n");

    sim.Control("unplug");
    ASSERT_GE(sim.WaitForLine("# unplugged", kDeadline), 0);
    EXPECT_FALSE(Exists(sim.LinkPath()));
    pollfd fd{host->Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&fd, 1, static_cast<int>(kDeadline.count())), 1);
    EXPECT_TRUE(fd.revents & (POLLHUP | POLLERR)) << fd.revents;
    char byte;
    EXPECT_LE(read(host->Fd(), &byte, 1), 0);
    EXPECT_LT(open(sim.LinkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
    sim.Control("unplug");
    EXPECT_GE(sim.WaitForLine("# error unplug: already unplugged", kDeadline), 0);
    host.reset();

    sim.Control("replug");
    ASSERT_GE(sim.WaitForLine("# replugged " + sim.LinkPath(), kDeadline), 0);
    host = std::make_unique<HostPort>(sim.LinkPath());
    host->Write("?\r\n");
    EXPECT_EQ(host->ReadString(7), "V1.23\r\n");

    // Unplugged with a late answer pending: the answer is dropped, not sent
    // to the next terminal.
    sim.Control("answer late 300");
    Probe(sim, *host);
    sim.Control("unplug");
    ASSERT_GE(sim.WaitForLine("# unplugged", kDeadline), 0);
    host.reset();

    std::string other = sim.Dir() + "/other";
    sim.Control("replug " + other);
    ASSERT_GE(sim.WaitForLine("# replugged " + other, kDeadline), 0);
    EXPECT_FALSE(Exists(sim.LinkPath()));
    HostPort moved(other);
    EXPECT_EQ(moved.ReadFor(500ms), "");
    sim.Control("answer ok");
    moved.Write("?\r\n");
    EXPECT_EQ(moved.ReadString(7), "V1.23\r\n");
    sim.Control("replug");
    EXPECT_GE(sim.WaitForLine("# error replug: still plugged in at " + other + "; unplug first",
                              kDeadline),
              0);
}

TEST(SimPlug, HostCanCloseAndReopenWithoutLosingTheLine) {
    SimProcess sim;
    for (int round = 0; round < 3; ++round) {
        HostPort host(sim.LinkPath());
        host.Write("?\r\n");
        EXPECT_EQ(host.ReadString(7), "V1.23\r\n") << "round " << round;
    }
    EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"?", "?", "?"}));
}

TEST(SimStall, HeldWritesFindNoRoomUntilReleasedAlsoAfterAReplug) {
    SimProcess sim;
    sim.Control("stall on");
    ASSERT_GE(sim.WaitForLine("# stall on", kDeadline), 0);
    for (int round = 0; round < 2; ++round) {
        {
            HostPort host(sim.LinkPath());
            const char probe = '?';
            errno = 0;
            EXPECT_EQ(write(host.Fd(), &probe, 1), -1) << "round " << round;
            EXPECT_EQ(errno, EAGAIN) << "round " << round;
            pollfd pfd{host.Fd(), POLLOUT, 0};
            EXPECT_EQ(poll(&pfd, 1, 100), 0) << "round " << round;
        }
        sim.Control("unplug");
        sim.Control("replug");
        ASSERT_GE(sim.WaitForLine("# replugged " + sim.LinkPath(), kDeadline), 0);
    }
    EXPECT_TRUE(sim.Commands().empty());
    sim.Control("stall off");
    ASSERT_GE(sim.WaitForLine("# stall off", kDeadline), 0);
    HostPort host(sim.LinkPath());
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(7), "V1.23\r\n");
}

TEST(SimFlood, DeliversBytesUntilStopped) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    sim.Control("flood 2000");
    std::string flood = host.ReadString(300);
    ASSERT_EQ(flood.size(), 300u);
    EXPECT_EQ(flood.find_first_not_of("0123456789"), std::string::npos);

    // A probe in the middle of a flood is still answered.
    host.Write("?\r\n");
    EXPECT_TRUE(host.ReadUntil("V1.23\r\n", kDeadline));

    sim.Control("flood 0");
    ASSERT_GE(sim.WaitForLine("# flood 0", kDeadline), 0);
    EXPECT_TRUE(host.Drain(300ms, kDeadline)) << "bytes kept coming after flood 0";
}

TEST(SimControl, BadLinesAreReportedAndChangeNothing) {
    SimProcess sim;
    HostPort host(sim.LinkPath());
    sim.Control("answer late 60000x");
    sim.Control("bogus stuff");
    sim.Control("status");
    ASSERT_GE(
        sim.WaitForLine("# state window=0 lines=0 options=0 position=128 width=128", kDeadline), 0);
    auto texts = Texts(sim.Log());
    int errors = 0;
    for (const std::string& text : texts) {
        if (text.rfind("# error bad control line ", 0) == 0) {
            ++errors;
            EXPECT_TRUE(text.find("'answer late 60000x'") != std::string::npos ||
                        text.find("'bogus stuff'") != std::string::npos)
                << text;
        }
    }
    EXPECT_EQ(errors, 2);
    // Had the bad line been taken, the answer would be a minute late.
    host.Write("?\r\n");
    EXPECT_EQ(host.ReadString(7), "V1.23\r\n");
}

namespace {

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs the simulator to its end (these runs fail at once) and collects its
// exit status and error output.
Outcome RunSim(const std::vector<std::string>& extra, const std::string& dir) {
    std::vector<std::string> args = {SimProcess::SimulatorPath()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& arg : const_cast<std::vector<std::string>&>(args)) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::string errorPath = dir + "/stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    Outcome outcome;
    int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        ADD_FAILURE() << "cannot start the simulator";
        return outcome;
    }
    Clock::time_point deadline = Clock::now() + kDeadline;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the simulator did not end by itself";
            return outcome;
        }
        std::this_thread::sleep_for(5ms);
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(errorPath);
    std::stringstream text;
    text << in.rdbuf();
    outcome.errors = text.str();
    return outcome;
}

class SimCommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavrel-sim-args.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

}  // namespace

TEST_F(SimCommandLine, BadArgumentsExitWithTwoNamingTheArgument) {
    std::string link = m_dir + "/link";
    struct Case {
        std::vector<std::string> args;
        std::string named;
    };
    for (const Case& c :
         {Case{{}, "--link"}, Case{{"--link", link, "--frobnicate"}, "--frobnicate"},
          Case{{"--link", link, "--log"}, "--log"},
          Case{{"--link", link, "--fault", "answer sometimes"}, "answer sometimes"},
          Case{{"--link", link, "--fault", "flood lots"}, "flood lots"}}) {
        Outcome outcome = RunSim(c.args, m_dir);
        EXPECT_EQ(outcome.status, 2) << c.named;
        EXPECT_NE(outcome.errors.find(c.named), std::string::npos) << outcome.errors;
        EXPECT_FALSE(Exists(link));
    }
    EXPECT_EQ(RunSim({"--help"}, m_dir).status, 0);
}

TEST_F(SimCommandLine, RefusesToReplaceAFileThatIsNotALink) {
    std::string path = m_dir + "/precious";
    std::ofstream(path) << "keep me";
    Outcome outcome = RunSim({"--link", path}, m_dir);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find(path), std::string::npos) << outcome.errors;
    std::ifstream in(path);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
}

TEST_F(SimCommandLine, ReplacesAStaleLinkAndCleansUpOnSigterm) {
    std::string link = m_dir + "/link";
    std::string control = m_dir + "/ctl";
    std::string log = m_dir + "/sim.log";
    ASSERT_EQ(symlink("/nonexistent/tty", link.c_str()), 0);
    std::vector<std::string> args = {
        SimProcess::SimulatorPath(), "--link", link, "--log", log, "--control", control};
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);

    bool ready = false;
    for (Clock::time_point deadline = Clock::now() + kDeadline; !ready && Clock::now() < deadline;
         std::this_thread::sleep_for(5ms)) {
        std::ifstream in(log);
        std::string line;
        while (std::getline(in, line)) {
            ready = ready || line.find(" # ready ") != std::string::npos;
        }
    }
    char target[256] = {};
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(ready);
    EXPECT_EQ(std::string(target, std::max<ssize_t>(length, 0)).rfind("/dev/pts/", 0), 0u);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Exists(control));
}
