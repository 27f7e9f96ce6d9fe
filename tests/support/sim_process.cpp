#include "sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;
constexpr auto kReadyTimeout = 10s;
constexpr auto kPollInterval = 5ms;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits up to timeout for the child to end; true when it was reaped.
bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace

std::string SimProcess::SimulatorPath() {
    return TAVREL_SIM_PATH;
}

SimProcess::SimProcess(std::vector<std::string> extraArgs) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavrel-sim.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        throw std::runtime_error("SimProcess: cannot create a directory from " + pattern + ": " +
                                 std::strerror(errno));
    }
    m_dir = buffer.data();
    m_linkPath = m_dir + "/link";
    m_logPath = m_dir + "/sim.log";
    m_controlPath = m_dir + "/ctl";
    std::string errorPath = m_dir + "/sim.err";

    std::vector<std::string> args = {SimulatorPath(), "--link",    m_linkPath,   "--log",
                                     m_logPath,       "--control", m_controlPath};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int failed = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        m_pid = -1;
        std::filesystem::remove_all(m_dir);
        throw std::runtime_error("SimProcess: cannot start " + SimulatorPath() + ": " +
                                 std::strerror(failed));
    }

    auto deadline = std::chrono::steady_clock::now() + kReadyTimeout;
    while (true) {
        for (const LogLine& line : Log()) {
            if (line.text.rfind("# ready", 0) == 0) {
                return;
            }
        }
        int status = 0;
        bool exited = waitpid(m_pid, &status, WNOHANG) == m_pid;
        if (exited || std::chrono::steady_clock::now() >= deadline) {
            std::string why =
                exited ? "exited with status " + std::to_string(status) : "not ready after 10 s";
            std::string errors = ReadFile(errorPath);
            if (exited) {
                m_pid = -1;
            }
            Stop();
            throw std::runtime_error("SimProcess: tavrel-sim " + why + ": " + errors);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Stop() {
    if (m_pid > 0) {
        try {
            Control("quit");
        } catch (const std::exception&) {
            // Already gone or not listening: the signals below see to it.
        }
        if (!WaitForExit(m_pid, 5s)) {
            kill(m_pid, SIGTERM);
            if (!WaitForExit(m_pid, 5s)) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
            }
        }
        m_pid = -1;
    }
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        m_dir.clear();
    }
}

void SimProcess::Control(const std::string& line) {
    int fd = open(m_controlPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("SimProcess: cannot open the control FIFO " + m_controlPath +
                                 ": " + std::strerror(errno));
    }
    std::string text = line + "\n";
    std::size_t done = 0;
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            break;
        } else {
            std::this_thread::sleep_for(kPollInterval);  // the pipe is full for now
        }
    }
    int error = errno;
    close(fd);
    if (done < text.size()) {
        throw std::runtime_error("SimProcess: cannot write '" + line +
                                 "' to the control FIFO: " + std::strerror(error));
    }
}

std::vector<SimProcess::LogLine> SimProcess::Log() const {
    std::string text = ReadFile(m_logPath);
    std::vector<LogLine> lines;
    std::size_t start = 0;
    std::size_t end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::size_t space = line.find(' ');
        LogLine entry{-1, line};
        if (space != std::string::npos && space > 0) {
            char* stop = nullptr;
            long ms = std::strtol(line.c_str(), &stop, 10);
            if (stop == line.c_str() + space) {
                entry = {ms, line.substr(space + 1)};
            }
        }
        lines.push_back(std::move(entry));
    }
    return lines;
}

std::vector<std::string> SimProcess::Commands() const {
    std::vector<std::string> commands;
    for (LogLine& line : Log()) {
        if (line.text.empty() || (line.text[0] != '#' && line.text[0] != '!')) {
            commands.push_back(std::move(line.text));
        }
    }
    return commands;
}

int SimProcess::WaitForLine(const std::string& text, std::chrono::milliseconds timeout,
                            size_t fromIndex) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        std::vector<LogLine> lines = Log();
        for (size_t i = fromIndex; i < lines.size(); ++i) {
            if (lines[i].text == text) {
                return static_cast<int>(i);
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}
