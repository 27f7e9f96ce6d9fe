#include "fake_serial_line.h"

#include <algorithm>
#include <stdexcept>

std::int64_t FakeSerialLine::Now() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_nNow;
}

void FakeSerialLine::Advance(int nMilliseconds) {
    if (nMilliseconds < 0) {
        throw std::invalid_argument("the virtual clock cannot go back");
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    m_nNow += nMilliseconds;
}

void FakeSerialLine::AddSetup(int nPort, Setup setup) {
    if (!Valid(nPort)) {
        throw std::invalid_argument("the line has ports 1 to 4 only");
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    auto& setups = m_ports[nPort].setups;
    auto it = std::upper_bound(setups.begin(), setups.end(), setup.nFrom,
                               [](std::int64_t nAt, const Setup& s) { return nAt < s.nFrom; });
    setups.insert(it, std::move(setup));
}

void FakeSerialLine::SetMissing(int nPort, std::int64_t nAt) {
    AddSetup(nPort, {nAt, Kind::Missing, {}});
}

void FakeSerialLine::SetBusy(int nPort, std::int64_t nAt) {
    AddSetup(nPort, {nAt, Kind::Busy, {}});
}

void FakeSerialLine::SetDevice(int nPort, Reply reply, std::int64_t nAt) {
    AddSetup(nPort, {nAt, Kind::Present, std::move(reply)});
}

void FakeSerialLine::QueueBytes(int nPort, std::int64_t nAt, const std::string& bytes) {
    if (!Valid(nPort)) {
        throw std::invalid_argument("the line has ports 1 to 4 only");
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    Schedule(nPort, nAt, bytes);
}

void FakeSerialLine::SetCloseHook(std::function<void()> fnHook) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_fnCloseHook = std::move(fnHook);
}

// Caller holds m_mutex. Bytes with the same time keep the order they were given in.
void FakeSerialLine::Schedule(int nPort, std::int64_t nAt, const std::string& bytes) {
    auto& in = m_ports[nPort].in;
    auto it = std::upper_bound(in.begin(), in.end(), nAt,
                               [](std::int64_t t, const auto& entry) { return t < entry.first; });
    for (char ch : bytes) {
        it = in.insert(it, {nAt, static_cast<std::uint8_t>(ch)}) + 1;
    }
}

// Caller holds m_mutex.
const FakeSerialLine::Setup* FakeSerialLine::CurrentSetup(int nPort) const {
    const Setup* pCurrent = nullptr;
    for (const Setup& setup : m_ports[nPort].setups) {
        if (setup.nFrom <= m_nNow) {
            pCurrent = &setup;
        }
    }
    return pCurrent;
}

// Caller holds m_mutex. Bytes the open port has received by now; none once
// the device is gone.
int FakeSerialLine::VisibleCount() const {
    if (m_nOpen == 0) {
        return 0;
    }
    const Setup* pSetup = CurrentSetup(m_nOpen);
    if (!pSetup || pSetup->kind != Kind::Present) {
        return 0;
    }
    const auto& in = m_ports[m_nOpen].in;
    return static_cast<int>(std::count_if(
        in.begin(), in.end(), [&](const auto& entry) { return entry.first <= m_nNow; }));
}

bool FakeSerialLine::Open(int nPort, int /*nBaud*/) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_nOpen != 0) {
        m_calls.push_back({m_nNow, true, m_nOpen, true});
        return true;  // already open: the arguments are ignored
    }
    const Setup* pSetup = Valid(nPort) ? CurrentSetup(nPort) : nullptr;
    const bool bOk = pSetup && pSetup->kind == Kind::Present;
    m_calls.push_back({m_nNow, true, nPort, bOk});
    if (bOk) {
        m_nOpen = nPort;
        // What arrived while nobody had the port open is gone.
        auto& in = m_ports[nPort].in;
        in.erase(std::remove_if(in.begin(), in.end(),
                                [&](const auto& entry) { return entry.first < m_nNow; }),
                 in.end());
        m_ports[nPort].heard.clear();
    }
    return bOk;
}

