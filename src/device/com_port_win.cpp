// CComPort on Win32: the port is opened exclusively for overlapped I/O, reads
// take only what the driver has already queued, and each command goes out as
// one write request with a bounded wait.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "device/com_port.h"
#include "base/failure_log_win.h"
#include "base/gdi_win.h"

namespace {

constexpr DWORD kWriteWaitMs = 1000;          // wait for a command to be accepted
constexpr DWORD kReadWaitMs = 2000;           // wait for a read the driver left pending
constexpr DWORD kWriteTotalTimeoutMs = 5000;  // the driver's own limit for one write
constexpr DWORD kQueueSize = 10000;           // input and output queue of the driver

}  // namespace

struct CComPort::Platform {
    CHandle hComm;  // null whenever no port is held, never a stale value
    CHandle evRead;
    CHandle evWrite;
    OVERLAPPED ovRead = {};   // with evRead's event
    OVERLAPPED ovWrite = {};  // with evWrite's event
    // Set by StopWaits, for the port's whole life: kept across opens. The
    // flag spares a read the system call that would look at the event.
    CHandle evStop{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> bStopped{false};
    // The total read time the driver's timeouts now give, 0 while a read
    // takes only what is queued.
    DWORD dwReadWithinMs = 0;

    void CloseAll() {
        evRead.Close();
        evWrite.Close();
        hComm.Close();
        ovRead = OVERLAPPED{};
        ovWrite = OVERLAPPED{};
        dwReadWithinMs = 0;
    }

    // The requests' events carry their low bit set, which tells the system
    // not to queue their completions to a completion port. The handle is
    // bound to none; Windows gains nothing, but Wine otherwise hands every
    // completed request to its server (two round trips each keep-alive).
    // Waits take the plain handle.
    static HANDLE Tagged(HANDLE hEvent) {
        return reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(hEvent) | 1);
    }
    static HANDLE EventOf(const OVERLAPPED& ov) {
        return reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(ov.hEvent) & ~ULONG_PTR{1});
    }

    // Collects the outcome of an overlapped request on ov. A request still
    // pending when its wait ran out, or when hAlso was set, is cancelled and
    // then waited for, so the record is the caller's again before it is used
    // for the next request. Returns the number of bytes the request actually
    // transferred.
    DWORD Finish(OVERLAPPED& ov, DWORD dwWaitMs, HANDLE hAlso = nullptr) {
        DWORD dwDone = 0;
        const HANDLE waits[] = {EventOf(ov), hAlso};
        if (::WaitForMultipleObjects(hAlso != nullptr ? 2 : 1, waits, FALSE, dwWaitMs) ==
            WAIT_OBJECT_0) {
            if (!::GetOverlappedResult(hComm.Get(), &ov, &dwDone, FALSE)) {
                dwDone = 0;
            }
            return dwDone;
        }
        ::CancelIoEx(hComm.Get(), &ov);
        // After a cancel the request ends either aborted or completed; in both
        // cases dwDone is what reached the buffer or the line.
        ::GetOverlappedResult(hComm.Get(), &ov, &dwDone, TRUE);
        return dwDone;
    }
};

CComPort::CComPort() : m_p(std::make_unique<Platform>()) {}

CComPort::~CComPort() {
    Close();
}

std::string CComPort::PortName(int nPort) {
    char szName[32];
    if (nPort > 9) {
        // Ports above 9 exist only in the device namespace.
        std::snprintf(szName, sizeof szName, "\\\\.\\COM%d", nPort);
    } else {
        std::snprintf(szName, sizeof szName, "COM%d", nPort);
    }
    return szName;
}

void CComPort::SetPortPath(int /*nPort*/, const std::string& /*strPath*/) {
    // The ports are the system's on Windows; there is nothing to map.
}

