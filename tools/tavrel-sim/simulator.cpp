#include "simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tavrel_sim {

namespace {

volatile std::sig_atomic_t g_signal = 0;

void OnSignal(int signo) {
    g_signal = signo;
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool IsLowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

int LowerHexValue(char c) {
    return c <= '9' ? c - '0' : c - 'a' + 10;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string ReadLinkTarget(const std::string& path) {
    char buffer[4096];
    ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// The line rates --baud takes, the usual ones of a PC's serial port.
constexpr long kStandardBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// A line rate as --baud takes it: one of the standard rates written as
// itself (no sign, blank or leading zero); 0 when it is not.
long ParseBaud(const std::string& text) {
    for (long baud : kStandardBauds) {
        if (std::to_string(baud) == text) {
            return baud;
        }
    }
    return 0;
}

// Points path at target, replacing a symbolic link already there (atomically,
// through a temporary link and a rename) but never any other file.
bool MakeLink(const std::string& path, const std::string& target, std::string& error) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = path + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    std::string temporary = path + ".tmp" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        error = ErrnoText("cannot create the link " + temporary);
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = ErrnoText("cannot create the link " + path);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

Magnifier::Result Magnifier::Apply(std::string_view command) {
    if (command == "?") {
        return Result::Probe;
    }
    if (command == "BW") {
        window = (window + 1) % kWindowModes;
        return Result::Applied;
    }
    if (command == "BL") {
        lines = (lines + 1) % kLineModes;
        return Result::Applied;
    }
    if (command == "BO") {
        options = (options + 1) % kOptionModes;
        return Result::Applied;
    }
    if (!command.empty() && (command[0] == 'p' || command[0] == 'w')) {
        if (command.size() != 3 || !IsLowerHex(command[1]) || !IsLowerHex(command[2])) {
            return Result::BadValue;
        }
        int value = LowerHexValue(command[1]) * 16 + LowerHexValue(command[2]);
        (command[0] == 'p' ? position : width) = value;
        return Result::Applied;
    }
    return Result::Unknown;
}

std::string Magnifier::Describe() const {
    return "window=" + std::to_string(window) + " lines=" + std::to_string(lines) +
           " options=" + std::to_string(options) + " position=" + std::to_string(position) +
           " width=" + std::to_string(width);
}

std::string UsageText() {
    return R"(Usage: tavrel-sim --link PATH [--log FILE] [--control FIFO] [--version TEXT]
                  [--baud N] [--fault COMMAND]... [--help]

Simulates a Tavrel Plus magnifier on a pseudo-terminal. PATH becomes a
symbolic link to the terminal (a stale link there is replaced; any other file
is left alone and the simulator refuses to start). The host opens PATH as the
magnifier's serial port and sends commands ending in CR LF: "?" (probe), "BW",
"BL", "BO" (WINDOW, LINES, OPTIONS presses), "pHH" and "wHH" (position and
width, two lowercase hex digits). Only "?" is answered, by default "V1.23\r\n".

  --link PATH       where to link the terminal (required)
  --log FILE        event log (default: standard output)
  --control FIFO    create a named pipe there and read control commands from it
  --version TEXT    the probe answer, same as the control command "version TEXT"
  --baud N          as slow as a serial line at N baud (1200, 2400, 4800, 9600,
                    19200, 38400, 57600 or 115200), both ways: a byte takes 10
                    bits / N to come over, a command is taken only once its last
                    byte has come, and all output is paced (pace on) at that rate.
                    Without it the host's bytes are taken at once, output unpaced.
  --fault COMMAND   apply a control command at start (may be repeated)
  --help            this text

Log: one line per event, "<ms> <text>", ms counted from the start. A host
command is logged as received without its CR LF (bytes outside printable ASCII,
and the backslash, as \xHH). Other lines start with "#": "# ready PATH ->
DEVICE", "# unplugged", "# replugged PATH", "# answer ...", "# state ...",
"# error ...", and the other settings as they change. The first line,
"# clock MS", gives time 0 on the system's monotonic clock; "# baud N" follows
it with --baud, and a command's time is then when its last byte came over. Bytes
that do not end in CR LF within 1000 bytes are logged as "<ms> ! <bytes>" and
dropped.

Control commands (one per line; TEXT takes the escapes \r \n \t \\ \xHH):
  answer ok                  answer each "?" at once (default)
  answer none                do not answer
  answer late MS             answer MS milliseconds after the "?"
  answer pieces N1,N2.. GAP  answer in pieces of N1, N2.. bytes, GAP ms apart
                             (bytes left over go out as one more piece)
  answer wrong TEXT          answer with TEXT instead
  version TEXT               set the normal answer
  send TEXT                  send TEXT once, now
  chatter MS TEXT            send TEXT unasked MS ms after every answer
  chatter off                stop that
  flood RATE                 send digits unasked at RATE bytes per second (0 stops)
  pace on|off                pace all output at the line's rate (--baud; 9600 baud,
                             1.04 ms a byte, without it)
  first on|off               log "# first byte" when a command's first byte arrives
                             (with --baud: has come over the line)
  stall on|off               stop taking the host's bytes: its writes find no
                             room and never complete (kept across replugs)
  unplug                     remove the link and close the terminal (a command cut
                             short, and with --baud what is still on the line, is
                             logged as "! <bytes>" and dropped)
  replug [PATH]              a new terminal linked at PATH (default: the last one)
  status                     log "# state window=N lines=N options=N position=N width=N"
  quit                       exit (as do SIGTERM and SIGINT)

The model: WINDOW steps the window mode 0..3, LINES the line mode 0..2,
OPTIONS the video mode 0..4, each wrapping to 0; "p" and "w" set position and
width 0..255 (128 at start). A malformed value is logged and reported with
"# error bad value ..." and the level keeps its value.

Exit codes: 0 after quit or a signal, 1 when the terminal, link, log or FIFO
cannot be set up, 2 for bad arguments.
)";
}

ArgsResult ParseArguments(const std::vector<std::string>& args, Options& options,
                          std::string& error) {
    options = Options{};
    bool haveLog = false;
    bool haveControl = false;
    bool haveBaud = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (name == "--help" || name == "-h") {
            return ArgsResult::Help;
        }
        if (std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        if (name != "--link" && name != "--log" && name != "--control" && name != "--version" &&
            name != "--fault" && name != "--baud") {
            error = "unknown argument '" + args[i] + "'";
            return ArgsResult::Error;
        }
        if (!inlineValue) {
            if (i + 1 == args.size()) {
                error = name + " needs a value";
                return ArgsResult::Error;
            }
            value = args[++i];
        }
        if (value.empty()) {
            error = name + " needs a non-empty value";
            return ArgsResult::Error;
        }
        if (name == "--link") {
            if (!options.linkPath.empty()) {
                error = "--link given twice";
                return ArgsResult::Error;
            }
            options.linkPath = value;
        } else if (name == "--log") {
            if (haveLog) {
                error = "--log given twice";
                return ArgsResult::Error;
            }
            haveLog = true;
            options.logPath = value;
        } else if (name == "--control") {
            if (haveControl) {
                error = "--control given twice";
                return ArgsResult::Error;
            }
            haveControl = true;
            options.controlPath = value;
        } else if (name == "--baud") {
            if (haveBaud) {
                error = "--baud given twice";
                return ArgsResult::Error;
            }
            haveBaud = true;
            options.baud = ParseBaud(value);
            if (options.baud == 0) {
                error = "--baud '" + value +
                        "': not a line rate (1200, 2400, 4800, 9600, 19200, 38400, 57600, "
                        "115200)";
                return ArgsResult::Error;
            }
        } else {
            std::string line = name == "--version" ? "version " + value : value;
            ControlCommand command;
            std::string why;
            if (!ParseControlLine(line, command, why)) {
                error = name + " '" + value + "': " + why;
                return ArgsResult::Error;
            }
            options.startCommands.push_back(line);
        }
    }
    if (options.linkPath.empty()) {
        error = "--link PATH is required";
        return ArgsResult::Error;
    }
    return ArgsResult::Run;
}

Simulator::Simulator(Options options) : m_options(std::move(options)) {
    m_answer.kind = ControlCommand::Kind::Answer;
    m_answer.answer = AnswerMode::Ok;
    m_start = Clock::now();
    if (m_options.baud > 0) {
        m_pace = true;
        m_byteTime =
            std::chrono::nanoseconds((10'000'000'000 + m_options.baud / 2) / m_options.baud);
    }
}

Simulator::~Simulator() {
    if (IsPlugged()) {
        RemoveOwnLink();
    }
    CloseFd(m_master);
    CloseFd(m_slave);
    CloseFd(m_controlFd);
    CloseFd(m_controlWriter);
    if (m_controlCreated) {
        unlink(m_options.controlPath.c_str());
    }
    if (m_logFd > STDERR_FILENO) {
        close(m_logFd);
    }
}

void Simulator::Log(const std::string& text) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start);
    WriteAll(m_logFd, std::to_string(ms.count()) + " " + text + "\n");
}

bool Simulator::Start(std::string& error) {
    m_start = Clock::now();
    if (m_options.logPath.empty()) {
        m_logFd = STDOUT_FILENO;
    } else {
        m_logFd = open(m_options.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (m_logFd < 0) {
            error = ErrnoText("cannot open the log " + m_options.logPath);
            return false;
        }
    }
    // The log's time 0 on the machine's monotonic clock, so that other
    // processes (a benchmark) can line their own times up with the log's.
    Log("# clock " + std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        m_start.time_since_epoch())
                                        .count()));
    if (!m_options.controlPath.empty()) {
        const std::string& path = m_options.controlPath;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) {
            if (!S_ISFIFO(info.st_mode)) {
                error = path + " exists and is not a named pipe; not replacing it";
                return false;
            }
            unlink(path.c_str());  // a FIFO left behind by an earlier run
        }
        if (mkfifo(path.c_str(), 0600) != 0) {
            error = ErrnoText("cannot create the control FIFO " + path);
            return false;
        }
        m_controlCreated = true;
        m_controlFd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_controlWriter = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_controlFd < 0 || m_controlWriter < 0) {
            error = ErrnoText("cannot open the control FIFO " + path);
            return false;
        }
    }
    if (!Plug(m_options.linkPath, error)) {
        return false;
    }
    if (m_options.baud > 0) {
        Log("# baud " + std::to_string(m_options.baud));
    }
    for (const std::string& line : m_options.startCommands) {
        ApplyControlLine(line);
    }
    Log(IsPlugged() ? "# ready " + m_linkPath + " -> " + m_slaveName : "# ready (unplugged)");
    return true;
}

