// A simulated serial line in virtual time (moved by Advance, from the link's
// injected sleep): numbered ports, each missing, busy, denied, a scripted
// magnifier, or stuck (it opens but stops taking bytes). A read that waits
// for bytes ends as the last one it waits for arrives. What a device heard is
// kept as whole lines; a line cut short is dropped when the port opens again.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "device/device_link.h"

class FakeSerialLine final : public ISerialPort {
  public:
    // One piece of an answer to "?": its bytes arrive nDelayMs after the "?" line.
    struct Piece {
        int nDelayMs;
        std::string bytes;
    };
    using Reply = std::vector<Piece>;
    static Reply Answer(const std::string& bytes = "V1.23\r\n", int nDelayMs = 0) {
        return {{nDelayMs, bytes}};
    }
    // A line a device heard (CR LF removed), or an attempt to open a port (no text).
    struct Event {
        std::int64_t nTime;
        int nPort;
        std::string text;
    };

    std::int64_t Now() const { return m_nNow; }
    void Advance(int nMs) { m_nNow += nMs; }

    // Scripting, from time nAt on; a port never set up is missing.
    void SetMissing(int nPort, std::int64_t nAt = 0) { Set(nPort, nAt, {Kind::Missing, {}, 0}); }
    void SetBusy(int nPort, std::int64_t nAt = 0) { Set(nPort, nAt, {Kind::Busy, {}, 0}); }
    void SetDenied(int nPort, std::int64_t nAt = 0) { Set(nPort, nAt, {Kind::Denied, {}, 0}); }
    void SetDevice(int nPort, Reply reply, std::int64_t nAt = 0) {
        Set(nPort, nAt, {Kind::Present, std::move(reply), 0});
    }
    // The device stops reading: the port still opens, takes nTaken more bytes
    // and then none, and every write after that is reported as not whole.
    void SetStuck(int nPort, std::int64_t nAt, int nTaken = 0) {
        Set(nPort, nAt, {Kind::Stuck, {}, nTaken});
    }
    // Bytes the device sends unasked, arriving at nAt.
    void QueueBytes(int nPort, std::int64_t nAt, const std::string& bytes) {
        for (char c : bytes) {
            m_ports[nPort].in.insert({nAt, static_cast<std::uint8_t>(c)});
        }
    }

    std::vector<Event> heard;  // in time order
    std::vector<Event> opens;
    // The texts heard from nFrom on (without the probes: the host's commands,
    // as keep-alives fall anywhere in a run), and the ports opened.
    std::vector<std::string> Lines(std::int64_t nFrom = 0, bool bProbes = true) const {
        std::vector<std::string> texts;
        for (const Event& e : heard) {
            if (e.nTime >= nFrom && (bProbes || e.text != "?")) {
                texts.push_back(e.text);
            }
        }
        return texts;
    }
    std::vector<int> Opened(std::int64_t nFrom = 0) const {
        std::vector<int> ports;
        for (const Event& e : opens) {
            if (e.nTime >= nFrom) {
                ports.push_back(e.nPort);
            }
        }
        return ports;
    }

    bool Open(int nPort, int) override {
        if (m_nOpen != 0) {
            return true;
        }
        const Setup* pSetup = Current(nPort);
        opens.push_back({m_nNow, nPort, ""});
        const Kind kind = pSetup ? pSetup->kind : Kind::Missing;
        const bool bOk = kind == Kind::Present || kind == Kind::Stuck;
        m_openFailure = bOk                    ? PortOpenFailure::None
                        : kind == Kind::Busy   ? PortOpenFailure::Busy
                        : kind == Kind::Denied ? PortOpenFailure::Denied
                                               : PortOpenFailure::Missing;
        if (bOk) {
            m_nOpen = nPort;
            Port& port = m_ports[nPort];
            port.in.erase(port.in.begin(), port.in.lower_bound(m_nNow));  // sent to nobody
            port.heard.clear();
        }
        return bOk;
    }
    PortOpenFailure LastOpenFailure() const override { return m_openFailure; }
    bool Close() override {
        m_nOpen = 0;
        return true;
    }
    int WriteBytes(const std::uint8_t* pBytes, int nLength) override {
        m_bWhole = m_nOpen != 0 && nLength > 0;
        if (!m_bWhole) {
            return 0;
        }
        Setup* pSetup = Current(m_nOpen);
        Port& port = m_ports[m_nOpen];
        for (int i = 0; i < nLength; ++i) {
            if (pSetup->kind == Kind::Missing ||
                (pSetup->kind == Kind::Stuck && pSetup->nTaken-- <= 0)) {
                m_bWhole = false;
                continue;
            }
            port.heard.push_back(static_cast<char>(pBytes[i]));
            if (port.heard.size() >= 2 && port.heard.substr(port.heard.size() - 2) == "\r\n") {
                port.heard.resize(port.heard.size() - 2);
                heard.push_back({m_nNow, m_nOpen, port.heard});
                if (port.heard == "?" && pSetup->kind == Kind::Present) {
                    for (const Piece& piece : pSetup->reply) {
                        QueueBytes(m_nOpen, m_nNow + piece.nDelayMs, piece.bytes);
                    }
                }
                port.heard.clear();
            }
        }
        return nLength;
    }
    bool LastWriteWhole() const override { return m_bWhole; }
    int GetInputCount() override { return Visible(); }
    int ReadAvailable(std::uint8_t* pBuffer, int nLimit) override {
        const int nTake = std::min(Visible(), nLimit);
        auto& in = m_ports[m_nOpen].in;
        for (int i = 0; i < nTake; ++i) {
            pBuffer[i] = in.begin()->second;
            in.erase(in.begin());
        }
        return nTake;
    }
    // Lets time pass to nUntil or until fnWoken (VirtualLink: running the script).
    std::function<void(std::int64_t nUntil, const std::function<bool()>& fnWoken)> waitFor;
    int ReadWithin(std::uint8_t* pBuffer, int nWanted, int nLimit, int nWithinMs) override {
        // Until the nWanted-th byte arrives, as a driver's read completes then.
        const auto& in = m_ports[m_nOpen].in;
        const std::int64_t nArrival =
            std::ssize(in) >= nWanted ? std::next(in.begin(), nWanted - 1)->first : INT64_MAX;
        const std::int64_t nUntil =
            m_bStopped ? m_nNow : std::clamp(nArrival, m_nNow, m_nNow + nWithinMs);
        waitFor ? waitFor(nUntil, [this] { return m_bStopped; }) : Advance(int(nUntil - m_nNow));
        return ReadAvailable(pBuffer, nLimit);
    }
    void StopWaits() override { m_bStopped = true; }
    bool IsOpen() const override { return m_nOpen != 0; }

