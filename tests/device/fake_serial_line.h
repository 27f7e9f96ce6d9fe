// A simulated serial line for the link's unit tests: ports 1 to 4, each
// missing, busy or holding a scripted magnifier, all in virtual time.
//
// The virtual clock belongs to the line and moves only when Advance is
// called (the link's injected sleep does that). Bytes a device sends are
// scheduled at a virtual time and become visible to GetInputCount and
// ReadAvailable only once that time has come. Everything the host writes is
// recorded with its time and port. All members are safe to call from any
// thread; the clock and the records share one mutex.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/com_port.h"

class FakeSerialLine final : public ISerialPort {
  public:
    static constexpr int kPorts = 4;

    // One piece of a device's answer: its bytes arrive nDelayMs after the
    // host finished writing the "?" line.
    struct Piece {
        int nDelayMs;
        std::string bytes;
    };
    using Reply = std::vector<Piece>;

    // The answer a healthy magnifier gives at once.
    static Reply Answer(const std::string& bytes = "V1.23\r\n", int nDelayMs = 0) {
        return {{nDelayMs, bytes}};
    }

    struct Write {
        std::int64_t nTime;
        int nPort;
        std::uint8_t byte;
    };
    // A host command as seen on the wire: the bytes up to CR LF (not
    // included). bTerminated is false for trailing bytes without CR LF.
    struct Command {
        std::int64_t nTime;  // time of its first byte
        int nPort;
        std::string text;
        bool bTerminated;
    };
    struct PortCall {
        std::int64_t nTime;
        bool bOpen;    // Open, else Close
        int nPort;     // the port asked for (Open; the open one if one was) or closed (0: none)
        bool bResult;  // Open's result; for Close whether a port was open
    };

    FakeSerialLine() = default;
    FakeSerialLine(const FakeSerialLine&) = delete;
    FakeSerialLine& operator=(const FakeSerialLine&) = delete;

    // --- the virtual clock
    std::int64_t Now() const;
    void Advance(int nMilliseconds);

    // --- scripting the ports, from time nAt on (0: from the start). A port
    // never set up is missing.
    void SetMissing(int nPort, std::int64_t nAt = 0);  // also "unplugged at nAt"
    void SetBusy(int nPort, std::int64_t nAt = 0);     // held by another program
    // A magnifier that answers every "?" with reply (an empty reply: silent).
    void SetDevice(int nPort, Reply reply, std::int64_t nAt = 0);
    // Unsolicited bytes from the device on nPort, arriving at nAt.
    void QueueBytes(int nPort, std::int64_t nAt, const std::string& bytes);

    // Called after every Close call, outside the line's lock.
    void SetCloseHook(std::function<void()> fnHook);

    // --- records
    std::vector<Write> Writes() const;
    std::vector<Command> Commands() const;
    std::vector<Command> CommandsSince(std::int64_t nFrom) const;
    std::vector<PortCall> PortCalls() const;
    std::vector<int> OpenedPorts() const;  // ports of the successful Opens, in order
    int WritesWhileClosed() const;
    int OpenPort() const;  // the port now open, 0 if none

    // --- ISerialPort
    bool Open(int nPort, int nBaud) override;
    bool Close() override;
    int WriteBytes(const std::uint8_t* pBytes, int nLength) override;
    // False after a write to a port that is gone (unplugged while open).
    bool LastWriteWhole() const override;
    int GetInputCount() override;
    int ReadAvailable(std::uint8_t* pBuffer, int nLimit) override;
    bool IsOpen() const override;

  private:
    enum class Kind { Missing, Busy, Present };
    struct Setup {
        std::int64_t nFrom;
        Kind kind;
        Reply reply;
    };
    struct Port {
        std::vector<Setup> setups;                              // by nFrom, ascending
        std::vector<std::pair<std::int64_t, std::uint8_t>> in;  // scheduled bytes, by time
        std::string heard;                                      // device side: partial line
    };

    const Setup* CurrentSetup(int nPort) const;
    void AddSetup(int nPort, Setup setup);
    void Schedule(int nPort, std::int64_t nAt, const std::string& bytes);
    int VisibleCount() const;
    static bool Valid(int nPort) { return nPort >= 1 && nPort <= kPorts; }

    mutable std::mutex m_mutex;
    std::int64_t m_nNow = 0;
    Port m_ports[kPorts + 1];
    int m_nOpen = 0;
    int m_nWritesWhileClosed = 0;
    bool m_bLastWriteWhole = true;
    std::vector<Write> m_writes;
    std::vector<PortCall> m_calls;
    std::function<void()> m_fnCloseHook;
};
