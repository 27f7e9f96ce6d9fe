#include "device/device_link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int kStartMs = 500;          // pause before the first scan
constexpr int kBetweenScansMs = 1000;  // pause after a scan in which nothing answered
constexpr int kAfterPortMs = 100;      // pause after a port attempt that failed, and on connecting
constexpr int kProbeLimitMs = 200;     // the probe's answer must be whole within 200 ms
constexpr int kLostExtraMs = 1000;     // extra pause after a failed keep-alive probe
constexpr int kAnswerLength = 7;

}  // namespace

bool IsProbeAnswer(const char* pszReply) {
    return std::strlen(pszReply) == kAnswerLength && pszReply[0] == 'V' && pszReply[2] == '.' &&
           pszReply[5] == '\r' && pszReply[6] == '\n';
}

void FormatProbeLine(char* pszOut, int nSize, int nPort, const char* pszReply, int nReplyMs,
                     const char* pszVerdict) {
    if (nSize <= 0) {
        return;
    }
    char szHead[32];
    char szTail[48];
    std::snprintf(szHead, sizeof szHead, "Com%d Resp='", nPort);
    std::snprintf(szTail, sizeof szTail, "' %dms - %s", nReplyMs, pszVerdict);
    const int nHead = static_cast<int>(std::strlen(szHead));
    const int nTail = static_cast<int>(std::strlen(szTail));
    const int nReply = static_cast<int>(std::strlen(pszReply));
    const int nRoom = nSize - 1 - nHead - nTail;  // characters left for the reply
    if (nReply <= nRoom) {
        std::snprintf(pszOut, nSize, "%s%s%s", szHead, pszReply, szTail);
    } else if (nRoom > 3) {
        // Keep the verdict readable: cut the reply and mark the cut.
        std::snprintf(pszOut, nSize, "%s%.*s...%s", szHead, nRoom - 3, pszReply, szTail);
    } else {
        std::snprintf(pszOut, nSize, "%s%s%s", szHead, pszReply, szTail);  // truncates safely
    }
}

CDeviceLink::CDeviceLink() : m_listPorts(CComPort::ListedPorts) {}

CDeviceLink::~CDeviceLink() {
    m_port.Close();
}

void CDeviceLink::UseClock(NowFn fnNow, WaitUntilFn fnWaitUntil) {
    m_now = std::move(fnNow);
    m_waitUntil = std::move(fnWaitUntil);
}

std::int64_t CDeviceLink::Now() const {
    if (m_now) {
        return m_now();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CDeviceLink::WaitUntil(std::int64_t nUntilMs, WakeOn wakeOn) {
    const auto woken = [this, wakeOn] {
        return (wakeOn != WakeOn::Nothing && m_bStopRequest != 0) ||
               ((wakeOn == WakeOn::Rescan || wakeOn == WakeOn::Request) && m_bRescan) ||
               (wakeOn == WakeOn::Request && m_bWakeUp);
    };
    if (m_waitUntil) {
        m_waitUntil(nUntilMs, woken);
        return;
    }
    // A deadline rather than a length: a spurious wake-up waits only for the rest.
    const std::chrono::steady_clock::time_point until{std::chrono::milliseconds(nUntilMs)};
    std::lock_guard<CLinkLock> guard(m_lock);
    while (!woken() && std::chrono::steady_clock::now() < until) {
        m_lock.WaitUntil(until);
    }
}

CDeviceLink::Ticket CDeviceLink::Wake() {
    // Counted after the request's fields are written, so a pass that has read
    // this count also reads the fields; flagged under the lock, so the link
    // thread cannot miss it between its test and its wait.
    const Ticket nTicket = ++m_nTicket;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        m_bWakeUp = true;
    }
    m_lock.NotifyOne();
    return nTicket;
}

CDeviceLink::Flag& CDeviceLink::PendingFlag(LinkButton button) {
    switch (button) {
        case LinkButton::Lines:
            return m_bLinesPending;
        case LinkButton::Options:
            return m_bOptionsPending;
        default:
            return m_bWindowPending;
    }
}

const CDeviceLink::Flag& CDeviceLink::PendingFlag(LinkButton button) const {
    return const_cast<CDeviceLink*>(this)->PendingFlag(button);
}

bool CDeviceLink::AddPress(Flag& pending) {
    std::uint8_t nWaiting = pending;
    do {
        if (nWaiting >= kMaxPendingPresses) {
            return false;
        }
    } while (!pending.compare_exchange_weak(nWaiting, static_cast<std::uint8_t>(nWaiting + 1)));
    return true;
}

CDeviceLink::Ticket CDeviceLink::PressButton(LinkButton button) {
    return AddPress(PendingFlag(button)) ? Wake() : 0;
}

void CDeviceLink::SetPortChoice(int nPort) {
    nPort = nPort < 0 || nPort > CComPort::kMaxPort ? 0 : nPort;
    if (m_nChosenPort.exchange(nPort) == nPort) {
        return;
    }
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        m_bRescan = true;
    }
    m_lock.NotifyOne();
}

