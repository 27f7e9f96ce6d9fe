// The shared device-state record between the user-interface thread and the
// link thread, the wire protocol spoken to the magnifier, and the link
// thread's body.
//
// The user interface writes the request fields (pending presses, wanted
// position and width, the stop request) and reads m_bConnected and
// m_bRunning without the lock; each of those has a single writer and is an
// atomic byte. m_lock guards the status code, status text, changed flag and
// debug line, and the link thread's reads of the wanted and last-sent values.
// It is never held across port I/O or a wait.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device/com_port.h"

// Connection status codes (m_nStatus).
enum : int {
    LINK_STARTING = 0,
    LINK_SEARCHING = 1,
    LINK_CONNECTED = 2,
    LINK_STOPPED = 3,
};

class CDeviceLink {
  public:
    using Flag = std::atomic<std::uint8_t>;
    using SleepFn = std::function<void(int nMilliseconds)>;
    using PortListFn = std::function<std::vector<int>()>;

    static constexpr int kBaudRate = 9600;
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 4;
    static constexpr int kDebugInfoSize = 50;
    static constexpr int kReplyLimit = 40;    // bytes the probe reads at once
    static constexpr int kFlushLimit = 1000;  // bytes one flush discards at most
    static constexpr int kCommandLimit = 37;  // characters of one command text

    CDeviceLink();
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Status, published by the link thread.
    void SetStatus(int nStatus);
    void SetStatusText(const char* pszText);
    // Copies the status text and code; returns the changed flag as it was and clears it.
    bool GetStatus(std::string& strStatus, int& nStatus);
    // A copy of the last probe's log line, taken under the lock.
    std::string GetDebugInfo();
    // One line per port tried since the link started, COM1 first, with its
    // last outcome and the time of it, e.g. "COM1: missing (12:03:04)",
    // "COM2: no answer (12:03:05)", "COM3: wrong answer 56 31 2C 32 33 0D 0A
    // (12:03:05)", "COM4: busy: held by another program (12:03:06)",
    // "COM5: connected (12:03:07)". A copy, taken under the lock.
    std::vector<std::string> GetPortReasons();

    // Protocol.
    bool CheckDevice();
    bool SendButtonPress(char chButton, Flag* pPending);
    bool SendLevel(bool bPosition);
    // True when every byte of the command was taken by the port.
    bool SendCommand(const char* pszCommand);
    void FlushInput();

    // Link thread body.
    int Run();
    bool TryPort(int nPort);

    // Seams for the tests: a simulated serial line in place of m_port, and a
    // virtual clock in place of the real sleep. Set before the thread starts.
    void UsePort(ISerialPort* pPort) { m_pPort = pPort ? pPort : &m_port; }
    void UseSleep(SleepFn fnSleep);
    // The ports the scan tries after COM1 to COM4 (the system's list unless a
    // test gives its own); asked again for every scan.
    void UsePortList(PortListFn fnPorts);

    // Fields, in the record's order.
    Flag m_bConnected{0};
    Flag m_bRunning{0};
    Flag m_bStopRequest{0};
    std::atomic<int> m_nPort{0};
    std::atomic<int> m_nReplyMs{0};
    char m_szDebugInfo[kDebugInfoSize] = {};
    int m_nStatus = LINK_STARTING;
    std::string m_strStatus;
    std::mutex m_lock;
    std::atomic<std::uint8_t> m_nPosition{128};
    std::atomic<std::uint8_t> m_nWidth{128};
    Flag m_bWindowPending{0};
    Flag m_bLinesPending{0};
    Flag m_bOptionsPending{0};
    CComPort m_port;
    bool m_bStatusChanged = false;
    int m_nSentPosition = -1;
    int m_nSentWidth = -1;
    // A command did not go out whole (the line is stuck or gone): presses and
    // levels wait in the record until a probe gets through again, instead of
    // being taken and lost, and each of them costing the write waits again.
    bool m_bWriteFailed = false;

    // Poll cycles completed since the thread started. Watchers (the console
    // remote, the benchmark) use it to know that a cycle has gone by: once the
    // count has moved on after a press was taken, the press and both levels
    // are on the wire.
    std::atomic<unsigned> m_nPollCycles{0};

  private:
    void Wait(int nMilliseconds) { m_sleep(nMilliseconds); }
    ISerialPort& Port() { return *m_pPort; }
    void WriteDebugLine(const char* pszReply, const char* pszVerdict);
    // Keeps strReason, with the time now, as the last outcome of port nPort.
    void NotePort(int nPort, const std::string& strReason);
    std::vector<int> PortsToScan();

    ISerialPort* m_pPort = &m_port;
    SleepFn m_sleep;
    PortListFn m_listPorts;
    std::map<int, std::string> m_portReasons;  // by port; guarded by m_lock
};

// The 7-byte answer to "?": 'V', a byte, '.', two bytes, CR, LF; the free bytes
// must not be NUL. pszReply is a NUL-terminated text.
bool IsProbeAnswer(const char* pszReply);

// Formats the probe's log line into pszOut (nSize bytes with the terminator),
// shortening the reply text with "..." when the whole line would not fit.
void FormatProbeLine(char* pszOut, int nSize, int nPort, const char* pszReply, int nReplyMs,
                     const char* pszVerdict);

// Thread entry: pParam is the address of a CDeviceLink; returns Run's result.
unsigned LinkThreadProc(void* pParam);

// Deletes a heap-allocated record at program exit, unless its link thread is
// still running: then the record is left alone (and returned to the system
// with the process) so that the thread never uses a destroyed record.
// Returns true when the record was deleted.
bool ReleaseAtExit(CDeviceLink* pLink);

// The one record of the program. It is freed at exit only once the link
// thread has ended; a thread still alive then keeps it until the process ends.
extern CDeviceLink& g_deviceLink;
