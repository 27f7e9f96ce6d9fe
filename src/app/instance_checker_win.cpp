#include "app/instance_checker_win.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

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
    const CHandle hProcess(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcess));
    if (!hProcess) {
        return false;
    }
    const std::string strTheirs = ProgramFileName(hProcess.Get());
    const std::string strOurs = ProgramFileName(::GetCurrentProcess());
    return !strTheirs.empty() &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, strTheirs.c_str(), -1,
                            strOurs.c_str(), -1) == CSTR_EQUAL;
}

}  // namespace

CHandle CInstanceChecker::s_hMapping;

CInstanceChecker::CInstanceChecker(const std::string& strName)
    : m_mutexData(::CreateMutexA(nullptr, FALSE, nullptr)),
      // Opens the mutex when another copy has created it already; null when
      // the name belongs to another kind of object.
      m_mutexStartup(::CreateMutexA(nullptr, FALSE, strName.c_str())),
      m_strName(strName) {}

CInstanceChecker::~CInstanceChecker() {
    ReleaseStartupLock();  // before the mutex is closed
}

void CInstanceChecker::TakeStartupLock() {
    if (m_pStartupLock || !m_mutexStartup) {
        return;
    }
    DWORD dwWait = ::WaitForSingleObject(m_mutexStartup.Get(), INFINITE);
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED) {
        m_pStartupLock = std::make_unique<CSingleLock>(m_mutexStartup.Get());
    }
}

BOOL CInstanceChecker::IsAnotherCopyRunning() {
    const CHandle hBlock(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMappingName().c_str()));
    return hBlock ? TRUE : FALSE;
}

BOOL CInstanceChecker::RegisterFirstCopy() {
    // One block per process: the handle is class-wide.
    if (s_hMapping || IsAnotherCopyRunning()) {
        return FALSE;
    }
    CHandle hBlock(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kBlockSize, GetMappingName().c_str()));
    if (!hBlock) {
        return FALSE;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another copy created it since the look above: only possible without
        // the start-up lock. That copy is the first one.
        return FALSE;
    }
    s_hMapping = std::move(hBlock);

    // Without a view the block stays (a new block reads as a null handle):
    // this copy is still the first one, later copies end raising nothing.
    void* pView =
        ::MapViewOfFile(s_hMapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockSize);
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
    // The block is closed before the start-up lock goes: a copy that takes
    // the lock next must not find it held open by this one.
    CHandle hBlock(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMappingName().c_str()));
    if (!hBlock) {
        return nullptr;
    }
    void* pView = ::MapViewOfFile(hBlock.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kBlockSize);
    if (pView == nullptr) {
        hBlock.Close();
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
    hBlock.Close();
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
    if (m_mutexData) {
        ::WaitForSingleObject(m_mutexData.Get(), INFINITE);
    }
}

void CInstanceChecker::UnlockData() {
    if (m_mutexData) {
        ::ReleaseMutex(m_mutexData.Get());
    }
}