bool FakeSerialLine::Close() {
    std::function<void()> fnHook;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_calls.push_back({m_nNow, false, m_nOpen, m_nOpen != 0});
        if (m_nOpen != 0) {
            auto& in = m_ports[m_nOpen].in;
            in.erase(std::remove_if(in.begin(), in.end(),
                                    [&](const auto& entry) { return entry.first <= m_nNow; }),
                     in.end());
            m_nOpen = 0;
        }
        fnHook = m_fnCloseHook;
    }
    if (fnHook) {
        fnHook();
    }
    return true;
}

int FakeSerialLine::WriteBytes(const std::uint8_t* pBytes, int nLength) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_bLastWriteWhole = false;
    if (m_nOpen == 0) {
        if (nLength > 0) {
            ++m_nWritesWhileClosed;
        }
        return 0;
    }
    if (nLength <= 0) {
        return 0;
    }
    const Setup* pSetup = CurrentSetup(m_nOpen);
    const bool bListening = pSetup && pSetup->kind == Kind::Present;
    m_bLastWriteWhole = bListening;
    Port& port = m_ports[m_nOpen];
    for (int i = 0; i < nLength; ++i) {
        m_writes.push_back({m_nNow, m_nOpen, pBytes[i]});
        if (!bListening) {
            continue;  // the bytes go nowhere
        }
        port.heard.push_back(static_cast<char>(pBytes[i]));
        const std::size_t nLen = port.heard.size();
        if (nLen >= 2 && port.heard[nLen - 2] == '\r' && port.heard[nLen - 1] == '\n') {
            if (port.heard == "?\r\n") {
                for (const Piece& piece : pSetup->reply) {
                    Schedule(m_nOpen, m_nNow + piece.nDelayMs, piece.bytes);
                }
            }
            port.heard.clear();
        }
    }
    return nLength;
}

bool FakeSerialLine::LastWriteWhole() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_bLastWriteWhole;
}

int FakeSerialLine::GetInputCount() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return VisibleCount();
}

int FakeSerialLine::ReadAvailable(std::uint8_t* pBuffer, int nLimit) {
    std::lock_guard<std::mutex> guard(m_mutex);
    const int nTake = std::min(VisibleCount(), nLimit);
    if (nTake <= 0) {
        return 0;
    }
    auto& in = m_ports[m_nOpen].in;
    for (int i = 0; i < nTake; ++i) {
        pBuffer[i] = in[i].second;  // visible bytes are the earliest ones
    }
    in.erase(in.begin(), in.begin() + nTake);
    return nTake;
}

bool FakeSerialLine::IsOpen() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_nOpen != 0;
}

int FakeSerialLine::OpenPort() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_nOpen;
}

std::vector<FakeSerialLine::Write> FakeSerialLine::Writes() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_writes;
}

std::vector<FakeSerialLine::Command> FakeSerialLine::Commands() const {
    return CommandsSince(0);
}

std::vector<FakeSerialLine::Command> FakeSerialLine::CommandsSince(std::int64_t nFrom) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<Command> commands;
    std::vector<Command> open(kPorts + 1);  // the command being collected, per port
    for (const Write& w : m_writes) {
        Command& c = open[w.nPort];
        if (c.text.empty()) {
            c.nTime = w.nTime;
            c.nPort = w.nPort;
        }
        c.text.push_back(static_cast<char>(w.byte));
        const std::size_t nLen = c.text.size();
        if (nLen >= 2 && c.text[nLen - 2] == '\r' && c.text[nLen - 1] == '\n') {
            c.text.resize(nLen - 2);
            c.bTerminated = true;
            if (c.nTime >= nFrom) {
                commands.push_back(c);
            }
            c = Command{};
        }
    }
    for (Command& c : open) {
        if (!c.text.empty() && c.nTime >= nFrom) {
            c.bTerminated = false;
            commands.push_back(c);
        }
    }
    return commands;
}

std::vector<FakeSerialLine::PortCall> FakeSerialLine::PortCalls() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_calls;
}

std::vector<int> FakeSerialLine::OpenedPorts() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<int> ports;
    for (const PortCall& call : m_calls) {
        if (call.bOpen && call.bResult) {
            ports.push_back(call.nPort);
        }
    }
    return ports;
}

int FakeSerialLine::WritesWhileClosed() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_nWritesWhileClosed;
}
