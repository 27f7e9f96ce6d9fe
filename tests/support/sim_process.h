// tavrel-sim as a child process of a test, in a fresh temporary directory
// with its link, log and control FIFO, stopped by its pid; and a link thread.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "device/device_link.h"

// Polls pred every millisecond until it holds (true) or the timeout passes (false).
template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool bDone;
    while (!(bDone = pred()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return bDone;
}

std::string ReadFile(const std::string& path);
// Starts a program with its output dropped and its error output in errPath;
// its pid, or -1.
pid_t Spawn(std::vector<std::string> args, const std::string& errPath);

// Maps COM1 to COM4 to these paths (a missing or empty one: no such port).
inline void MapPorts(std::vector<std::string> paths) {
    paths.resize(4);
    for (int n = 1; n <= 4; ++n) {
        CComPort::SetPortPath(n, paths[n - 1].empty() ? "/nonexistent/com" : paths[n - 1]);
    }
}

class SimProcess {
  public:
    // Starts tavrel-sim with the extra arguments and waits (10 s at most) for
    // its "# ready" line; throws std::runtime_error if it does not come.
    explicit SimProcess(std::vector<std::string> extraArgs = {});
    // Asks it to quit, else kills it by its pid; removes the directory.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;

    const std::string& LinkPath() const { return m_linkPath; }
    const std::string& Dir() const { return m_dir; }
    // Writes one control line into the FIFO; throws when it cannot.
    void Control(const std::string& line);

    struct LogLine {
        long ms;
        std::string text;
    };
    std::vector<LogLine> Log() const;
    // The host's commands logged after log line nAfter (lines that start
    // with neither '#' nor '!').
    std::vector<std::string> Commands(int nAfter = -1) const;
    // The index of the first log line equal to text at or after fromIndex;
    // -1 when none appears within the timeout.
    int WaitForLine(const std::string& text, std::chrono::milliseconds timeout,
                    size_t fromIndex = 0) const;

  private:
    void Stop();

    std::string m_dir;
    std::string m_linkPath;
    pid_t m_pid = -1;
};

// The link thread of a record, stopped in order when the object goes: stop
// request, then the thread waited for (it must not outlive the record).
class LinkRunner {
  public:
    explicit LinkRunner(CDeviceLink& link)
        : m_link(link), m_thread([this] {
              LinkThreadProc(&m_link);
              m_bFinished = true;
          }) {}
    ~LinkRunner() { Stop(); }
    // True when the thread ended within 20 s with its running flag clear.
    bool Stop() {
        m_link.RequestStop();
        const bool bInTime =
            WaitFor([this] { return m_bFinished.load(); }, std::chrono::seconds(20));
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return bInTime && !m_link.IsRunning();
    }

  private:
    CDeviceLink& m_link;
    std::atomic<bool> m_bFinished{false};
    std::thread m_thread;
};
