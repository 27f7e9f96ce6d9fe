#include "app/instance_checker_win.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "framework/wnd.h"

namespace {

constexpr char kMappingPrefix[] = "CInstanceChecker_MMF_";
constexpr DWORD kBlockSize = sizeof(std::int32_t);

// The file name of a process's program, without its folder; empty when the
// process cannot be asked.
std::string ProgramFileName(HANDLE hProcess) {
    char szPath[MAX_PATH * 4] = {};
    DWORD dwLength = sizeof szPath;
    if (!::QueryFullProcessImageNameA(hProcess, 0, szPath, &dwLength)) {
        return {};
    }
    const char* pszName = std::strrchr(szPath, '\\');
    return pszName != nullptr ? pszName + 1 : szPath;
}

// True when hWnd is a window of this program: of this process, or of a
// process running a program of the same file name. A handle read from the
// block may by now name another program's window, which is never raised.
bool IsWindowOfThisProgram(HWND hWnd) {
    DWORD dwProcess = 0;
    if (hWnd == nullptr || ::GetWindowThreadProcessId(hWnd, &dwProcess) == 0) {
        return false;
    }
    if (dwProcess == ::GetCurrentProcessId()) {
        return true;
    }
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcess);
    if (hProcess == nullptr) {
        return false;
    }
    const std::string strTheirs = ProgramFileName(hProcess);
    ::CloseHandle(hProcess);
    const std::string strOurs = ProgramFileName(::GetCurrentProcess());
    return !strTheirs.empty() &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, strTheirs.c_str(), -1,
                            strOurs.c_str(), -1) == CSTR_EQUAL;
}

}  // namespace

CInstanceChecker::CMappingHandle CInstanceChecker::s_hMapping;

CInstanceChecker::CMappingHandle::~CMappingHandle() {
    if (m_h != nullptr) {
        ::CloseHandle(m_h);
    }
}

CInstanceChecker::CInstanceChecker(const std::string& strName)
    : m_mutexData(::CreateMutexA(nullptr, FALSE, nullptr)),
      // Opens the mutex when another copy has created it already; null when
      // the name belongs to another kind of object.
      m_mutexStartup(::CreateMutexA(nullptr, FALSE, strName.c_str())),
      m_strName(strName) {}

CInstanceChecker::~CInstanceChecker() {
    ReleaseStartupLock();
    if (m_mutexStartup != nullptr) {
        ::CloseHandle(m_mutexStartup);
    }
    if (m_mutexData != nullptr) {
        ::CloseHandle(m_mutexData);
    }
}

void CInstanceChecker::TakeStartupLock() {
    if (m_pStartupLock || m_mutexStartup == nullptr) {
        return;
    }
    DWORD dwWait = ::WaitForSingleObject(m_mutexStartup, INFINITE);
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED) {
        m_pStartupLock = std::make_unique<CSingleLock>(m_mutexStartup);
    }
}

BOOL CInstanceChecker::IsAnotherCopyRunning() {
    HANDLE hBlock = ::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMappingName().c_str());
    if (hBlock == nullptr) {
        return FALSE;
    }
    ::CloseHandle(hBlock);
    return TRUE;
}

BOOL CInstanceChecker::RegisterFirstCopy() {
    // One block per process: the handle is class-wide.
    if (s_hMapping.m_h != nullptr || IsAnotherCopyRunning()) {
        return FALSE;
    }
    HANDLE hBlock = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         kBlockSize, GetMappingName().c_str());
    if (hBlock == nullptr) {
        return FALSE;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another copy created it since the look above: only possible without
        // the start-up lock. That copy is the first one.
        ::CloseHandle(hBlock);
        return FALSE;
    }
    s_hMapping.m_h = hBlock;

    // Without a view the block stays (a new block reads as a null handle):
    // this copy is still the first one, later copies end raising nothing.
    void* pView = ::MapViewOfFile(hBlock, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockSize);
    LockData();
    if (pView != nullptr) {
        const std::int32_t nHandle = HandleToLong(GetWindowToPublish());
        std::memcpy(pView, &nHandle, sizeof nHandle);
        ::UnmapViewOfFile(pView);
    }
    ReleaseStartupLock();
    UnlockData();
    return TRUE;
}

HWND CInstanceChecker::ActivateOtherCopy() {
    HANDLE hBlock = ::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMappingName().c_str());
    if (hBlock == nullptr) {
        return nullptr;
    }
    void* pView = ::MapViewOfFile(hBlock, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockSize);
    if (pView == nullptr) {
        ::CloseHandle(hBlock);
        ReleaseStartupLock();
        return nullptr;
    }

    LockData();
    std::int32_t nHandle = 0;
    std::memcpy(&nHandle, pView, sizeof nHandle);
    HWND hWnd = static_cast<HWND>(LongToHandle(nHandle));
    // A handle of a window that is gone (or never was) is left alone: it could
    // by now name nothing, or another program's window.
    if (hWnd != nullptr && (!::IsWindow(hWnd) || !IsWindowOfThisProgram(hWnd))) {
        hWnd = nullptr;
    }
    if (hWnd != nullptr) {
        // The panel, or a dialog it has open.
        HWND hLastActive = ::GetLastActivePopup(hWnd);
        if (::IsIconic(hWnd)) {
            ::ShowWindow(hWnd, SW_RESTORE);
        }
        ::SetForegroundWindow(hLastActive != nullptr ? hLastActive : hWnd);
        // Brings back a panel that has hidden itself to the tray.
        ::ShowWindow(hWnd, SW_SHOW);
    }
    ::UnmapViewOfFile(pView);
    ::CloseHandle(hBlock);
    ReleaseStartupLock();
    UnlockData();
    return hWnd;
}

void CInstanceChecker::ReleaseStartupLock() {
    m_pStartupLock.reset();
}

std::string CInstanceChecker::GetMappingName() const {
    return kMappingPrefix + m_strName;
}

HWND CInstanceChecker::GetWindowToPublish() const {
    CWnd* pMainWnd = GetMainWnd();
    return pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr;
}

void CInstanceChecker::LockData() {
    if (m_mutexData != nullptr) {
        ::WaitForSingleObject(m_mutexData, INFINITE);
    }
}

void CInstanceChecker::UnlockData() {
    if (m_mutexData != nullptr) {
        ::ReleaseMutex(m_mutexData);
    }
}
