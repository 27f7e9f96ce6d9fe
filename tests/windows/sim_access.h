// The simulators that with_sim.sh started for a Windows test run, as the tests
// see them through Wine: the port numbers they sit on, their logs and the
// control pipe of the one that answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct SimEnvironment {
    int nSimPort = 0;      // the simulator that answers the probe
    int nSilentPort = 0;   // a simulator that never answers
    int nMissingPort = 0;  // a port with nothing behind it
    std::string strSimLog;
    std::string strSimControl;
    std::string strSilentLog;
};

// Reads the environment with_sim.sh sets. False, with the names of what is
// missing in strError, when the test is not run through it.
bool LoadSimEnvironment(SimEnvironment& env, std::string& strError);

// A simulator's log. Each line is "<ms> <text>"; the tests look at the text.
class SimLog {
  public:
    explicit SimLog(std::string strPath) : m_strPath(std::move(strPath)) {}

    // The text of every complete line so far, without the time stamp.
    std::vector<std::string> Lines() const;
    // Polls until a line at index nFrom or later matches, for at most
    // nDeadlineMs. Returns its index, or -1 when none came in time.
    int WaitFor(const std::function<bool(const std::string&)>& match, std::size_t nFrom,
                int nDeadlineMs) const;
    int WaitForText(const std::string& strText, std::size_t nFrom, int nDeadlineMs) const;

  private:
    std::string m_strPath;
};

// The values the next few new handles of this process get. Handles are taken
// from the lowest free slots, so these are unchanged after code that released
// every handle it took, and change while one is still held.
std::vector<unsigned long long> NextHandleValues();

// Writes one line to a simulator's control pipe. False when it cannot be opened.
bool SendControl(const std::string& strFifo, const std::string& strLine);