CDeviceLink::Ticket CDeviceLink::SetLevels(std::uint8_t nPosition, std::uint8_t nWidth) {
    m_nPosition = nPosition;
    m_nWidth = nWidth;
    return Wake();
}

void CDeviceLink::RequestStop() {
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        m_bStopRequest = 1;
    }
    m_lock.NotifyOne();
    SerialPort().StopWaits();  // a probe waiting for its answer ends now
}

void CDeviceLink::SetChangeNotify(NotifyFn fnNotify) {
    NotifyFn fn;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        m_notify = std::move(fnNotify);
        m_bNoticeOut = true;
        fn = m_notify;
    }
    if (fn) {
        fn();
    }
}

void CDeviceLink::Notify() {
    if (m_bNoticeOut.exchange(true)) {
        return;  // the watcher has not read the last one yet: it sees this change too
    }
    NotifyFn fn;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        fn = m_notify;
    }
    if (fn) {
        fn();  // outside the lock: the watcher may read the record at once
    }
}

void CDeviceLink::UsePortList(PortListFn fnPorts) {
    m_listPorts = fnPorts ? std::move(fnPorts) : CComPort::ListedPorts;
}

void CDeviceLink::SetStatus(int nStatus) {
    bool bChanged = false;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        if (m_nStatus != nStatus) {
            m_nStatus = nStatus;
            m_bStatusChanged = bChanged = true;
        }
    }
    if (bChanged) {
        Notify();
    }
}

void CDeviceLink::SetStatusText(const char* pszText) {
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        m_strStatus = pszText ? pszText : "";
        m_bStatusChanged = true;
    }
    Notify();
}

bool CDeviceLink::GetStatus(std::string& strStatus, int& nStatus) {
    std::lock_guard<CLinkLock> guard(m_lock);
    const bool bChanged = m_bStatusChanged;
    m_bStatusChanged = false;
    strStatus = m_strStatus;
    nStatus = m_nStatus;
    return bChanged;
}

bool CDeviceLink::IsStatusUnread() {
    std::lock_guard<CLinkLock> guard(m_lock);
    return m_bStatusChanged;
}

std::string CDeviceLink::GetDebugInfo() {
    std::lock_guard<CLinkLock> guard(m_lock);
    return std::string(m_szDebugInfo);
}

std::vector<std::string> CDeviceLink::GetPortReasons() {
    std::map<int, PortReason> reasons;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        reasons = m_portReasons;
    }
    // The clock time is made here, for the reader, not at every probe: the
    // wall clock (and, on Windows, the time zone) costs system calls, the
    // steady clock none.
    const auto steadyNow = std::chrono::steady_clock::now();
    const auto wallNow = std::chrono::system_clock::now();
    std::vector<std::string> lines;
    for (const auto& [nPort, reason] : reasons) {
        const std::time_t when = std::chrono::system_clock::to_time_t(
            wallNow - std::chrono::duration_cast<std::chrono::system_clock::duration>(steadyNow -
                                                                                      reason.when));
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &when);
#else
        localtime_r(&when, &local);
#endif
        char szTime[16];
        std::strftime(szTime, sizeof szTime, " (%H:%M:%S)", &local);
        lines.push_back("COM" + std::to_string(nPort) + ": " + reason.strText + szTime);
    }
    return lines;
}

void CDeviceLink::NotePort(int nPort, const std::string& strReason) {
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        PortReason& reason = m_portReasons[nPort];
        reason.strText = strReason;
        reason.when = now;
    }
    // The reasons are shown while no magnifier answers; the keep-alive's
    // "connected" of every second is no news.
    if (!m_bConnected) {
        Notify();
    }
}

