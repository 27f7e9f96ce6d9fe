// tavrel-sim: a Tavrel Plus magnifier on a pseudo-terminal.
//
// The host opens the terminal through a symbolic link and talks to it as to
// the magnifier's serial port. The simulator logs every command it receives,
// keeps a small model of the magnifier's modes and levels, answers the probe
// "?" as the control commands say (at once, late, in pieces, wrongly or not
// at all), and can send bytes unasked, pace its output at 9600 baud and be
// unplugged and plugged in again while it runs. With a line rate (--baud) it
// is as slow as a real serial line both ways: it takes a command only once
// the command's last byte has come over the line, and its answers take their
// time to go back.
//
// One thread: a ppoll() loop over the pty master and the control FIFO, with
// a deadline queue for late answers, answer pieces and chatter, and a tick
// for the flood, for paced output and for the host's bytes still on the line.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "control_line.h"

namespace tavrel_sim {

// The magnifier's state as its buttons and levels set it. Each press steps
// its mode counter, wrapping: WINDOW 0..3 (full, top, bottom, off), LINES
// 0..2 (off, lines, window), OPTIONS 0..4 (colour, positive, negative, and
// two false-colour modes). Position and width are 0..255, 128 at power-on.
struct Magnifier {
    static constexpr int kWindowModes = 4;
    static constexpr int kLineModes = 3;
    static constexpr int kOptionModes = 5;

    int window = 0;
    int lines = 0;
    int options = 0;
    int position = 128;
    int width = 128;

    enum class Result { Probe, Applied, BadValue, Unknown };
    // Applies one host command (without CR LF). "p" and "w" take exactly two
    // lowercase hex digits; any other value is BadValue and keeps the level.
    Result Apply(std::string_view command);

    // "window=N lines=N options=N position=N width=N"
    std::string Describe() const;
};

struct Options {
    std::string linkPath;
    std::string logPath;                     // empty: standard output
    std::string controlPath;                 // empty: no control FIFO
    std::vector<std::string> startCommands;  // --fault and --version, in order
    long baud = 0;                           // the line's rate; 0: no line, no pacing
};

enum class ArgsResult { Run, Help, Error };

// Parses the arguments after the program name. On Error, error names the
// offending argument.
ArgsResult ParseArguments(const std::vector<std::string>& args, Options& options,
                          std::string& error);
std::string UsageText();

class Simulator {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kMaxHostLine = 1000;      // bytes without CR LF, then dropped
    static constexpr std::size_t kMaxControlLine = 8192;   // bytes of one control line
    static constexpr std::size_t kMaxOutputQueue = 65536;  // bytes waiting for the host
    static constexpr std::size_t kFloodHeadroom = 4096;    // flood adds only below this
    static constexpr auto kByteTime = std::chrono::nanoseconds(1041667);  // 10 bits at 9600
    static constexpr std::size_t kMaxOnLine = 4096;  // host bytes taken ahead of the line
    static constexpr auto kFloodTick = std::chrono::milliseconds(10);

    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the log, creates the control FIFO and the first pty and its link,
    // logs "# ready" and applies the start commands. False with a message
    // when the simulator cannot run.
    bool Start(std::string& error);

    // Runs until quit or SIGTERM/SIGINT/SIGHUP; removes the link and the FIFO.
    // Returns the exit code.
    int Run();

  private:
    struct Scheduled {
        std::string bytes;
        bool answer = false;  // the end of an answer: chatter follows it
    };

    void Log(const std::string& text);
    bool Plug(const std::string& path, std::string& error);
    void Unplug();
    bool IsPlugged() const { return m_master >= 0; }
    void RemoveOwnLink();
    bool ApplyStall();

    void ApplyControlLine(std::string_view line);
    void Execute(const ControlCommand& command);

    void ReadHost();
    void Received(std::string_view bytes);
    void ReceiveFromLine(Clock::time_point now);
    void HandleHostInput();
    void HandleHostCommand(const std::string& command);
    void Answer();
    void AnswerSent(Clock::time_point now);

    void ReadControl();
    void Emit(std::string_view bytes);
    void RunTimers(Clock::time_point now);
    void PumpOutput(Clock::time_point now);
    Clock::time_point NextDeadline(Clock::time_point now) const;

    Options m_options;
    Clock::time_point m_start;
    int m_logFd = -1;
    int m_controlFd = -1;
    int m_controlWriter = -1;  // keeps the FIFO open while writers come and go
    bool m_controlCreated = false;

    // The pty: master, our own slave fd (so the master sees no hang-up
    // between the host's opens), the link path and the slave device.
    int m_master = -1;
    int m_slave = -1;
    std::string m_linkPath;
    std::string m_slaveName;

    Magnifier m_magnifier;
    ControlCommand m_answer;  // Kind::Answer, the current answer mode
    std::string m_version = "V1.23\r\n";
    bool m_chatter = false;
    int m_chatterMs = 0;
    std::string m_chatterBytes;
    long m_floodRate = 0;
    Clock::time_point m_floodStart;
    long long m_floodCounted = 0;  // bytes due since m_floodStart, sent or dropped
    Clock::time_point m_nextFloodTick;
    std::uint8_t m_floodByte = 0;
    bool m_pace = false;
    bool m_logFirstByte = false;
    std::chrono::nanoseconds m_byteTime = kByteTime;  // 10 bits at the line's rate
    Clock::time_point m_nextSlot;  // when the next paced byte has gone over the line
    bool m_outputBlocked = false;  // the master refused bytes: wait for POLLOUT
    bool m_stall = false;          // the host's writes are held (stall on)

    // The host's bytes read from the terminal but still on the line (with
    // --baud): m_onLine[0] is received at m_onLineNext, each next byte a
    // byte time later, the last one at m_onLineLast.
    std::string m_onLine;
    Clock::time_point m_onLineNext;
    Clock::time_point m_onLineLast;
    std::string m_hostInput;  // received, not yet a whole command
    std::string m_controlInput;
    bool m_controlOverlong = false;
    std::string m_output;
    std::size_t m_droppedOutput = 0;
    std::multimap<Clock::time_point, Scheduled> m_scheduled;
    bool m_quit = false;
};

}  // namespace tavrel_sim