std::vector<ListedPort> CComPort::ListedPorts() {
    // Each value of the key is one present port: its name is the driver's
    // device ("\Device\Serial0", "\Device\BthModem0" for a Bluetooth link),
    // its data the port's name, "COM7" (or "\\.\COM7" as some drivers write it).
    std::vector<ListedPort> ports;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &hKey) != ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD dwIndex = 0;; ++dwIndex) {
        char szValue[256];
        DWORD dwValue = sizeof szValue;
        char szData[64] = {};
        DWORD dwData = sizeof szData - 1;  // room for a terminator the data may lack
        DWORD dwType = 0;
        const LONG lResult = ::RegEnumValueA(hKey, dwIndex, szValue, &dwValue, nullptr, &dwType,
                                             reinterpret_cast<BYTE*>(szData), &dwData);
        if (lResult == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (lResult != ERROR_SUCCESS || dwType != REG_SZ) {
            continue;  // a value too long for a port name is not one
        }
        szData[dwData] = '\0';
        const int nPort = ParsePortName(szData);
        if (nPort > 0) {
            ports.push_back({nPort, IsBluetoothDevice(szValue)});
        }
    }
    ::RegCloseKey(hKey);
    return SortedPorts(std::move(ports));
}

bool CComPort::IsOpen() const {
    return m_bOpened && static_cast<bool>(m_p->hComm);
}

bool CComPort::Open(int nPort, int nBaud) {
    if (m_bOpened) {
        return true;
    }
    m_openFailure = PortOpenFailure::SetUp;
    m_strOpenDetail.clear();
    if (nPort < 1 || nBaud <= 0) {
        return false;
    }
    // Why this open failed, or what of the set-up it went on without, is kept
    // under the port's name (the last such step of the open); a clean open
    // forgets what an earlier one left there.
    const std::string strName = PortName(nPort);
    bool bClean = true;
    auto failed = [&](const char* pszOperation) {
        KeepFailure(strName, pszOperation, ::GetLastError());
        bClean = false;
    };
    m_p->CloseAll();
    HANDLE hComm =
        ::CreateFileA(strName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (hComm == INVALID_HANDLE_VALUE) {
        const DWORD dwError = ::GetLastError();
        KeepFailure(strName, "CreateFile", dwError);
        m_strOpenDetail = FailureReason(strName);
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) {
            m_openFailure = PortOpenFailure::Missing;
        } else if (dwError == ERROR_ACCESS_DENIED || dwError == ERROR_SHARING_VIOLATION) {
            m_openFailure = PortOpenFailure::Busy;
        }
        return false;
    }
    m_p->hComm.Attach(hComm);

    // Reads return at once with whatever has arrived; a write gives up after 5 s.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteTotalTimeoutMs;
    if (!::SetCommTimeouts(hComm, &timeouts)) {
        failed("SetCommTimeouts");
    }

    m_p->evRead.Attach(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_p->evWrite.Attach(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!m_p->evRead || !m_p->evWrite) {
        failed("CreateEvent");
    }
    m_p->ovRead.hEvent = Platform::Tagged(m_p->evRead.Get());
    m_p->ovWrite.hEvent = Platform::Tagged(m_p->evWrite.Get());

    // Start from what the driver has and set all the magnifier's line needs:
    // the speed, 8 data bits, no parity, one stop bit, DTR and RTS on, no flow
    // control of either kind. Another program may have left the port at even
    // parity, two stop bits, DSR-sensitive or stopping at a line error: each
    // of these would keep the answer from ever arriving.
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(hComm, &dcb)) {
        failed("GetCommState");
    }
    dcb.BaudRate = static_cast<DWORD>(nBaud);
    dcb.fBinary = TRUE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fDsrSensitivity = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;

    bool bQueues = false;
    if (!::SetCommState(hComm, &dcb)) {
        failed("SetCommState");
    } else if (!::SetupComm(hComm, kQueueSize, kQueueSize)) {
        failed("SetupComm");
    } else {
        bQueues = true;
    }
    if (bQueues && m_p->evRead && m_p->evWrite) {
        if (bClean) {
            ForgetFailure(strName);
        }
        m_bOpened = true;
        m_openFailure = PortOpenFailure::None;
        return true;
    }

    m_strOpenDetail = FailureReason(strName);
    m_p->CloseAll();
    return false;
}

bool CComPort::Close() {
    if (m_bOpened && m_p->hComm) {
        m_p->CloseAll();
    }
    m_bOpened = false;
    return true;
}