void CDeviceLink::WriteDebugLine(const char* pszReply, const char* pszVerdict) {
    char szLine[kDebugInfoSize];
    FormatProbeLine(szLine, kDebugInfoSize, m_nPort, pszReply, m_nReplyMs, pszVerdict);
    bool bChanged;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        bChanged = std::strcmp(szLine, m_szDebugInfo) != 0;
        std::memcpy(m_szDebugInfo, szLine, kDebugInfoSize);
    }
    if (bChanged) {
        Notify();  // an idle link's keep-alive writes the same line every second
    }
}

bool CDeviceLink::SendCommand(const char* pszCommand) {
    char szBuffer[kCommandLimit + 3];  // text, CR, LF, terminator
    const int nText = static_cast<int>(strnlen(pszCommand, kCommandLimit));
    std::memcpy(szBuffer, pszCommand, nText);
    szBuffer[nText] = '\r';
    szBuffer[nText + 1] = '\n';
    szBuffer[nText + 2] = '\0';
    SerialPort().WriteBytes(reinterpret_cast<const std::uint8_t*>(szBuffer), nText + 2);
    return SerialPort().LastWriteWhole();
}

void CDeviceLink::FlushInput() {
    std::uint8_t scratch[kFlushLimit];
    SerialPort().ReadAvailable(scratch, kFlushLimit);
}

bool CDeviceLink::CheckDevice() {
    FlushInput();
    // A probe whose bytes did not all go out is still waited for: it fails in
    // its 200 ms, which keeps the loss of a stuck line to the designed pace.
    m_bWriteFailed = !SendCommand("?");
    const std::int64_t nSentAt = Now();
    // The read returns as the answer's last byte comes over the line (with
    // whatever else has come by then), or with what came in the 200 ms. Only
    // a stop ends it sooner: the program is ending, and what the answer would
    // have been no longer matters.
    char szReply[kReplyLimit + 1] = {};
    int nRead = SerialPort().ReadWithin(reinterpret_cast<std::uint8_t*>(szReply), kAnswerLength,
                                        kReplyLimit, kProbeLimitMs);
    if (m_bStopRequest != 0) {
        return false;
    }
    if (nRead < 0 || nRead > kReplyLimit) {
        nRead = 0;
    }
    szReply[nRead] = '\0';
    m_nReplyMs = static_cast<int>(std::min<std::int64_t>(Now() - nSentAt, kProbeLimitMs));
    if (IsProbeAnswer(szReply)) {
        m_bWriteFailed = false;
        WriteDebugLine(szReply, "ok");
        NotePort(m_nPort, "connected");
        return true;
    }
    WriteDebugLine(szReply, "bad");
    if (nRead == 0) {
        NotePort(m_nPort, "no answer");
    } else {
        std::string strReason = "wrong answer";
        for (int i = 0; i < nRead; ++i) {  // NULs included
            char szHex[4];
            std::snprintf(szHex, sizeof szHex, " %02X", static_cast<unsigned char>(szReply[i]));
            strReason += szHex;
        }
        NotePort(m_nPort, strReason);
    }

    bool bWasConnected;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        bWasConnected = m_nStatus == LINK_CONNECTED;
    }
    if (bWasConnected) {
        WaitUntil(Now() + kLostExtraMs, WakeOn::Stop);  // a failed keep-alive
    }
    return false;
}

bool CDeviceLink::SendLevel(bool bPosition) {
    int nWanted;
    int nSent;
    char chLetter;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        nWanted = bPosition ? m_nPosition.load() : m_nWidth.load();
        nSent = bPosition ? m_nSentPosition : m_nSentWidth;
        chLetter = bPosition ? 'p' : 'w';
    }
    if (nSent == nWanted || m_bWriteFailed) {
        return false;
    }
    char szCommand[8];
    std::snprintf(szCommand, sizeof szCommand, "%c%02x", chLetter, nWanted);
    if (!SendCommand(szCommand)) {
        m_bWriteFailed = true;  // not recorded as sent: it goes out again later
        return false;
    }
    Wait(kCommandPauseMs);
    (bPosition ? m_nSentPosition : m_nSentWidth) = nWanted;
    return true;
}

