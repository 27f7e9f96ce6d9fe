// The magnifier simulator (tavrel-sim) as a child process of a test: started
// in a fresh temporary directory with its link, log and control FIFO there,
// driven through the FIFO, read back through its log, and stopped by its
// pid when the object goes away.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class SimProcess {
  public:
    // Starts the built tavrel-sim in a fresh temporary directory with
    // --link <dir>/link, --log <dir>/sim.log, --control <dir>/ctl and the extra
    // arguments, and waits (10 s at most) for its "# ready" line. Throws
    // std::runtime_error, with the simulator's error output, if it does not
    // get ready.
    explicit SimProcess(std::vector<std::string> extraArgs = {});
    // Asks the simulator to quit, then SIGTERM and at last SIGKILL by pid;
    // reaps it and removes the directory.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& LinkPath() const { return m_linkPath; }  // the link the host opens
    const std::string& Dir() const { return m_dir; }

    // Writes one control line into the FIFO. Throws std::runtime_error when
    // the FIFO cannot be written (the simulator is gone).
    void Control(const std::string& line);

    struct LogLine {
        long ms;
        std::string text;
    };
    // The log so far, complete lines only.
    std::vector<LogLine> Log() const;
    // Host commands only: lines that start with neither '#' nor '!'.
    std::vector<std::string> Commands() const;
    // Polls the log until a line whose text equals text appears at an index
    // >= fromIndex; returns that index, or -1 after the timeout.
    int WaitForLine(const std::string& text, std::chrono::milliseconds timeout,
                    size_t fromIndex = 0) const;

    pid_t Pid() const { return m_pid; }

    // The simulator executable the tests were built with.
    static std::string SimulatorPath();

  private:
    void Stop();

    std::string m_dir;
    std::string m_linkPath;
    std::string m_logPath;
    std::string m_controlPath;
    pid_t m_pid = -1;
};