int CComPort::WriteRequest(const std::uint8_t* pBytes, int nLength) {
    DWORD dwDone = 0;
    if (::WriteFile(m_p->hComm.Get(), pBytes, static_cast<DWORD>(nLength), nullptr,
                    &m_p->ovWrite)) {
        // Completed at once; the record holds the count.
        if (!::GetOverlappedResult(m_p->hComm.Get(), &m_p->ovWrite, &dwDone, FALSE)) {
            dwDone = 0;
        }
    } else if (::GetLastError() == ERROR_IO_PENDING) {
        // Still pending after the wait: cancelled, and then it went out or not.
        dwDone = m_p->Finish(m_p->ovWrite, kWriteWaitMs);
    }
    return dwDone > static_cast<DWORD>(nLength) ? nLength : static_cast<int>(dwDone);
}

int CComPort::GetInputCount() {
    if (!IsOpen()) {
        return 0;
    }
    DWORD dwErrors = 0;  // line errors are cleared here and not reported
    COMSTAT stat = {};
    if (!::ClearCommError(m_p->hComm.Get(), &dwErrors, &stat)) {
        return 0;
    }
    return stat.cbInQue > static_cast<DWORD>(MAXLONG) ? MAXLONG : static_cast<int>(stat.cbInQue);
}

int CComPort::ReadAvailable(std::uint8_t* pBuffer, int nLimit) {
    if (!IsOpen() || pBuffer == nullptr || nLimit <= 0) {
        return 0;
    }
    const int nQueued = GetInputCount();
    if (nQueued == 0) {
        return 0;
    }
    const DWORD dwWant = static_cast<DWORD>(nQueued < nLimit ? nQueued : nLimit);
    DWORD dwDone = 0;
    if (::ReadFile(m_p->hComm.Get(), pBuffer, dwWant, nullptr, &m_p->ovRead)) {
        // Completed at once; the record holds the count.
        if (!::GetOverlappedResult(m_p->hComm.Get(), &m_p->ovRead, &dwDone, FALSE)) {
            dwDone = 0;
        }
    } else if (::GetLastError() == ERROR_IO_PENDING) {
        dwDone = m_p->Finish(m_p->ovRead, kReadWaitMs);
    }
    return dwDone > dwWant ? static_cast<int>(dwWant) : static_cast<int>(dwDone);
}

int CComPort::ReadWithin(std::uint8_t* pBuffer, int nWanted, int nLimit, int nWithinMs) {
    if (!IsOpen() || pBuffer == nullptr || nLimit <= 0) {
        return 0;
    }
    const DWORD dwWant = static_cast<DWORD>(std::clamp(nWanted, 1, nLimit));
    if (nWithinMs <= 0 || m_p->bStopped) {
        return ReadAvailable(pBuffer, nLimit);
    }
    // The driver completes the read as its last byte arrives, or at the total
    // time with what came. Reads of what is queued are the same under this
    // setting, so it stays until another time is asked for.
    if (m_p->dwReadWithinMs != static_cast<DWORD>(nWithinMs)) {
        COMMTIMEOUTS timeouts = {};
        if (!::GetCommTimeouts(m_p->hComm.Get(), &timeouts)) {
            return ReadAvailable(pBuffer, nLimit);
        }
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(nWithinMs);
        if (!::SetCommTimeouts(m_p->hComm.Get(), &timeouts)) {
            return ReadAvailable(pBuffer, nLimit);
        }
        m_p->dwReadWithinMs = static_cast<DWORD>(nWithinMs);
    }
    DWORD dwDone = 0;
    if (::ReadFile(m_p->hComm.Get(), pBuffer, dwWant, nullptr, &m_p->ovRead)) {
        if (!::GetOverlappedResult(m_p->hComm.Get(), &m_p->ovRead, &dwDone, FALSE)) {
            dwDone = 0;
        }
    } else if (::GetLastError() == ERROR_IO_PENDING) {
        // Wine ends a read that timed out with nothing as failed; Windows as done with 0 bytes.
        dwDone = m_p->Finish(m_p->ovRead, static_cast<DWORD>(nWithinMs) + kReadWaitMs,
                             m_p->evStop.Get());
    }
    int nDone = static_cast<int>(std::min(dwDone, dwWant));
    if (nDone == static_cast<int>(dwWant)) {
        nDone += ReadAvailable(pBuffer + nDone, nLimit - nDone);  // what else has come meanwhile
    }
    return nDone;
}

void CComPort::StopWaits() {
    m_p->bStopped = true;
    ::SetEvent(m_p->evStop.Get());
}