bool Simulator::Plug(const std::string& path, std::string& error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = ErrnoText("cannot open a pseudo-terminal");
        return false;
    }
    int slave = -1;
    auto fail = [&](const std::string& what) {
        error = ErrnoText(what);
        CloseFd(slave);
        CloseFd(master);
        return false;
    };
    fcntl(master, F_SETFD, FD_CLOEXEC);
    if (fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        return fail("cannot make the pseudo-terminal non-blocking");
    }
    char name[256];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name)) {
        return fail("cannot unlock the pseudo-terminal");
    }
    slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        return fail(std::string("cannot open ") + name);
    }
    termios settings{};
    if (tcgetattr(slave, &settings) != 0) {
        return fail(std::string("cannot read the settings of ") + name);
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(slave, TCSANOW, &settings) != 0) {
        return fail(std::string("cannot make ") + name + " raw");
    }
    if (!MakeLink(path, name, error)) {
        std::string why = error;
        fail("");
        error = why;
        return false;
    }
    m_master = master;
    m_slave = slave;
    m_linkPath = path;
    m_slaveName = name;
    m_hostInput.clear();
    m_onLine.clear();
    m_onLineLast = {};
    m_output.clear();
    m_outputBlocked = false;
    m_nextSlot = Clock::now();
    if (m_stall) {
        ApplyStall();  // a new terminal starts stalled, too
    }
    return true;
}