bool CDeviceLink::SendButtonPress(char chButton, Flag* pPending) {
    // One press is taken before it goes out, so a press that arrives
    // meanwhile waits for the next one.
    if (m_bWriteFailed) {
        return false;
    }
    std::uint8_t nWaiting = *pPending;
    do {
        if (nWaiting == 0) {
            return false;
        }
    } while (!pPending->compare_exchange_weak(nWaiting, static_cast<std::uint8_t>(nWaiting - 1)));
    char szCommand[8];
    std::snprintf(szCommand, sizeof szCommand, "B%c", chButton);
    if (!SendCommand(szCommand)) {
        // Not (wholly) on the wire: the press is put back and goes out after
        // the next probe that gets through, on this port or the next one
        // found. What the link cannot know: whether the magnifier saw the
        // bytes the driver did take, or acts on a cut command.
        AddPress(*pPending);
        m_bWriteFailed = true;
        m_nSentPosition = -1;
        m_nSentWidth = -1;
        return false;
    }
    Wait(kCommandPauseMs);
    m_nSentPosition = -1;
    m_nSentWidth = -1;
    SendLevel(true);
    SendLevel(false);
    return true;
}

bool CDeviceLink::TryPort(int nPort) {
    m_nPort = nPort;
    char szText[32];
    std::snprintf(szText, sizeof szText, "ACTIVE Port %d", nPort);
    SetStatusText(szText);
    SetStatus(LINK_SEARCHING);
    if (SerialPort().Open(nPort, kBaudRate)) {
        if (CheckDevice()) {
            m_nRememberedPort = nPort;  // before the watcher hears of the connection
            SetStatus(LINK_CONNECTED);
            return true;
        }
        SerialPort().Close();
    } else {
        const std::string strDetail = SerialPort().LastOpenDetail();
        switch (SerialPort().LastOpenFailure()) {
            case PortOpenFailure::Missing:
                NotePort(nPort, "missing");
                break;
            case PortOpenFailure::Busy:
                NotePort(nPort, "busy: held by another program");
                break;
            case PortOpenFailure::Denied:
                NotePort(nPort, "permission denied (on Linux, add your user to the group dialout)");
                break;
            default:
                NotePort(nPort, strDetail.empty() ? "could not be set up"
                                                  : "could not be set up: " + strDetail);
                break;
        }
    }
    WaitUntil(Now() + kAfterPortMs, WakeOn::Rescan);
    return false;
}

std::vector<int> CDeviceLink::PortsToScan(std::vector<int>* pSkipped) {
    const int nChosen = m_nChosenPort;
    if (nChosen != 0) {
        return {nChosen};
    }
    const std::vector<ListedPort> listed = SortedPorts(m_listPorts());
    const auto isBluetooth = [&listed](int nPort) {
        return std::any_of(listed.begin(), listed.end(), [nPort](const ListedPort& p) {
            return p.nPort == nPort && p.bBluetooth;
        });
    };
    std::vector<int> ports;
    const auto add = [&](int nPort) {
        if (nPort <= 0 || std::find(ports.begin(), ports.end(), nPort) != ports.end()) {
            return;
        }
        if (!isBluetooth(nPort)) {
            ports.push_back(nPort);
        } else if (pSkipped != nullptr &&
                   std::find(pSkipped->begin(), pSkipped->end(), nPort) == pSkipped->end()) {
            pSkipped->push_back(nPort);
        }
    };
    add(m_nRememberedPort);
    for (int nPort = kFirstPort; nPort <= kLastPort; ++nPort) {
        add(nPort);
    }
    for (const ListedPort& port : listed) {
        add(port.nPort);
    }
    return ports;
}

bool CDeviceLink::SendRequests() {
    // Taken before the requests are read: one that comes after this wakes
    // the thread for another pass.
    m_bWakeUp = false;
    const Ticket nAsked = m_nTicket;
    bool bSent = false;
    // Every waiting press of a button, each with the levels after it, before
    // the next button's.
    while (SendButtonPress('W', &m_bWindowPending)) {
        bSent = true;
    }
    while (SendButtonPress('L', &m_bLinesPending)) {
        bSent = true;
    }
    while (SendButtonPress('O', &m_bOptionsPending)) {
        bSent = true;
    }
    bSent |= SendLevel(true);
    bSent |= SendLevel(false);
    if (!m_bWriteFailed && nAsked > m_nSentTicket) {
        m_nSentTicket = nAsked;  // all asked for up to nAsked is on the wire
    }
    return bSent;
}