  private:
    enum class Kind { Missing, Busy, Denied, Present, Stuck };
    struct Setup {
        Kind kind;
        Reply reply;
        int nTaken;
    };
    struct Port {
        std::map<std::int64_t, Setup> setups;          // by start time
        std::multimap<std::int64_t, std::uint8_t> in;  // bytes to the host, by arrival
        std::string heard;                             // the device's line so far
    };

    void Set(int nPort, std::int64_t nAt, Setup setup) {
        m_ports[nPort].setups.insert_or_assign(nAt, std::move(setup));
    }
    Setup* Current(int nPort) {
        auto& setups = m_ports[nPort].setups;
        auto it = setups.upper_bound(m_nNow);
        return it == setups.begin() ? nullptr : &std::prev(it)->second;
    }
    // Bytes of the open port that have arrived; none from a device that is gone.
    int Visible() {
        const Setup* pSetup = m_nOpen ? Current(m_nOpen) : nullptr;
        if (!pSetup || pSetup->kind == Kind::Missing) {
            return 0;
        }
        const auto& in = m_ports[m_nOpen].in;
        return static_cast<int>(std::distance(in.begin(), in.upper_bound(m_nNow)));
    }

    std::int64_t m_nNow = 0;
    std::map<int, Port> m_ports;
    int m_nOpen = 0;
    bool m_bWhole = true;
    bool m_bStopped = false;
    PortOpenFailure m_openFailure = PortOpenFailure::None;
};

// The real link state machine on the test thread in virtual time: its waits move
// the clock to each scripted action and run it (as the user interface would act
// meanwhile); a wait the link may be woken from ends once an action woke it.
class VirtualLink {
  public:
    FakeSerialLine line;
    CDeviceLink link;
    std::vector<std::int64_t> waitsAt;  // every wait's start, the reads' too

    VirtualLink() {
        link.UsePort(&line);
        link.UsePortList([] { return std::vector<ListedPort>{}; });  // not the machine's
        const auto wait = [this](std::int64_t nUntil, const std::function<bool()>& fnWoken) {
            waitsAt.push_back(line.Now());
            for (RunDueActions(); line.Now() < nUntil && !fnWoken(); RunDueActions()) {
                line.Advance(static_cast<int>(std::min(nUntil, NextAction()) - line.Now()));
            }
            if (line.Now() > 60000) {
                throw std::runtime_error("the link did not stop when asked");
            }
        };
        link.UseClock([this] { return line.Now(); }, wait);
        line.waitFor = wait;
    }

    // Runs fnAction at nAt, or at once when the link is busy then.
    void At(std::int64_t nAt, std::function<void()> fnAction) {
        m_actions.push_back({nAt, std::move(fnAction)});
    }
    // Runs the thread body until a stop requested at nStopAt.
    void RunUntil(std::int64_t nStopAt) {
        At(nStopAt, [this] { link.RequestStop(); });
        link.Run();
    }

  private:
    std::int64_t NextAction() const {
        std::int64_t nNext = INT64_MAX;
        for (const auto& [nAt, fn] : m_actions) {
            if (fn && nAt > line.Now()) {
                nNext = std::min(nNext, nAt);
            }
        }
        return nNext;
    }
    void RunDueActions() {
        for (std::size_t i = 0; i < m_actions.size(); ++i) {  // an action may add one
            if (m_actions[i].second && m_actions[i].first <= line.Now()) {
                auto run = std::move(m_actions[i].second);
                m_actions[i].second = nullptr;
                run();
            }
        }
    }

    std::vector<std::pair<std::int64_t, std::function<void()>>> m_actions;
};