void Simulator::RemoveOwnLink() {
    if (!m_linkPath.empty() && ReadLinkTarget(m_linkPath) == m_slaveName) {
        unlink(m_linkPath.c_str());
    }
}

// Holds or releases the host's output: the terminal's own output is stopped
// (as by a received XOFF, but by us and whatever the host's flow settings),
// so the host's writes find no room and block or fail with EAGAIN, and
// nothing it sends reaches us, until released.
bool Simulator::ApplyStall() {
    if (tcflow(m_slave, m_stall ? TCOOFF : TCOON) != 0) {
        Log("# error " + ErrnoText(m_stall ? "stall on" : "stall off"));
        return false;
    }
    return true;
}

void Simulator::Unplug() {
    // A command cut short by the unplug, with what was still on the line.
    if (std::string rest = m_hostInput + m_onLine; !rest.empty()) {
        Log("! " + EscapeBytes(rest));
    }
    m_hostInput.clear();
    m_onLine.clear();
    RemoveOwnLink();
    CloseFd(m_master);
    CloseFd(m_slave);
    m_output.clear();
    m_outputBlocked = false;
    m_scheduled.clear();
    Log("# unplugged");
}

void Simulator::ApplyControlLine(std::string_view line) {
    ControlCommand command;
    std::string error;
    if (!ParseControlLine(line, command, error)) {
        Log("# error bad control line '" + EscapeBytes(line) + "': " + error);
        return;
    }
    Execute(command);
}