int CDeviceLink::Run() {
    // Starting
    // A stop asked for before the thread got here is honoured: it ends the
    // thread without a scan.
    SetStatus(LINK_STARTING);
    m_bRunning = 1;
    {
        std::lock_guard<CLinkLock> guard(m_lock);
        m_portReasons.clear();
    }
    m_nReplyMs = 0;
    SetStatusText("Init");
    WaitUntil(Now() + kStartMs, WakeOn::Stop);

    while (!m_bStopRequest) {
        // Scanning, in the order of the port choice; the stop and a new
        // choice are looked at between ports.
        m_bRescan = false;
        std::vector<int> skipped;
        const std::vector<int> ports = PortsToScan(&skipped);
        for (int nPort : skipped) {
            NotePort(nPort, "Bluetooth, not tried");
        }
        bool bFound = false;
        for (int nPort : ports) {
            if (m_bStopRequest || m_bRescan) {
                break;
            }
            bFound = TryPort(nPort);
            m_bConnected = bFound ? 1 : 0;
            if (bFound) {
                break;
            }
        }
        if (!bFound) {
            // Between scans; a stop or a new choice ends the pause at once.
            SetStatusText("");
            WaitUntil(Now() + kBetweenScansMs, WakeOn::Rescan);
            continue;
        }

        // Connected
        Wait(kAfterPortMs);
        m_nSentPosition = -1;
        m_nSentWidth = -1;
        std::int64_t nLastProbe = Now();
        std::int64_t nLastCommand = nLastProbe;
        std::int64_t nQuietUntil = 0;  // a command waits until then
        bool bLost = false;
        while (!m_bStopRequest) {
            if (m_bRescan) {
                // Another port chosen: this one is left. The same one, or
                // automatic, keeps the connection.
                m_bRescan = false;
                const int nChosen = m_nChosenPort;
                if (nChosen != 0 && nChosen != m_nPort) {
                    SetStatus(LINK_SEARCHING);
                    break;
                }
            }
            // The magnifier takes a command only 50 ms after its answer to a
            // keep-alive, as after any command.
            if (m_bWakeUp && Now() < nQuietUntil) {
                WaitUntil(nQuietUntil, WakeOn::Stop);
                continue;
            }
            // A pass over what the user asked for, then sleep until the next
            // request, the stop, or the keep-alive, whichever comes first.
            if (SendRequests()) {
                nLastCommand = Now();
            }
            const std::int64_t nProbeAt = std::min(
                std::max(nLastProbe, nLastCommand) + kKeepAliveMs, nLastProbe + kBusyKeepAliveMs);
            if (Now() >= nProbeAt) {
                if (!CheckDevice()) {
                    bLost = m_bStopRequest == 0;
                    break;
                }
                nLastProbe = Now();
                nQuietUntil = nLastProbe + kCommandPauseMs;
                continue;
            }
            WaitUntil(nProbeAt, WakeOn::Request);
        }
        if (bLost) {
            SetStatus(LINK_SEARCHING);
        }

        // Leaving
        if (m_bConnected) {
            m_bConnected = 0;
            SerialPort().Close();
        }
    }

    // Ending
    SetStatus(LINK_STOPPED);
    SetStatusText("");
    SerialPort().Close();
    m_bRunning = 0;  // the last write to the record
    return 0;
}

unsigned LinkThreadProc(void* pParam) {
    return static_cast<unsigned>(static_cast<CDeviceLink*>(pParam)->Run());
}

bool ReleaseAtExit(CDeviceLink* pLink) {
    if (pLink == nullptr || pLink->IsRunning()) {
        return false;  // the thread still uses it: it goes with the process
    }
    delete pLink;
    return true;
}

namespace {

// Owns the program's record on the heap, so that at exit it can be left to a
// link thread that is still running instead of being destroyed under it.
struct GlobalLinkOwner {
    CDeviceLink* pLink = new CDeviceLink;
    ~GlobalLinkOwner() { ReleaseAtExit(pLink); }
};

GlobalLinkOwner g_linkOwner;

}  // namespace

CDeviceLink& g_deviceLink = *g_linkOwner.pLink;
