// The shared device-state record between the user-interface thread and the
// link thread, the wire protocol spoken to the magnifier, and the link
// thread's body.
//
// The user interface works the record only through its operations: a press,
// new levels, the stop (each wakes the link thread at once), and reads of the
// connection, the running flag and the status. The one-byte fields the two
// threads share without the lock have a single writer each and are atomic.
// m_lock guards the status code, status text, changed flag, debug line and
// port reasons, the link thread's reads of the wanted and last-sent values,
// and the wake-up flag the link thread waits on; it is never held across port
// I/O, and the link thread's waits release it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "device/com_port.h"
#include "device/link_button.h"
#include "device/link_lock.h"

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
    // Numbers the user interface's requests, 1 up; 0 is "none".
    using Ticket = std::uint64_t;
    // The link's clock in milliseconds, and a wait until a time on it that
    // ends early once fnWoken() holds (it is asked again whenever the waiter
    // may have been woken).
    using NowFn = std::function<std::int64_t()>;
    using WaitUntilFn =
        std::function<void(std::int64_t nUntilMs, const std::function<bool()>& fnWoken)>;
    using PortListFn = std::function<std::vector<ListedPort>()>;
    using NotifyFn = std::function<void()>;

    static constexpr int kBaudRate = 9600;
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 4;
    static constexpr int kDebugInfoSize = 50;
    static constexpr int kReplyLimit = 40;      // bytes the probe reads at once
    static constexpr int kFlushLimit = 1000;    // bytes one flush discards at most
    static constexpr int kCommandLimit = 37;    // characters of one command text
    static constexpr int kCommandPauseMs = 50;  // the magnifier's pause after each command
    // Presses of one button that may wait to be sent; more are not taken.
    static constexpr int kMaxPendingPresses = 5;
    // While connected, the keep-alive probe goes out once the line has been
    // quiet this long, and while commands keep coming at the latest this long
    // after the last probe.
    static constexpr int kKeepAliveMs = 1000;
    static constexpr int kBusyKeepAliveMs = 3000;

    CDeviceLink();
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Requests of the user interface. Each wakes the link thread, which puts
    // it on the wire at once while a magnifier is connected and keeps it in
    // the record until one is found otherwise. Every press goes out (up to
    // kMaxPendingPresses of one button waiting; a press beyond them is not
    // taken and PressButton returns 0): the buttons cycle the magnifier's
    // modes, so a press lost or merged leaves it in another mode than the
    // user counted. Of the levels only the last go out. Each returns the
    // request's ticket for IsSent.
    Ticket PressButton(LinkButton button);
    Ticket SetLevels(std::uint8_t nPosition, std::uint8_t nWidth);
    // Asks the link thread to end (also before it has started); it wakes
    // from all its waits but the pause after a command at once, and looks at
    // the stop between ports and between the probe's steps.
    void RequestStop();

    // Which ports the link opens. With a chosen port (1 and up) it opens that
    // port alone, and leaves another port it is connected on. Automatic (0)
    // tries the remembered port first, then COM1 to COM4, then the other
    // ports the system lists in number order, never a Bluetooth port (its
    // open calls the paired device and blocks for seconds). A change takes
    // effect at once. The remembered port is the one that last answered; the
    // link keeps it up to date.
    void SetPortChoice(int nPort);
    int PortChoice() const { return m_nChosenPort; }
    void SetRememberedPort(int nPort) { m_nRememberedPort = nPort; }
    int RememberedPort() const { return m_nRememberedPort; }
    // The order of ports one scan tries, for the choice and the remembered
    // port now; with the Bluetooth ports it skips in pSkipped.
    std::vector<int> PortsToScan(std::vector<int>* pSkipped = nullptr);

    bool IsConnected() const { return m_bConnected != 0; }
    // True from the thread's start until its very last step.
    bool IsRunning() const { return m_bRunning != 0; }
    // A press of the button waits in the record to be sent.
    bool IsPending(LinkButton button) const { return PendingFlag(button) != 0; }
    // True once every request up to nTicket is on the wire: the presses with
    // the levels that follow them, and levels as new as those asked for.
    bool IsSent(Ticket nTicket) const { return m_nSentTicket >= nTicket; }
    // The port being tried or in use, and the milliseconds the last probe waited.
    int CurrentPort() const { return m_nPort; }
    int ReplyMs() const { return m_nReplyMs; }

    // Status, published by the link thread (the panel's tests stand in for it).
    void SetStatus(int nStatus);
    void SetStatusText(const char* pszText);
    void SetConnected(bool bConnected) { m_bConnected = bConnected ? 1 : 0; }
    // Copies the status text and code; returns the changed flag as it was and clears it.
    bool GetStatus(std::string& strStatus, int& nStatus);
    // A status is published that the watcher has not copied yet.
    bool IsStatusUnread();
    // A copy of the last probe's log line, taken under the lock.
    std::string GetDebugInfo();
    // One line per port tried since the link started, COM1 first, with its
    // last outcome and the time of it, e.g. "COM1: missing (12:03:04)",
    // "COM2: no answer (12:03:05)", "COM3: wrong answer 56 31 2C 32 33 0D 0A
    // (12:03:05)", "COM4: busy: held by another program (12:03:06)",
    // "COM5: connected (12:03:07)", "COM6: Bluetooth, not tried (12:03:07)".
    // A copy, taken under the lock.
    std::vector<std::string> GetPortReasons();

    // Tells a watcher (the panel) that the status, its text, the debug line
    // or, while searching, a port's reason has changed. fnNotify runs on the
    // link thread and must not block (it posts a message); it is called again
    // only after ChangeNotifyTaken, so at most one notice is outstanding. It
    // is called once at once, so that the watcher looks at what is there now.
    // An empty function stops the notices.
    void SetChangeNotify(NotifyFn fnNotify);
    // The watcher has the notice and is about to read the record.
    void ChangeNotifyTaken() { m_bNoticeOut = false; }

    // The link thread's body, and what the tests drive of it.
    int Run();
    bool TryPort(int nPort);
    bool CheckDevice();

    // Seams for the tests: a simulated serial line in place of m_port, a
    // virtual clock in place of the real one (every wait of the thread goes
    // through it), the port number a probe on a port opened by the test
    // names. Set before the thread starts.
    void UsePort(ISerialPort* pPort) { m_pPort = pPort ? pPort : &m_port; }
    void UseClock(NowFn fnNow, WaitUntilFn fnWaitUntil);
    void UsePortNumber(int nPort) { m_nPort = nPort; }
    // The ports the system lists (its list unless a test gives its own);
    // asked again for every scan.
    void UsePortList(PortListFn fnPorts);

  private:
    // What ends a wait early: nothing, the stop, the stop or a new port
    // choice, the stop or any request of the user.
    enum class WakeOn { Nothing, Stop, Rescan, Request };

    // Protocol.
    // Counts one more press in pending, unless kMaxPendingPresses wait.
    static bool AddPress(Flag& pending);
    // Sends one of the presses waiting in *pPending, followed by both levels.
    bool SendButtonPress(char chButton, Flag* pPending);
    bool SendLevel(bool bPosition);
    // True when every byte of the command was taken by the port.
    bool SendCommand(const char* pszCommand);
    void FlushInput();
    // One pass: the pending presses, WINDOW, LINES, OPTIONS, then the
    // position and the width. True when anything went out.
    bool SendRequests();

    std::int64_t Now() const;
    // Waits until nUntilMs on the link's clock, or less once a stop (WakeOn::Stop)
    // or a stop or request (WakeOn::Request) has come.
    void WaitUntil(std::int64_t nUntilMs, WakeOn wakeOn);
    void Wait(int nMilliseconds) { WaitUntil(Now() + nMilliseconds, WakeOn::Nothing); }
    // Counts a request and wakes the link thread for it.
    Ticket Wake();
    // Tells the watcher, unless a notice is still outstanding.
    void Notify();
    ISerialPort& SerialPort() { return *m_pPort; }
    Flag& PendingFlag(LinkButton button);
    const Flag& PendingFlag(LinkButton button) const;
    void WriteDebugLine(const char* pszReply, const char* pszVerdict);
    // Keeps strReason, with the time now, as the last outcome of port nPort.
    void NotePort(int nPort, const std::string& strReason);

    // Fields, in the record's order.
    Flag m_bConnected{0};
    Flag m_bRunning{0};
    Flag m_bStopRequest{0};
    std::atomic<int> m_nPort{0};
    std::atomic<int> m_nReplyMs{0};
    char m_szDebugInfo[kDebugInfoSize] = {};
    int m_nStatus = LINK_STARTING;
    std::string m_strStatus;
    CLinkLock m_lock;
    std::atomic<std::uint8_t> m_nPosition{128};
    std::atomic<std::uint8_t> m_nWidth{128};
    Flag m_bWindowPending{0};  // each a count of presses, 0 to kMaxPendingPresses
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

    // Waking: a request sets m_bWakeUp under m_lock and signals the lock's
    // wake-up; the link thread takes the flag before each pass.
    std::atomic<bool> m_bWakeUp{false};
    // The port choice changed: the scan starts again, and a connection on
    // another port than the one chosen ends. Set under m_lock, like m_bWakeUp.
    std::atomic<bool> m_bRescan{false};
    std::atomic<int> m_nChosenPort{0};
    std::atomic<int> m_nRememberedPort{0};
    // Requests made, and the last of them wholly on the wire.
    std::atomic<Ticket> m_nTicket{0};
    std::atomic<Ticket> m_nSentTicket{0};

    NotifyFn m_notify;  // guarded by m_lock
    std::atomic<bool> m_bNoticeOut{false};

    ISerialPort* m_pPort = &m_port;
    NowFn m_now;
    WaitUntilFn m_waitUntil;
    PortListFn m_listPorts;
    struct PortReason {
        std::string strText;
        std::chrono::steady_clock::time_point when;  // of the outcome
    };
    std::map<int, PortReason> m_portReasons;  // by port; guarded by m_lock
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