void Simulator::Execute(const ControlCommand& command) {
    using Kind = ControlCommand::Kind;
    Clock::time_point now = Clock::now();
    switch (command.kind) {
        case Kind::Answer:
            m_answer = command;
            Log("# " + DescribeAnswer(command));
            break;
        case Kind::Version:
            m_version = command.bytes;
            Log("# version " + EscapeBytes(command.bytes));
            break;
        case Kind::Send:
            if (!IsPlugged()) {
                Log("# error send: unplugged, " + std::to_string(command.bytes.size()) +
                    " bytes not sent");
                break;
            }
            Log("# send " + EscapeBytes(command.bytes));
            Emit(command.bytes);
            break;
        case Kind::Chatter:
            m_chatter = true;
            m_chatterMs = command.ms;
            m_chatterBytes = command.bytes;
            Log("# chatter " + std::to_string(command.ms) + " " + EscapeBytes(command.bytes));
            break;
        case Kind::ChatterOff:
            m_chatter = false;
            std::erase_if(m_scheduled, [](const auto& entry) { return !entry.second.answer; });
            Log("# chatter off");
            break;
        case Kind::Flood:
            m_floodRate = command.rate;
            m_floodStart = now;
            m_floodCounted = 0;
            m_nextFloodTick = now;
            Log("# flood " + std::to_string(command.rate));
            break;
        case Kind::Pace:
            m_pace = command.on;
            m_nextSlot = now + m_byteTime;
            Log(command.on ? "# pace on" : "# pace off");
            break;
        case Kind::First:
            m_logFirstByte = command.on;
            Log(command.on ? "# first on" : "# first off");
            break;
        case Kind::Stall:
            m_stall = command.on;
            if (!IsPlugged() || ApplyStall()) {
                Log(command.on ? "# stall on" : "# stall off");
            }
            break;
        case Kind::Unplug:
            if (!IsPlugged()) {
                Log("# error unplug: already unplugged");
                break;
            }
            ReceiveFromLine(now);
            HandleHostInput();  // commands that arrived before the unplug
            Unplug();
            break;
        case Kind::Replug: {
            if (IsPlugged()) {
                Log("# error replug: still plugged in at " + m_linkPath + "; unplug first");
                break;
            }
            std::string path = command.path.empty() ? m_linkPath : command.path;
            std::string error;
            if (!Plug(path, error)) {
                Log("# error replug: " + error);
                break;
            }
            Log("# replugged " + path);
            break;
        }
        case Kind::Status:
            Log("# state " + m_magnifier.Describe());
            break;
        case Kind::Quit:
            m_quit = true;
            break;
    }
}

