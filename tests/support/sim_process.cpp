#include "sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

pid_t Spawn(std::vector<std::string> args, const std::string& errPath) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

SimProcess::SimProcess(std::vector<std::string> extraArgs) {
    std::string pattern = std::filesystem::temp_directory_path() / "tavrel-sim.XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("SimProcess: no directory from " + pattern);
    }
    m_dir = pattern;
    m_linkPath = m_dir + "/link";
    std::vector<std::string> args = {TAVREL_SIM_PATH, "--link",    m_linkPath,    "--log",
                                     m_dir + "/log",  "--control", m_dir + "/ctl"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    m_pid = Spawn(args, m_dir + "/err");
    auto ready = [this] { return ReadFile(m_dir + "/log").find(" # ready ") != std::string::npos; };
    if (m_pid < 0 || !WaitFor(ready, 10s)) {
        const std::string errors = ReadFile(m_dir + "/err");
        Stop();
        throw std::runtime_error("SimProcess: tavrel-sim not ready in 10 s: " + errors);
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
            // Not listening: the signal sees to it.
        }
        if (!WaitFor([this] { return waitpid(m_pid, nullptr, WNOHANG) != 0; }, 5s)) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

void SimProcess::Control(const std::string& line) {
    const int fd = open((m_dir + "/ctl").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    const std::string text = line + "\n";
    const bool bWritten =
        fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) {
        close(fd);
    }
    if (!bWritten) {
        throw std::runtime_error("SimProcess: cannot write '" + line + "' to the simulator");
    }
}

std::vector<SimProcess::LogLine> SimProcess::Log() const {
    std::istringstream text(ReadFile(m_dir + "/log"));
    std::vector<LogLine> lines;
    std::string line;
    while (std::getline(text, line) && !text.eof()) {  // complete lines only
        lines.push_back({std::atol(line.c_str()), line.substr(line.find(' ') + 1)});
    }
    return lines;
}

std::vector<std::string> SimProcess::Commands(int nAfter) const {
    std::vector<std::string> commands;
    const auto log = Log();
    for (std::size_t i = nAfter + 1; i < log.size(); ++i) {
        if (log[i].text[0] != '#' && log[i].text[0] != '!') {
            commands.push_back(log[i].text);
        }
    }
    return commands;
}

int SimProcess::WaitForLine(const std::string& text, std::chrono::milliseconds timeout,
                            size_t fromIndex) const {
    int found = -1;
    WaitFor(
        [&] {
            const auto lines = Log();
            for (size_t i = fromIndex; i < lines.size() && found < 0; ++i) {
                found = lines[i].text == text ? static_cast<int>(i) : -1;
            }
            return found >= 0;
        },
        timeout);
    return found;
}
