// Runs the real link state machine on the test thread in virtual time: the
// link's sleep advances the fake line's clock, notes what the panel would
// see, and fires the test's scripted actions whose time has come (as if the
// user interface acted during that sleep).
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "fake_serial_line.h"

class VirtualLink {
  public:
    struct Sleep {
        std::int64_t nAt;  // virtual time the sleep began
        int nMs;
    };
    // What the panel's refresh timer sees at the start of a sleep.
    struct Seen {
        std::int64_t nAt;
        int nStatus;
        std::string text;
        bool bConnected;
        bool bRunning;
    };
    // Thrown from the sleep when the run goes past its limit.
    struct Runaway : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    FakeSerialLine line;
    CDeviceLink link;
    std::vector<Sleep> sleeps;
    std::vector<Seen> seen;
    std::int64_t nLimitMs = 120000;

    VirtualLink();

    // Runs fnAction once the virtual time reaches nAt (at the end of the
    // first sleep that gets there).
    void At(std::int64_t nAt, std::function<void()> fnAction);
    // Runs fnAction at the end of every sleep.
    void EverySleep(std::function<void()> fnAction) { m_everySleep.push_back(std::move(fnAction)); }

    // Run() to its end; throws Runaway past nLimitMs.
    int RunToEnd();

    // Distinct status texts in the order seen (repeats of the same text collapsed).
    std::vector<std::string> TextsSeen() const;
    std::vector<int> StatusesSeen() const;
    // The first time a command with this text was written on nPort (-1: never).
    std::int64_t FirstCommandTime(const std::string& text, int nPort = 0) const;

  private:
    void OnSleep(int nMs);

    struct Action {
        std::int64_t nAt;
        std::function<void()> fn;
        bool bDone;
    };
    std::vector<Action> m_actions;
    std::vector<std::function<void()>> m_everySleep;
};

// The wire texts of a list of commands, for compact comparisons.
std::vector<std::string> Texts(const std::vector<FakeSerialLine::Command>& commands);