void Simulator::ReadHost() {
    if (!IsPlugged()) {
        return;
    }
    char buffer[4096];
    // A bounded amount per turn, so that a flooding host cannot starve the rest.
    for (int turn = 0; turn < 16; ++turn) {
        // With a line, what has come over it goes first; what is read now
        // queues behind it. Only kMaxOnLine bytes are taken ahead of the
        // line: beyond them the host's writes wait as they would for a UART.
        Clock::time_point now = Clock::now();
        ReceiveFromLine(now);
        std::size_t room = m_options.baud > 0 ? kMaxOnLine - m_onLine.size() : sizeof buffer;
        if (room == 0) {
            return;
        }
        ssize_t n = read(m_master, buffer, std::min(room, sizeof buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        if (m_options.baud == 0) {
            Received(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        // Each byte comes a byte time after it was written or after the one
        // before it, whichever is later. What is still on the line ends after
        // now, so the bytes on it stay one byte time apart.
        Clock::time_point first = std::max(now, m_onLineLast) + m_byteTime;
        if (m_onLine.empty()) {
            m_onLineNext = first;
        }
        m_onLine.append(buffer, static_cast<std::size_t>(n));
        m_onLineLast = first + (n - 1) * m_byteTime;
    }
}

void Simulator::Received(std::string_view bytes) {
    if (m_logFirstByte && m_hostInput.empty() && !bytes.empty()) {
        Log("# first byte");  // of the command that follows, as it arrived
    }
    m_hostInput.append(bytes);
}

void Simulator::ReceiveFromLine(Clock::time_point now) {
    if (m_onLine.empty() || now < m_onLineNext) {
        return;
    }
    auto count = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(m_onLine.size()),
                                          (now - m_onLineNext) / m_byteTime + 1);
    Received(std::string_view(m_onLine).substr(0, static_cast<std::size_t>(count)));
    m_onLine.erase(0, static_cast<std::size_t>(count));
    m_onLineNext += count * m_byteTime;
}

void Simulator::HandleHostInput() {
    while (!m_quit) {
        std::size_t end = m_hostInput.find("\r\n");
        if (end != std::string::npos && end + 2 <= kMaxHostLine) {
            std::string command = m_hostInput.substr(0, end);
            m_hostInput.erase(0, end + 2);
            HandleHostCommand(command);
            continue;
        }
        if (m_hostInput.size() >= kMaxHostLine) {
            Log("! " + EscapeBytes(std::string_view(m_hostInput).substr(0, kMaxHostLine)));
            m_hostInput.erase(0, kMaxHostLine);
            continue;
        }
        return;
    }
}

void Simulator::HandleHostCommand(const std::string& command) {
    Log(EscapeBytes(command));
    switch (m_magnifier.Apply(command)) {
        case Magnifier::Result::Probe:
            Answer();
            break;
        case Magnifier::Result::BadValue:
            Log("# error bad value " + EscapeBytes(command));
            break;
        case Magnifier::Result::Applied:
        case Magnifier::Result::Unknown:
            break;
    }
}

void Simulator::Answer() {
    Clock::time_point now = Clock::now();
    switch (m_answer.answer) {
        case AnswerMode::Ok:
            Emit(m_version);
            AnswerSent(now);
            break;
        case AnswerMode::None:
            break;
        case AnswerMode::Late:
            m_scheduled.emplace(now + std::chrono::milliseconds(m_answer.ms),
                                Scheduled{m_version, true});
            break;
        case AnswerMode::Pieces: {
            std::size_t offset = 0;
            Clock::time_point when = now;
            auto gap = std::chrono::milliseconds(m_answer.ms);
            for (std::size_t i = 0; offset < m_version.size(); ++i) {
                std::size_t size = i < m_answer.pieces.size()
                                       ? static_cast<std::size_t>(m_answer.pieces[i])
                                       : m_version.size() - offset;
                std::string piece = m_version.substr(offset, size);
                offset += piece.size();
                m_scheduled.emplace(when, Scheduled{piece, offset >= m_version.size()});
                when += gap;
            }
            break;
        }
        case AnswerMode::Wrong:
            Emit(m_answer.bytes);
            AnswerSent(now);
            break;
    }
}

void Simulator::AnswerSent(Clock::time_point when) {
    if (m_chatter) {
        m_scheduled.emplace(when + std::chrono::milliseconds(m_chatterMs),
                            Scheduled{m_chatterBytes, false});
    }
}

void Simulator::ReadControl() {
    if (m_controlFd < 0) {
        return;
    }
    char buffer[4096];
    for (int turn = 0; turn < 16; ++turn) {
        ssize_t n = read(m_controlFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        m_controlInput.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t end;
    while (!m_quit && (end = m_controlInput.find('\n')) != std::string::npos) {
        std::string line = m_controlInput.substr(0, end);
        m_controlInput.erase(0, end + 1);
        if (m_controlOverlong) {
            m_controlOverlong = false;  // the tail of a line already reported
            continue;
        }
        ApplyControlLine(line);
    }
    if (m_controlInput.size() > kMaxControlLine) {
        Log("# error control line longer than " + std::to_string(kMaxControlLine) +
            " bytes, dropped: '" + EscapeBytes(m_controlInput.substr(0, 40)) + "...'");
        m_controlInput.clear();
        m_controlOverlong = true;
    }
}

void Simulator::Emit(std::string_view bytes) {
    if (!IsPlugged() || bytes.empty()) {
        return;
    }
    if (m_output.size() + bytes.size() > kMaxOutputQueue) {
        Log("# error output queue full (the host reads nothing): " + std::to_string(bytes.size()) +
            " bytes dropped");
        return;
    }
    if (m_output.empty()) {
        // An idle line: the first byte is the host's once its 10 bits are over.
        m_nextSlot = std::max(m_nextSlot, Clock::now() + m_byteTime);
    }
    m_output.append(bytes);
}

void Simulator::RunTimers(Clock::time_point now) {
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= now) {
        auto entry = m_scheduled.extract(m_scheduled.begin());
        Emit(entry.mapped().bytes);
        if (entry.mapped().answer) {
            AnswerSent(entry.key());
        }
    }
    if (m_floodRate > 0 && now >= m_nextFloodTick) {
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - m_floodStart);
        long long due = m_floodRate * static_cast<long long>(elapsed.count()) / 1000000;
        long long count = due - m_floodCounted;
        m_floodCounted = due;
        if (IsPlugged() && m_output.size() < kFloodHeadroom) {
            count = std::min<long long>(count, kFloodHeadroom - m_output.size());
            std::string bytes;
            for (long long i = 0; i < count; ++i) {
                bytes.push_back(static_cast<char>('0' + m_floodByte));
                m_floodByte = static_cast<std::uint8_t>((m_floodByte + 1) % 10);
            }
            Emit(bytes);
        }
        m_nextFloodTick = now + kFloodTick;
    }
}

void Simulator::PumpOutput(Clock::time_point now) {
    if (!IsPlugged() || m_output.empty() || m_outputBlocked) {
        return;
    }
    std::size_t count = m_output.size();
    if (m_pace) {
        if (now < m_nextSlot) {
            return;
        }
        auto slots = static_cast<std::size_t>((now - m_nextSlot) / m_byteTime) + 1;
        count = std::min(count, slots);
    }
    ssize_t n = write(m_master, m_output.data(), count);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_outputBlocked = true;
        } else if (errno != EINTR) {
            Log("# error " + ErrnoText("write to the terminal") + "; " +
                std::to_string(m_output.size()) + " bytes dropped");
            m_output.clear();
        }
        return;
    }
    m_output.erase(0, static_cast<std::size_t>(n));
    if (m_pace) {
        m_nextSlot += n * m_byteTime;
    }
    if (static_cast<std::size_t>(n) < count) {
        m_outputBlocked = true;
    }
}

Simulator::Clock::time_point Simulator::NextDeadline(Clock::time_point now) const {
    Clock::time_point deadline = Clock::time_point::max();
    if (!m_scheduled.empty()) {
        deadline = m_scheduled.begin()->first;
    }
    if (m_floodRate > 0) {
        deadline = std::min(deadline, m_nextFloodTick);
    }
    if (m_pace && IsPlugged() && !m_output.empty() && !m_outputBlocked) {
        deadline = std::min(deadline, m_nextSlot);
    }
    if (!m_onLine.empty()) {
        deadline = std::min(deadline, m_onLineNext);
    }
    return std::max(deadline, now);
}

int Simulator::Run() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Signals are only let in while ppoll waits, so none is missed between
    // the check of g_signal and the wait.
    while (!m_quit && g_signal == 0) {
        Clock::time_point now = Clock::now();
        RunTimers(now);
        PumpOutput(now);
        Clock::time_point deadline = NextDeadline(now);

        pollfd fds[2];
        nfds_t count = 0;
        if (IsPlugged()) {
            bool full = m_options.baud > 0 && m_onLine.size() >= kMaxOnLine;
            fds[count++] = {
                m_master, static_cast<short>((full ? 0 : POLLIN) | (m_outputBlocked ? POLLOUT : 0)),
                0};
        }
        if (m_controlFd >= 0) {
            fds[count++] = {m_controlFd, POLLIN, 0};
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (deadline != Clock::time_point::max()) {
            auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
            timeout.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(wait.count() % 1000000000);
            timeoutPtr = &timeout;
        }
        int ready = ppoll(fds, count, timeoutPtr, &waitMask);
        if (ready < 0 && errno != EINTR) {
            Log("# error " + ErrnoText("ppoll"));
            break;
        }
        if (ready > 0 && IsPlugged() && (fds[0].revents & POLLOUT)) {
            m_outputBlocked = false;
        }
        // The host's bytes are read before the control lines are: a control
        // line written before the host sent a command is then applied before
        // that command is handled.
        ReadHost();
        ReadControl();
        HandleHostInput();
    }
    if (g_signal != 0) {
        Log("# exit on signal " + std::to_string(g_signal));
    } else {
        Log("# exit");
    }
    if (IsPlugged()) {
        RemoveOwnLink();
        CloseFd(m_master);
        CloseFd(m_slave);
    }
    return 0;
}

}  // namespace tavrel_sim
